#include "rawfile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pixelformat.h"
#include "y4mheader.h"

namespace {

// A plane is read in bands of rows of about this many bytes, so that each band is still in the
// processor's cache when it is converted.
constexpr qint64 BandBytes = qint64(256) << 10;

std::string number(qint64 value) { return std::to_string(value); }

std::string frameName(const PixelFormat &format, int width, int height)
{
    return number(width) + "×" + number(height) + " " + format.getName().toStdString();
}

// Byte rows of the file to float rows. Written with non-aliasing pointers so that the compiler
// turns the plain cases into vector code.
void convert8(const unsigned char *__restrict pBytes, float *__restrict pRow, int width)
{
    for (int x = 0; x < width; ++x)
        pRow[x] = float(pBytes[x]);
}

void convert8Interleaved(const unsigned char *__restrict pBytes, float *__restrict pRow, int width)
{
    for (int x = 0; x < width; ++x)
        pRow[x] = float(pBytes[2 * x]);
}

void convert16(const unsigned char *__restrict pBytes, float *__restrict pRow, int width)
{
    for (int x = 0; x < width; ++x)
        pRow[x] = float(unsigned(pBytes[2 * x]) | unsigned(pBytes[2 * x + 1]) << 8);
}

// Widen [low, high] by the samples of one row, in the same layouts; integer minimum and
// maximum, which the compiler turns into vector code.
void range8(const unsigned char *__restrict pBytes, int width, unsigned &low, unsigned &high)
{
    unsigned char rowLow = 0xff;
    unsigned char rowHigh = 0;
    for (int x = 0; x < width; ++x) {
        rowLow = std::min(rowLow, pBytes[x]);
        rowHigh = std::max(rowHigh, pBytes[x]);
    }
    low = std::min<unsigned>(low, rowLow);
    high = std::max<unsigned>(high, rowHigh);
}

void range8Interleaved(const unsigned char *__restrict pBytes, int width, unsigned &low,
                       unsigned &high)
{
    unsigned char rowLow = 0xff;
    unsigned char rowHigh = 0;
    for (int x = 0; x < width; ++x) {
        rowLow = std::min(rowLow, pBytes[2 * x]);
        rowHigh = std::max(rowHigh, pBytes[2 * x]);
    }
    low = std::min<unsigned>(low, rowLow);
    high = std::max<unsigned>(high, rowHigh);
}

void range16(const unsigned char *__restrict pBytes, int width, unsigned &low, unsigned &high)
{
    quint16 rowLow = 0xffff;
    quint16 rowHigh = 0;
    for (int x = 0; x < width; ++x) {
        const quint16 v = quint16(unsigned(pBytes[2 * x]) | unsigned(pBytes[2 * x + 1]) << 8);
        rowLow = std::min(rowLow, v);
        rowHigh = std::max(rowHigh, v);
    }
    low = std::min<unsigned>(low, rowLow);
    high = std::max<unsigned>(high, rowHigh);
}

} // namespace

RawFile::RawFile() : m_pFormat(PixelFormat::byName(QStringLiteral("yuv420p"))) { }

RawFile::~RawFile() { close(); }

void RawFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_isY4m = false;
    m_width = m_height = m_frames = 0;
    m_fileSize = m_frameBytes = m_unusedBytes = 0;
    m_frameRate = 0;
    m_colourRangeTag = 0;
    m_unusedReason.clear();
    m_frameOffsets.clear();
    m_frameOffsets.shrink_to_fit();
}

std::string RawFile::baseName(const std::string &fileName)
{
    const size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

bool RawFile::hasY4mMagic(const std::string &fileName)
{
    RawFile file;
    char magic[10];
    return file.openFile(fileName) && file.m_fileSize >= qint64(sizeof magic)
            && file.readBytes(reinterpret_cast<unsigned char *>(magic), sizeof magic, 0)
            && Y4mHeader::hasMagic(magic, sizeof magic);
}

bool RawFile::fail(const std::string &text, const std::string &detail)
{
    close();
    setErrorString(text, detail);
    return false;
}

bool RawFile::openFile(const std::string &fileName)
{
    close();
    m_fileName = fileName;
    // Only regular files: a directory, a FIFO or a device has no size to take, and a FIFO
    // would wait for a writer (hence O_NONBLOCK until the kind is known).
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail("Unable to open specified file " + fileName,
                    baseName(fileName) + ": " + std::strerror(errno));
    }
    m_fd = fd;
    struct stat info;
    if (fstat(fd, &info) != 0) {
        return fail("Unable to seek to end of file",
                    baseName(fileName) + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(
                "Unable to open specified file " + fileName,
                baseName(fileName) + ": "
                        + (S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file"));
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // procfs files report 0 here whatever they hold, and are then refused as too short.
    m_fileSize = info.st_size;
    return true;
}

bool RawFile::open(const std::string &fileName, const PixelFormat &format, int width, int height)
{
    if (width <= 0 || height <= 0) {
        close();
        m_fileName = fileName;
        return fail("Invalid frame size " + number(width) + "x" + number(height)
                            + ": width and height must be greater than zero",
                    baseName(fileName));
    }
    if (!openFile(fileName))
        return false;
    char magic[10];
    if (m_fileSize >= qint64(sizeof magic)
        && readBytes(reinterpret_cast<unsigned char *>(magic), sizeof magic, 0)
        && Y4mHeader::hasMagic(magic, sizeof magic))
        return openY4m(fileName);

    m_pFormat = &format;
    m_width = width;
    m_height = height;
    m_frameBytes = format.getFrameBytes(width, height);
    const qint64 frames = m_fileSize / m_frameBytes;
    const std::string sizes = baseName(fileName) + ": " + number(m_fileSize) + " bytes; one "
            + frameName(format, width, height) + " frame needs " + number(m_frameBytes);
    if (frames < 1)
        return fail("Not enough data in file for one frame", sizes);
    if (frames > INT_MAX) {
        return fail("Too many frames in file: " + number(frames) + " (at most " + number(INT_MAX)
                            + " can be loaded)",
                    sizes);
    }
    m_frames = int(frames);
    m_unusedBytes = m_fileSize % m_frameBytes;
    if (m_unusedBytes) {
        m_unusedReason = baseName(fileName) + ": " + number(m_fileSize)
                + " bytes = " + number(frames) + " frames of " + number(m_frameBytes) + " ("
                + frameName(format, width, height) + ") and " + number(m_unusedBytes)
                + " bytes left over";
    }
    return true;
}

bool RawFile::openY4m(const std::string &fileName)
{
    if (!openFile(fileName))
        return false;
    const qint64 headerRead = qMin(m_fileSize, Y4mHeader::MaxHeaderBytes);
    std::unique_ptr<unsigned char[]> header(new (std::nothrow) unsigned char[size_t(headerRead)]);
    if (!header)
        return fail("Not enough memory to read the y4m header", baseName(fileName));
    if (!readBytes(header.get(), headerRead, 0))
        return fail("Unable to read a frame", baseName(fileName) + ": the header can't be read");
    Y4mHeader parsed;
    if (!parsed.parse(reinterpret_cast<const char *>(header.get()), headerRead))
        return fail(parsed.getErrorString(), baseName(fileName));
    m_isY4m = true;
    m_pFormat = parsed.getFormat();
    m_width = parsed.getWidth();
    m_height = parsed.getHeight();
    m_frameRate = parsed.getFrameRate();
    m_colourRangeTag = int(parsed.getColourRange());
    m_frameBytes = m_pFormat->getFrameBytes(m_width, m_height);
    if (!indexY4mFrames(parsed.getHeaderBytes()))
        return false;
    if (m_frames < 1) {
        return fail("Not enough data in file for one frame",
                    baseName(fileName) + ": " + number(m_fileSize) + " bytes; one "
                            + frameName(*m_pFormat, m_width, m_height) + " frame needs "
                            + number(m_frameBytes) + " after a FRAME header");
    }
    return true;
}

bool RawFile::indexY4mFrames(qint64 offset)
{
    // Each frame is "FRAME", optional parameters, a newline and the samples; the headers may
    // differ in length, so every frame's start is found once here.
    unsigned char frameHeader[Y4mHeader::MaxFrameHeaderBytes];
    while (offset < m_fileSize) {
        const qint64 available = qMin(m_fileSize - offset, Y4mHeader::MaxFrameHeaderBytes);
        if (!readBytes(frameHeader, available, offset)) {
            return fail("Unable to read a frame",
                        baseName(m_fileName) + ": the header of frame "
                                + number(qint64(m_frameOffsets.size()) + 1) + " can't be read");
        }
        const qint64 headerBytes = Y4mHeader::frameHeaderBytes(
                reinterpret_cast<const char *>(frameHeader), available);
        const qint64 start = offset + headerBytes;
        if (headerBytes < 0 || m_fileSize - start < m_frameBytes) {
            m_unusedBytes = m_fileSize - offset;
            m_unusedReason = baseName(m_fileName) + ": "
                    + (headerBytes < 0
                               ? "no FRAME header at byte " + number(offset)
                               : "the last frame is cut short (" + number(m_fileSize - start)
                                       + " of " + number(m_frameBytes) + " bytes)")
                    + " after " + number(qint64(m_frameOffsets.size())) + " frames";
            break;
        }
        if (m_frameOffsets.size() >= size_t(INT_MAX)) {
            return fail("Too many frames in file: more than " + number(INT_MAX) + " (at most "
                                + number(INT_MAX) + " can be loaded)",
                        baseName(m_fileName));
        }
        try {
            m_frameOffsets.push_back(start);
        } catch (const std::bad_alloc &) {
            return fail("Not enough memory to index the frames of a y4m file",
                        baseName(m_fileName) + ": " + number(qint64(m_frameOffsets.size()))
                                + " frames so far");
        }
        offset = start + m_frameBytes;
    }
    m_frames = int(m_frameOffsets.size());
    return true;
}

qint64 RawFile::frameOffset(int frame) const
{
    return m_isY4m ? m_frameOffsets[size_t(frame)] : qint64(frame) * m_frameBytes;
}

int RawFile::getPlaneWidth(int plane) const { return m_pFormat->getPlaneWidth(plane, m_width); }

int RawFile::getPlaneHeight(int plane) const { return m_pFormat->getPlaneHeight(plane, m_height); }

std::string RawFile::describeUnusedBytes() const { return m_unusedReason; }

void RawFile::adviseSequential() const
{
    if (m_fd >= 0)
        posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool RawFile::readBytes(unsigned char *pBuffer, qint64 count, qint64 offset) const
{
    static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = pread(m_fd, pBuffer + got, size_t(count - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

template<typename RowVisitor>
bool RawFile::walkPlane(int frame, int plane, const RowVisitor &visit, int top, int rows) const
{
    const PixelFormat &format = *m_pFormat;
    if (m_fd < 0 || frame < 0 || frame >= m_frames || plane < 0 || plane >= format.getPlaneCount())
        return false;
    const qint64 frameStart = frameOffset(frame);
    // A frame is whole when its last byte can be read too: a file ends in one place, so nothing
    // before that byte is missing, whichever plane is asked for.
    unsigned char last = 0;
    if (!readBytes(&last, 1, frameStart + m_frameBytes - 1))
        return false;

    const int width = getPlaneWidth(plane);
    const int height = getPlaneHeight(plane);
    const int end = rows < 0 ? height : top + rows;
    if (top < 0 || top > end || end > height)
        return false;
    qint64 planeStart = frameStart;
    qint64 rowBytes = qint64(width) * format.getBytesPerSample();
    RowLayout layout = format.getBytesPerSample() == 2 ? RowLayout::Words : RowLayout::Bytes;
    if (format.isSemiPlanar() && plane > 0) {
        // One plane of U and V pairs after the luma; V comes first in nv21.
        planeStart += format.getPlaneBytes(0, m_width, m_height);
        rowBytes = 2 * qint64(width);
        if ((plane == 2) != format.isVFirst())
            planeStart += 1;
        layout = RowLayout::EveryOtherByte;
    } else {
        for (int p = 0; p < plane; ++p)
            planeStart += format.getPlaneBytes(p, m_width, m_height);
    }
    // An interleaved plane read from its second byte stops one byte short of its last pair.
    const qint64 bandRows = qBound(qint64(1), BandBytes / rowBytes, qint64(std::max(1, end - top)));
    const std::unique_ptr<unsigned char[]> band(
            new (std::nothrow) unsigned char[size_t(bandRows * rowBytes)]);
    if (!band)
        return false;
    for (qint64 row = top; row < end; row += bandRows) {
        const qint64 count = qMin(bandRows, end - row);
        const qint64 bytes = count * rowBytes - (layout == RowLayout::EveryOtherByte ? 1 : 0);
        if (!readBytes(band.get(), bytes, planeStart + row * rowBytes))
            return false;
        for (qint64 r = 0; r < count; ++r)
            visit(band.get() + r * rowBytes, int(row + r), layout);
    }
    return true;
}

bool RawFile::readPlane(int frame, int plane, float *pSamples) const
{
    // The file's top row goes to the bottom of the picture's storage.
    const qint64 width = getPlaneWidth(plane);
    return readRowsTo(frame, plane, 0, -1, pSamples + (getPlaneHeight(plane) - 1) * width, -width);
}

bool RawFile::readRows(int frame, int plane, int top, int rows, float *pSamples) const
{
    return rows >= 0 && readRowsTo(frame, plane, top, rows, pSamples, getPlaneWidth(plane));
}

bool RawFile::readRowsTo(int frame, int plane, int top, int rows, float *pTop, qint64 rowStep) const
{
    const int width = getPlaneWidth(plane);
    return walkPlane(
            frame, plane,
            [=](const unsigned char *pBytes, int row, RowLayout layout) {
                float *pRow = pTop + (row - top) * rowStep;
                if (layout == RowLayout::Words)
                    convert16(pBytes, pRow, width);
                else if (layout == RowLayout::EveryOtherByte)
                    convert8Interleaved(pBytes, pRow, width);
                else
                    convert8(pBytes, pRow, width);
            },
            top, rows);
}

bool RawFile::sampleRange(int frame, int plane, int &minValue, int &maxValue) const
{
    const int width = getPlaneWidth(plane);
    unsigned low = 0xffff;
    unsigned high = 0;
    const bool read
            = walkPlane(frame, plane, [&](const unsigned char *pBytes, int, RowLayout layout) {
                  if (layout == RowLayout::Words)
                      range16(pBytes, width, low, high);
                  else if (layout == RowLayout::EveryOtherByte)
                      range8Interleaved(pBytes, width, low, high);
                  else
                      range8(pBytes, width, low, high);
              });
    if (!read || width <= 0 || low > high)
        return false;
    minValue = int(low);
    maxValue = int(high);
    return true;
}

bool RawFile::readFrame(int frame, unsigned char *pBytes) const
{
    const PixelFormat &format = *m_pFormat;
    if (m_fd < 0 || frame < 0 || frame >= m_frames)
        return false;
    const qint64 start = frameOffset(frame);
    if (!format.isSemiPlanar()) {
        // A planar frame is stored as it lies in the file: one read.
        if (!readBytes(pBytes, m_frameBytes, start))
            return false;
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
        if (format.getBytesPerSample() == 2) {
            for (qint64 i = 0; i + 1 < m_frameBytes; i += 2)
                std::swap(pBytes[i], pBytes[i + 1]);
        }
#endif
        return true;
    }
    const qint64 lumaBytes = format.getPlaneBytes(0, m_width, m_height);
    const qint64 chromaSamples = qint64(getPlaneWidth(1)) * getPlaneHeight(1);
    if (!readBytes(pBytes, lumaBytes, start))
        return false;
    // The pairs are read on their own, then split into the U and V planes.
    unsigned char *pU = pBytes + lumaBytes;
    unsigned char *pV = pU + chromaSamples;
    std::unique_ptr<unsigned char[]> pairs(
            new (std::nothrow) unsigned char[size_t(2 * chromaSamples)]);
    if (!pairs || !readBytes(pairs.get(), 2 * chromaSamples, start + lumaBytes))
        return false;
    unsigned char *pFirst = format.isVFirst() ? pV : pU;
    unsigned char *pSecond = format.isVFirst() ? pU : pV;
    for (qint64 i = 0; i < chromaSamples; ++i) {
        pFirst[i] = pairs[size_t(2 * i)];
        pSecond[i] = pairs[size_t(2 * i + 1)];
    }
    return true;
}
