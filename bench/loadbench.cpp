#include "loadbench.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "benchclock.h"
#include "image3d.h"
#include "pixelformat.h"

namespace LoadBench {

int load(const std::string &fileName, int width, int height, const std::string &format)
{
    const PixelFormat *pFormat = PixelFormat::byName(QString::fromStdString(format));
    if (!pFormat)
        return 2;
    const double start = benchSeconds();
    Image3D volume;
    const bool complete = volume.loadRaw(fileName, *pFormat, width, height);
    const double seconds = benchSeconds() - start;
    if (!complete || volume.getNumFrames() < 1) {
        std::fprintf(stderr, "load failed: %s\n", volume.getErrorString().c_str());
        return 1;
    }
    const float *pData = volume.getData();
    const qint64 last = volume.getSampleCount() - 1;
    std::printf("seconds=%.6f\ncheck=%g\nframes=%d\n", seconds,
                double(pData[0] + pData[last / 2] + pData[last]), volume.getNumFrames());
    return 0;
}

int floor(const std::string &fileName, int width, int height, const std::string &format)
{
    const PixelFormat *pFormat = PixelFormat::byName(QString::fromStdString(format));
    if (!pFormat)
        return 2;
    const double start = benchSeconds();
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0)
        return 1;
    const qint64 lumaSize = qint64(width) * height;
    const qint64 frameSize = pFormat->getFrameBytes(width, height);
    const qint64 frames = info.st_size / frameSize;
    const qint64 bytes = lumaSize * frames * qint64(sizeof(float));
    void *pMapped = mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMapped == MAP_FAILED)
        return 1;
    madvise(pMapped, size_t(bytes), MADV_HUGEPAGE);
    float *pVolume = static_cast<float *>(pMapped);
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size_t(frameSize)]);

    unsigned sum = 0;
    for (qint64 f = 0; f < frames; ++f) {
        qint64 got = 0;
        while (got < frameSize) {
            const ssize_t n = read(fd, buffer.get() + got, size_t(frameSize - got));
            if (n <= 0)
                return 1;
            got += n;
        }
        sum += buffer[size_t(f % frameSize)];
        std::fill(pVolume + f * lumaSize, pVolume + (f + 1) * lumaSize, float(f + 1));
    }
    close(fd);
    const double seconds = benchSeconds() - start;
    const qint64 last = lumaSize * frames - 1;
    std::printf("seconds=%.6f\ncheck=%g\n", seconds,
                double(pVolume[0] + pVolume[last / 2] + pVolume[last]) + sum);
    munmap(pMapped, size_t(bytes));
    return 0;
}

bool loadInput(Image3D *pMovie, const std::string &fileName, int width, int height)
{
    if (pMovie->loadRaw(fileName, width, height, true))
        return true;
    std::fprintf(stderr, "cannot load %s: %s\n", fileName.c_str(),
                 pMovie->getErrorString().c_str());
    return false;
}

} // namespace LoadBench
