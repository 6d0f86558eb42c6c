#include "benchfloors.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

#include <QImage>

#include "benchclock.h"

namespace BenchFloors {

double renderSlice(const float *pA, const float *pB, QImage *pImage)
{
    const double start = benchSeconds();
    const int width = pImage->width();
    const int height = pImage->height();
    for (int y = 0; y < height; ++y) {
        const float *pRowA = pA + qint64(y) * width;
        auto *pLine = reinterpret_cast<quint32 *>(pImage->scanLine(y));
        if (pB) {
            const float *pRowB = pB + qint64(y) * width;
            for (int x = 0; x < width; ++x) {
                const quint32 v = quint32(int(pRowA[x] - pRowB[x]) & 0xff);
                pLine[x] = 0xff000000u | v * 0x010101u;
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const quint32 v = quint32(int(pRowA[x]) & 0xff);
                pLine[x] = 0xff000000u | v * 0x010101u;
            }
        }
    }
    return benchSeconds() - start;
}

namespace {
template<typename Sample>
void yuvRows(const Sample *pY, const Sample *pU, const Sample *pV, int shift, QImage *pImage)
{
    const int width = pImage->width();
    const int chromaWidth = (width + 1) / 2;
    for (int y = 0; y < pImage->height(); ++y) {
        const Sample *pRowY = pY + qint64(y) * width;
        const Sample *pRowU = pU + qint64(y / 2) * chromaWidth;
        const Sample *pRowV = pV + qint64(y / 2) * chromaWidth;
        auto *pLine = reinterpret_cast<quint32 *>(pImage->scanLine(y));
        for (int x = 0; x < width; ++x) {
            pLine[x] = 0xff000000u | quint32(pRowV[x / 2] >> shift) << 16
                    | quint32(pRowU[x / 2] >> shift) << 8 | quint32(pRowY[x] >> shift);
        }
    }
}
} // namespace

double yuvToRgb(const unsigned char *pY, const unsigned char *pU, const unsigned char *pV,
                int width, int height, int bytesPerSample, int shift, quint32 *pCheck)
{
    const double start = benchSeconds();
    QImage image(width, height, QImage::Format_RGB32);
    if (bytesPerSample == 1) {
        yuvRows(pY, pU, pV, shift, &image);
    } else {
        yuvRows(reinterpret_cast<const quint16 *>(pY), reinterpret_cast<const quint16 *>(pU),
                reinterpret_cast<const quint16 *>(pV), shift, &image);
    }
    const double seconds = benchSeconds() - start;
    *pCheck = image.pixel(width / 2, height / 2);
    return seconds;
}

double minMax(const float *pSamples, qint64 count, float *pMin, float *pMax)
{
    const double start = benchSeconds();
    float minimum = pSamples[0];
    float maximum = pSamples[0];
    for (qint64 i = 1; i < count; ++i) {
        const float v = pSamples[i];
        minimum = v < minimum ? v : minimum;
        maximum = v > maximum ? v : maximum;
    }
    *pMin = minimum;
    *pMax = maximum;
    return benchSeconds() - start;
}

double writeFrames(const std::string &fileName, qint64 frameBytes, int frames)
{
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size_t(frameBytes)]);
    std::memset(buffer.get(), 128, size_t(frameBytes));
    unlink(fileName.c_str());
    const double start = benchSeconds();
    FILE *pFile = std::fopen(fileName.c_str(), "wb");
    if (!pFile)
        return -1.0;
    bool complete = true;
    for (int f = 0; f < frames; ++f) {
        buffer[size_t(f % frameBytes)] = static_cast<unsigned char>(f);
        complete = complete
                && std::fwrite(buffer.get(), 1, size_t(frameBytes), pFile) == size_t(frameBytes);
    }
    complete = std::fclose(pFile) == 0 && complete;
    const double seconds = benchSeconds() - start;
    unlink(fileName.c_str());
    return complete ? seconds : -1.0;
}

} // namespace BenchFloors
