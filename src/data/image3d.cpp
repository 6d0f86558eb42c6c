#include "image3d.h"

#include <climits>
#include <cstring>
#include <limits>
#include <new>

#include <QLatin1String>

#include "colourframes.h"
#include "pixelformat.h"
#include "rawfile.h"

namespace {

std::string notEnoughMemoryToLoad(int frames, int width, int height)
{
    return "Not enough memory to load " + std::to_string(frames) + " frames of "
            + std::to_string(width) + "x" + std::to_string(height);
}

std::string unusedBytesText(qint64 bytes)
{
    return "WARNING: " + std::to_string(bytes) + " bytes unused";
}

} // namespace

Image3D::Image3D() = default;

Image3D::Image3D(int width, int height, int frames) { setDimensions(width, height, frames); }

Image3D::~Image3D() = default;

bool Image3D::setDimensions(int width, int height, int frames)
{
    m_pCache.reset();
    m_pFile.reset();
    m_pColour.reset();
    // width * height fits in 64 bits; the third factor may not. A product too large for 64 bits
    // is far beyond any memory, and one below -2^63 is simply negative (an empty array).
    qint64 count = 0;
    if (__builtin_mul_overflow(qint64(width) * height, qint64(frames), &count)) {
        const bool negative = ((width < 0) != (height < 0)) != (frames < 0);
        count = negative ? -1 : std::numeric_limits<qint64>::max();
    }
    if (!m_samples.resize(count)) {
        makeEmpty();
        setErrorString("Not enough memory for a movie of " + std::to_string(width) + "x"
                       + std::to_string(height) + "x" + std::to_string(frames));
        return false;
    }
    m_width = width;
    m_height = height;
    m_frames = frames;
    return true;
}

bool Image3D::loadRaw(const std::string &fileName, int width, int height, bool isYUV)
{
    makeEmpty();
    if (width % 2 != 0 || height % 2 != 0) {
        setErrorString("Both width and height must be a multiple of two");
        return false;
    }
    return loadRaw(fileName, *PixelFormat::byName(QLatin1String(isYUV ? "yuv420p" : "gray")), width,
                   height);
}

bool Image3D::loadRaw(const std::string &fileName, const PixelFormat &format, int width, int height,
                      int plane)
{
    makeEmpty();
    RawFile file;
    if (!file.open(fileName, format, width, height)) {
        setErrorString(file.getErrorString(), file.getErrorDetail());
        return false;
    }
    return loadRaw(file, plane);
}

bool Image3D::loadRaw(const RawFile &file, int plane)
{
    makeEmpty();
    if (!hasPlane(file, plane))
        return false;
    const PixelFormat &format = file.getFormat();
    const std::string name = RawFile::baseName(file.getFileName());
    const int width = file.getPlaneWidth(plane);
    const int height = file.getPlaneHeight(plane);
    const int frames = file.getNumFrames();
    if (!m_samples.allocateZeroed(qint64(width) * height * frames)) {
        setErrorString(notEnoughMemoryToLoad(frames, width, height),
                       name + ": " + std::to_string(qint64(width) * height * frames * 4)
                               + " bytes of samples needed");
        return false;
    }
    file.adviseSequential();
    // Front to back through the one reader; a frame that can't be read is left 0.0 with every
    // later one.
    const qint64 frameSamples = qint64(width) * height;
    int framesRead = 0;
    while (framesRead < frames
           && file.readPlane(framesRead, plane, m_samples.data() + framesRead * frameSamples))
        ++framesRead;
    if (framesRead < frames) {
        std::memset(m_samples.data() + framesRead * frameSamples, 0,
                    size_t((frames - framesRead) * frameSamples) * sizeof(float));
    }
    m_width = width;
    m_height = height;
    m_frames = frames;
    m_depth = format.getDepth();
    m_frameRate = file.getFrameRate();
    if (framesRead < frames) {
        setErrorString("Unable to read a frame",
                       name + ": frame " + std::to_string(framesRead + 1) + " of "
                               + std::to_string(frames) + " can't be read completely");
        return false;
    }
    if (file.getUnusedBytes() != 0) {
        setErrorString(unusedBytesText(file.getUnusedBytes()), file.describeUnusedBytes());
        return false;
    }
    return true;
}

FrameCache::Frame Image3D::getFrame(int frame) const
{
    if (m_pCache)
        return m_pCache->getFrame(frame);
    const qint64 frameSamples = qint64(m_width) * m_height;
    if (frame < 0 || frame >= m_frames || frameSamples <= 0
        || (qint64(frame) + 1) * frameSamples > m_samples.size())
        return nullptr;
    // Borrowed from the array: an empty owner, so nothing is allocated or freed.
    return FrameCache::Frame(std::shared_ptr<const float>(),
                             m_samples.data() + frame * frameSamples);
}

std::string Image3D::getFrameError() const
{
    return m_pCache ? m_pCache->getErrorString() : std::string();
}

void Image3D::readAhead(int frame, int dir) const
{
    // Far enough ahead to play through the frames while the user holds a key.
    if (m_pCache)
        m_pCache->readAhead(frame, dir, 8);
}

bool Image3D::setFrameSource(int width, int height, int frames, FrameCache::Loader loader,
                             qint64 budgetBytes)
{
    if (width <= 0 || height <= 0 || frames <= 0)
        return false;
    std::unique_ptr<FrameCache> pCache(new (std::nothrow) FrameCache(
            std::move(loader), qint64(width) * height, frames, budgetBytes));
    if (!pCache)
        return false;
    m_samples.clear();
    m_pCache = std::move(pCache);
    m_pFile.reset();
    m_pColour.reset();
    m_width = width;
    m_height = height;
    m_frames = frames;
    return true;
}

bool Image3D::openRaw(std::unique_ptr<RawFile> pFile, int plane, int firstFrame, int frameCount,
                      qint64 budgetBytes)
{
    std::shared_ptr<const RawFile> pShared;
    try {
        pShared = std::move(pFile);
    } catch (const std::bad_alloc &) {
        makeEmpty();
        setErrorString(notEnoughMemoryToLoad(pFile->getNumFrames(), pFile->getWidth(),
                                             pFile->getHeight()));
        return false;
    }
    return openRaw(pShared, plane, firstFrame, frameCount, budgetBytes);
}

bool Image3D::openRaw(std::shared_ptr<const RawFile> pFile, int plane, int firstFrame,
                      int frameCount, qint64 budgetBytes)
{
    makeEmpty();
    if (!hasPlane(*pFile, plane))
        return false;
    const PixelFormat &format = pFile->getFormat();
    const std::string name = RawFile::baseName(pFile->getFileName());
    const int fileFrames = pFile->getNumFrames();
    if (firstFrame < 0 || firstFrame >= fileFrames || frameCount == 0) {
        setErrorString("No such frames in the file",
                       name + ": frames 1 to " + std::to_string(fileFrames)
                               + ", the first asked for is "
                               + std::to_string(qint64(firstFrame) + 1));
        return false;
    }
    const int frames = frameCount < 0 ? fileFrames - firstFrame
                                      : int(std::min<qint64>(frameCount, fileFrames - firstFrame));
    const int width = pFile->getPlaneWidth(plane);
    const int height = pFile->getPlaneHeight(plane);
    const std::shared_ptr<const RawFile> pShared = std::move(pFile);
    auto loader = [pShared, plane, firstFrame, frames, name](int frame, float *pSamples,
                                                             std::string &error) {
        if (pShared->readPlane(firstFrame + frame, plane, pSamples))
            return true;
        error = "Unable to read a frame\n" + name + ": frame " + std::to_string(frame + 1) + " of "
                + std::to_string(frames) + " can't be read any more";
        return false;
    };
    bool opened = false;
    try {
        opened = setFrameSource(width, height, frames, std::move(loader),
                                budgetBytes < 0 ? FrameCache::defaultBudget() : budgetBytes);
    } catch (const std::bad_alloc &) { }
    if (!opened) {
        setErrorString(notEnoughMemoryToLoad(frames, width, height));
        return false;
    }
    m_depth = format.getDepth();
    m_pFile = pShared;
    if (format.getPlaneCount() == 3) {
        try {
            m_pColour = std::make_unique<ColourFrames>(pShared, firstFrame, frames,
                                                       m_pCache->getBudget());
        } catch (const std::bad_alloc &) {
            // Without it the movie is shown in gray only.
        }
    }
    m_filePlane = plane;
    m_fileFirstFrame = firstFrame;
    m_frameRate = pShared->getFrameRate();
    if (pShared->getUnusedBytes() != 0) {
        setErrorString(unusedBytesText(pShared->getUnusedBytes()), pShared->describeUnusedBytes());
        return false;
    }
    return true;
}

bool Image3D::openRaw(const std::string &fileName, int width, int height, bool isYUV,
                      int firstFrame, int frameCount)
{
    if (width % 2 != 0 || height % 2 != 0) {
        makeEmpty();
        setErrorString("Both width and height must be a multiple of two");
        return false;
    }
    return openRaw(fileName, *PixelFormat::byName(QLatin1String(isYUV ? "yuv420p" : "gray")), width,
                   height, 0, firstFrame, frameCount);
}

bool Image3D::openRaw(const std::string &fileName, const PixelFormat &format, int width, int height,
                      int plane, int firstFrame, int frameCount)
{
    std::unique_ptr<RawFile> pFile(new (std::nothrow) RawFile);
    if (pFile && pFile->open(fileName, format, width, height))
        return openRaw(std::move(pFile), plane, firstFrame, frameCount);
    makeEmpty();
    if (pFile)
        setErrorString(pFile->getErrorString(), pFile->getErrorDetail());
    else
        setErrorString(notEnoughMemoryToLoad(0, width, height));
    return false;
}

void Image3D::makeEmpty()
{
    m_pCache.reset();
    m_pFile.reset();
    m_pColour.reset();
    m_samples.clear();
    m_width = m_height = m_frames = 0;
    m_frameRate = 0;
}

bool Image3D::hasPlane(const RawFile &file, int plane)
{
    const PixelFormat &format = file.getFormat();
    if (plane >= 0 && plane < format.getPlaneCount())
        return true;
    setErrorString("The file has no plane " + std::string(1, "YUV?"[qBound(0, plane, 3)]),
                   RawFile::baseName(file.getFileName()) + ": " + format.getName().toStdString()
                           + " holds " + (format.getPlaneCount() == 1 ? "only Y" : "Y, U and V"));
    return false;
}
