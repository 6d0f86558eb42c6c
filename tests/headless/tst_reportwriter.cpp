#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "programrun.h"

namespace {

QByteArray readFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QStringList files {"--size", "16x16", "main.yuv", "--ref1", "ref1.yuv", "--ref2", "ref2.yuv"};

} // namespace

class TestReportWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void summaryEqualsMetrics();
    void worstFramesArePicturedLowestFirst_data();
    void worstFramesArePicturedLowestFirst();
    void fileNamesAreEscaped_data();
    void fileNamesAreEscaped();
    void pageFetchesNothing();
    void referenceReadWithItsOwnOptions();
    void failures_data();
    void failures();

private:
    QTemporaryDir m_folder;
};

void TestReportWriter::initTestCase()
{
    QVERIFY(m_folder.isValid());
    // 16x16 4:2:0, 8 frames of noise; reference 1 the main movie with noise of a strength that
    // differs from frame to frame (frame 3 identical), reference 2 with the same noise on all.
    QRandomGenerator random(7);
    const int strengths[8] = {6, 20, 3, 0, 40, 12, 25, 9};
    QByteArray main, ref1, ref2;
    for (int f = 0; f < 8; ++f) {
        for (int i = 0; i < 384; ++i) {
            const int value = 60 + random.bounded(120);
            main += char(value);
            ref1 += char(value
                         + (strengths[f] ? random.bounded(2 * strengths[f]) - strengths[f] : 0));
            ref2 += char(value + random.bounded(21) - 10);
        }
    }
    QVERIFY(writeFile(m_folder.filePath("main.yuv"), main));
    QVERIFY(writeFile(m_folder.filePath("ref1.yuv"), ref1));
    QVERIFY(writeFile(m_folder.filePath("ref2.yuv"), ref2));
    QVERIFY(writeFile(m_folder.filePath("a_file"), "x"));
}

void TestReportWriter::summaryEqualsMetrics()
{
    const ProgramRun metrics
            = ProgramRun::run(QStringList {"--metrics", "--json"} + files, m_folder.path());
    QCOMPARE(metrics.status, 0);
    const ProgramRun report
            = ProgramRun::run(QStringList {"--report", "same"} + files, m_folder.path());
    QVERIFY2(report.status == 0, report.err.constData());
    const QString page = QString::fromUtf8(readFile(m_folder.filePath("same/index.html")));

    // Each summary row of the page: reference, plane, then its numbers.
    static const QRegularExpression row(
            "<tr><td>([12])</td><td>([YUV])</td>((?:<td class=\"n\">[^<]*</td>)+)</tr>");
    QMap<QString, QStringList> rows;
    for (const QRegularExpressionMatch &match : row.globalMatch(page)) {
        QString cells = match.captured(3);
        cells.remove("<td class=\"n\">");
        rows.insert(match.captured(1) + match.captured(2).toLower(),
                    cells.split("</td>", Qt::SkipEmptyParts));
    }
    const QJsonArray summary = QJsonDocument::fromJson(metrics.out).object()["summary"].toArray();
    QCOMPARE(rows.size(), summary.size()); // ref 1 and 2, Y, U and V each
    const char *columns[] = {"frames",    "mean_psnr",   "psnr_of_mean_mse", "mean_mse",
                             "mean_ssim", "worst_frame", "worst_psnr"};
    for (const QJsonValue &value : summary) {
        const QJsonObject theirs = value.toObject();
        const QString key = QString::number(theirs["ref"].toInt()) + theirs["plane"].toString();
        QVERIFY2(rows.contains(key), qPrintable(key));
        const QStringList ours = rows.value(key);
        QCOMPARE(ours.size(), 7);
        for (int c = 0; c < 7; ++c) {
            // The page counts frames from 1, as the window does; JSON quotes inf.
            const QJsonValue number = theirs[columns[c]];
            const double expected
                    = (number.isString() ? number.toString().toDouble() : number.toDouble())
                    + (c == 5 ? 1 : 0);
            QVERIFY2(ours[c].toDouble() == expected,
                     qPrintable(key + ' ' + columns[c] + ": " + ours[c]));
        }
    }
}

void TestReportWriter::worstFramesArePicturedLowestFirst_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("reference"); // whose Y PSNR ranks the frames
    QTest::addColumn<int>("count");

    QTest::newRow("default: the 5 worst against reference 1") << QStringList() << 1 << 5;
    QTest::newRow("--worst 1") << QStringList {"--worst", "1"} << 1 << 1;
    QTest::newRow("--worst 9 of 8 frames: every frame") << QStringList {"--worst", "9"} << 1 << 8;
    QTest::newRow("only reference 2: ranked against it")
            << QStringList {"--worst", "3", "--size", "16x16", "main.yuv", "--ref2", "ref2.yuv"}
            << 2 << 3;
}

void TestReportWriter::worstFramesArePicturedLowestFirst()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, reference);
    QFETCH(int, count);

    const QStringList given = arguments.contains("main.yuv") ? arguments : arguments + files;
    const QString folder = QString("worst_%1").arg(QTest::currentDataTag()).replace(' ', '_');
    const ProgramRun report
            = ProgramRun::run(QStringList {"--report", folder} + given, m_folder.path());
    QVERIFY2(report.status == 0, report.err.constData());
    // The frames --metrics ranks lowest, the earlier of equals first.
    const ProgramRun metrics = ProgramRun::run(
            QStringList {"--metrics", "--size", "16x16", "main.yuv",
                         "--ref" + QString::number(reference), QString("ref%1.yuv").arg(reference)},
            m_folder.path());
    QList<QPair<double, int>> psnr;
    for (const QByteArray &line : metrics.out.trimmed().split('\n').mid(1))
        psnr.append({line.split(',')[5].toDouble(), line.split(',')[0].toInt()});
    std::stable_sort(psnr.begin(), psnr.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    const QString page = QString::fromUtf8(readFile(m_folder.filePath(folder + "/index.html")));
    static const QRegularExpression heading("<h3>Frame (\\d+):");
    QList<int> shown;
    for (const QRegularExpressionMatch &match : heading.globalMatch(page))
        shown.append(match.captured(1).toInt() - 1);
    QCOMPARE(shown.size(), count);
    for (int k = 0; k < count; ++k) {
        QCOMPARE(shown[k], psnr[k].second);
        for (const QString &what :
             {QString("main"), QString("ref%1").arg(reference), QString("diff%1").arg(reference)}) {
            const QString name
                    = QString("frame_%1_%2.png").arg(shown[k] + 1, 4, 10, QChar('0')).arg(what);
            QVERIFY2(page.contains("src=\"" + name + '"'), qPrintable(name));
            const QImage picture(m_folder.filePath(folder + '/' + name));
            QCOMPARE(picture.size(), QSize(16, 16));
        }
    }
}

void TestReportWriter::fileNamesAreEscaped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("escaped");

    QTest::newRow("<") << "a<b>c.yuv"
                       << "a&lt;b&gt;c.yuv";
    QTest::newRow("&") << "x&amp.yuv"
                       << "x&amp;amp.yuv";
    QTest::newRow("double quote") << "q\"uote.yuv"
                                  << "q&quot;uote.yuv";
    QTest::newRow("single quote") << "it's.yuv"
                                  << "it&#39;s.yuv";
}

void TestReportWriter::fileNamesAreEscaped()
{
    QFETCH(QString, name);
    QFETCH(QString, escaped);

    QVERIFY(QFile::copy(m_folder.filePath("ref1.yuv"), m_folder.filePath(name)));
    const QString folder = QString("names_%1").arg(QTest::currentDataTag()).replace(' ', '_');
    const ProgramRun report = ProgramRun::run(
            {"--report", folder, "--size", "16x16", "main.yuv", "--ref1", name}, m_folder.path());
    QVERIFY2(report.status == 0, report.err.constData());
    const QString page = QString::fromUtf8(readFile(m_folder.filePath(folder + "/index.html")));
    QVERIFY(page.contains("<td>" + escaped + "</td>"));
    QVERIFY(!page.contains(name));
}

void TestReportWriter::pageFetchesNothing()
{
    const ProgramRun report
            = ProgramRun::run(QStringList {"--report", "alone"} + files, m_folder.path());
    QVERIFY2(report.status == 0, report.err.constData());
    const QString page = QString::fromUtf8(readFile(m_folder.filePath("alone/index.html")));
    QVERIFY(!page.contains("<script", Qt::CaseInsensitive));
    QVERIFY(!page.contains("url(", Qt::CaseInsensitive));
    QVERIFY(!page.contains(
            QRegularExpression("https?:", QRegularExpression::CaseInsensitiveOption)));
    QCOMPARE(page.count("<svg"), 3); // Y, U and V
    // What the page links is a picture beside it.
    static const QRegularExpression link("(?:src|href)=\"([^\"]*)\"");
    int links = 0;
    for (const QRegularExpressionMatch &match : link.globalMatch(page)) {
        ++links;
        QVERIFY2(QFileInfo(m_folder.filePath("alone/" + match.captured(1))).isFile(),
                 qPrintable(match.captured(1)));
    }
    QCOMPARE(links, 5 * 3);
}

// A reference of its own size: its picture is the one --export-png writes with the same options.
void TestReportWriter::referenceReadWithItsOwnOptions()
{
    QByteArray small(96 * 8, '\0'); // 8x8 4:2:0, 8 frames
    for (int i = 0; i < small.size(); ++i)
        small[i] = char(40 + (i * 37) % 150);
    QVERIFY(writeFile(m_folder.filePath("small.yuv"), small));
    const QStringList given {"--size",    "16x16",       "main.yuv", "--ref1",
                             "small.yuv", "--ref1-size", "8x8"};
    const ProgramRun report = ProgramRun::run(
            QStringList {"--report", "own", "--worst", "1"} + given, m_folder.path());
    QVERIFY2(report.status == 0, report.err.constData());
    const QString page = QString::fromUtf8(readFile(m_folder.filePath("own/index.html")));
    static const QRegularExpression heading("<h3>Frame (\\d+):");
    const int frame = heading.match(page).captured(1).toInt() - 1;
    const ProgramRun exported = ProgramRun::run(QStringList {"--export-png", "exported", "--view",
                                                             "ref1", "--display", "colour",
                                                             "--frames", QString("%1:1").arg(frame)}
                                                        + given,
                                                m_folder.path());
    QVERIFY2(exported.status == 0, exported.err.constData());
    const QImage ours(
            m_folder.filePath(QString("own/frame_%1_ref1.png").arg(frame + 1, 4, 10, QChar('0'))));
    const QImage theirs(m_folder.filePath("exported/frame_0000.png"));
    QVERIFY(!ours.isNull());
    QCOMPARE(ours.convertToFormat(QImage::Format_RGB32),
             theirs.convertToFormat(QImage::Format_RGB32));
}

void TestReportWriter::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error"); // on stderr

    QTest::newRow("folder is a file: 1") << QStringList {"--report", "a_file"} << 1
                                         << "rawcompare: a_file: a file, not a folder\n";
    QTest::newRow("folder under a file: 1")
            << QStringList {"--report", "a_file/report"} << 1
            << "rawcompare: a_file/report: the folder can't be created\n";
    QTest::newRow("--worst 0: 2") << QStringList {"--report", "r", "--worst", "0"} << 2
                                  << "rawcompare: Invalid value '0' for --worst";
    QTest::newRow("no folder: 2") << QStringList {"--report"} << 2
                                  << "rawcompare: Missing value after '--report'.";
    QTest::newRow("--worst without --report: 2") << QStringList {"--worst", "3", "--metrics"} << 2
                                                 << "rawcompare: --worst needs --report.";
}

void TestReportWriter::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, error);

    // Last, so that a missing folder is missing at the end.
    const ProgramRun outcome = ProgramRun::run(files + arguments, m_folder.path());
    QCOMPARE(outcome.status, status);
    QVERIFY2(QString::fromLocal8Bit(outcome.err).contains(error), outcome.err.constData());
}

QTEST_GUILESS_MAIN(TestReportWriter)
#include "tst_reportwriter.moc"
