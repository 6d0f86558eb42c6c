#include "moviefileopener.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include "filenameguess.h"
#include "image2d.h"
#include "pixelformat.h"
#include "rawfile.h"

namespace {

QString sizeText(int width, int height) { return QStringLiteral("%1x%2").arg(width).arg(height); }

// "Unable to open ...: clip.yuv: No such file or directory" on one line.
QString errorLine(const ErrorBase &object)
{
    QString text = QString::fromStdString(object.getErrorString());
    const QString detail = QString::fromStdString(object.getErrorDetail());
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    return text;
}

} // namespace

bool MovieFileOpener::fail(int status, const QString &error)
{
    m_pFile.reset();
    m_pImage.reset();
    m_status = status;
    m_error = error;
    return false;
}

std::unique_ptr<RawFile> MovieFileOpener::takeRawFile() { return std::move(m_pFile); }

std::unique_ptr<Image2D> MovieFileOpener::takeImage() { return std::move(m_pImage); }

QStringList MovieFileOpener::takeNotes() { return std::exchange(m_notes, QStringList()); }

bool MovieFileOpener::open(const QString &fileName, const MovieFileOptions &options)
{
    m_pFile.reset();
    m_pImage.reset();
    m_status = 0;
    m_error.clear();
    const std::string name = fileName.toStdString();
    const QFileInfo info(fileName);
    if (!info.exists() || !info.isReadable() || info.isDir()) {
        return fail(1,
                    QStringLiteral("%1: %2").arg(fileName,
                                                 info.exists()
                                                         ? QStringLiteral("not a readable file")
                                                         : QStringLiteral("no such file")));
    }
    m_firstFrame = options.firstFrame;
    auto takeFrames = [&](int frames) {
        if (m_firstFrame >= frames) {
            return fail(1,
                        QStringLiteral("%1 holds %2 frames: --frames starts at frame %3")
                                .arg(fileName)
                                .arg(frames)
                                .arg(m_firstFrame));
        }
        m_frameCount = options.frameCount < 0 ? frames - m_firstFrame
                                              : std::min(options.frameCount, frames - m_firstFrame);
        return true;
    };

    // Files are tried as still pictures first, as the window does; a y4m never is one.
    QFile probe(fileName);
    const bool isY4m = probe.open(QIODevice::ReadOnly) && probe.read(10) == "YUV4MPEG2 ";
    probe.close();
    if (!isY4m) {
        auto pImage = std::make_unique<Image2D>();
        if (pImage->loadImage(name)) {
            if (!takeFrames(1))
                return false;
            m_pImage = std::move(pImage);
            return true;
        }
        if (pImage->isTooLarge())
            return fail(1, errorLine(*pImage));
    }

    auto pFile = std::make_unique<RawFile>();
    if (isY4m) {
        if (!pFile->openY4m(name))
            return fail(1, errorLine(*pFile));
    } else {
        const FileNameGuess guess = FileNameGuess::fromName(fileName, info.size());
        int width = options.frameWidth;
        int height = options.frameHeight;
        const PixelFormat *pFormat = PixelFormat::byName(options.pixelFormat);
        QStringList guessed;
        if (width <= 0 && guess.hasSize()) {
            width = guess.getWidth();
            height = guess.getHeight();
            guessed << sizeText(width, height);
        }
        if (!pFormat && guess.getFormat()) {
            pFormat = guess.getFormat();
            guessed << pFormat->getName();
        }
        if (width <= 0) {
            return fail(2,
                        QStringLiteral("%1: frame size unknown: give --size WxH, or name the file "
                                       "like clip_1920x1080.yuv")
                                .arg(fileName));
        }
        if (!pFormat)
            pFormat = PixelFormat::byName(QStringLiteral("yuv420p"));
        if (!guessed.isEmpty())
            m_notes << QStringLiteral("note: %1: %2 taken from the file name")
                               .arg(fileName, guessed.join(QLatin1Char(' ')));
        if (!pFile->open(name, *pFormat, width, height))
            return fail(1, errorLine(*pFile));
    }
    if (!takeFrames(pFile->getNumFrames()))
        return false;
    m_pFile = std::move(pFile);
    return true;
}
