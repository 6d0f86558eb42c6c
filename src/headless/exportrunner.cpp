#include "exportrunner.h"

#include <algorithm>
#include <utility>

#include <QDir>
#include <QFileInfo>

#include "colourframes.h"
#include "colourrendering.h"
#include "image3d.h"
#include "movieset.h"
#include "pngwriter.h"
#include "session.h"
#include "viewrenderer.h"
#include "viewtype.h"

namespace {

// An error text of the data layer on one line.
QString oneLine(const std::string &text)
{
    return QString::fromStdString(text).replace(QLatin1Char('\n'), QStringLiteral(": "));
}

// The main frames [first, second) at which the view's movies have a frame (a difference: both
// of its movies).
std::pair<int, int> viewFrames(const MovieSet &movies, int viewType)
{
    auto span = [](const Image3D *pMovie, int offset) {
        if (!pMovie)
            return std::pair<qint64, qint64>(0, 0);
        return std::pair<qint64, qint64>(offset, qint64(offset) + pMovie->getNumFrames());
    };
    const MovieSet::ViewSources sources = movies.sources(viewType, 0);
    // A reference's frame f - offset meets main frame f: at main frame 0 it shows -offset.
    std::pair<qint64, qint64> frames = span(sources.pA, -sources.frameA);
    if (sources.difference) {
        const std::pair<qint64, qint64> b = span(sources.pB, -sources.frameB);
        frames = {std::max(frames.first, b.first), std::min(frames.second, b.second)};
    }
    const qint64 begin = std::max<qint64>(frames.first, 0);
    const qint64 end = std::min<qint64>(frames.second, movies.getNumFrames());
    return {int(begin), int(std::max(begin, end))};
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

std::unique_ptr<Image3D> ExportRunner::openMovie(int slot, const QString &fileName,
                                                 const ExportOptions &options)
{
    MovieFileOpener opener;
    MovieFileOptions files = options.files;
    files.plane = options.plane;
    if (slot != Session::Main && options.referenceFiles[slot - 1])
        files = *options.referenceFiles[slot - 1];
    const bool opened = opener.open(fileName, files);
    for (const QString &text : opener.takeNotes()) {
        if (m_notes)
            note(text);
    }
    if (!opened) {
        fail(opener.getStatus(), opener.getError());
        return nullptr;
    }
    // Each frame is rendered and written once: a cache of one frame keeps memory flat.
    auto pMovie = std::make_unique<Image3D>();
    if (!opener.readInto(*pMovie, opener.getFrameBytes())) {
        if (pMovie->getNumFrames() < 1) {
            QString text = oneLine(pMovie->getErrorString());
            if (!pMovie->getErrorDetail().empty())
                text += QStringLiteral(" (") + oneLine(pMovie->getErrorDetail()) + QLatin1Char(')');
            fail(1, QStringLiteral("%1: %2").arg(fileName, text));
            return nullptr;
        }
        if (m_notes)
            note(QStringLiteral("note: %1: they are not exported")
                         .arg(oneLine(pMovie->getErrorDetail())));
    }
    pMovie->setName(QFileInfo(fileName).fileName());
    return pMovie;
}

int ExportRunner::openMovies(const ExportOptions &options, Session &session, bool notes)
{
    m_status = 0;
    m_notes = notes;
    // Each frame is rendered and written once: no cache holds more than the frame in use.
    session.setFrameCacheBudget(0);
    session.setColour(options.colour);
    const QString files[3] = {options.mainFile, options.reference1File, options.reference2File};
    for (int slot = 0; slot < Session::SlotCount; ++slot) {
        if (slot != Session::Main && files[slot].isEmpty())
            continue;
        std::unique_ptr<Image3D> pMovie = openMovie(slot, files[slot], options);
        if (!pMovie)
            return m_status;
        session.setMovie(slot, std::move(pMovie), {files[slot]});
    }
    session.setOffset(1, options.reference1Offset);
    session.setOffset(2, options.reference2Offset);
    return 0;
}

bool ExportRunner::writeView(const MovieSet &movies, const ViewRenderer &renderer, int viewType,
                             int frame, const QString &fileName, QString &error)
{
    const MovieSet::ViewSources sources = movies.sources(viewType, frame);
    const bool inColour = renderer.showsColour(sources);
    // Held while the frame is rendered; a frame that can't be read fails the export rather
    // than being written as absent.
    FrameCache::Frame held[2];
    const std::pair<const Image3D *, int> parts[2]
            = {{sources.pA, sources.frameA}, {sources.pB, sources.frameB}};
    for (int k = 0; k < 2 && !inColour; ++k) {
        const auto &[pMovie, movieFrame] = parts[k];
        if (!pMovie || movieFrame < 0 || movieFrame >= pMovie->getNumFrames())
            continue;
        held[k] = pMovie->getFrame(movieFrame);
        if (!held[k]) {
            error = oneLine(pMovie->getFrameError());
            return false;
        }
    }
    const ColourFrames *pColour = inColour ? sources.pA->getColourFrames() : nullptr;
    if (pColour && pColour->getFrame(sources.frameA).isNull()) {
        error = oneLine(pColour->getFrameError());
        return false;
    }
    const int width = movies.getWidth();
    const int height = movies.getHeight();
    const QImage slice = renderer.render(movies, viewType, frame, width, height);
    if (slice.isNull()) {
        error = QStringLiteral("not enough memory for a %1x%2 picture").arg(width).arg(height);
        return false;
    }
    QString reason;
    if (!PngWriter::write(slice, fileName, &reason,
                          renderer.isColourful(movies, viewType, frame))) {
        error = QStringLiteral("%1: %2").arg(fileName, reason);
        return false;
    }
    return true;
}

int ExportRunner::run(const ExportOptions &options)
{
    // The comparison the window would show for the same files: its ranges start where the
    // window's do, deeper movies widening them.
    Session session;
    if (openMovies(options, session) != 0)
        return m_status;
    if (options.hasRange)
        session.setRange(options.viewType, {options.minValue, options.maxValue});
    const MovieSet movies = session.getMovieSet();

    const auto [begin, end] = viewFrames(movies, options.viewType);
    if (begin >= end) {
        return fail(1,
                    QStringLiteral("no frame to export: the movies of the view share no frame "
                                   "at the offsets given"));
    }
    if (QFileInfo(options.directory).exists() && !QFileInfo(options.directory).isDir())
        return fail(1, QStringLiteral("%1: a file, not a folder").arg(options.directory));
    if (!QDir().mkpath(options.directory))
        return fail(1, QStringLiteral("%1: the folder can't be created").arg(options.directory));
    const QDir directory(options.directory);
    const int count = end - begin;
    if (count < movies.getNumFrames()) {
        note(QStringLiteral("note: %1 of the %2 frames have a frame of the view: only those are "
                            "exported")
                     .arg(count)
                     .arg(movies.getNumFrames()));
    }
    ViewRenderer renderer;
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        renderer.setRange(view, session.getRange(view));
    const ColourRendering colour(options.colourOptions);
    renderer.setColour(options.colour, colour);
    for (int ref = 1; ref <= 2; ++ref)
        renderer.setDifferenceDisplay(ref, options.difference);
    const MovieSet::ViewSources first = movies.sources(options.viewType, begin);
    if (options.colour && !first.difference && first.pA) {
        if (ColourRendering::inColour(first))
            note(QStringLiteral("note: colour: %1").arg(colour.describe(first.pA)));
        else
            note(QStringLiteral("note: %1 has no chroma: exported in gray")
                         .arg(first.pA->getName()));
    }
    for (int frame = begin; frame < end; ++frame) {
        QString error;
        if (!writeView(movies, renderer, options.viewType, frame,
                       directory.filePath(pictureName(frame - begin, count)), error))
            return fail(1, error);
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
