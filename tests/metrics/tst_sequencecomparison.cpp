#include "framesource.h"
#include "metricssummary.h"
#include "sequencecomparison.h"

#include <QTest>

#include <atomic>
#include <cmath>
#include <vector>

namespace {

// A movie in memory whose every sample of frame f, plane p is value(f, p); reading frame
// failFrame fails.
class ConstantSource : public FrameSource
{
public:
    ConstantSource(int frames, int planes, int width, int height, float offset)
        : m_frames(frames), m_planes(planes), m_width(width), m_height(height), m_offset(offset)
    { }
    int getNumFrames() const override { return m_frames; }
    int getDepth() const override { return 8; }
    int getPlaneCount() const override { return m_planes; }
    int getPlaneWidth(int plane) const override { return plane == 0 ? m_width : m_width / 2; }
    int getPlaneHeight(int plane) const override { return plane == 0 ? m_height : m_height / 2; }
    bool readPlane(int frame, int plane, float *pSamples, std::string &error) const override
    {
        ++m_reads;
        if (frame == failFrame) {
            error = "frame " + std::to_string(frame) + " is unreadable";
            return false;
        }
        const qint64 count = qint64(getPlaneWidth(plane)) * getPlaneHeight(plane);
        std::fill(pSamples, pSamples + count, value(frame, plane));
        return true;
    }
    float value(int frame, int plane) const { return float(10 * frame + plane) + m_offset; }

    int failFrame = -1;
    mutable std::atomic<int> m_reads {0};

private:
    int m_frames, m_planes, m_width, m_height;
    float m_offset;
};

struct Row
{
    int frame, reference, planes;
    double mse[3];
};

} // namespace

class TestSequenceComparison : public QObject
{
    Q_OBJECT

private slots:
    void framesInOrder_data();
    void framesInOrder();
    void readErrorStopsInOrder();
    void deliverCanStop();
    void summary();
};

void TestSequenceComparison::framesInOrder_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("mainFrames");
    QTest::addColumn<int>("ref1Frames");
    QTest::addColumn<int>("ref2Frames"); // 0: no reference 2
    QTest::addColumn<int>("ref1Planes");
    QTest::addColumn<int>("ref1Offset");
    QTest::addColumn<int>("ref2Offset");

    QTest::newRow("one thread, equal lengths") << 1 << 6 << 6 << 0 << 3 << 0 << 0;
    QTest::newRow("many threads, 40 frames") << 8 << 40 << 40 << 40 << 3 << 0 << 0;
    QTest::newRow("reference 1 shorter: its frames stop early") << 3 << 7 << 4 << 7 << 3 << 0 << 0;
    QTest::newRow("main shorter than both") << 2 << 3 << 9 << 5 << 3 << 0 << 0;
    QTest::newRow("gray reference: Y only") << 2 << 5 << 5 << 5 << 1 << 0 << 0;
    QTest::newRow("reference 1 starts at main frame 2") << 2 << 8 << 8 << 8 << 3 << 2 << 0;
    QTest::newRow("reference 2 starts 3 frames before main") << 3 << 8 << 8 << 8 << 3 << 0 << -3;
    QTest::newRow("references far apart: frames 2 to 5 have no partner")
            << 2 << 9 << 2 << 3 << 3 << 0 << 6;
    QTest::newRow("offset beyond the main movie: reference 1 not compared")
            << 1 << 4 << 4 << 4 << 3 << 4 << 0;
}

void TestSequenceComparison::framesInOrder()
{
    QFETCH(int, threads);
    QFETCH(int, mainFrames);
    QFETCH(int, ref1Frames);
    QFETCH(int, ref2Frames);
    QFETCH(int, ref1Planes);
    QFETCH(int, ref1Offset);
    QFETCH(int, ref2Offset);

    const ConstantSource main(mainFrames, 3, 16, 8, 0.0f);
    const ConstantSource ref1(ref1Frames, ref1Planes, 16, 8, 2.0f); // MSE 4 on every plane
    const ConstantSource ref2(ref2Frames, 3, 16, 8, -3.0f); // MSE 9
    SequenceComparison comparison(&main, &ref1, ref2Frames > 0 ? &ref2 : nullptr);
    comparison.setThreadCount(threads);
    comparison.setReferenceOffset(1, ref1Offset);
    comparison.setReferenceOffset(2, ref2Offset);

    std::vector<Row> rows;
    QVERIFY(comparison.run([&](const FrameMetrics &m) {
        rows.push_back(Row {m.frame,
                            m.reference,
                            m.planeCount,
                            {m.planes[0].mse, m.planes[1].mse, m.planes[2].mse}});
        return true;
    }));

    // Expected: main frame f with reference frame f - offset wherever both exist, in frame
    // order, reference 1 before 2. Main - reference is 10 * offset - 2 (reference 1) and
    // 10 * offset + 3 (reference 2) on every sample.
    std::vector<Row> expected;
    int compared1 = 0;
    for (int f = 0; f < mainFrames; ++f) {
        if (f - ref1Offset >= 0 && f - ref1Offset < ref1Frames) {
            const double mse = std::pow(10.0 * ref1Offset - 2, 2);
            expected.push_back(Row {f,
                                    1,
                                    ref1Planes,
                                    {mse, ref1Planes > 1 ? mse : 0.0, ref1Planes > 1 ? mse : 0.0}});
            ++compared1;
        }
        if (ref2Frames > 0 && f - ref2Offset >= 0 && f - ref2Offset < ref2Frames) {
            const double mse = std::pow(10.0 * ref2Offset + 3, 2);
            expected.push_back(Row {f, 2, 3, {mse, mse, mse}});
        }
    }
    QCOMPARE(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].frame, expected[i].frame);
        QCOMPARE(rows[i].reference, expected[i].reference);
        QCOMPARE(rows[i].planes, expected[i].planes);
        for (int p = 0; p < rows[i].planes; ++p)
            QCOMPARE(rows[i].mse[p], expected[i].mse[p]);
    }
    QCOMPARE(comparison.getComparedFrameCount(1), compared1);
    QCOMPARE(comparison.getComparedPlaneCount(1), ref1Planes);
}

void TestSequenceComparison::readErrorStopsInOrder()
{
    const ConstantSource main(30, 3, 16, 8, 0.0f);
    ConstantSource ref1(30, 3, 16, 8, 1.0f);
    ref1.failFrame = 12;
    SequenceComparison comparison(&main, &ref1, nullptr);
    comparison.setThreadCount(4);
    std::vector<int> frames;
    QVERIFY(!comparison.run([&](const FrameMetrics &m) {
        frames.push_back(m.frame);
        return true;
    }));
    QCOMPARE(comparison.getErrorString(), std::string("frame 12 is unreadable"));
    QCOMPARE(int(frames.size()), 12);
    for (int f = 0; f < 12; ++f)
        QCOMPARE(frames[size_t(f)], f);
}

void TestSequenceComparison::deliverCanStop()
{
    const ConstantSource main(1000, 1, 8, 8, 0.0f);
    const ConstantSource ref1(1000, 1, 8, 8, 1.0f);
    SequenceComparison comparison(&main, &ref1, nullptr);
    comparison.setThreadCount(2);
    int delivered = 0;
    QVERIFY(!comparison.run([&](const FrameMetrics &) { return ++delivered < 5; }));
    QCOMPARE(delivered, 5);
    QVERIFY(comparison.getErrorString().empty());
    // Only a few frames beyond the last one delivered were read: workers do not run ahead.
    QVERIFY2(main.m_reads < 20, qPrintable(QString::number(main.m_reads)));
}

void TestSequenceComparison::summary()
{
    MetricsSummary summary(8);
    FrameMetrics frame;
    frame.reference = 2;
    frame.planeCount = 1;
    const double mses[] = {4.0, 1.0, 16.0, 1.0};
    for (int f = 0; f < 4; ++f) {
        frame.frame = f;
        frame.planes[0].mse = mses[f];
        frame.planes[0].psnr = PlaneMetrics::psnrFromMse(mses[f], 8);
        frame.planes[0].ssim = 0.9 + 0.01 * f;
        summary.add(frame);
    }
    QCOMPARE(summary.getFrameCount(2, 0), 4);
    QCOMPARE(summary.getFrameCount(1, 0), 0);
    QCOMPARE(summary.getFrameCount(2, 1), 0);
    // PSNR per frame: 10 log10(65025 / mse); their mean differs from the PSNR of mean MSE 5.5.
    const double meanPsnr = (4 * 10 * std::log10(65025.0) - 10 * std::log10(4.0 * 16.0)) / 4;
    QVERIFY(std::abs(summary.getMeanPsnr(2, 0) - meanPsnr) < 1e-9);
    QVERIFY(std::abs(summary.getPsnrOfMeanMse(2, 0) - 10 * std::log10(65025.0 / 5.5)) < 1e-9);
    QVERIFY(std::abs(summary.getMeanSsim(2, 0) - 0.915) < 1e-12);
    QCOMPARE(summary.getWorstFrame(2, 0), 2);
    QCOMPARE(summary.getWorstPsnr(2, 0), PlaneMetrics::psnrFromMse(16.0, 8));
}

QTEST_APPLESS_MAIN(TestSequenceComparison)
#include "tst_sequencecomparison.moc"
