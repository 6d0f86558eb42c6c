#include "image2d.h"

#include <QImage>
#include <QString>

#include <sys/stat.h>

Image2D::Image2D() = default;

Image2D::~Image2D() = default;

bool Image2D::loadImage(const std::string &fileName)
{
    // Only regular files are handed to the decoder: opening a FIFO would block forever.
    struct stat info;
    QImage image;
    if (stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)
        || !image.load(QString::fromStdString(fileName))) {
        setErrorString("Can't load file " + fileName);
        return false;
    }

    const int width = image.width();
    const int height = image.height();
    SampleArray samples;
    if (!samples.allocateZeroed(qint64(width) * height)) {
        setErrorString("Not enough memory for an image of " + std::to_string(width) + "x"
                       + std::to_string(height));
        return false;
    }
    // Read 32-bit ARGB scan lines; the colour channels are those QImage::pixel gives.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image.convertTo(QImage::Format_ARGB32);
    if (image.isNull()) {
        setErrorString("Not enough memory for an image of " + std::to_string(width) + "x"
                       + std::to_string(height));
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
