#include "ffmpegreference.h"
#include "framesource.h"
#include "sequencecomparison.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <fstream>
#include <vector>

namespace {

// The planar layouts this test asks ffmpeg for.
struct Layout
{
    int planes;
    int chromaShiftX;
    int chromaShiftY;
    int depth;
};

Layout layoutOf(const QString &pixelFormat)
{
    const int depth = pixelFormat.contains(QLatin1String("16")) ? 16
            : pixelFormat.contains(QLatin1String("12"))         ? 12
            : pixelFormat.contains(QLatin1String("10"))         ? 10
                                                                : 8;
    if (pixelFormat.startsWith(QLatin1String("gray")))
        return Layout {1, 0, 0, depth};
    if (pixelFormat.startsWith(QLatin1String("yuv420")))
        return Layout {3, 1, 1, depth};
    if (pixelFormat.startsWith(QLatin1String("yuv422")))
        return Layout {3, 1, 0, depth};
    return Layout {3, 0, 0, depth};
}

// A planar raw file read plane by plane (frames of Y, then U, then V; 2-byte little-endian
// samples above 8 bits).
class PlanarFileSource : public FrameSource
{
public:
    PlanarFileSource(const QString &fileName, const QString &pixelFormat, int width, int height)
        : m_fileName(fileName.toStdString())
        , m_layout(layoutOf(pixelFormat))
        , m_width(width)
        , m_height(height)
    {
        qint64 frameBytes = 0;
        for (int p = 0; p < m_layout.planes; ++p)
            frameBytes += qint64(getPlaneWidth(p)) * getPlaneHeight(p) * bytesPerSample();
        m_frames = int(QFile(fileName).size() / frameBytes);
        m_frameBytes = frameBytes;
    }
    int getNumFrames() const override { return m_frames; }
    int getDepth() const override { return m_layout.depth; }
    int getPlaneCount() const override { return m_layout.planes; }
    int getPlaneWidth(int plane) const override
    {
        const int shift = plane == 0 ? 0 : m_layout.chromaShiftX;
        return (m_width + (1 << shift) - 1) >> shift;
    }
    int getPlaneHeight(int plane) const override
    {
        const int shift = plane == 0 ? 0 : m_layout.chromaShiftY;
        return (m_height + (1 << shift) - 1) >> shift;
    }
    bool readPlane(int frame, int plane, float *pSamples, std::string &error) const override
    {
        qint64 offset = frame * m_frameBytes;
        for (int p = 0; p < plane; ++p)
            offset += qint64(getPlaneWidth(p)) * getPlaneHeight(p) * bytesPerSample();
        const int width = getPlaneWidth(plane);
        const int height = getPlaneHeight(plane);
        std::vector<unsigned char> bytes(size_t(width) * height * bytesPerSample());
        std::ifstream file(m_fileName, std::ios::binary);
        file.seekg(offset);
        if (!file.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(bytes.size()))) {
            error = "short read";
            return false;
        }
        // Row 0 of the result is the picture's bottom row.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const size_t i = size_t(y) * width + x;
                const int value
                        = bytesPerSample() == 1 ? bytes[i] : bytes[2 * i] | bytes[2 * i + 1] << 8;
                pSamples[size_t(height - 1 - y) * width + x] = float(value);
            }
        }
        return true;
    }

private:
    int bytesPerSample() const { return m_layout.depth > 8 ? 2 : 1; }

    std::string m_fileName;
    Layout m_layout;
    int m_width, m_height;
    int m_frames = 0;
    qint64 m_frameBytes = 0;
};

} // namespace

class TestFfmpegMetrics : public QObject
{
    Q_OBJECT

private slots:
    void sameNumbersAsFfmpeg_data();
    void sameNumbersAsFfmpeg();
};

void TestFfmpegMetrics::sameNumbersAsFfmpeg_data()
{
    QTest::addColumn<QString>("pixelFormat");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QStringList>("ffmpegOptions");

    QTest::newRow("gray 176x144") << "gray" << 176 << 144 << QStringList();
    QTest::newRow("yuv420p 163x121: odd sizes, chroma rounded up")
            << "yuv420p" << 163 << 121 << QStringList();
    QTest::newRow("yuv422p 160x90") << "yuv422p" << 160 << 90 << QStringList();
    QTest::newRow("yuv444p 96x64") << "yuv444p" << 96 << 64 << QStringList();
    QTest::newRow("gray10le 130x70") << "gray10le" << 130 << 70 << QStringList();
    QTest::newRow("yuv420p10le 176x144") << "yuv420p10le" << 176 << 144 << QStringList();
    QTest::newRow("yuv420p12le 64x48") << "yuv420p12le" << 64 << 48 << QStringList();
    QTest::newRow("yuv420p16le 64x48") << "yuv420p16le" << 64 << 48 << QStringList();
    // ffmpeg's x86 SSIM code for 8 bits adds windows that are not there when a plane is
    // 4 * (4n + 2) .. + 3 samples wide (here the 88-wide chroma, 22 blocks): its own plain C
    // code, which these rows are held to, counts (22 - 1) windows across as elsewhere.
    QTest::newRow("yuv420p 176x144, chroma 88 wide: ffmpeg's C code")
            << "yuv420p" << 176 << 144 << QStringList {"-cpuflags", "0"};
    QTest::newRow("yuv420p 177x143, chroma 89 wide: ffmpeg's C code")
            << "yuv420p" << 177 << 143 << QStringList {"-cpuflags", "0"};
}

void TestFfmpegMetrics::sameNumbersAsFfmpeg()
{
    QFETCH(QString, pixelFormat);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QStringList, ffmpegOptions);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString mainFile = folder.filePath("main.yuv");
    const QString referenceFile = folder.filePath("reference.yuv");
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    QString error;
    // testsrc2 drawn in RGB so that odd sizes survive; the copy blurred and noisy.
    QVERIFY2(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=25,format=rgb24",
                        "-frames:v", "6", "-pix_fmt", pixelFormat, "-f", "rawvideo", mainFile},
                       &error),
             qPrintable(error));
    QVERIFY2(runFfmpeg({"-f", "rawvideo", "-pix_fmt", pixelFormat, "-s", size, "-i", mainFile,
                        "-vf", "gblur=sigma=0.6,noise=alls=4:allf=t", "-pix_fmt", pixelFormat, "-f",
                        "rawvideo", referenceFile},
                       &error),
             qPrintable(error));
    // The first frame left identical: PSNR inf, SSIM 1 on both sides.
    {
        QFile main(mainFile);
        QFile reference(referenceFile);
        QVERIFY(main.open(QIODevice::ReadOnly) && reference.open(QIODevice::ReadWrite));
        const PlanarFileSource probe(mainFile, pixelFormat, width, height);
        const qint64 frameBytes = main.size() / probe.getNumFrames();
        QCOMPARE(reference.write(main.read(frameBytes)), frameBytes);
    }

    const QVector<FfmpegFrameStats> expected
            = ffmpegStats(mainFile, referenceFile, pixelFormat, width, height, folder.path(),
                          &error, ffmpegOptions);
    QVERIFY2(!expected.isEmpty(), qPrintable(error));
    QCOMPARE(expected.size(), 6);

    const PlanarFileSource main(mainFile, pixelFormat, width, height);
    const PlanarFileSource reference(referenceFile, pixelFormat, width, height);
    SequenceComparison comparison(&main, &reference, nullptr);
    std::vector<FrameMetrics> rows;
    QVERIFY(comparison.run([&](const FrameMetrics &m) {
        rows.push_back(m);
        return true;
    }));
    QCOMPARE(int(rows.size()), expected.size());

    double worstPsnr = 0.0;
    double worstSsim = 0.0;
    for (int f = 0; f < expected.size(); ++f) {
        const FrameMetrics &ours = rows[size_t(f)];
        const FfmpegFrameStats &theirs = expected[f];
        QCOMPARE(ours.frame, f);
        QCOMPARE(ours.planeCount, theirs.planes);
        for (int p = 0; p < theirs.planes; ++p) {
            const PlaneMetrics &plane = ours.planes[size_t(p)];
            const QString where = QStringLiteral("frame %1 plane %2: ours %3 / %4, ffmpeg %5 / %6")
                                          .arg(f)
                                          .arg(p)
                                          .arg(plane.psnr, 0, 'f', 6)
                                          .arg(plane.ssim, 0, 'f', 6)
                                          .arg(theirs.psnr[p])
                                          .arg(theirs.ssim[p]);
            if (std::isinf(theirs.psnr[p])) {
                QVERIFY2(std::isinf(plane.psnr), qPrintable(where));
            } else {
                // ffmpeg prints PSNR and MSE with two decimals.
                QVERIFY2(std::abs(plane.psnr - theirs.psnr[p]) <= 0.01, qPrintable(where));
                QVERIFY2(std::abs(plane.mse - theirs.mse[p]) <= 0.005 + 1e-9, qPrintable(where));
                worstPsnr = std::max(worstPsnr, std::abs(plane.psnr - theirs.psnr[p]));
            }
            QVERIFY2(std::abs(plane.ssim - theirs.ssim[p]) <= 0.0001, qPrintable(where));
            worstSsim = std::max(worstSsim, std::abs(plane.ssim - theirs.ssim[p]));
        }
        if (f == 0)
            QCOMPARE(ours.planes[0].ssim, 1.0);
        else
            QVERIFY(ours.planes[0].psnr < 60 && ours.planes[0].ssim < 0.999);
    }
    qInfo("largest differences from ffmpeg: PSNR %.4f dB, SSIM %.7f", worstPsnr, worstSsim);
}

QTEST_APPLESS_MAIN(TestFfmpegMetrics)
#include "tst_ffmpegmetrics.moc"
