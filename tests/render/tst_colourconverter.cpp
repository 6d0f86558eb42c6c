// The colour conversion against ffmpeg's zscale on random clips; HDR curves at known points.
#include <QtTest>

#include <cmath>
#include <random>

#include "colourconverter.h"
#include "yuvframe.h"

namespace {

using M = ColourOptions::Matrix;
using R = ColourOptions::Range;
using C = ColourOptions::Chroma;

// The frame seen as width x height, its chroma planes rounded up as ffmpeg does.
YuvFrame sized(YuvFrame frame, int width, int height)
{
    frame.width = width;
    frame.height = height;
    frame.chromaWidth = frame.chroma == 444 ? width : (width + 1) / 2;
    frame.chromaHeight = frame.chroma == 420 ? (height + 1) / 2 : height;
    return frame;
}

// Random planes one after the other, as a file stores them, every sample anywhere in range.
YuvFrame randomFrame(int width, int height, int chroma, int depth, unsigned seed)
{
    YuvFrame frame = sized({{}, {}, {}, 0, 0, 0, 0, chroma, depth}, width, height);
    const qint64 luma = qint64(width) * height;
    const qint64 chromaCount = qint64(frame.chromaWidth) * frame.chromaHeight;
    auto pSamples = std::make_shared<std::vector<quint16>>(size_t(luma + 2 * chromaCount));
    std::mt19937 random(seed);
    auto *pBytes = reinterpret_cast<unsigned char *>(pSamples->data());
    std::generate(pSamples->begin(), pSamples->end(), [&] { return random() % (1u << depth); });
    for (size_t i = 0; depth == 8 && i < pSamples->size(); ++i) // narrowed to bytes, in order
        pBytes[i] = uchar((*pSamples)[i]);
    frame.data = std::shared_ptr<const unsigned char>(pSamples, pBytes);
    for (int p = 0; p < 3; ++p) {
        frame.planes[p] = pBytes + (p ? luma + (p - 1) * chromaCount : 0) * frame.bytesPerSample();
        frame.strides[p] = qint64(p ? frame.chromaWidth : width) * frame.bytesPerSample();
    }
    return frame;
}

} // namespace

class tst_ColourConverter : public QObject
{
    Q_OBJECT
private slots:
    void matchesZscale_data();
    void matchesZscale();
    void hdrKnownPoints_data();
    void hdrKnownPoints();
};

void tst_ColourConverter::matchesZscale_data()
{
    QTest::addColumn<int>("chroma");
    QTest::addColumn<int>("depth");
    for (const int depth : {8, 10})
        for (const int chroma : {420, 422, 444})
            QTest::addRow("%d-bit %d", depth, chroma) << chroma << depth;
}

// Every matrix, range and chroma upsampling on a 34x18 clip and its 33x17 top-left part (zscale
// refuses odd sizes of subsampled chroma): each pixel within 1 of zscale's and rgbAt's exactly,
// the frame's last row on image row 0, black beside and above the frame in a larger image.
void tst_ColourConverter::matchesZscale()
{
    QFETCH(int, chroma);
    QFETCH(int, depth);
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
        QSKIP("ffmpeg is not installed");
    const YuvFrame frame = randomFrame(34, 18, chroma, depth, unsigned(chroma + depth));
    const auto *pEnd = frame.planes[2] + frame.strides[2] * frame.chromaHeight;
    const QByteArray clip(reinterpret_cast<const char *>(frame.planes[0]), pEnd - frame.planes[0]);
    const QString format = QString("yuv%1p%2").arg(chroma).arg(depth > 8 ? "10le" : "");
    const std::pair<M, const char *> matrices[]
            = {{M::Bt601, "170m"}, {M::Bt709, "709"}, {M::Bt2020, "2020_ncl"}};
    for (int k = 0; k < 12; ++k) {
        const auto [matrix, name] = matrices[k / 4];
        const R range = k % 4 < 2 ? R::Limited : R::Full;
        const bool bilinear = k % 2;
        const QString filter
                = QString("zscale=matrixin=%1:rangein=%2:chromalin=%3:f=%4:matrix=%1:"
                          "range=full,format=gbrp,format=rgb24")
                          .arg(name, range == R::Full ? "full" : "limited",
                               bilinear ? "left" : "center", bilinear ? "bilinear" : "point");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg",
                     {"-nostdin", "-v", "error", "-f", "rawvideo", "-pix_fmt", format, "-s",
                      "34x18", "-i", "-", "-vf", filter, "-f", "rawvideo", "-"});
        ffmpeg.write(clip);
        ffmpeg.closeWriteChannel();
        QVERIFY(ffmpeg.waitForFinished());
        const QByteArray theirs = ffmpeg.readAllStandardOutput();
        QVERIFY2(theirs.size() == 34 * 18 * 3, ffmpeg.readAllStandardError().constData());
        const ColourConverter converter({matrix, range, bilinear ? C::Bilinear : C::Nearest},
                                        depth);
        for (const YuvFrame &shown : {frame, sized(frame, 33, 17)}) {
            const QImage image = converter.render(shown, 36, 19);
            int worst = 0;
            for (int i = 0; i < 36 * 19; ++i) {
                const int x = i % 36, y = shown.height - 1 - i / 36;
                const QRgb ours = image.pixel(x, i / 36);
                const bool inside = x < shown.width && y >= 0;
                QCOMPARE(ours, inside ? converter.rgbAt(shown, x, y) : qRgb(0, 0, 0));
                if (!inside)
                    continue;
                const auto *pTheirs
                        = reinterpret_cast<const quint8 *>(theirs.constData() + (y * 34 + x) * 3);
                worst = std::max({worst, std::abs(qRed(ours) - pTheirs[0]),
                                  std::abs(qGreen(ours) - pTheirs[1]),
                                  std::abs(qBlue(ours) - pTheirs[2])});
            }
            QVERIFY2(worst <= 1, qPrintable(QString::number(shown.width) + " wide: " + filter));
        }
    }
}

void tst_ColourConverter::hdrKnownPoints_data()
{
    QTest::addColumn<QString>("curve");
    QTest::addColumn<double>("input");
    QTest::addColumn<double>("luminance");
    QTest::newRow("PQ 10-bit code 520 is 100 cd/m²") << "pq" << 520.0 << 100.0;
    QTest::newRow("PQ 10-bit code 769 is 1000 cd/m²") << "pq" << 769.0 << 1000.0;
    QTest::newRow("PQ 10-bit code 1023 is 10000 cd/m²") << "pq" << 1023.0 << 10000.0;
    QTest::newRow("HLG reference white 0.75 is 203 cd/m²") << "hlg" << 0.75 << 203.0;
    QTest::newRow("EETF keeps 25 cd/m², just below its knee") << "eetf" << 25.0 << 25.0;
    QTest::newRow("EETF maps the 1000 cd/m² peak to 100") << "eetf" << 1000.0 << 100.0;
}

// Each within half a 10-bit code (0.5 %) of the luminance.
void tst_ColourConverter::hdrKnownPoints()
{
    QFETCH(QString, curve);
    QFETCH(double, input);
    QFETCH(double, luminance);
    double shown = 0.0;
    if (curve == "pq") {
        shown = ColourConverter::pqToLuminance(input / 1023);
        // A random frame whose pixel (0, 0) is that code, gray, full range.
        const YuvFrame frame = randomFrame(4, 2, 420, 10, 1);
        auto *pSamples = const_cast<quint16 *>(reinterpret_cast<const quint16 *>(frame.planes[0]));
        pSamples[0] = quint16(input);
        pSamples[8] = pSamples[10] = 512; // the first U and V
        const ColourConverter converter(
                {M::Bt2020, R::Full, C::Nearest, ColourOptions::Transfer::Pq}, 10);
        QVERIFY(std::abs(converter.luminanceAt(frame, 0, 0) - shown) < 0.001 * shown);
        QCOMPARE(converter.rgbAt(frame, 1, 0), converter.render(frame, 4, 2).pixel(1, 1));
    } else if (curve == "hlg") {
        const double scene = ColourConverter::hlgToScene(input);
        shown = ColourConverter::hlgDisplayLight(scene, scene);
    } else {
        auto mapped = [](double light) {
            return ColourConverter::pqToLuminance(
                    ColourConverter::eetf(ColourConverter::luminanceToPq(light), 1000, 100));
        };
        shown = mapped(input);
        for (double light = 0.01; light < 1000; light *= 1.01)
            QVERIFY2(mapped(light * 1.01) >= mapped(light), qPrintable(QString::number(light)));
    }
    QVERIFY2(std::abs(shown - luminance) < 0.005 * luminance, qPrintable(QString::number(shown)));
}

QTEST_GUILESS_MAIN(tst_ColourConverter)
#include "tst_colourconverter.moc"
