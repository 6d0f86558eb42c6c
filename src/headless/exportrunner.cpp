#include "exportrunner.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <QDir>
#include <QFileInfo>

#include "displayrange.h"
#include "graymapping.h"
#include "image2d.h"
#include "image3d.h"
#include "movieset.h"
#include "pixelformat.h"
#include "pngwriter.h"
#include "rawfile.h"

namespace {

// An error text of the data layer on one line.
QString oneLine(const std::string &text)
{
    return QString::fromStdString(text).replace(QLatin1Char('\n'), QStringLiteral(": "));
}

} // namespace

void ExportRunner::note(const QString &text)
{
    std::fputs(("rawcompare: " + text + '\n').toLocal8Bit().constData(), m_pErr);
}

int ExportRunner::fail(int status, const QString &text)
{
    note(text);
    m_status = status;
    return status;
}

QString ExportRunner::pictureName(int index, int count)
{
    const int digits = std::max(4, int(QString::number(std::max(count - 1, 0)).size()));
    return QStringLiteral("frame_%1.png").arg(index, digits, 10, QLatin1Char('0'));
}

std::unique_ptr<Image3D> ExportRunner::openMovie(const QString &fileName,
                                                 const ExportOptions &options)
{
    MovieFileOpener opener;
    const bool opened = opener.open(fileName, options.files);
    for (const QString &text : opener.takeNotes())
        note(text);
    if (!opened) {
        fail(opener.getStatus(), opener.getError());
        return nullptr;
    }
    if (std::unique_ptr<Image2D> pImage = opener.takeImage()) {
        // A picture is a one-frame movie held in memory, as in the window.
        auto pMovie = std::make_unique<Image3D>(pImage->getWidth(), pImage->getHeight(), 1);
        if (pMovie->getSampleCount() != pImage->getSampleCount()) {
            fail(1, QStringLiteral("%1: %2").arg(fileName, oneLine(pMovie->getErrorString())));
            return nullptr;
        }
        std::memcpy(pMovie->getData(), pImage->getData(),
                    size_t(pImage->getSampleCount()) * sizeof(float));
        pMovie->setName(QFileInfo(fileName).fileName());
        return pMovie;
    }
    std::unique_ptr<RawFile> pFile = opener.takeRawFile();
    const int plane = options.plane < pFile->getFormat().getPlaneCount() ? options.plane : 0;
    // Each frame is rendered and written once: a cache of one frame keeps memory flat.
    const qint64 frameBytes = qint64(pFile->getPlaneWidth(plane)) * pFile->getPlaneHeight(plane)
            * qint64(sizeof(float));
    auto pMovie = std::make_unique<Image3D>();
    if (!pMovie->openRaw(std::move(pFile), plane, opener.getFirstFrame(), opener.getFrameCount(),
                         frameBytes)) {
        if (pMovie->getNumFrames() < 1) {
            QString text = oneLine(pMovie->getErrorString());
            if (!pMovie->getErrorDetail().empty())
                text += QStringLiteral(" (") + oneLine(pMovie->getErrorDetail()) + QLatin1Char(')');
            fail(1, QStringLiteral("%1: %2").arg(fileName, text));
            return nullptr;
        }
        note(QStringLiteral("note: %1: they are not exported")
                     .arg(oneLine(pMovie->getErrorDetail())));
    }
    pMovie->setName(QFileInfo(fileName).fileName());
    return pMovie;
}

int ExportRunner::run(const ExportOptions &options)
{
    m_status = 0;
    const std::unique_ptr<Image3D> pMain = openMovie(options.mainFile, options);
    if (!pMain)
        return m_status;
    std::unique_ptr<Image3D> pReferences[2];
    const QString referenceFiles[2] = {options.reference1File, options.reference2File};
    for (int r = 0; r < 2; ++r) {
        if (referenceFiles[r].isEmpty())
            continue;
        pReferences[r] = openMovie(referenceFiles[r], options);
        if (!pReferences[r])
            return m_status;
    }
    const MovieSet movies(pMain.get(), pReferences[0].get(), pReferences[1].get(),
                          options.reference1Offset, options.reference2Offset);
    DisplayRange range = DisplayRange::starting(options.viewType, movies);
    if (options.hasRange)
        range = {options.minValue, options.maxValue};

    if (!QDir().mkpath(options.directory))
        return fail(1, QStringLiteral("%1: the folder can't be created").arg(options.directory));
    const QDir directory(options.directory);
    const int count = movies.getNumFrames();
    const int width = movies.getWidth();
    const int height = movies.getHeight();
    for (int frame = 0; frame < count; ++frame) {
        const MovieSet::ViewSources sources = movies.sources(options.viewType, frame);
        // Held while the frame is rendered; a frame that can't be read fails the export rather
        // than being written as absent.
        FrameCache::Frame held[2];
        const std::pair<const Image3D *, int> parts[2]
                = {{sources.pA, sources.frameA}, {sources.pB, sources.frameB}};
        for (int k = 0; k < 2; ++k) {
            const auto &[pMovie, movieFrame] = parts[k];
            if (!pMovie || movieFrame < 0 || movieFrame >= pMovie->getNumFrames())
                continue;
            held[k] = pMovie->getFrame(movieFrame);
            if (!held[k])
                return fail(1, oneLine(pMovie->getFrameError()));
        }
        const QImage slice = renderView(sources, range.minValue, range.maxValue, width, height);
        if (slice.isNull())
            return fail(
                    1,
                    QStringLiteral("not enough memory for a %1x%2 picture").arg(width).arg(height));
        const QString fileName = directory.filePath(pictureName(frame, count));
        QString reason;
        if (!PngWriter::write(slice, fileName, &reason))
            return fail(1, QStringLiteral("%1: %2").arg(fileName, reason));
    }
    note(count == 1
                 ? QStringLiteral("1 picture written to %1, %2")
                           .arg(QDir::toNativeSeparators(options.directory), pictureName(0, count))
                 : QStringLiteral("%1 pictures written to %2, %3 to %4")
                           .arg(count)
                           .arg(QDir::toNativeSeparators(options.directory), pictureName(0, count),
                                pictureName(count - 1, count)));
    return 0;
}
