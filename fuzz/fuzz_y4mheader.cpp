// The y4m reader on arbitrary files. Input: the file's bytes. The header parser and the frame
// index must either refuse the file with a y4m message or describe frames that lie inside it,
// and every plane of every frame must then read.

#include "fuzzcheck.h"
#include "pixelformat.h"
#include "rawfile.h"
#include "scratchfile.h"
#include "y4mheader.h"

#include <QDir>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {
std::unique_ptr<ScratchFile> scratch;

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch = std::make_unique<ScratchFile>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t size)
{
    const auto *pBytes = reinterpret_cast<const char *>(pData);
    Y4mHeader header;
    if (header.parse(pBytes, qint64(size))) {
        FUZZ_CHECK(header.getFormat(), "a parsed header names a format");
        FUZZ_CHECK(header.getWidth() >= 1 && header.getWidth() <= 65536, "width in range");
        FUZZ_CHECK(header.getHeight() >= 1 && header.getHeight() <= 65536, "height in range");
        FUZZ_CHECK(header.getHeaderBytes() <= qint64(size), "header inside the input");
        FUZZ_CHECK(pBytes[header.getHeaderBytes() - 1] == '\n', "header ends in a newline");
    } else {
        const std::string error = header.getErrorString();
        FUZZ_CHECK(error.rfind("Malformed y4m header: ", 0) == 0
                           || (error.rfind("The y4m colour space C", 0) == 0
                               && error.find(" is not supported") != std::string::npos),
                   "a refused header says so");
        FUZZ_CHECK(!header.getFormat() && header.getHeaderBytes() == 0, "nothing left behind");
    }
    const qint64 frameHeader = Y4mHeader::frameHeaderBytes(pBytes, qint64(size));
    FUZZ_CHECK(frameHeader == -1 || (frameHeader >= 6 && frameHeader <= qint64(size)),
               "frame header inside the input");

    const std::string path
            = scratch->write(QByteArray(pBytes, qsizetype(size)), QStringLiteral(".y4m"));
    FUZZ_CHECK(!path.empty(), "scratch file written");
    RawFile file;
    const int descriptors = openDescriptors();
    if (!file.openY4m(path)) {
        FUZZ_CHECK(!file.getErrorString().empty() && openDescriptors() == descriptors,
                   "refusal with a reason, nothing left open");
        return 0;
    }
    FUZZ_CHECK(header.getFormat() == &file.getFormat(), "file and parser agree");
    FUZZ_CHECK(file.getNumFrames() >= 1, "an open file has a frame");
    FUZZ_CHECK(qint64(file.getNumFrames()) * (file.getFrameBytes() + 6) + header.getHeaderBytes()
                               + file.getUnusedBytes()
                       <= qint64(size),
               "frames, their headers and the rest fit in the file");
    // A few frames only: a small input can describe many tiny frames.
    for (int f = 0; f < file.getNumFrames() && f < 4; ++f)
        for (int plane = 0; plane < file.getFormat().getPlaneCount(); ++plane) {
            std::vector<float> samples(size_t(file.getPlaneWidth(plane))
                                       * size_t(file.getPlaneHeight(plane)));
            FUZZ_CHECK(file.readPlane(f, plane, samples.data()), "every plane of a frame reads");
            const float top = float((1 << file.getFormat().getDepth()) - 1);
            for (const float v : samples)
                FUZZ_CHECK(v >= 0 && (v <= top || file.getFormat().getBytesPerSample() == 2),
                           "samples within the format's range");
        }
    return 0;
}
