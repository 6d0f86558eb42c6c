#include "image3d.h"

#include <climits>
#include <cstdio>
#include <limits>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rawframereader.h"

namespace {

// Closes a file descriptor on every path out of the reader.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Opens a regular file for reading; -1 otherwise. Other kinds (a directory, a FIFO, a device)
// are refused without blocking: their size can't be taken, and a FIFO would wait for a writer.
int openRegularFile(const std::string &fileName)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
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
    m_pCache.reset();
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
    m_pCache.reset();
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

    const FileDescriptor file(openRegularFile(fileName));
    if (file.get() < 0) {
        setErrorString("Unable to open specified file " + fileName);
        return false;
    }

    // lumaSize * 3 / 2 written so that it can't overflow: width and height can each be near
    // 2^31, which puts lumaSize near 2^62.
    const qint64 lumaSize = qint64(width) * height;
    const qint64 frameSize = isYUV ? lumaSize + lumaSize / 2 : lumaSize;

    // The size the file system reports, as a seek to the end of a regular file gives it
    // (procfs files report 0 and refuse such a seek).
    struct stat info;
    if (fstat(file.get(), &info) != 0) {
        setErrorString("Unable to seek to end of file");
        return false;
    }
    const qint64 fileSize = info.st_size;
    const qint64 frameCount = fileSize / frameSize;
    const qint64 remainder = fileSize % frameSize;
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
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // The volume comes zeroed from the allocator, so frames that are never read stay 0.0.
    const RawFrameReader reader(file.get(), width, height, frameSize);
    int framesRead = -1;
    if (m_samples.allocateZeroed(lumaSize * frames)) {
        framesRead = reader.read(m_samples.data(), frames,
                                 RawFrameReader::workersFor(lumaSize * frames));
    }
    if (framesRead < 0) {
        m_samples.clear();
        setErrorString(formatted("Not enough memory to load %lld frames of %lldx%lld", frames,
                                 width, height));
        return false;
    }
    m_width = width;
    m_height = height;
    m_frames = frames;
    if (framesRead < frames) {
        setErrorString("Unable to read a frame");
        return false;
    }

    if (remainder != 0) {
        setErrorString(formatted("WARNING: %lld bytes unused", remainder));
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
    m_width = width;
    m_height = height;
    m_frames = frames;
    return true;
}
