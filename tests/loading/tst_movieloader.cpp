#include <functional>
#include <memory>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "image3d.h"
#include "movieloader.h"
#include "scripteddialogs.h"
#include "testpictures.h"

namespace {

// A movie that tells when it is deleted.
class TrackedMovie : public Image3D
{
public:
    explicit TrackedMovie(bool *pDeleted) : Image3D(2, 2, 1), m_pDeleted(pDeleted) { }
    ~TrackedMovie() override { *m_pDeleted = true; }

private:
    bool *m_pDeleted;
};

// "4 2 gray apply" fills the dialog with 4 and 2, YUV unchecked, apply checked; "cancel"
// rejects it. Fields may be empty: " 288 yuv".
ScriptedDialogs::DimensionsAnswer dimensionsAnswer(const QString &script)
{
    ScriptedDialogs::DimensionsAnswer answer;
    if (script == QLatin1String("cancel")) {
        answer.result = 0;
        answer.width = QStringLiteral("640");
        answer.height = QStringLiteral("480");
        answer.isYUV = false;
        return answer;
    }
    const QStringList words = script.split(QLatin1Char(' '));
    answer.width = words.value(0);
    answer.height = words.value(1);
    answer.isYUV = words.value(2) == QLatin1String("yuv");
    answer.applyToOthers = words.value(3) == QLatin1String("apply");
    return answer;
}

// Scripted dialogs that let a test change the chosen file while a dialog is open, as another
// program might between the user's choice and the read.
class ChangingDialogs : public ScriptedDialogs
{
public:
    OpenFilesAnswer getOpenFileNames(QWidget *parent, const QString &directory,
                                     const QString &filter) override
    {
        const OpenFilesAnswer answer = ScriptedDialogs::getOpenFileNames(parent, directory, filter);
        if (afterOpen)
            afterOpen();
        return answer;
    }
    int execDimensionsDialog(DimensionsDialog &dialog) override
    {
        const int result = ScriptedDialogs::execDimensionsDialog(dialog);
        if (afterDimensions)
            afterDimensions();
        return result;
    }

    std::function<void()> afterOpen;
    std::function<void()> afterDimensions;
};

float sampleAt(const Image3D &movie, int x, int y, int f)
{
    return movie.getFrame(f).get()[x + qint64(movie.getWidth()) * y];
}

} // namespace

class TestMovieLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void singleFile_data();
    void singleFile();
    void severalFiles_data();
    void severalFiles();
    void dimensionsDialogStartsFromRememberedValues();
    void emptyWidthIsStoredAndShownNextTime();
    void fileDialogCancelled_data();
    void fileDialogCancelled();
    void fileDialogAcceptedWithoutFiles();
    void directoryRememberedEvenWhenLoadFails();
    void filesGivenWithDimensionsAnswered_data();
    void filesGivenWithDimensionsAnswered();
    void fileChangesAfterItWasChosen_data();
    void fileChangesAfterItWasChosen();
    void formatsAndPlanes_data();
    void formatsAndPlanes();
    void sizeFromNamesWithoutDialog();
    void frameRangeFromTheDialog_data();
    void frameRangeFromTheDialog();
    void planeAFileLacksIsNoted();
    void stackLargerThanMemory_data();
    void stackLargerThanMemory();

private:
    QString path(const QString &name) const
    {
        return QDir::isAbsolutePath(name) ? name : m_dir.filePath(name);
    }
    void writeBytes(const QString &name, const QByteArray &bytes);
    void writeGrayImage(const QString &name, int width, int height, int first);
    MovieLoader loader() { return MovieLoader(&m_parent, *m_pDialogs, m_settings); }

    QTemporaryDir m_dir;
    QWidget m_parent;
    std::unique_ptr<ScriptedDialogs> m_pDialogs;
    LoadSettings m_settings;
};

void TestMovieLoader::writeBytes(const QString &name, const QByteArray &bytes)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Pixel (x, r), r counted from the top row, is gray first + 10 r + x.
void TestMovieLoader::writeGrayImage(const QString &name, int width, int height, int first)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int r = 0; r < height; ++r) {
        for (int x = 0; x < width; ++x) {
            const int v = first + 10 * r + x;
            image.setPixel(x, r, qRgb(v, v, v));
        }
    }
    QVERIFY(image.save(path(name), "PNG"));
}

void TestMovieLoader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    writeGrayImage(QStringLiteral("image4x2.png"), 4, 2, 100); // bottom-left sample 110
    writeGrayImage(QStringLiteral("image2x2.png"), 2, 2, 50); // bottom-left sample 60
    writeGrayImage(QStringLiteral("bïld.png"), 2, 2, 150); // bottom-left sample 160

    // Gray 4x2: byte 8 f + 4 r + x; the bottom-left sample of frame f is byte 8 f + 4.
    QByteArray gray;
    for (int i = 0; i < 24; ++i)
        gray.append(char(i));
    writeBytes(QStringLiteral("gray4x2x3.raw"), gray);

    QByteArray partial;
    for (int i = 0; i < 20; ++i)
        partial.append(char(200 + i / 2));
    writeBytes(QStringLiteral("gray4x2x2_rest4.raw"), partial); // frames start 202 and 206

    QByteArray yuv;
    for (int i = 0; i < 8; ++i)
        yuv.append(char(30 + i));
    yuv.append(QByteArray(4, char(128)));
    writeBytes(QStringLiteral("yuv4x2.yuv"), yuv); // bottom-left 34

    writeBytes(QStringLiteral("short.raw"), QByteArray(5, 'x'));
    QByteArray notAnImage;
    for (int i = 0; i < 8; ++i)
        notAnImage.append(char(60 + i));
    writeBytes(QStringLiteral("raw_named.png"), notAnImage); // bottom-left 64

    QByteArray nonAscii = yuv;
    for (int i = 0; i < 8; ++i)
        nonAscii[i] = char(70 + i);
    writeBytes(QStringLiteral("fïlm ü.yuv"), nonAscii); // bottom-left 74

    // Hostile files.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.yuv")));
    writeBytes(QStringLiteral("empty.yuv"), QByteArray());
    writeBytes(QStringLiteral("short_by_one.yuv"), yuv.left(11));
    QCOMPARE(mkfifo(QFile::encodeName(path(QStringLiteral("pipe.yuv"))).constData(), 0600), 0);
    QVERIFY(QFile::copy(path(QStringLiteral("image4x2.png")), path(QStringLiteral("picture.yuv"))));
    writeBytes(QStringLiteral("it's \"q\" 1.yuv"), nonAscii); // bottom-left 74
    writeBytes(QStringLiteral("huge.png"), blackPng(500000, 500000, false, true));
    // A noisy picture whose file is cut after 100 bytes, inside its image data. Read as raw
    // gray 4x2: 12 frames and 4 bytes left; the bottom-left sample of frame 0 is byte 4 of the
    // PNG signature, 13.
    QImage noise(64, 64, QImage::Format_RGB32);
    quint32 state = 1;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            state = state * 1103515245u + 12345u;
            noise.setPixel(x, y, state >> 8);
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && noise.save(&buffer, "PNG"));
    QVERIFY(png.size() > 1000);
    writeBytes(QStringLiteral("cut.png"), png.left(100));
}

void TestMovieLoader::init()
{
    m_pDialogs = std::make_unique<ScriptedDialogs>();
    m_settings = LoadSettings();
}

void TestMovieLoader::singleFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("dimensions"); // empty: no dialog expected
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::addColumn<float>("bottomLeft");
    QTest::addColumn<QString>("remembered");

    QTest::newRow("image: no dialog, one frame of its size")
            << "image4x2.png"
            << "" << true << "" << QSize(4, 2) << 1 << 110.0f << "352 288 yuv";
    QTest::newRow("raw bytes named .png: dimensions asked, read as raw")
            << "raw_named.png"
            << "4 2 gray" << true << "" << QSize(4, 2) << 1 << 64.0f << "4 2 gray";
    QTest::newRow("gray raw, complete: 3 frames")
            << "gray4x2x3.raw"
            << "4 2 gray" << true << "" << QSize(4, 2) << 3 << 4.0f << "4 2 gray";
    QTest::newRow("yuv raw, complete: chroma skipped")
            << "yuv4x2.yuv"
            << "4 2 yuv" << true << "" << QSize(4, 2) << 1 << 34.0f << "4 2 yuv";
    QTest::newRow("gray raw, 4 bytes left: partial after a warning")
            << "gray4x2x2_rest4.raw"
            << "4 2 gray" << true
            << "Loading not entirely successful, but continuing with partially loaded data\n"
               "WARNING: 4 bytes unused"
            << QSize(4, 2) << 2 << 202.0f << "4 2 gray";
    QTest::newRow("raw shorter than a frame: failed, slot kept")
            << "short.raw"
            << "4 2 gray" << false
            << "Loading not successful:\nNot enough data in file for one frame" << QSize() << 0
            << 0.0f << "4 2 gray";
    QTest::newRow("odd width 351: stored, refused by the reader")
            << "gray4x2x3.raw"
            << "351 288 yuv" << false
            << "Loading not successful:\nBoth width and height must be a multiple of two" << QSize()
            << 0 << 0.0f << "351 288 yuv";
    QTest::newRow("dimensions dialog cancelled: no message, values kept")
            << "gray4x2x3.raw"
            << "cancel" << false << "" << QSize() << 0 << 0.0f << "352 288 yuv";
    QTest::newRow("missing file: refused by name before any question")
            << "nothere.yuv"
            << "" << false
            << "Loading not successful:\nUnable to open specified file %1/nothere.yuv" << QSize()
            << 0 << 0.0f << "352 288 yuv";
    QTest::newRow("non-ASCII raw file name")
            << "fïlm ü.yuv"
            << "4 2 yuv" << true << "" << QSize(4, 2) << 1 << 74.0f << "4 2 yuv";
    QTest::newRow("non-ASCII image file name")
            << "bïld.png"
            << "" << true << "" << QSize(2, 2) << 1 << 160.0f << "352 288 yuv";

    // Hostile files.
    const QString notOneFrame
            = QStringLiteral("Loading not successful:\nNot enough data in file for one frame");
    QTest::newRow("a directory: refused by name before any question")
            << "folder.yuv"
            << "" << false
            << "Loading not successful:\nUnable to open specified file "
               "%1/folder.yuv"
            << QSize() << 0 << 0.0f << "352 288 yuv";
    QTest::newRow("empty file: not one frame")
            << "empty.yuv"
            << "4 2 yuv" << false << notOneFrame << QSize() << 0 << 0.0f << "4 2 yuv";
    QTest::newRow("one byte short of a frame")
            << "short_by_one.yuv"
            << "4 2 yuv" << false << notOneFrame << QSize() << 0 << 0.0f << "4 2 yuv";
    QTest::newRow("/dev/zero: refused without reading or asking")
            << "/dev/zero"
            << "" << false << "Loading not successful:\nUnable to open specified file /dev/zero"
            << QSize() << 0 << 0.0f << "352 288 yuv";
    QTest::newRow("FIFO without a writer: refused, no hang, no question")
            << "pipe.yuv"
            << "" << false << "Loading not successful:\nUnable to open specified file %1/pipe.yuv"
            << QSize() << 0 << 0.0f << "352 288 yuv";
    if (QFile::exists(QStringLiteral("/proc/self/status")))
        QTest::newRow("file whose size reads as 0 (/proc): not one frame")
                << "/proc/self/status"
                << "4 2 gray" << false << notOneFrame << QSize() << 0 << 0.0f << "4 2 gray";
    QTest::newRow("picture named .yuv: loaded as a picture, no dialog")
            << "picture.yuv"
            << "" << true << "" << QSize(4, 2) << 1 << 110.0f << "352 288 yuv";
    QTest::newRow("png cut inside its data: not a picture, read as raw")
            << "cut.png"
            << "4 2 gray" << true
            << "Loading not entirely successful, but continuing with partially loaded data\n"
               "WARNING: 4 bytes unused"
            << QSize(4, 2) << 12 << 13.0f << "4 2 gray";
    QTest::newRow("png of 500000x500000: too large, no dimensions asked")
            << "huge.png"
            << "" << false
            << QStringLiteral("Loading not successful:\nImage of 500000x500000 pixels is too large "
                              "to load (the limit is %2 MB)")
                       .arg(QImageReader::allocationLimit())
            << QSize() << 0 << 0.0f << "352 288 yuv";
    QTest::newRow("quotes and blanks in the name")
            << "it's \"q\" 1.yuv"
            << "4 2 yuv" << true << "" << QSize(4, 2) << 1 << 74.0f << "4 2 yuv";
}

void TestMovieLoader::singleFile()
{
    QFETCH(QString, file);
    QFETCH(QString, dimensions);
    QFETCH(bool, result);
    QFETCH(QString, warning);
    QFETCH(QSize, size);
    QFETCH(int, frames);
    QFETCH(float, bottomLeft);
    QFETCH(QString, remembered);

    if (!dimensions.isEmpty())
        m_pDialogs->dimensionsAnswers.append(dimensionsAnswer(dimensions));
    bool oldDeleted = false;
    std::unique_ptr<Image3D> slot = std::make_unique<TrackedMovie>(&oldDeleted);
    Image3D *pOld = slot.get();
    bool oldAliveDuringWarning = false;
    m_pDialogs->duringWarning = [&] { oldAliveDuringWarning = !oldDeleted; };

    QCOMPARE(loader().loadFiles(slot, {path(file)}), result);

    QCOMPARE(m_pDialogs->dimensionsShown.size(), dimensions.isEmpty() ? 0 : 1);
    QVERIFY(m_pDialogs->dimensionsAnswers.isEmpty());
    if (warning.isEmpty()) {
        QVERIFY(m_pDialogs->warnings.isEmpty());
    } else {
        QCOMPARE(m_pDialogs->warnings.size(), 1);
        QCOMPARE(m_pDialogs->warnings.first().title, QStringLiteral("Warning"));
        // Rows whose text names the file hold %1 for the fixture folder.
        QCOMPARE(ScriptedDialogs::describedLines(m_pDialogs->warnings.first().text,
                                                 warning.contains(QLatin1String("%1"))
                                                         ? warning.arg(m_dir.path())
                                                         : warning),
                 warning.contains(QLatin1String("%1")) ? warning.arg(m_dir.path()) : warning);
        QCOMPARE(m_pDialogs->warnings.first().parent, &m_parent);
        QVERIFY(oldAliveDuringWarning);
    }
    QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(m_settings.frameWidth)
                     .arg(m_settings.frameHeight)
                     .arg(m_settings.isYUV ? "yuv" : "gray"),
             remembered);

    if (result) {
        QVERIFY(oldDeleted);
        QVERIFY(slot);
        QVERIFY(slot.get() != pOld);
        QCOMPARE(QSize(slot->getWidth(), slot->getHeight()), size);
        QCOMPARE(slot->getNumFrames(), frames);
        QCOMPARE(sampleAt(*slot, 0, 0, 0), bottomLeft);
    } else {
        QVERIFY(!oldDeleted);
        QCOMPARE(slot.get(), pOld);
    }
}

void TestMovieLoader::severalFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("dimensions"); // one script per dialog expected
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<float>>("bottomLeft"); // of each frame
    QTest::addColumn<QString>("remembered");

    QTest::newRow("two raws, apply to others: one dialog for both")
            << QStringList {"gray4x2x3.raw", "raw_named.png"} << QStringList {"4 2 gray apply"}
            << true << "" << QSize(4, 2) << QList<float> {4, 12, 20, 64} << "4 2 gray";
    QTest::newRow("two raws without apply: a dialog each; partial read accepted silently")
            << QStringList {"gray4x2x3.raw", "gray4x2x2_rest4.raw"}
            << QStringList {"4 2 gray", "4 2 gray"} << true << "" << QSize(4, 2)
            << QList<float> {4, 12, 20, 202, 206} << "4 2 gray";
    QTest::newRow("frames follow the list order, values of the last dialog remembered")
            << QStringList {"gray4x2x3.raw", "image2x2.png", "yuv4x2.yuv"}
            << QStringList {"4 2 gray", "4 2 yuv"} << true << "" << QSize(4, 2)
            << QList<float> {4, 12, 20, 60, 34} << "4 2 yuv";
    QTest::newRow("image then gray raw of 3 frames: one dialog, 4 frames")
            << QStringList {"image4x2.png", "gray4x2x3.raw"} << QStringList {"4 2 gray"} << true
            << "" << QSize(4, 2) << QList<float> {110, 4, 12, 20} << "4 2 gray";
    QTest::newRow("images only: no dialog, one frame each, largest extent")
            << QStringList {"image2x2.png", "image4x2.png"} << QStringList {} << true << ""
            << QSize(4, 2) << QList<float> {60, 110} << "352 288 yuv";
    QTest::newRow("second dialog cancelled: slot kept, first answers remembered")
            << QStringList {"gray4x2x3.raw", "raw_named.png", "yuv4x2.yuv"}
            << QStringList {"4 2 gray", "cancel"} << false << "" << QSize() << QList<float> {}
            << "4 2 gray";
    QTest::newRow("second raw fails: its name in the warning, third never read")
            << QStringList {"gray4x2x3.raw", "short.raw", "yuv4x2.yuv"}
            << QStringList {"4 2 gray", "4 2 gray"} << false
            << "Loading %1/short.raw not successful:\nNot enough data in file for one frame"
            << QSize() << QList<float> {} << "4 2 gray";
    QTest::newRow("picture too large among several: named, later files not read")
            << QStringList {"gray4x2x3.raw", "huge.png", "yuv4x2.yuv"} << QStringList {"4 2 gray"}
            << false
            << "Loading %1/huge.png not successful:\nImage of 500000x500000 pixels is too large "
               "to load (the limit is "
                    + QString::number(QImageReader::allocationLimit()) + " MB)"
            << QSize() << QList<float> {} << "4 2 gray";
    QTest::newRow("non-ASCII name in the failure warning")
            << QStringList {"image2x2.png", "fïlm ü.yuv"} << QStringList {"8 2 gray"} << false
            << "Loading %1/fïlm ü.yuv not successful:\nNot enough data in file for one frame"
            << QSize() << QList<float> {} << "8 2 gray";
}

void TestMovieLoader::severalFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, dimensions);
    QFETCH(bool, result);
    QFETCH(QString, warning);
    QFETCH(QSize, size);
    QFETCH(QList<float>, bottomLeft);
    QFETCH(QString, remembered);

    for (const QString &script : dimensions)
        m_pDialogs->dimensionsAnswers.append(dimensionsAnswer(script));
    QStringList paths;
    for (const QString &file : files)
        paths.append(path(file));
    bool oldDeleted = false;
    std::unique_ptr<Image3D> slot = std::make_unique<TrackedMovie>(&oldDeleted);
    Image3D *pOld = slot.get();

    QCOMPARE(loader().loadFiles(slot, paths), result);

    QCOMPARE(m_pDialogs->dimensionsShown.size(), dimensions.size());
    QVERIFY(m_pDialogs->dimensionsAnswers.isEmpty());
    if (warning.isEmpty()) {
        QVERIFY(m_pDialogs->warnings.isEmpty());
    } else {
        QCOMPARE(m_pDialogs->warnings.size(), 1);
        QCOMPARE(m_pDialogs->warnings.first().title, QStringLiteral("Warning"));
        QCOMPARE(ScriptedDialogs::describedLines(m_pDialogs->warnings.first().text,
                                                 warning.arg(m_dir.path())),
                 warning.arg(m_dir.path()));
    }
    QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(m_settings.frameWidth)
                     .arg(m_settings.frameHeight)
                     .arg(m_settings.isYUV ? "yuv" : "gray"),
             remembered);

    if (!result) {
        QVERIFY(!oldDeleted);
        QCOMPARE(slot.get(), pOld);
        return;
    }
    QVERIFY(oldDeleted);
    QCOMPARE(QSize(slot->getWidth(), slot->getHeight()), size);
    QCOMPARE(slot->getNumFrames(), int(bottomLeft.size()));
    for (int f = 0; f < bottomLeft.size(); ++f)
        QCOMPARE(sampleAt(*slot, 0, 0, f), bottomLeft.at(f));
}

void TestMovieLoader::dimensionsDialogStartsFromRememberedValues()
{
    m_pDialogs->dimensionsAnswers
            = {dimensionsAnswer("4 2 gray apply"), dimensionsAnswer("4 2 gray")};
    std::unique_ptr<Image3D> slot;
    // A name that gives no size, so the remembered values show.
    QVERIFY(QFile::copy(path("gray4x2x3.raw"), path("plain.raw")));
    QVERIFY(loader().loadFiles(slot, {path("plain.raw")}));
    QVERIFY(loader().loadFiles(slot, {path("raw_named.png")}));

    QCOMPARE(m_pDialogs->dimensionsShown.size(), 2);
    const ScriptedDialogs::DimensionsShown first = m_pDialogs->dimensionsShown.at(0);
    QCOMPARE(first.title, QStringLiteral("Enter frame dimensions: plain.raw"));
    QCOMPARE(first.width, QStringLiteral("352"));
    QCOMPARE(first.height, QStringLiteral("288"));
    QVERIFY(first.isYUV);
    QVERIFY(!first.applyToOthers);
    QVERIFY(first.hasParent); // over the main window
    // A new dialog for every question: the apply box starts unchecked again.
    const ScriptedDialogs::DimensionsShown second = m_pDialogs->dimensionsShown.at(1);
    QCOMPARE(second.width, QStringLiteral("4"));
    QCOMPARE(second.height, QStringLiteral("2"));
    QVERIFY(!second.isYUV);
    QVERIFY(!second.applyToOthers);
}

void TestMovieLoader::emptyWidthIsStoredAndShownNextTime()
{
    m_pDialogs->dimensionsAnswers = {dimensionsAnswer(" 288 yuv"), dimensionsAnswer("cancel")};
    bool oldDeleted = false;
    std::unique_ptr<Image3D> slot = std::make_unique<TrackedMovie>(&oldDeleted);
    // A name that gives no size, so the remembered values show.
    QVERIFY(QFile::copy(path("gray4x2x3.raw"), path("plain0.raw")));

    QVERIFY(!loader().loadFiles(slot, {path("plain0.raw")}));
    QCOMPARE(m_settings.frameWidth, 0);
    QCOMPARE(m_settings.frameHeight, 288);
    Image3D reader;
    QVERIFY(!reader.loadRaw(path("plain0.raw").toStdString(), 0, 288, true));
    QCOMPARE(m_pDialogs->warnings.size(), 1);
    QCOMPARE(m_pDialogs->warnings.first().text,
             "Loading not successful:\n" + QString::fromStdString(reader.getErrorString()) + "\n"
                     + QString::fromStdString(reader.getErrorDetail()));

    QVERIFY(!loader().loadFiles(slot, {path("plain0.raw")}));
    QCOMPARE(m_pDialogs->dimensionsShown.at(1).width, QStringLiteral("0"));
    QVERIFY(!oldDeleted);
}

void TestMovieLoader::fileDialogCancelled_data()
{
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("opensIn");

    QTest::newRow("first time: opens in the current directory, which is remembered")
            << "" << QDir::currentPath();
    QTest::newRow("remembered directory kept") << "/nowhere/ünï"
                                               << "/nowhere/ünï";
}

void TestMovieLoader::fileDialogCancelled()
{
    QFETCH(QString, remembered);
    QFETCH(QString, opensIn);

    m_settings.lastDirectory = remembered.toStdString();
    DialogProvider::OpenFilesAnswer cancel;
    cancel.directory = m_dir.path();
    m_pDialogs->openAnswers.append(cancel);
    std::unique_ptr<Image3D> slot;

    QVERIFY(!loader().loadMovie(slot));
    QCOMPARE(m_pDialogs->log, QStringList {"open"});
    QCOMPARE(m_pDialogs->openCalls.first().directory, opensIn);
    QCOMPARE(m_pDialogs->openCalls.first().filter,
             QStringLiteral("YUV files, raw file, image files (*.yuv *.raw *.png *.bmp)"));
    QCOMPARE(m_pDialogs->openCalls.first().parent, &m_parent);
    QCOMPARE(QString::fromStdString(m_settings.lastDirectory), opensIn);
    QVERIFY(!slot);
}

void TestMovieLoader::fileDialogAcceptedWithoutFiles()
{
    m_pDialogs->openAnswers.append({true, m_dir.path(), {}});
    std::unique_ptr<Image3D> slot;
    QVERIFY(!loader().loadMovie(slot));
    QCOMPARE(QString::fromStdString(m_settings.lastDirectory), m_dir.path());
    QCOMPARE(m_pDialogs->log, QStringList {"open"});
    QVERIFY(!slot);
}

void TestMovieLoader::directoryRememberedEvenWhenLoadFails()
{
    const QString folder = m_dir.filePath(QStringLiteral("Ördner"));
    QVERIFY(QDir().mkpath(folder));
    m_pDialogs->openAnswers.append({true, folder, {path("short.raw")}});
    m_pDialogs->openAnswers.append({true, folder, {path("fïlm ü.yuv")}});
    m_pDialogs->dimensionsAnswers = {dimensionsAnswer("4 2 gray"), dimensionsAnswer("4 2 yuv")};
    std::unique_ptr<Image3D> slot;

    QVERIFY(!loader().loadMovie(slot));
    QCOMPARE(QString::fromStdString(m_settings.lastDirectory), folder);
    QVERIFY(loader().loadMovie(slot));

    QCOMPARE(m_pDialogs->log,
             (QStringList {"open", "dimensions", "warning", "open", "dimensions"}));
    QCOMPARE(m_pDialogs->openCalls.at(1).directory, folder);
    QCOMPARE(sampleAt(*slot, 0, 0, 0), 74.0f);
}

void TestMovieLoader::filesGivenWithDimensionsAnswered_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("frames");

    QTest::newRow("one raw file") << QStringList {"gray4x2x3.raw"} << 3;
    QTest::newRow("raw files and an image, stacked")
            << QStringList {"gray4x2x3.raw", "image4x2.png", "raw_named.png"} << 5;
}

void TestMovieLoader::filesGivenWithDimensionsAnswered()
{
    QFETCH(QStringList, files);
    QFETCH(int, frames);

    m_settings.frameWidth = 4;
    m_settings.frameHeight = 2;
    m_settings.isYUV = false;
    QStringList paths;
    for (const QString &file : files)
        paths.append(path(file));
    std::unique_ptr<Image3D> slot;

    QVERIFY(loader().loadFiles(slot, paths, false));
    QVERIFY(m_pDialogs->log.isEmpty());
    QCOMPARE(slot->getNumFrames(), frames);
    QCOMPARE(sampleAt(*slot, 0, 0, 0), 4.0f);
}

void TestMovieLoader::fileChangesAfterItWasChosen_data()
{
    QTest::addColumn<bool>("duringDimensions"); // else while the file dialog closes
    QTest::addColumn<qint64>("newSize"); // -1: the file is removed
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<int>("frames");

    const QString gone = QStringLiteral("Loading not successful:\nUnable to open specified file "
                                        "%1/changing.raw");
    QTest::newRow("removed after the file dialog: no question")
            << false << qint64(-1) << false << gone << 0;
    QTest::newRow("removed after the dimensions dialog")
            << true << qint64(-1) << false << gone << 0;
    QTest::newRow("shrunk below a frame after the file dialog")
            << false << qint64(5) << false
            << "Loading not successful:\nNot enough data in file for one frame" << 0;
    QTest::newRow("shrunk to a frame and 3 bytes after the dimensions dialog")
            << true << qint64(11) << true
            << "Loading not entirely successful, but continuing with partially loaded data\n"
               "WARNING: 3 bytes unused"
            << 1;
}

void TestMovieLoader::fileChangesAfterItWasChosen()
{
    QFETCH(bool, duringDimensions);
    QFETCH(qint64, newSize);
    QFETCH(bool, result);
    QFETCH(QString, warning);
    QFETCH(int, frames);

    QByteArray gray;
    for (int i = 0; i < 24; ++i)
        gray.append(char(i));
    writeBytes(QStringLiteral("changing.raw"), gray); // gray 4x2, 3 frames
    const QString file = path(QStringLiteral("changing.raw"));

    auto pDialogs = std::make_unique<ChangingDialogs>();
    const std::function<void()> change = [&] {
        if (newSize < 0)
            QVERIFY(QFile::remove(file));
        else
            QVERIFY(QFile::resize(file, newSize));
    };
    (duringDimensions ? pDialogs->afterDimensions : pDialogs->afterOpen) = change;
    pDialogs->openAnswers.append({true, m_dir.path(), {file}});
    pDialogs->dimensionsAnswers.append(dimensionsAnswer(QStringLiteral("4 2 gray")));
    m_pDialogs = std::move(pDialogs);
    bool oldDeleted = false;
    std::unique_ptr<Image3D> slot = std::make_unique<TrackedMovie>(&oldDeleted);
    Image3D *pOld = slot.get();

    QCOMPARE(loader().loadMovie(slot), result);

    // A file gone before the question is refused without it.
    const QStringList dialogs = newSize < 0 && !duringDimensions
            ? QStringList {"open", "warning"}
            : QStringList {"open", "dimensions", "warning"};
    QCOMPARE(m_pDialogs->log, dialogs);
    QCOMPARE(ScriptedDialogs::describedLines(m_pDialogs->warnings.first().text,
                                             warning.arg(m_dir.path())),
             warning.arg(m_dir.path()));
    if (result) {
        QVERIFY(oldDeleted);
        QCOMPARE(slot->getNumFrames(), frames);
        QCOMPARE(sampleAt(*slot, 0, 0, 0), 4.0f);
    } else {
        QVERIFY(!oldDeleted);
        QCOMPARE(slot.get(), pOld);
    }
}

void TestMovieLoader::formatsAndPlanes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("answer"); // "format plane" for the dialog; empty: no dialog
    QTest::addColumn<QString>("shown"); // what the dialog showed: "W H format | info"
    QTest::addColumn<QString>("movie"); // "WxHxF depth, first sample"

    // Frames of 4x2 yuv420p: 8 luma and 2 + 2 chroma bytes.
    QByteArray frames;
    for (int i = 0; i < 24; ++i)
        frames.append(char(10 + i));
    QTest::newRow("y4m: no dialog, its own size and format")
            << "clip.y4m" << QByteArray("YUV4MPEG2 W4 H2 F25:1 C420jpeg\nFRAME\n") + frames.left(12)
            << ""
            << ""
            << "4x2x1 8, 10";
    QTest::newRow("the name prefills size and format; plane U chosen")
            << "cam_4x2_yuv420p.raw" << frames << "yuv420p 1"
            << "4 2 yuv420p | 2 frames"
            << "2x1x2 8, 18";
    QTest::newRow("nv21 V chosen: the first byte of each pair")
            << "cam_4x2_nv21.raw" << frames << "nv21 2"
            << "4 2 nv21 | 2 frames"
            << "2x1x2 8, 18";
    QTest::newRow("10-bit gray: samples of two bytes, depth 10")
            << "depth_4x2.raw" << QByteArray::fromHex("ff0300000000000001000000000000ff")
            << "gray10le 0"
            << "4 2 yuv420p | 1 frame and 4 bytes left over"
            << "4x2x1 10, 1023";
}

void TestMovieLoader::formatsAndPlanes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, answer);
    QFETCH(QString, shown);
    QFETCH(QString, movie);
    writeBytes(name, bytes);
    if (!answer.isEmpty()) {
        ScriptedDialogs::DimensionsAnswer scripted = dimensionsAnswer("4 2 yuv");
        scripted.format = answer.section(' ', 0, 0);
        scripted.plane = answer.section(' ', 1, 1).toInt();
        m_pDialogs->dimensionsAnswers = {scripted};
    }
    std::unique_ptr<Image3D> slot;
    QVERIFY(loader().loadFiles(slot, {path(name)}));
    QVERIFY2(m_pDialogs->warnings.isEmpty(), qPrintable(m_pDialogs->warnings.value(0).text));
    if (answer.isEmpty()) {
        QVERIFY(m_pDialogs->dimensionsShown.isEmpty());
    } else {
        QCOMPARE(m_pDialogs->dimensionsShown.size(), 1);
        const ScriptedDialogs::DimensionsShown dialog = m_pDialogs->dimensionsShown.first();
        QCOMPARE(QStringLiteral("%1 %2 %3 | %4")
                         .arg(dialog.width, dialog.height, dialog.format, dialog.fileInfo),
                 shown);
        QCOMPARE(m_settings.pixelFormat, answer.section(' ', 0, 0));
    }
    // The top-left sample of the file's first frame is stored in the movie's top row.
    const float first = slot->getFrame(0).get()[qint64(slot->getWidth()) * (slot->getHeight() - 1)];
    QCOMPARE(QStringLiteral("%1x%2x%3 %4, %5")
                     .arg(slot->getWidth())
                     .arg(slot->getHeight())
                     .arg(slot->getNumFrames())
                     .arg(slot->getDepth())
                     .arg(first),
             movie);
}

void TestMovieLoader::sizeFromNamesWithoutDialog()
{
    QByteArray frame(4 * 2 * 2 * 2, '\0'); // 4x2 yuv422p10le: 16 luma + 16 chroma bytes
    frame[12] = char(0xff);
    frame[13] = char(0x03);
    writeBytes("x_4x2_yuv422p10le.yuv", frame);
    writeBytes("nothing_in_this_name.yuv", QByteArray(12, '\x20'));
    MovieLoader named = loader();
    named.setSizeFromNames(true);
    std::unique_ptr<Image3D> slot;
    QVERIFY(named.loadFiles(slot, {path("x_4x2_yuv422p10le.yuv")}, true));
    QVERIFY(m_pDialogs->log.isEmpty());
    QCOMPARE(slot->getNumFrames(), 1);
    QCOMPARE(slot->getDepth(), 10);
    QCOMPARE(slot->getFrame(0).get()[2], 1023.0f); // file row 1 is stored row 0
    QCOMPARE(named.takeNotes(),
             QStringList {"note: x_4x2_yuv422p10le.yuv: 4x2 yuv422p10le taken from the file name"});
    QVERIFY(named.takeNotes().isEmpty());

    // A format given on the command line wins over the name's; a name without a size asks.
    m_settings.pixelFormat = QStringLiteral("gray");
    m_settings.formatGiven = true;
    m_pDialogs->dimensionsAnswers = {dimensionsAnswer("4 2 yuv")};
    QVERIFY(named.loadFiles(slot, {path("x_4x2_yuv422p10le.yuv"), path("nothing_in_this_name.yuv")},
                            true));
    QCOMPARE(m_pDialogs->log, QStringList {"dimensions"});
    QCOMPARE(named.takeNotes(),
             QStringList {"note: x_4x2_yuv422p10le.yuv: 4x2 taken from the file name"});
    QCOMPARE(slot->getNumFrames(), 4 + 1); // 32 bytes of 4x2 gray, then one yuv420p frame
}

void TestMovieLoader::frameRangeFromTheDialog_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("count"); // "0" is the dialog's "all"
    QTest::addColumn<int>("frames");
    QTest::addColumn<float>("firstValue"); // top-left sample of the first frame taken
    QTest::addColumn<QString>("error");
    // Five 4x2 gray frames whose samples are 10 f + (their index in the file frame).
    QTest::newRow("all of them") << "0"
                                 << "0" << 5 << 0.0f << "";
    QTest::newRow("from the third to the end") << "2"
                                               << "0" << 3 << 20.0f << "";
    QTest::newRow("two from the second") << "1"
                                         << "2" << 2 << 10.0f << "";
    QTest::newRow("more than are left: the rest") << "3"
                                                  << "9" << 2 << 30.0f << "";
    QTest::newRow("first beyond the end") << "5"
                                          << "0" << 0 << 0.0f << "No such frames in the file";
}

void TestMovieLoader::frameRangeFromTheDialog()
{
    QFETCH(QString, first);
    QFETCH(QString, count);
    QFETCH(int, frames);
    QFETCH(float, firstValue);
    QFETCH(QString, error);
    QByteArray bytes;
    for (int f = 0; f < 5; ++f)
        for (int i = 0; i < 8; ++i)
            bytes.append(char(10 * f + i));
    writeBytes("range.raw", bytes);
    ScriptedDialogs::DimensionsAnswer answer(1, "4", "2", false, false);
    answer.firstFrame = first;
    answer.frameCount = count;
    m_pDialogs->dimensionsAnswers = {answer};
    std::unique_ptr<Image3D> slot;
    MovieLoader ranged = loader();
    QCOMPARE(ranged.loadFiles(slot, {path("range.raw")}), frames > 0);
    QCOMPARE(ranged.getFirstFrame(), first.toInt());
    QCOMPARE(ranged.getFrameCount(), count == "0" ? -1 : count.toInt());
    if (frames > 0) {
        QCOMPARE(slot->getNumFrames(), frames);
        QCOMPARE(slot->getFrame(0).get()[4], firstValue); // the file's top row is stored row 1
    } else {
        QVERIFY(!slot);
        QCOMPARE(m_pDialogs->warnings.value(0).text.section(QLatin1Char('\n'), 1, 1), error);
    }
    // The range held for that load only: a y4m file loaded next gives all its frames, and so
    // does a load after one given a range (as by --frames or a recent entry).
    QByteArray y4m("YUV4MPEG2 W4 H2 F25:1 C420jpeg\n");
    for (int f = 0; f < 5; ++f)
        y4m.append("FRAME\n" + bytes.mid(8 * f, 8) + QByteArray(4, char(128)));
    writeBytes("range.y4m", y4m);
    QVERIFY(loader().loadFiles(slot, {path("range.y4m")}));
    QCOMPARE(slot->getNumFrames(), 5);
    MovieLoader given = loader();
    given.setFrameRange(1, 2);
    QVERIFY(given.loadFiles(slot, {path("range.y4m")}) && slot->getNumFrames() == 2);
    QVERIFY(loader().loadFiles(slot, {path("range.y4m")}) && slot->getNumFrames() == 5);
}

void TestMovieLoader::planeAFileLacksIsNoted()
{
    // A picture has no U plane, a gray file no V plane: each is read as Y, and said so.
    m_pDialogs->dimensionsAnswers
            = {ScriptedDialogs::DimensionsAnswer(1, "4", "2", false, false, "gray", 2)};
    m_settings.plane = 1;
    MovieLoader noting = loader();
    std::unique_ptr<Image3D> slot;
    QVERIFY(noting.loadFiles(slot, {path("image4x2.png"), path("gray4x2x3.raw")}));
    QCOMPARE(slot->getNumFrames(), 4);
    QCOMPARE(noting.takeNotes(),
             (QStringList {"note: image4x2.png has no U plane (a picture): Y is used",
                           "note: gray4x2x3.raw has no V plane (gray): Y is used"}));
}

void TestMovieLoader::stackLargerThanMemory_data()
{
    QTest::addColumn<int>("spareMiB"); // address space left to the process
    QTest::addColumn<QMessageBox::StandardButton>("answer"); // NoButton: no question expected
    QTest::newRow("first frames taken") << 512 << QMessageBox::Yes;
    QTest::newRow("declined: nothing changes") << 512 << QMessageBox::No;
    // The pieces must not hold their frames beside the stack while it is copied.
    QTest::newRow("fits beside the pieces: every frame read") << 896 << QMessageBox::NoButton;
}

void TestMovieLoader::stackLargerThanMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer's allocator can't live under a lowered address-space limit");
#endif
    QFETCH(int, spareMiB);
    QFETCH(QMessageBox::StandardButton, answer);
    // Two gray 1024x1024 files of 64 frames each, sparse: 512 MiB as samples, read as zeros but
    // for the first sample of each frame, 1 + its number in the stack.
    for (int k = 0; k < 2; ++k) {
        QFile file(path(QStringLiteral("big%1.gray").arg(k + 1)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(64) << 20));
        for (int f = 0; f < 64; ++f)
            QVERIFY(file.seek(qint64(f) << 20) && file.putChar(char(1 + 64 * k + f)));
    }
    m_settings.frameWidth = m_settings.frameHeight = 1024;
    m_settings.isYUV = false;
    if (answer != QMessageBox::NoButton)
        m_pDialogs->questionAnswers = {answer};
    bool oldDeleted = false;
    std::unique_ptr<Image3D> slot = std::make_unique<TrackedMovie>(&oldDeleted);

    // spareMiB more address space than the process has: 256 MiB less may be taken.
    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_AS, &saved), 0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    rlimit lowered = saved;
    lowered.rlim_cur
            = rlim_t(statm.readAll().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE)
                     + (qint64(spareMiB) << 20));
    if (saved.rlim_max != RLIM_INFINITY && lowered.rlim_cur > saved.rlim_max)
        QSKIP("the hard address-space limit is lower than this test needs");
    QCOMPARE(setrlimit(RLIMIT_AS, &lowered), 0);
    const bool loaded = loader().loadFiles(slot, {path("big1.gray"), path("big2.gray")}, false);
    QCOMPARE(setrlimit(RLIMIT_AS, &saved), 0);

    int offered = 128;
    if (answer == QMessageBox::NoButton) {
        QCOMPARE(m_pDialogs->log, QStringList());
    } else {
        QCOMPARE(m_pDialogs->log, QStringList {"question"});
        const QString text = m_pDialogs->questions.first().text;
        static const QRegularExpression pattern(QStringLiteral(
                "^The 128 frames of 1024x1024 need 512 MiB; [0-9.]+ MiB are available.\\n"
                "Load the first ([0-9]+) frames only\\?$"));
        const QRegularExpressionMatch match = pattern.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        offered = match.captured(1).toInt();
        QVERIFY(offered >= 1 && offered < 128);
    }
    QCOMPARE(loaded, answer != QMessageBox::No);
    QCOMPARE(oldDeleted, loaded);
    if (loaded) {
        QCOMPARE(slot->getNumFrames(), offered);
        QString missing;
        for (int f = 0; f < offered; ++f) {
            if (slot->getFrame(f).get()[1023 * 1024] != float(1 + f))
                missing += QStringLiteral(" %1").arg(f);
        }
        QVERIFY2(missing.isEmpty(), qPrintable("frames not read:" + missing));
    }
}

QTEST_MAIN(TestMovieLoader)
#include "tst_movieloader.moc"
