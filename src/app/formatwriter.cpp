#include "formatwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "image3d.h"

namespace {

// The clamped, truncated integer of a sample; NaN fails both comparisons and gives 0.
unsigned clamped(float value, float top)
{
    if (value > top)
        return unsigned(top);
    if (value >= 0.0f)
        return unsigned(value);
    return 0;
}

MovieWriter::Result write(const Image3D &movie, const std::string &fileName, bool sixteenBit,
                          bool y4m, const ProgressCallback &progress)
{
    const int width = movie.getWidth();
    const int height = movie.getHeight();
    const int bytesPerSample = sixteenBit ? 2 : 1;
    const float top = sixteenBit ? 65535.0f : 255.0f;
    const qint64 lumaBytes = qint64(width) * height * bytesPerSample;
    const qint64 chromaBytes
            = 2 * qint64(width / 2 + width % 2) * (height / 2 + height % 2) * bytesPerSample;
    const qint64 frameBytes = lumaBytes + chromaBytes;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size_t(frameBytes)]);
    if (!buffer)
        return MovieWriter::Result::OutOfMemory;
    // Neutral chroma: 128, or 32768 as the bytes 0x00 0x80.
    for (qint64 i = lumaBytes; i < frameBytes; i += bytesPerSample) {
        buffer[size_t(i)] = sixteenBit ? 0x00 : 0x80;
        if (sixteenBit)
            buffer[size_t(i + 1)] = 0x80;
    }

    bool headerWritten = !y4m;
    return MovieWriter::writeFrames(
            movie, fileName,
            [&](const float *pSamples, int, FILE *pFile) {
                if (!headerWritten) {
                    headerWritten = true;
                    if (std::fprintf(pFile, "YUV4MPEG2 W%d H%d F25:1 Ip A1:1 %s\n", width, height,
                                     sixteenBit ? "C420p16 XYSCSS=420P16"
                                                : "C420jpeg XYSCSS=420JPEG")
                        <= 0)
                        return false;
                }
                for (int y = 0; y < height; ++y) {
                    // Movie row 0 is the bottom of the picture; the file starts with the top row.
                    const float *pRow = pSamples + qint64(y) * width;
                    unsigned char *pTarget
                            = buffer.get() + qint64(height - 1 - y) * width * bytesPerSample;
                    for (int x = 0; x < width; ++x) {
                        const unsigned value = clamped(pRow[x], top);
                        if (sixteenBit) {
                            pTarget[2 * x] = static_cast<unsigned char>(value & 0xff);
                            pTarget[2 * x + 1] = static_cast<unsigned char>(value >> 8);
                        } else {
                            pTarget[x] = static_cast<unsigned char>(value);
                        }
                    }
                }
                return (!y4m || std::fputs("FRAME\n", pFile) >= 0)
                        && std::fwrite(buffer.get(), 1, size_t(frameBytes), pFile)
                        == size_t(frameBytes);
            },
            progress);
}

} // namespace

namespace FormatWriter {

MovieWriter::Result writeYUV16(const Image3D &movie, const std::string &fileName,
                               const ProgressCallback &progress)
{
    return write(movie, fileName, true, false, progress);
}

MovieWriter::Result writeY4m(const Image3D &movie, const std::string &fileName, bool sixteenBit,
                             const ProgressCallback &progress)
{
    return write(movie, fileName, sixteenBit, true, progress);
}

bool hasSampleAbove(const Image3D &movie, float limit)
{
    const qint64 frameSamples = qint64(movie.getWidth()) * movie.getHeight();
    for (int f = 0; f < movie.getNumFrames() && frameSamples > 0; ++f) {
        const FrameCache::Frame samples = movie.getFrame(f);
        movie.readAhead(f, 1);
        if (samples && std::any_of(samples.get(), samples.get() + frameSamples, [limit](float v) {
                return v > limit;
            }))
            return true;
    }
    return false;
}

} // namespace FormatWriter
