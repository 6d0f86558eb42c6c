// The colour conversion: against ffmpeg's zscale on random clips, the HDR curves at known
// points, and the one-pixel readout against the rendered image.
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

#include "colourconverter.h"
#include "yuvframe.h"

namespace {

// Chroma plane sizes of a frame of that size, rounded up as ffmpeg does.
YuvFrame sized(YuvFrame frame, int width, int height)
{
    frame.width = width;
    frame.height = height;
    frame.chromaWidth = frame.chroma == 444 ? width : (width + 1) / 2;
    frame.chromaHeight = frame.chroma == 420 ? (height + 1) / 2 : height;
    return frame;
}

// Random planes laid out as the file stores them (Y, U, V); luma anywhere in the code range,
// chroma within half of it around the centre, so that most pixels are not clipped.
YuvFrame randomFrame(int width, int height, int chroma, int depth, unsigned seed)
{
    YuvFrame frame;
    frame.chroma = chroma;
    frame.depth = depth;
    frame = sized(frame, width, height);
    const int bytes = frame.bytesPerSample();
    const qint64 counts[3]
            = {qint64(width) * height, qint64(frame.chromaWidth) * frame.chromaHeight,
               qint64(frame.chromaWidth) * frame.chromaHeight};
    std::shared_ptr<unsigned char> pData(new unsigned char[(counts[0] + 2 * counts[1]) * bytes],
                                         std::default_delete<unsigned char[]>());
    std::mt19937 random(seed);
    const int top = (1 << depth) - 1;
    unsigned char *pPlane = pData.get();
    for (int p = 0; p < 3; ++p) {
        std::uniform_int_distribution<int> value(p ? top / 4 : 0, p ? 3 * top / 4 : top);
        for (qint64 i = 0; i < counts[p]; ++i) {
            if (bytes == 1)
                pPlane[i] = static_cast<unsigned char>(value(random));
            else
                reinterpret_cast<quint16 *>(pPlane)[i] = static_cast<quint16>(value(random));
        }
        frame.planes[p] = pPlane;
        frame.strides[p] = qint64(p ? frame.chromaWidth : width) * bytes;
        pPlane += counts[p] * bytes;
    }
    frame.data = pData;
    return frame;
}

ColourOptions options(ColourOptions::Matrix matrix, ColourOptions::Range range,
                      ColourOptions::Chroma chroma,
                      ColourOptions::Transfer transfer = ColourOptions::Transfer::Sdr)
{
    ColourOptions settled;
    settled.matrix = matrix;
    settled.range = range;
    settled.chroma = chroma;
    settled.transfer = transfer;
    return settled;
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
    void rgbAtIsRendersPixel_data();
    void rgbAtIsRendersPixel();
};

void tst_ColourConverter::matchesZscale_data()
{
    QTest::addColumn<int>("chroma");
    QTest::addColumn<int>("depth");
    QTest::newRow("8-bit 4:2:0") << 420 << 8;
    QTest::newRow("8-bit 4:2:2") << 422 << 8;
    QTest::newRow("8-bit 4:4:4") << 444 << 8;
    QTest::newRow("10-bit 4:2:0") << 420 << 10;
    QTest::newRow("10-bit 4:2:2") << 422 << 10;
    QTest::newRow("10-bit 4:4:4") << 444 << 10;
}

// Every matrix, range and chroma upsampling on a 34x18 clip, and on its 33x17 top-left part
// (zscale refuses odd sizes of subsampled chroma; the part's last column and row read the same
// chroma as in the whole): every pixel within 1 of zscale's.
void tst_ColourConverter::matchesZscale()
{
    QFETCH(int, chroma);
    QFETCH(int, depth);
    if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
        QSKIP("ffmpeg is not installed");
    const YuvFrame frame = randomFrame(34, 18, chroma, depth, unsigned(chroma + depth));
    QTemporaryDir dir;
    QFile input(dir.filePath("in.yuv"));
    const qint64 bytes
            = (frame.planes[2] - frame.planes[0]) + frame.strides[2] * frame.chromaHeight;
    QVERIFY(input.open(QIODevice::WriteOnly));
    QCOMPARE(input.write(reinterpret_cast<const char *>(frame.planes[0]), bytes), bytes);
    input.close();
    const QString format = QString("yuv%1p%2").arg(chroma).arg(depth > 8 ? "10le" : "");
    using M = ColourOptions::Matrix;
    using R = ColourOptions::Range;
    using C = ColourOptions::Chroma;
    for (const auto &[matrix, matrixName] :
         {std::pair(M::Bt601, "170m"), std::pair(M::Bt709, "709"),
          std::pair(M::Bt2020, "2020_ncl")}) {
        for (const R range : {R::Limited, R::Full}) {
            for (const C upsampling : {C::Nearest, C::Bilinear}) {
                const bool bilinear = upsampling == C::Bilinear;
                const QString filter
                        = QString("zscale=matrixin=%1:rangein=%2:chromalin=%3:f=%4:matrix=%1:"
                                  "range=full,format=gbrp,format=rgb24")
                                  .arg(matrixName, range == R::Full ? "full" : "limited",
                                       bilinear ? "left" : "center",
                                       bilinear ? "bilinear" : "point");
                QProcess ffmpeg;
                ffmpeg.start("ffmpeg",
                             {"-nostdin", "-v", "error", "-f", "rawvideo", "-pix_fmt", format, "-s",
                              "34x18", "-i", input.fileName(), "-vf", filter, "-f", "rawvideo",
                              "-"});
                QVERIFY(ffmpeg.waitForFinished());
                const QByteArray theirs = ffmpeg.readAllStandardOutput();
                QVERIFY2(theirs.size() == 34 * 18 * 3, ffmpeg.readAllStandardError().constData());
                const ColourConverter converter(options(matrix, range, upsampling), depth);
                for (const YuvFrame &shown : {frame, sized(frame, 33, 17)}) {
                    const QImage image = converter.render(shown, shown.width, shown.height);
                    int worst = 0;
                    for (int y = 0; y < shown.height; ++y) {
                        for (int x = 0; x < shown.width; ++x) {
                            const QRgb ours = image.pixel(x, shown.height - 1 - y);
                            const char *pTheirs = theirs.constData() + (y * 34 + x) * 3;
                            for (const int d : {qRed(ours) - quint8(pTheirs[0]),
                                                qGreen(ours) - quint8(pTheirs[1]),
                                                qBlue(ours) - quint8(pTheirs[2])})
                                worst = std::max(worst, std::abs(d));
                        }
                    }
                    QVERIFY2(worst <= 1,
                             qPrintable(QString("%1 %2x%3: %4 codes off")
                                                .arg(filter)
                                                .arg(shown.width)
                                                .arg(shown.height)
                                                .arg(worst)));
                }
            }
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
    QTest::newRow("EETF keeps 10 cd/m² below its knee") << "eetf" << 10.0 << 10.0;
    QTest::newRow("EETF maps the 1000 cd/m² peak to 100") << "eetf" << 1000.0 << 100.0;
}

void tst_ColourConverter::hdrKnownPoints()
{
    QFETCH(QString, curve);
    QFETCH(double, input);
    QFETCH(double, luminance);
    // Half a 10-bit code near those levels.
    const double tolerance = 0.005 * luminance;
    if (curve == "pq") {
        QVERIFY(std::abs(ColourConverter::pqToLuminance(input / 1023) - luminance) < tolerance);
        QCOMPARE(std::lround(ColourConverter::luminanceToPq(luminance) * 1023), std::lround(input));
        // A gray full-range frame of that code reads as that luminance.
        YuvFrame frame = randomFrame(2, 2, 420, 10, 1);
        auto *pSamples = const_cast<quint16 *>(reinterpret_cast<const quint16 *>(frame.planes[0]));
        std::fill(pSamples, pSamples + 6, quint16(512));
        pSamples[0] = quint16(input);
        const ColourConverter converter(
                options(ColourOptions::Matrix::Bt2020, ColourOptions::Range::Full,
                        ColourOptions::Chroma::Nearest, ColourOptions::Transfer::Pq),
                10);
        QVERIFY(std::abs(converter.luminanceAt(frame, 0, 0) - luminance) < tolerance);
    } else if (curve == "hlg") {
        const double scene = ColourConverter::hlgToScene(input);
        QVERIFY(std::abs(ColourConverter::hlgDisplayLight(scene, scene) - luminance) < tolerance);
    } else {
        auto mapped = [](double light) {
            return ColourConverter::pqToLuminance(
                    ColourConverter::eetf(ColourConverter::luminanceToPq(light), 1000, 100));
        };
        QVERIFY(std::abs(mapped(input) - luminance) < tolerance);
        for (double light = 0.01; light < 1000; light *= 1.01)
            QVERIFY2(mapped(light * 1.01) >= mapped(light), qPrintable(QString::number(light)));
    }
}

void tst_ColourConverter::rgbAtIsRendersPixel_data()
{
    QTest::addColumn<int>("chroma");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("bilinear");
    QTest::addColumn<int>("transfer");
    const int sdr = int(ColourOptions::Transfer::Sdr);
    QTest::newRow("8-bit 4:2:0 33x17, nearest") << 420 << 8 << false << sdr;
    QTest::newRow("10-bit 4:2:2 33x17, bilinear") << 422 << 10 << true << sdr;
    QTest::newRow("10-bit 4:2:0 PQ, bilinear")
            << 420 << 10 << true << int(ColourOptions::Transfer::Pq);
    QTest::newRow("12-bit 4:4:4 HLG, nearest")
            << 444 << 12 << false << int(ColourOptions::Transfer::Hlg);
}

// The image is larger than the frame: the frame sits on its bottom row, black around it.
void tst_ColourConverter::rgbAtIsRendersPixel()
{
    QFETCH(int, chroma);
    QFETCH(int, depth);
    QFETCH(bool, bilinear);
    QFETCH(int, transfer);
    const YuvFrame frame = randomFrame(33, 17, chroma, depth, 7);
    const ColourConverter converter(
            options(ColourOptions::Matrix::Bt709, ColourOptions::Range::Limited,
                    bilinear ? ColourOptions::Chroma::Bilinear : ColourOptions::Chroma::Nearest,
                    ColourOptions::Transfer(transfer)),
            depth);
    const QImage image = converter.render(frame, 36, 19);
    QCOMPARE(image.size(), QSize(36, 19));
    for (int i = 0; i < 19; ++i) {
        for (int x = 0; x < 36; ++x) {
            const bool inside = x < 33 && i < 17;
            const QRgb expected = inside ? converter.rgbAt(frame, x, 16 - i) : qRgb(0, 0, 0);
            QVERIFY2(image.pixel(x, i) == expected, qPrintable(QString("%1, %2").arg(x).arg(i)));
        }
    }
}

QTEST_GUILESS_MAIN(tst_ColourConverter)
#include "tst_colourconverter.moc"
