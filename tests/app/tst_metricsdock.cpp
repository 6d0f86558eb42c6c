#include "image3d.h"
#include "metricsdock.h"
#include "metricsplot.h"
#include "pixelformat.h"

#include <QComboBox>
#include <QLabel>
#include <QMap>
#include <QRandomGenerator>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// Gray 8-bit frames: sample i of frame f is (i * 7 + f * 13 + offset * (i % 3)) % 256.
QByteArray grayFrames(int width, int height, int frames, int offset)
{
    QByteArray bytes;
    for (int f = 0; f < frames; ++f)
        for (int i = 0; i < width * height; ++i)
            bytes += char((i * 7 + f * 13 + offset * (i % 3)) % 256);
    return bytes;
}

std::unique_ptr<Image3D> loadGray(const QString &fileName, int width, int height)
{
    auto pMovie = std::make_unique<Image3D>();
    if (!pMovie->loadRaw(fileName.toStdString(), width, height, false))
        return nullptr;
    return pMovie;
}

// The dock's table and summary as a user meets them.
const QAbstractItemModel *rowsOf(const MetricsDock &dock)
{
    return dock.findChild<QTableView *>()->model();
}
// The progress bar shows while the dock computes.
bool computing(const MetricsDock &dock) { return !dock.findChild<QProgressBar *>()->isHidden(); }
QString summaryOf(const MetricsDock &dock)
{
    return dock.findChild<QLabel *>(QStringLiteral("metricsSummary"))->text();
}

// A cell's number; NaN when it is empty.
double cell(const QAbstractItemModel *pTable, int row, int column)
{
    const QVariant value = pTable->index(row, column).data();
    return value.isValid() ? value.toDouble() : std::nan("");
}

} // namespace

// The PSNR a plot draws for reference 1 or 2 at a frame; NaN where it draws none.
class MetricsPlotTestAccess
{
public:
    static double value(const MetricsPlot &plot, int reference, int frame)
    {
        return plot.m_chart.getPsnr(reference).value(frame, std::nan(""));
    }
};

class TestMetricsDock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameNumbersAsTheCommandLine();
    void hiddenComputesNothingAndNewMoviesReplaceTheRows();
    void choosingAFrame();
    void yuvFilesAllPlanesAndOffsets_data();
    void yuvFilesAllPlanesAndOffsets();
    void movieInMemoryComparesTheViewedPlane();
    void referenceOfYOnlyLeavesItsChromaCellsEmpty();
    void chromaSampledOtherwiseIsNotCompared();
    void regionOfTheViewedPlane_data();
    void regionOfTheViewedPlane();

private:
    QTemporaryDir m_folder;
    std::unique_ptr<Image3D> m_pMain, m_pReference1, m_pReference2, m_pShort;
};

void TestMetricsDock::initTestCase()
{
    QVERIFY(m_folder.isValid());
    const struct
    {
        const char *name;
        int frames;
        int offset;
    } files[] = {
            {"main.gray", 5, 0}, {"ref1.gray", 5, 9}, {"ref2.gray", 4, 40}, {"short.gray", 2, 3}};
    for (const auto &file : files) {
        QFile out(m_folder.filePath(file.name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(grayFrames(24, 16, file.frames, file.offset));
    }
    m_pMain = loadGray(m_folder.filePath("main.gray"), 24, 16);
    m_pReference1 = loadGray(m_folder.filePath("ref1.gray"), 24, 16);
    m_pReference2 = loadGray(m_folder.filePath("ref2.gray"), 24, 16);
    m_pShort = loadGray(m_folder.filePath("short.gray"), 24, 16);
    QVERIFY(m_pMain && m_pReference1 && m_pReference2 && m_pShort);

    // 16x16 yuv420p noise (384 bytes a frame): main and reference 1 of 5 frames, reference 2
    // of 4.
    QRandomGenerator noise(7);
    for (const auto &file : {std::make_pair("main.yuv", 5), std::make_pair("ref1.yuv", 5),
                             std::make_pair("ref2.yuv", 4)}) {
        QByteArray bytes(384 * file.second, '\0');
        for (char &byte : bytes)
            byte = char(noise.bounded(256));
        QFile out(m_folder.filePath(file.first));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), bytes.size());
    }
}

void TestMetricsDock::sameNumbersAsTheCommandLine()
{
    MetricsDock dock;
    dock.setMovies({m_pMain.get(), m_pReference1.get(), m_pReference2.get()});
    dock.show();
    QTRY_VERIFY(!computing(dock));
    const QAbstractItemModel *pTable = rowsOf(dock);
    QCOMPARE(pTable->rowCount(), 5);

    QProcess rawcompare;
    rawcompare.start(QStringLiteral(RAWCOMPARE_PATH),
                     {"--metrics", "--size", "24x16", "--gray", m_folder.filePath("main.gray"),
                      "--ref1", m_folder.filePath("ref1.gray"), "--ref2",
                      m_folder.filePath("ref2.gray")});
    QVERIFY(rawcompare.waitForFinished(30000));
    QCOMPARE(rawcompare.exitCode(), 0);
    QList<QByteArray> lines = rawcompare.readAllStandardOutput().trimmed().split('\n');
    lines.removeFirst();
    QCOMPARE(lines.size(), 5 + 4); // reference 2 has 4 frames
    for (const QByteArray &line : lines) {
        const QList<QByteArray> cells = line.split(',');
        const int frame = cells[0].toInt();
        const int first = cells[1].toInt() == 1 ? 1 : 4; // PSNR 1 or PSNR 2 column
        QCOMPARE(cell(pTable, frame, 0), double(frame + 1)); // counted from 1 in the window
        // The CLI prints 8 significant digits.
        for (int i = 0; i < 3; ++i) {
            const double ours = cell(pTable, frame, first + i);
            const double theirs = cells[i == 0 ? 5 : i == 1 ? 2 : 8].toDouble();
            QVERIFY2(std::abs(ours - theirs) <= 1e-7 * std::abs(theirs), line.constData());
        }
    }
    // Frame 4 has no reference 2: those cells stay empty.
    QVERIFY(std::isnan(cell(pTable, 4, 4)));
    QVERIFY(summaryOf(dock).contains("Reference 1: worst frame"));
    QVERIFY(summaryOf(dock).contains("over 4 frames"));
    QCOMPARE(dock.findChild<MetricsPlot *>()->getFrameCount(), 5);
    // Movies held in memory: the one plane, nothing to choose.
    QVERIFY(!dock.findChild<QComboBox *>("metricsPlane")->isVisibleTo(&dock));
}

void TestMetricsDock::hiddenComputesNothingAndNewMoviesReplaceTheRows()
{
    MetricsDock dock;
    dock.setMovies({m_pMain.get(), m_pReference1.get(), nullptr});
    QVERIFY(!computing(dock));
    QCOMPARE(rowsOf(dock)->rowCount(), 0);
    dock.show();
    QTRY_VERIFY(!computing(dock));
    QCOMPARE(rowsOf(dock)->rowCount(), 5);

    // A shorter reference replaces the rows; the run before is cancelled, none of its rows
    // come back afterwards.
    dock.setMovies({m_pMain.get(), m_pShort.get(), nullptr});
    QTRY_VERIFY(!computing(dock));
    QCOMPARE(rowsOf(dock)->rowCount(), 2);
    QTest::qWait(0);
    QCOMPARE(rowsOf(dock)->rowCount(), 2);

    // Without a reference there is nothing to compare, and the dock says so.
    dock.setMovies({m_pMain.get(), nullptr, nullptr});
    QVERIFY(!computing(dock));
    QCOMPARE(rowsOf(dock)->rowCount(), 0);
    QVERIFY(summaryOf(dock).startsWith("Load a main movie and a reference movie"));
}

void TestMetricsDock::choosingAFrame()
{
    MetricsDock dock;
    dock.resize(400, 500);
    dock.setMovies({m_pMain.get(), m_pReference1.get(), nullptr});
    dock.show();
    QTRY_VERIFY(!computing(dock));
    QSignalSpy chosen(&dock, &MetricsDock::frameChosen);

    // Frames are counted from 1 in the window, as its position label counts them.
    QTableView *pTable = dock.findChild<QTableView *>();
    QCOMPARE(cell(pTable->model(), 0, 0), 1.0);
    QCOMPARE(cell(pTable->model(), 4, 0), 5.0);

    // Sorted by PSNR, the first row is the worst frame; selecting it asks for that frame.
    pTable->sortByColumn(1, Qt::AscendingOrder);
    const int worst = int(cell(pTable->model(), 0, 0));
    for (int row = 1; row < 5; ++row)
        QVERIFY(cell(pTable->model(), row, 1) >= cell(pTable->model(), 0, 1));
    pTable->selectRow(0);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.takeFirst().at(0).toInt(), worst - 1); // the frame's index, from 0
    QVERIFY(summaryOf(dock).contains(QStringLiteral("worst frame %1 ").arg(worst)));

    // Clicking the plot at its right end picks the last frame.
    MetricsPlot *pPlot = dock.findChild<MetricsPlot *>();
    QTest::mouseClick(pPlot, Qt::LeftButton, {}, QPoint(pPlot->width() - 9, pPlot->height() / 2));
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.takeFirst().at(0).toInt(), 4);
}

void TestMetricsDock::yuvFilesAllPlanesAndOffsets_data()
{
    QTest::addColumn<int>("plane"); // the plane the window holds
    QTest::addColumn<int>("offset1");
    QTest::addColumn<int>("offset2");

    QTest::newRow("Y viewed, frame for frame") << 0 << 0 << 0;
    QTest::newRow("U viewed, reference 2 starts at main frame 1") << 1 << 0 << 1;
    QTest::newRow("V viewed, reference 1 starts 2 frames before main") << 2 << -2 << 0;
}

void TestMetricsDock::yuvFilesAllPlanesAndOffsets()
{
    QFETCH(int, plane);
    QFETCH(int, offset1);
    QFETCH(int, offset2);

    // The movies as the window opens them: one plane, read from the file on demand.
    std::unique_ptr<Image3D> movies[3];
    const char *names[3] = {"main.yuv", "ref1.yuv", "ref2.yuv"};
    for (int i = 0; i < 3; ++i) {
        movies[i] = std::make_unique<Image3D>();
        QVERIFY(movies[i]->openRaw(m_folder.filePath(names[i]).toStdString(),
                                   *PixelFormat::byName("yuv420p"), 16, 16, plane));
    }
    MetricsDock dock;
    dock.setMovies(MovieSet(movies[0].get(), movies[1].get(), movies[2].get(), offset1, offset2));
    dock.show();
    QTRY_VERIFY(!computing(dock));
    QVERIFY(dock.findChild<QComboBox *>("metricsPlane")->isVisibleTo(&dock));
    QCOMPARE(dock.findChild<QComboBox *>("metricsPlane")->currentIndex(), plane);

    QProcess rawcompare;
    rawcompare.start(QStringLiteral(RAWCOMPARE_PATH),
                     {"--metrics", "--size", "16x16", m_folder.filePath("main.yuv"), "--ref1",
                      m_folder.filePath("ref1.yuv"), "--ref2", m_folder.filePath("ref2.yuv"),
                      "--ref1-offset", QString::number(offset1), "--ref2-offset",
                      QString::number(offset2)});
    QVERIFY(rawcompare.waitForFinished(30000));
    QCOMPARE(rawcompare.exitCode(), 0);
    QList<QByteArray> lines = rawcompare.readAllStandardOutput().trimmed().split('\n');
    lines.removeFirst();
    // Reference r meets main frames first[r] .. end[r] - 1 (main 5 frames, references 5 and 4).
    const int first[2] = {std::max(0, offset1), std::max(0, offset2)};
    const int end[2] = {std::min(5, 5 + offset1), std::min(5, 4 + offset2)};
    QCOMPARE(lines.size(), end[0] - first[0] + end[1] - first[1]);

    // The plot: PSNR of the plane viewed.
    for (const QByteArray &line : lines) {
        const QList<QByteArray> cells = line.split(',');
        const double theirs = cells[5 + plane].toDouble();
        const double ours = MetricsPlotTestAccess::value(*dock.findChild<MetricsPlot *>(),
                                                         cells[1].toInt(), cells[0].toInt());
        QVERIFY2(std::abs(ours - theirs) <= 1e-7 * theirs, line.constData());
    }
    // The table: every plane as it is chosen.
    for (int p = 0; p < 3; ++p) {
        dock.findChild<QComboBox *>("metricsPlane")->setCurrentIndex(p);
        const QAbstractItemModel *pTable = rowsOf(dock);
        QMap<int, int> rowOfFrame;
        for (int row = 0; row < pTable->rowCount(); ++row)
            rowOfFrame.insert(int(cell(pTable, row, 0)) - 1, row);
        QCOMPARE(rowOfFrame.size(), pTable->rowCount());
        QCOMPARE(rowOfFrame.firstKey(), std::min(first[0], first[1]));
        QCOMPARE(rowOfFrame.lastKey(), std::max(end[0], end[1]) - 1);
        for (const QByteArray &line : lines) {
            const QList<QByteArray> cells = line.split(',');
            QVERIFY(rowOfFrame.contains(cells[0].toInt()));
            const int row = rowOfFrame.value(cells[0].toInt());
            const int first = cells[1].toInt() == 1 ? 1 : 4; // PSNR 1 or PSNR 2 column
            // PSNR, MSE, SSIM of plane p in the table; MSE, PSNR, SSIM columns on the line.
            const double theirs[3]
                    = {cells[5 + p].toDouble(), cells[2 + p].toDouble(), cells[8 + p].toDouble()};
            for (int i = 0; i < 3; ++i) {
                const double ours = cell(pTable, row, first + i);
                QVERIFY2(std::abs(ours - theirs[i]) <= 1e-7 * std::abs(theirs[i]),
                         qPrintable(QStringLiteral("plane %1 column %2: %3 against %4")
                                            .arg(p)
                                            .arg(first + i)
                                            .arg(ours)
                                            .arg(QString::fromLatin1(line))));
            }
        }
        QVERIFY(summaryOf(dock).contains(
                QStringLiteral("Reference 1 (%1): worst frame").arg(QLatin1Char("YUV"[p]))));
    }
}

void TestMetricsDock::movieInMemoryComparesTheViewedPlane()
{
    // The main movie's U read from its file on demand, the reference's U loaded whole: only U
    // is compared, as the views compare them.
    const int plane = 1;
    const PixelFormat &format = *PixelFormat::byName("yuv420p");
    Image3D main;
    QVERIFY(main.openRaw(m_folder.filePath("main.yuv").toStdString(), format, 16, 16, plane));
    Image3D reference;
    QVERIFY(reference.loadRaw(m_folder.filePath("ref1.yuv").toStdString(), format, 16, 16, plane));
    QVERIFY(main.getRawFile() && !reference.getRawFile());
    MetricsDock dock;
    dock.setMovies({&main, &reference, nullptr});
    dock.show();
    QTRY_VERIFY(!computing(dock));
    QVERIFY(!dock.findChild<QComboBox *>("metricsPlane")->isVisibleTo(&dock));
    QVERIFY(summaryOf(dock).startsWith("Reference 1: worst frame"));

    QProcess rawcompare;
    rawcompare.start(QStringLiteral(RAWCOMPARE_PATH),
                     {"--metrics", "--size", "16x16", m_folder.filePath("main.yuv"), "--ref1",
                      m_folder.filePath("ref1.yuv")});
    QVERIFY(rawcompare.waitForFinished(30000));
    QList<QByteArray> lines = rawcompare.readAllStandardOutput().trimmed().split('\n');
    lines.removeFirst();
    QCOMPARE(rowsOf(dock)->rowCount(), lines.size());
    for (const QByteArray &line : lines) {
        const QList<QByteArray> cells = line.split(',');
        const int frame = cells[0].toInt();
        const double theirs = cells[5 + plane].toDouble();
        QVERIFY2(std::abs(cell(rowsOf(dock), frame, 1) - theirs) <= 1e-7 * theirs,
                 line.constData());
    }
}

void TestMetricsDock::referenceOfYOnlyLeavesItsChromaCellsEmpty()
{
    // Main and reference 1 read from their files, reference 2 the same file as reference 1
    // held in memory (Y only): Y, U and V for reference 1, Y for reference 2.
    const PixelFormat &format = *PixelFormat::byName("yuv420p");
    const std::string ref1 = m_folder.filePath("ref1.yuv").toStdString();
    Image3D main, reference1, reference2;
    QVERIFY(main.openRaw(m_folder.filePath("main.yuv").toStdString(), format, 16, 16));
    QVERIFY(reference1.openRaw(ref1, format, 16, 16));
    QVERIFY(reference2.loadRaw(ref1, format, 16, 16));
    MetricsDock dock;
    dock.setMovies({&main, &reference1, &reference2});
    dock.show();
    QTRY_VERIFY(!computing(dock));
    QVERIFY(dock.findChild<QComboBox *>("metricsPlane")->isVisibleTo(&dock));
    const QAbstractItemModel *pTable = rowsOf(dock);
    QCOMPARE(pTable->rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        for (int i = 0; i < 3; ++i)
            QCOMPARE(cell(pTable, row, 4 + i), cell(pTable, row, 1 + i));
    }
    dock.findChild<QComboBox *>("metricsPlane")->setCurrentIndex(1);
    for (int row = 0; row < 5; ++row)
        QVERIFY(!std::isnan(cell(pTable, row, 1)) && std::isnan(cell(pTable, row, 4)));
    QVERIFY(summaryOf(dock).startsWith("Reference 1 (U): worst frame"));
    QVERIFY(!summaryOf(dock).contains("Reference 2"));
}

void TestMetricsDock::chromaSampledOtherwiseIsNotCompared()
{
    // A 16x16 yuv444p main against the 4:2:0 reference: Y alone, and the summary says why.
    QFile out(m_folder.filePath("main444.yuv"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    QVERIFY(out.write(QByteArray(768 * 5, char(60))) == 768 * 5);
    out.close();
    Image3D main, reference;
    QVERIFY(main.openRaw(out.fileName().toStdString(), *PixelFormat::byName("yuv444p"), 16, 16));
    QVERIFY(reference.openRaw(m_folder.filePath("ref1.yuv").toStdString(),
                              *PixelFormat::byName("yuv420p"), 16, 16));
    MetricsDock dock;
    dock.setMovies({&main, &reference, nullptr});
    dock.show();
    QTRY_VERIFY(!computing(dock));
    QCOMPARE(rowsOf(dock)->rowCount(), 5);
    QVERIFY(!dock.findChild<QComboBox *>("metricsPlane")->isVisibleTo(&dock));
    QVERIFY2(summaryOf(dock).endsWith("\nU and V of reference 1 are not compared: its chroma is "
                                      "4:2:0 (8x8), the main movie's 4:4:4 (16x16)."),
             qPrintable(summaryOf(dock)));
}

QTEST_MAIN(TestMetricsDock)
#include "tst_metricsdock.moc"

void TestMetricsDock::regionOfTheViewedPlane_data()
{
    QTest::addColumn<int>("plane"); // the views show it; -1: gray movies held in memory
    QTest::addColumn<QRect>("region"); // in the samples of that plane
    QTest::newRow("Y") << 0 << QRect(4, 2, 8, 10);
    QTest::newRow("U: the same part of the picture") << 1 << QRect(2, 1, 4, 5);
    QTest::newRow("V, a region at the edge") << 2 << QRect(4, 4, 4, 4);
    QTest::newRow("gray movies in memory, the bottom rows") << -1 << QRect(3, 9, 15, 7);
}

// With "Region" chosen the table holds the numbers of --metrics --region over the same part of
// the picture, whatever plane the views show.
void TestMetricsDock::regionOfTheViewedPlane()
{
    QFETCH(int, plane);
    QFETCH(QRect, region);
    std::unique_ptr<Image3D> movies[2];
    const char *names[2] = {"main.yuv", "ref1.yuv"};
    for (int i = 0; i < 2 && plane >= 0; ++i) {
        movies[i] = std::make_unique<Image3D>();
        QVERIFY(movies[i]->openRaw(m_folder.filePath(names[i]).toStdString(),
                                   *PixelFormat::byName("yuv420p"), 16, 16, plane));
    }
    MetricsDock dock;
    if (plane >= 0)
        dock.setMovies(MovieSet(movies[0].get(), movies[1].get(), nullptr));
    else
        dock.setMovies(MovieSet(m_pMain.get(), m_pReference1.get(), nullptr));
    dock.setRegion(region);
    dock.show();
    dock.findChild<QComboBox *>("metricsArea")->setCurrentIndex(1);
    QTRY_VERIFY(!computing(dock));
    const QRect luma(region.topLeft() * (plane > 0 ? 2 : 1), region.size() * (plane > 0 ? 2 : 1));
    const QStringList files = plane >= 0
            ? QStringList {"--size", "16x16", m_folder.filePath("main.yuv"), "--ref1",
                           m_folder.filePath("ref1.yuv")}
            : QStringList {"--size", "24x16",
                           "--gray", m_folder.filePath("main.gray"),
                           "--ref1", m_folder.filePath("ref1.gray")};
    QProcess rawcompare;
    rawcompare.start(QStringLiteral(RAWCOMPARE_PATH),
                     QStringList {"--metrics",
                                  QStringLiteral("--region=%1,%2,%3,%4")
                                          .arg(luma.x())
                                          .arg(luma.y())
                                          .arg(luma.width())
                                          .arg(luma.height())}
                             + files);
    QVERIFY(rawcompare.waitForFinished(30000));
    QCOMPARE(rawcompare.exitCode(), 0);
    QList<QByteArray> lines = rawcompare.readAllStandardOutput().trimmed().split('\n');
    lines.removeFirst();
    QCOMPARE(rowsOf(dock)->rowCount(), lines.size());
    for (const QByteArray &line : lines) {
        const QList<QByteArray> cells = line.split(',');
        const double theirs = cells[5 + std::max(plane, 0)].toDouble(); // psnr_y, _u or _v
        const double ours = cell(rowsOf(dock), cells[0].toInt(), 1);
        QVERIFY2(std::abs(ours - theirs) <= 1e-7 * std::abs(theirs), line.constData());
    }
    // The region cleared: the whole frame again.
    dock.setRegion(QRect());
    QCOMPARE(dock.findChild<QComboBox *>("metricsArea")->currentIndex(), 0);
}
