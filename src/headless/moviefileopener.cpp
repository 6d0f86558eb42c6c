#include "moviefileopener.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <QFileInfo>

#include "image2d.h"
#include "image3d.h"
#include "pixelformat.h"
#include "rawfile.h"

namespace {

QString sizeText(int width, int height) { return QStringLiteral("%1x%2").arg(width).arg(height); }

QString baseName(const QString &fileName) { return QFileInfo(fileName).fileName(); }

// Why a file can't be opened at all, before anything reads it; empty when it can. A FIFO or a
// pipe would block the first read until a writer comes, so only regular files pass.
QString refusal(const QFileInfo &info)
{
    if (!info.exists())
        return QStringLiteral("no such file");
    if (info.isDir())
        return QStringLiteral("a folder, not a file");
    if (!info.isFile())
        return QStringLiteral("not a regular file (a pipe, a device or a socket): only files "
                              "are read");
    if (!info.isReadable())
        return QStringLiteral("not a readable file");
    return QString();
}

} // namespace

MovieFileOpener::MovieFileOpener() = default;

MovieFileOpener::~MovieFileOpener() = default;

void MovieFileOpener::reset()
{
    m_kind = Kind::None;
    m_guess = FileNameGuess();
    m_pFile.reset();
    m_pImage.reset();
    m_firstFrame = m_frameCount = m_plane = 0;
    m_status = 0;
    m_error.clear();
}

bool MovieFileOpener::fail(int status, const QString &line, const std::string &text,
                           const std::string &detail)
{
    reset();
    m_status = status;
    m_error = line;
    setErrorString(text, detail);
    return false;
}

bool MovieFileOpener::failWith(const ErrorBase &object)
{
    // "Unable to open ...: clip.yuv: No such file or directory" on one line.
    QString line = QString::fromStdString(object.getErrorString());
    if (!object.getErrorDetail().empty())
        line += QStringLiteral(" (") + QString::fromStdString(object.getErrorDetail())
                + QLatin1Char(')');
    return fail(1, line, object.getErrorString(), object.getErrorDetail());
}

std::unique_ptr<RawFile> MovieFileOpener::takeRawFile() { return std::move(m_pFile); }

std::unique_ptr<Image2D> MovieFileOpener::takeImage() { return std::move(m_pImage); }

QStringList MovieFileOpener::takeNotes() { return std::exchange(m_notes, QStringList()); }

bool MovieFileOpener::identify(const QString &fileName)
{
    reset();
    m_fileName = fileName;
    const std::string name = fileName.toStdString();
    const QFileInfo info(fileName);
    const QString reason = refusal(info);
    if (!reason.isEmpty()) {
        return fail(1, fileName + QStringLiteral(": ") + reason,
                    "Unable to open specified file " + name,
                    RawFile::baseName(name) + ": " + reason.toStdString());
    }

    // The header of a y4m file says what it is; it is never tried as a picture.
    if (RawFile::hasY4mMagic(name)) {
        auto pFile = std::make_unique<RawFile>();
        if (!pFile->openY4m(name))
            return failWith(*pFile);
        m_frameCount = pFile->getNumFrames();
        m_pFile = std::move(pFile);
        m_kind = Kind::Y4m;
        return true;
    }
    auto pImage = std::make_unique<Image2D>();
    if (pImage->loadImage(name)) {
        m_pImage = std::move(pImage);
        m_frameCount = 1;
        m_kind = Kind::Picture;
        return true;
    }
    // A picture too large to decode is still a picture: its bytes read as raw frames would
    // only show noise.
    if (pImage->isTooLarge())
        return failWith(*pImage);
    m_guess = FileNameGuess::fromName(fileName, info.size());
    m_kind = Kind::Raw;
    return true;
}

MovieFileOpener::RawAnswer MovieFileOpener::answerRaw(const MovieFileOptions &options)
{
    RawAnswer answer;
    QStringList fromName;
    if (options.frameWidth > 0 && options.frameHeight > 0) {
        answer.width = options.frameWidth;
        answer.height = options.frameHeight;
    } else if (m_guess.hasSize()) {
        answer.width = m_guess.getWidth();
        answer.height = m_guess.getHeight();
        fromName << sizeText(answer.width, answer.height);
    }
    answer.pFormat = PixelFormat::byName(options.pixelFormat);
    if (!answer.pFormat && m_guess.getFormat()) {
        answer.pFormat = m_guess.getFormat();
        fromName << answer.pFormat->getName();
    }
    if (!fromName.isEmpty())
        m_notes << QStringLiteral("note: %1: %2 taken from the file name")
                           .arg(baseName(m_fileName), fromName.join(QLatin1Char(' ')));
    return answer;
}

bool MovieFileOpener::openRaw(int width, int height, const PixelFormat &format, bool evenSides)
{
    const QString formatName = format.getName();
    if (evenSides && (width % 2 != 0 || height % 2 != 0)
        && (formatName == QLatin1String("yuv420p") || formatName == QLatin1String("gray"))) {
        return fail(1, m_fileName + QStringLiteral(": width and height must be even"),
                    "Both width and height must be a multiple of two");
    }
    auto pFile = std::make_unique<RawFile>();
    if (!pFile->open(m_fileName.toStdString(), format, width, height))
        return failWith(*pFile);
    m_firstFrame = 0;
    m_frameCount = pFile->getNumFrames();
    m_pFile = std::move(pFile);
    return true;
}

bool MovieFileOpener::selectFrames(int firstFrame, int frameCount)
{
    if (!m_pFile)
        return true;
    const int frames = m_pFile->getNumFrames();
    if (firstFrame < 0 || firstFrame >= frames || frameCount == 0) {
        return fail(1,
                    QStringLiteral("%1 holds %2 frames: --frames starts at frame %3")
                            .arg(m_fileName)
                            .arg(frames)
                            .arg(firstFrame),
                    "No such frames in the file",
                    RawFile::baseName(m_fileName.toStdString()) + ": frames 1 to "
                            + std::to_string(frames) + ", the first asked for is "
                            + std::to_string(qint64(firstFrame) + 1));
    }
    m_firstFrame = firstFrame;
    m_frameCount = frameCount < 0 ? frames - firstFrame : std::min(frameCount, frames - firstFrame);
    return true;
}

void MovieFileOpener::selectPlane(int plane)
{
    const int planes = m_pFile ? m_pFile->getFormat().getPlaneCount() : 1;
    m_plane = plane > 0 && plane < planes ? plane : 0;
    if (plane == m_plane || (!m_pFile && !m_pImage))
        return;
    const QString what = m_pFile ? m_pFile->getFormat().getName() : QStringLiteral("a picture");
    m_notes << QStringLiteral("note: %1 has no %2 plane (%3): Y is used")
                       .arg(baseName(m_fileName), QLatin1String(plane == 1 ? "U" : "V"), what);
}

bool MovieFileOpener::open(const QString &fileName, const MovieFileOptions &options)
{
    if (!identify(fileName))
        return false;
    if (m_kind == Kind::Raw) {
        RawAnswer answer = answerRaw(options);
        if (answer.width <= 0) {
            const QString &outOfRange = m_guess.getSizeOutOfRange();
            return fail(2,
                        outOfRange.isEmpty()
                                ? QStringLiteral("%1: frame size unknown: give --size WxH, or "
                                                 "name the file like clip_1920x1080.yuv")
                                          .arg(fileName)
                                : QStringLiteral("%1: the frame size %2 in its name is out of "
                                                 "range (1 to %3 a side): give --size WxH")
                                          .arg(fileName, outOfRange)
                                          .arg(FileNameGuess::MaxSide),
                        "Frame size unknown");
        }
        if (!answer.pFormat)
            answer.pFormat = PixelFormat::byName(QStringLiteral("yuv420p"));
        if (!openRaw(answer.width, answer.height, *answer.pFormat))
            return false;
    }
    if (!selectFrames(options.firstFrame, options.frameCount))
        return false;
    selectPlane(options.plane);
    return true;
}

qint64 MovieFileOpener::getFrameBytes() const
{
    if (m_pFile)
        return qint64(m_pFile->getPlaneWidth(m_plane)) * m_pFile->getPlaneHeight(m_plane)
                * qint64(sizeof(float));
    if (m_pImage)
        return m_pImage->getSampleCount() * qint64(sizeof(float));
    return 0;
}

bool MovieFileOpener::readInto(Image3D &movie, qint64 budgetBytes)
{
    if (m_pImage) {
        // A picture is a one-frame movie held in memory; an image row and a frame row share
        // one layout, sample (x, y) at x + y * width.
        const std::unique_ptr<Image2D> pImage = std::move(m_pImage);
        if (!movie.setDimensions(pImage->getWidth(), pImage->getHeight(), 1))
            return false;
        if (pImage->getSampleCount() > 0)
            std::memcpy(movie.getData(), pImage->getData(),
                        size_t(pImage->getSampleCount()) * sizeof(float));
        return true;
    }
    if (!m_pFile) {
        movie.setErrorString("Unable to open specified file " + m_fileName.toStdString());
        return false;
    }
    return movie.openRaw(std::move(m_pFile), m_plane, m_firstFrame, m_frameCount, budgetBytes);
}
