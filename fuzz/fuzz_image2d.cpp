// The still-image reader on arbitrary files. Input: one byte choosing the file name's suffix,
// then the file's bytes. A loaded picture must match Qt's own decoding pixel for pixel under the
// gray formula; a refused one must leave the image empty with one of the reader's messages.

#include "fuzzcheck.h"
#include "image2d.h"
#include "scratchfile.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <cmath>
#include <memory>
#include <string>

namespace {

std::unique_ptr<ScratchFile> scratch;

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Image format plug-ins (GIF, JPEG, ICO) are found through the application object. It lives
    // until the process ends: destroying it among the static objects at exit would outlive the
    // Qt globals it uses.
    static int argc = 1;
    static char name[] = "fuzz_image2d";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *pApplication = new QCoreApplication(argc, argv);
    Q_UNUSED(pApplication);
    // Tiny files can declare pictures of a hundred megabytes; a lower limit keeps each run
    // short. The reader's handling of the limit is the same at any value.
    QImageReader::setAllocationLimit(16);
    scratch = std::make_unique<ScratchFile>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const suffixes[]
            = {"", ".png", ".bmp", ".yuv", ".raw", ".gif", ".jpg", ".ppm"};
    const QString suffix = QString::fromLatin1(suffixes[pData[0] % 8]);
    const QByteArray bytes(reinterpret_cast<const char *>(pData + 1), qsizetype(size - 1));
    const std::string path = scratch->write(bytes, suffix);
    FUZZ_CHECK(!path.empty(), "scratch file written");

    Image2D image;
    const bool result = image.loadImage(path);
    if (!result) {
        const std::string error = image.getErrorString();
        if (image.isTooLarge())
            FUZZ_CHECK(startsWith(error, "Image of ")
                               || startsWith(error, "Not enough memory for an image of "),
                       "too large message");
        else
            FUZZ_CHECK(error == "Can't load file " + path, "refusal message");
        FUZZ_CHECK(image.getWidth() == 0 && image.getHeight() == 0, "refused image stays empty");
        FUZZ_CHECK(image.getSampleCount() == 0, "refused image holds no samples");
        return 0;
    }

    const int width = image.getWidth();
    const int height = image.getHeight();
    FUZZ_CHECK(width > 0 && height > 0, "a loaded picture has pixels");
    FUZZ_CHECK(image.getSampleCount() == qint64(width) * height, "one sample per pixel");
    QImage reference;
    FUZZ_CHECK(reference.load(QString::fromStdString(path)), "Qt decodes what the reader took");
    FUZZ_CHECK(reference.width() == width && reference.height() == height, "picture size");
    const float *pSamples = image.getData();
    // Large pictures: the top and bottom rows and the middle one, to keep each run short.
    const bool everyRow = qint64(width) * height <= (1 << 20);
    for (int y = 0; y < height; ++y) {
        if (!everyRow && y != 0 && y != height / 2 && y != height - 1)
            continue;
        for (int x = 0; x < width; ++x) {
            const QRgb p = reference.pixel(x, height - 1 - y);
            const int gray = (11 * qRed(p) + 16 * qGreen(p) + 5 * qBlue(p)) / 32;
            FUZZ_CHECK(pSamples[x + qint64(y) * width] == float(gray),
                       "sample is the gray of the pixel, picture turned upside down");
        }
    }
    return 0;
}
