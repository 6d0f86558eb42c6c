#include "image2d.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

#include "memoryinfo.h"

namespace {

// Bytes of a decoded picture of this size and format, as Qt allocates them; 0 when the size is
// unknown.
qint64 decodedBytes(const QSize &size, QImage::Format format)
{
    if (!size.isValid() || size.isEmpty())
        return 0;
    const int depth = format == QImage::Format_Invalid
            ? 32
            : int(QImage::toPixelFormat(format).bitsPerPixel());
    const qint64 bytesPerLine = (qint64(size.width()) * depth + 31) / 32 * 4;
    return bytesPerLine * size.height();
}

// Whether Qt refuses to decode such a picture for its image allocation limit
// (QImageReader::allocationLimit, in MB; 0 means no limit).
bool exceedsAllocationLimit(const QSize &size, QImage::Format format)
{
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    return limit > 0 && decodedBytes(size, format) > limit;
}

// Whether the decoded picture could have been allocated at all: a trial allocation, never
// touched, tells a decoder that ran out of memory from one that found broken data.
bool fitsInMemory(const QSize &size, QImage::Format format)
{
    const qint64 bytes = decodedBytes(size, format);
    if (bytes <= 0)
        return true;
    void *pTrial = std::malloc(size_t(bytes));
    std::free(pTrial);
    return pTrial != nullptr;
}

std::string notEnoughMemoryText(int width, int height)
{
    return "Not enough memory for an image of " + std::to_string(width) + "x"
            + std::to_string(height);
}

} // namespace

Image2D::Image2D() = default;

void Image2D::raiseImageAllocationLimit()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return;
    const qint64 memoryMB = std::min(qint64(pages) * pageSize >> 20, qint64(INT_MAX));
    const int limit = QImageReader::allocationLimit();
    if (limit > 0 && limit < memoryMB)
        QImageReader::setAllocationLimit(int(memoryMB));
}

Image2D::~Image2D() = default;

bool Image2D::loadImage(const std::string &fileName)
{
    m_tooLarge = false;
    // Only regular files are handed to the decoder: opening a FIFO would block forever.
    struct stat info;
    if (stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        setErrorString("Can't load file " + fileName);
        return false;
    }

    // As QImage::load does, with the format left to Qt's detection; the reader is kept to tell
    // a picture that is too large from a file that holds no picture.
    QImageReader reader(QString::fromStdString(fileName));
    const QSize declaredSize = reader.size();
    const QImage::Format declaredFormat = reader.imageFormat();
    // Decoded picture, its 32-bit conversion and the samples, against what the machine has:
    // a picture that can't fit is refused before the decoder asks for it (one above Qt's own
    // limit is left to the decoder, which names the limit).
    if (declaredSize.isValid() && !exceedsAllocationLimit(declaredSize, declaredFormat)) {
        const qint64 pixels = qint64(declaredSize.width()) * declaredSize.height();
        const qint64 needed
                = std::max<qint64>(decodedBytes(declaredSize, declaredFormat), 0) + 8 * pixels;
        const qint64 available = MemoryInfo::availableBytes();
        if (available >= 0 && needed > available) {
            m_tooLarge = true;
            setErrorString(notEnoughMemoryText(declaredSize.width(), declaredSize.height()),
                           QFileInfo(QString::fromStdString(fileName)).fileName().toStdString()
                                   + ": it needs " + MemoryInfo::formatBytes(needed).toStdString()
                                   + ", " + MemoryInfo::formatBytes(available).toStdString()
                                   + " are available");
            return false;
        }
    }
    QImage image = reader.read();
    if (image.isNull()) {
        if (exceedsAllocationLimit(declaredSize, declaredFormat)) {
            m_tooLarge = true;
            setErrorString("Image of " + std::to_string(declaredSize.width()) + "x"
                           + std::to_string(declaredSize.height())
                           + " pixels is too large to load (the limit is "
                           + std::to_string(QImageReader::allocationLimit()) + " MB)");
        } else if (!fitsInMemory(declaredSize, declaredFormat)) {
            m_tooLarge = true;
            setErrorString(notEnoughMemoryText(declaredSize.width(), declaredSize.height()));
        } else {
            setErrorString("Can't load file " + fileName);
        }
        return false;
    }

    const int width = image.width();
    const int height = image.height();
    SampleArray samples;
    // Read 32-bit ARGB scan lines; the colour channels are those QImage::pixel gives.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image.convertTo(QImage::Format_ARGB32);
    if (image.isNull() || !samples.allocateZeroed(qint64(width) * height)) {
        m_tooLarge = true;
        setErrorString(notEnoughMemoryText(width, height));
        return false;
    }

    float *pData = samples.data();
    for (int y = 0; y < height; ++y) {
        // The picture's top row becomes row height - 1.
        const QRgb *pLine = reinterpret_cast<const QRgb *>(image.constScanLine(height - 1 - y));
        float *pRow = pData + qint64(y) * width;
        for (int x = 0; x < width; ++x) {
            const QRgb p = pLine[x];
            pRow[x] = float((11 * int(qRed(p)) + 16 * int(qGreen(p)) + 5 * int(qBlue(p))) / 32);
        }
    }

    m_samples.swap(samples);
    m_width = width;
    m_height = height;
    return true;
}
