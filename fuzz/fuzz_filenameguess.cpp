// The file-name guesser on arbitrary names. Input: 8 bytes of file size (little-endian, signed),
// then the name in UTF-8. A guess must be a usable frame size and a known format, the same
// every time, and a size it takes from among several must divide the file when one does.

#include "filenameguess.h"
#include "fuzzcheck.h"
#include "pixelformat.h"

#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t size)
{
    if (size < 8)
        return 0;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(pData[i]) << (8 * i);
    const qint64 fileSize = qint64(bits);
    const QString name
            = QString::fromUtf8(reinterpret_cast<const char *>(pData + 8), qsizetype(size - 8));

    const FileNameGuess guess = FileNameGuess::fromName(name, fileSize);
    FUZZ_CHECK(guess.hasSize() == (guess.getHeight() > 0), "width and height come together");
    if (guess.hasSize()) {
        FUZZ_CHECK(guess.getWidth() <= 65536 && guess.getHeight() <= 65536, "size in range");
    } else {
        FUZZ_CHECK(guess.getWidth() == 0 && guess.getHeight() == 0, "no size is 0x0");
    }
    if (guess.getFormat()) {
        FUZZ_CHECK(PixelFormat::byName(guess.getFormat()->getName()) == guess.getFormat(),
                   "a known format");
    }
    FUZZ_CHECK(guess.isEmpty() == guess.describe().isEmpty(), "described when found");

    const FileNameGuess again = FileNameGuess::fromName(name, fileSize);
    FUZZ_CHECK(again.getWidth() == guess.getWidth() && again.getHeight() == guess.getHeight()
                       && again.getFormat() == guess.getFormat(),
               "the same name gives the same guess");
    // Without a file size the first size named is taken; with one, a size that divides it.
    const FileNameGuess unsized = FileNameGuess::fromName(name);
    FUZZ_CHECK(unsized.hasSize() == guess.hasSize() && unsized.getFormat() == guess.getFormat(),
               "the file size only chooses among sizes");
    return 0;
}
