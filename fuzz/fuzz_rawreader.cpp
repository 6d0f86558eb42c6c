// The raw reader on arbitrary files and frame sizes. Input: one flag byte (bit 0: YUV; bit 1:
// 32-bit width and height follow, else 16-bit), width and height (signed, little-endian), then
// the file's bytes. Every outcome is checked against the format's definition.

#include "fuzzcheck.h"
#include "image3d.h"
#include "scratchfile.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::unique_ptr<ScratchFile> scratch;

template<typename T>
T takeLittleEndian(const uint8_t *&pData, size_t &size)
{
    using U = std::make_unsigned_t<T>;
    U value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value = U(value | U(U(pData[i]) << (8 * i)));
    pData += sizeof(T);
    size -= sizeof(T);
    return T(value);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch = std::make_unique<ScratchFile>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = *pData++;
    --size;
    const bool isYUV = flags & 1;
    const bool wide = flags & 2;
    if (size < (wide ? 8u : 4u))
        return 0;
    const int width = wide ? takeLittleEndian<int32_t>(pData, size)
                           : takeLittleEndian<int16_t>(pData, size);
    const int height = wide ? takeLittleEndian<int32_t>(pData, size)
                            : takeLittleEndian<int16_t>(pData, size);
    const QByteArray bytes(reinterpret_cast<const char *>(pData), qsizetype(size));
    const std::string path = scratch->write(bytes, isYUV ? ".yuv" : ".raw");
    FUZZ_CHECK(!path.empty(), "scratch file written");

    Image3D volume;
    const bool result = volume.loadRaw(path, width, height, isYUV);
    const std::string error = volume.getErrorString();

    auto expectRefused = [&](const char *what) {
        FUZZ_CHECK(!result, what);
        FUZZ_CHECK(volume.getNumFrames() == 0, what);
        FUZZ_CHECK(volume.getSampleCount() == 0, what);
        FUZZ_CHECK(!error.empty(), what);
    };
    if (width % 2 != 0 || height % 2 != 0) {
        expectRefused("odd size refused");
        FUZZ_CHECK(error == "Both width and height must be a multiple of two", "parity message");
        return 0;
    }
    if (width <= 0 || height <= 0) {
        expectRefused("size of zero or less refused");
        return 0;
    }
    // A file that starts with the y4m magic is read as y4m whatever size is given; its header
    // is fuzz_y4mheader's. Here it only has to end as a consistent movie or with a reason.
    if (bytes.startsWith("YUV4MPEG2 ")) {
        FUZZ_CHECK(volume.getSampleCount()
                           == int64_t(volume.getWidth()) * volume.getHeight()
                                   * volume.getNumFrames(),
                   "y4m file: samples match its size");
        FUZZ_CHECK(result || !error.empty(), "y4m file: a movie or a reason");
        return 0;
    }
    const int64_t lumaSize = int64_t(width) * height;
    // floor(lumaSize * 3 / 2), without the product that would overflow near 2^62.
    const int64_t frameSize = isYUV ? lumaSize / 2 * 3 + lumaSize % 2 : lumaSize;
    const int64_t frames = int64_t(size) / frameSize;
    const int64_t remainder = int64_t(size) % frameSize;
    if (frames < 1) {
        expectRefused("file shorter than a frame refused");
        FUZZ_CHECK(error == "Not enough data in file for one frame", "short file message");
        return 0;
    }

    FUZZ_CHECK(volume.getWidth() == width && volume.getHeight() == height, "dimensions kept");
    FUZZ_CHECK(volume.getNumFrames() == frames, "frame count is size / frame size");
    FUZZ_CHECK(volume.getSampleCount() == lumaSize * frames, "one sample per luma byte");
    if (remainder == 0) {
        FUZZ_CHECK(result, "whole file used gives true");
        FUZZ_CHECK(error.empty(), "no error text on a fresh object");
    } else {
        FUZZ_CHECK(!result, "remainder gives false");
        FUZZ_CHECK(error == "WARNING: " + std::to_string(remainder) + " bytes unused",
                   "remainder message");
    }
    // Sample (x, y, f) is byte (height - 1 - y) * width + x of frame f.
    const float *pSamples = volume.getData();
    for (int64_t f = 0; f < frames; ++f)
        for (int64_t y = 0; y < height; ++y)
            for (int64_t x = 0; x < width; ++x) {
                const uint8_t byte = pData[f * frameSize + (height - 1 - y) * width + x];
                FUZZ_CHECK(pSamples[x + width * (y + height * f)] == float(byte),
                           "sample equals its byte, rows flipped");
            }
    return 0;
}
