// Writes a small demo: a main movie and two references that differ from it in ways the five
// views show at a glance.
//
//   main.yuv          320x240, 24 frames, YUV 4:2:0: a gradient, a moving red disc, a ring
//                     pattern, over a sweep of colour
//   ref1.yuv          the same with noise and coarse quantisation (16 levels), its colour
//                     coarser still and a chroma sample to the right
//   ref2-00..23.png   352x256 still frames: the main picture moved 4 right and 3 up, 8 levels
//
// Usage: rawcompare-makedemo FOLDER

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <QDir>
#include <QImage>
#include <QString>

namespace {

const int mainWidth = 320;
const int mainHeight = 240;
const int ref2Width = 352;
const int ref2Height = 256;
const int frames = 24;

// The picture as a function of the position (x to the right, y up from the bottom row) and the
// frame, defined everywhere so that a shifted or larger copy has content too.
double picture(int x, int y, int f)
{
    double value = 30.0 + 160.0 * (x + y) / double(mainWidth + mainHeight);

    const double dx = x - (50.0 + 9.0 * f);
    const double dy = y - 150.0;
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (distance < 34.0)
        value = 235.0;
    else if (distance < 38.0)
        value += (235.0 - value) * (38.0 - distance) / 4.0;

    if (x >= 190 && x < 300 && y >= 20 && y < 110) {
        const double rx = x - 245.0;
        const double ry = y - 65.0;
        value = 128.0 + 90.0 * std::sin((rx * rx + ry * ry) / 150.0 - 0.4 * f);
    }
    return value;
}

unsigned char toByte(double value)
{
    if (value <= 0.0)
        return 0;
    if (value >= 255.0)
        return 255;
    return static_cast<unsigned char>(value + 0.5);
}

double quantised(double value, double step) { return std::floor(value / step) * step + step / 2.0; }

// A small deterministic generator, so every run writes the same files.
class Noise
{
public:
    double next() // -1..1
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(m_state >> 11) / double(1ULL << 53) * 2.0 - 1.0;
    }

private:
    unsigned long long m_state = 20240611ULL;
};

// The colour of the picture: U and V of chroma sample (cx, cy) (each covers 2 x 2 pixels, cy up
// from the bottom row) of frame f. A blue-to-orange sweep across the frame, the disc red.
void chromaOf(int cx, int cy, int f, double &u, double &v)
{
    const double x = 2.0 * cx + 0.5;
    const double y = 2.0 * cy + 0.5;
    u = 128.0 + 32.0 * std::cos(x / 70.0) - 16.0 * y / mainHeight;
    v = 128.0 + 28.0 * std::sin(x / 90.0 + y / 80.0);
    const double dx = x - (50.0 + 9.0 * f);
    const double dy = y - 150.0;
    if (dx * dx + dy * dy < 36.0 * 36.0) {
        u = 90.0;
        v = 220.0;
    }
}

// Writes the movie as YUV 4:2:0: the luma given and the picture's chroma, coarsely quantised
// and shifted a chroma sample to the right for the coarse copy.
bool writeYUV(const QString &fileName, const std::vector<unsigned char> &luma, bool coarse)
{
    const size_t frameLuma = size_t(mainWidth) * mainHeight;
    const int chromaWidth = mainWidth / 2;
    const int chromaHeight = mainHeight / 2;
    std::vector<unsigned char> u(frameLuma / 4);
    std::vector<unsigned char> v(frameLuma / 4);
    FILE *pFile = std::fopen(fileName.toStdString().c_str(), "wb");
    if (!pFile)
        return false;
    bool ok = true;
    for (int f = 0; f < frames && ok; ++f) {
        for (int row = 0; row < chromaHeight; ++row) {
            for (int cx = 0; cx < chromaWidth; ++cx) {
                double uValue = 0, vValue = 0;
                chromaOf(coarse ? cx - 1 : cx, chromaHeight - 1 - row, f, uValue, vValue);
                if (coarse) {
                    uValue = quantised(uValue, 24.0);
                    vValue = quantised(vValue, 24.0);
                }
                u[size_t(row) * chromaWidth + cx] = toByte(uValue);
                v[size_t(row) * chromaWidth + cx] = toByte(vValue);
            }
        }
        ok = std::fwrite(luma.data() + f * frameLuma, 1, frameLuma, pFile) == frameLuma
                && std::fwrite(u.data(), 1, u.size(), pFile) == u.size()
                && std::fwrite(v.data(), 1, v.size(), pFile) == v.size();
    }
    return std::fclose(pFile) == 0 && ok;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: rawcompare-makedemo FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "rawcompare-makedemo: cannot create %s\n", argv[1]);
        return 1;
    }

    const size_t frameLuma = size_t(mainWidth) * mainHeight;
    std::vector<unsigned char> mainLuma(frameLuma * frames);
    std::vector<unsigned char> ref1Luma(frameLuma * frames);
    Noise noise;
    for (int f = 0; f < frames; ++f) {
        for (int row = 0; row < mainHeight; ++row) {
            // Files hold the top row first; y counts from the bottom.
            const int y = mainHeight - 1 - row;
            for (int x = 0; x < mainWidth; ++x) {
                const double value = picture(x, y, f);
                const size_t i = f * frameLuma + size_t(row) * mainWidth + x;
                mainLuma[i] = toByte(value);
                ref1Luma[i] = toByte(quantised(value + 10.0 * noise.next(), 16.0));
            }
        }
    }
    bool ok = writeYUV(folder.filePath(QStringLiteral("main.yuv")), mainLuma, false)
            && writeYUV(folder.filePath(QStringLiteral("ref1.yuv")), ref1Luma, true);

    for (int f = 0; f < frames && ok; ++f) {
        QImage image(ref2Width, ref2Height, QImage::Format_Grayscale8);
        for (int row = 0; row < ref2Height; ++row) {
            const int y = ref2Height - 1 - row;
            uchar *pLine = image.scanLine(row);
            for (int x = 0; x < ref2Width; ++x)
                pLine[x] = toByte(quantised(picture(x - 4, y - 3, f), 32.0));
        }
        ok = image.save(
                folder.filePath(QStringLiteral("ref2-%1.png").arg(f, 2, 10, QLatin1Char('0'))),
                "PNG");
    }
    if (!ok) {
        std::fprintf(stderr, "rawcompare-makedemo: cannot write the demo files into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
