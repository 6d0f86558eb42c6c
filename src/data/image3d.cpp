#include "image3d.h"

#include <climits>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileCloser
{
    void operator()(FILE *pFile) const { std::fclose(pFile); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Opens a regular file for binary reading. Other kinds (a directory, a FIFO, a device) are
// refused without blocking: their size can't be taken, and a FIFO would wait for a writer.
FilePtr openRegularFile(const std::string &fileName)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *pFile = fdopen(fd, "rb");
    if (!pFile)
        ::close(fd);
    return FilePtr(pFile);
}

std::string formatted(const char *format, long long a, long long b = 0, long long c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

Image3D::Image3D() = default;

Image3D::Image3D(int width, int height, int frames) { setDimensions(width, height, frames); }

Image3D::~Image3D() = default;

bool Image3D::setDimensions(int width, int height, int frames)
{
    // width * height fits in 64 bits; the third factor may not. A product too large for 64 bits
    // is far beyond any memory, and one below -2^63 is simply negative (an empty array).
    qint64 count = 0;
    if (__builtin_mul_overflow(qint64(width) * height, qint64(frames), &count)) {
        const bool negative = ((width < 0) != (height < 0)) != (frames < 0);
        count = negative ? -1 : std::numeric_limits<qint64>::max();
    }
    if (!m_samples.resize(count)) {
        m_samples.clear();
        m_width = m_height = m_frames = 0;
        setErrorString(formatted("Not enough memory for a movie of %lldx%lldx%lld", width, height,
                                 frames));
        return false;
    }
    m_width = width;
    m_height = height;
    m_frames = frames;
    return true;
}

bool Image3D::loadRaw(const std::string &fileName, int width, int height, bool isYUV)
{
    m_samples.clear();
    m_width = m_height = m_frames = 0;

    if (width % 2 != 0 || height % 2 != 0) {
        setErrorString("Both width and height must be a multiple of two");
        return false;
    }
    if (width <= 0 || height <= 0) {
        setErrorString(formatted("Invalid frame size %lldx%lld: width and height must be greater "
                                 "than zero",
                                 width, height));
        return false;
    }

    FilePtr file = openRegularFile(fileName);
    if (!file) {
        setErrorString("Unable to open specified file " + fileName);
        return false;
    }

    // lumaSize * 3 / 2 written so that it can't overflow: width and height can each be near
    // 2^31, which puts lumaSize near 2^62.
    const qint64 lumaSize = qint64(width) * height;
    const qint64 frameSize = isYUV ? lumaSize + lumaSize / 2 : lumaSize;

    if (fseeko(file.get(), 0, SEEK_END) != 0) {
        setErrorString("Unable to seek to end of file");
        return false;
    }
    const qint64 fileSize = ftello(file.get());
    const qint64 frameCount = fileSize < 0 ? 0 : fileSize / frameSize;
    const qint64 remainder = fileSize < 0 ? 0 : fileSize % frameSize;
    if (frameCount < 1) {
        setErrorString("Not enough data in file for one frame");
        return false;
    }
    if (frameCount > INT_MAX) {
        setErrorString(formatted("Too many frames in file: %lld (at most %lld can be loaded)",
                                 frameCount, INT_MAX));
        return false;
    }
    const int frames = int(frameCount);
    if (fseeko(file.get(), 0, SEEK_SET) != 0) {
        setErrorString("Unable to read a frame");
        return false;
    }

    // The volume comes zeroed from the allocator, so frames that are never read stay 0.0.
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size_t(frameSize)]);
    if (!buffer || !m_samples.allocateZeroed(lumaSize * frames)) {
        m_samples.clear();
        setErrorString(formatted("Not enough memory to load %lld frames of %lldx%lld", frames,
                                 width, height));
        return false;
    }
    m_width = width;
    m_height = height;
    m_frames = frames;

    float *pVolume = m_samples.data();
    for (int f = 0; f < frames; ++f) {
        if (std::fread(buffer.get(), 1, size_t(frameSize), file.get()) != size_t(frameSize)) {
            setErrorString("Unable to read a frame");
            return false;
        }
        // The file's first row is the top of the picture: it goes to row height - 1.
        const unsigned char *pSource = buffer.get() + (height - 1) * qint64(width);
        float *pTarget = pVolume + qint64(f) * lumaSize;
        for (int y = 0; y < height; ++y, pSource -= width, pTarget += width) {
            for (int x = 0; x < width; ++x)
                pTarget[x] = float(pSource[x]);
        }
    }

    if (remainder != 0) {
        setErrorString(formatted("WARNING: %lld bytes unused", remainder));
        return false;
    }
    return true;
}
