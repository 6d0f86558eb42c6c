#include <array>
#include <memory>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

// Runs the real rawcompare binary on a private X server (Xvfb) with Qt's xcb platform, looks
// at the screen, and ends the program the way a user does: close the window, answer the quit
// question. Xvfb and xdotool come from Debian packages that tools/test installs.
class TestOnScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void showsTheFrameUprightAndQuitsOnYes();
    void readoutOfThePixelUnderThePointer();
    void colourBarsInColour();
    void sideBySideAtTheSameSize();

private:
    struct GrayPatch
    {
        qint64 count = 0;
        double x = 0; // centroid, screen pixels
        double y = 0;
    };
    // Pixels of the three grays of the test frame on screen; false when the grab fails.
    bool grab(GrayPatch patches[3]);
    // Ids of the visible windows xdotool finds for the search given.
    QStringList findWindows(const QStringList &search);
    bool runXdotool(const QStringList &arguments, QByteArray *pOutput = nullptr);
    void sendDeleteWindow(const QString &windowId);
    QString programOutput();
    // The environment the program runs in: the private X server, and settings of its own so
    // that the user's are neither read nor changed.
    QProcessEnvironment programEnvironment() const;
    // The gray of screen pixel (x, y); -1 when it is not gray or the grab fails.
    int screenGray(int x, int y);
    // Red, green and blue of screen pixel (x, y); -1 each when the grab fails.
    std::array<int, 3> screenRgb(int x, int y);
    // Starts the program with its status lines on stderr and settings in configDir, waits for
    // its one frame at 100 % and sets *pOrigin to where the picture's top-left pixel is on the
    // screen. Fails the test when it can't.
    void showAndFindPicture(QProcess &program, const QStringList &arguments,
                            const QString &configDir, QPoint *pOrigin);
    // The newest status line the program has written.
    QString lastStatus(QProcess &program);
    QString m_output;

    QProcess m_xvfb;
    QProcess m_program;
    QString m_display;
    QString m_xdotool;
    xcb_connection_t *m_pConnection = nullptr;
    xcb_screen_t *m_pScreen = nullptr;
    QTemporaryDir m_configDir;
};

namespace {

// The test frame: 96 x 64 gray, file rows top-down. The top half is 40 on the left and 120 on
// the right, the bottom half 200.
const int frameWidth = 96;
const int frameHeight = 64;
const int grays[3] = {40, 120, 200};

QByteArray testFrame()
{
    QByteArray bytes;
    for (int row = 0; row < frameHeight; ++row) {
        for (int x = 0; x < frameWidth; ++x) {
            const int value = row >= frameHeight / 2 ? grays[2]
                                                     : (x < frameWidth / 2 ? grays[0] : grays[1]);
            bytes.append(char(value));
        }
    }
    return bytes;
}

xcb_atom_t internAtom(xcb_connection_t *pConnection, const char *name)
{
    xcb_intern_atom_reply_t *pReply = xcb_intern_atom_reply(
            pConnection, xcb_intern_atom(pConnection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = pReply ? pReply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(pReply);
    return atom;
}

} // namespace

void TestOnScreen::initTestCase()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QVERIFY2(!xvfb.isEmpty(), "Xvfb is missing: run tools/test, which installs it");
    QVERIFY2(!m_xdotool.isEmpty(), "xdotool is missing: run tools/test, which installs it");

    // -displayfd picks a free display and writes its number to the descriptor given: stdout.
    m_xvfb.start(xvfb, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    QVERIFY2(m_xvfb.waitForStarted(10000), qPrintable(m_xvfb.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine() || m_xvfb.state() != QProcess::Running, 20000);
    const QByteArray number = m_xvfb.readLine().trimmed();
    QVERIFY2(!number.isEmpty(), m_xvfb.readAllStandardError().constData());
    m_display = QStringLiteral(":") + QString::fromLatin1(number);

    m_pConnection = xcb_connect(m_display.toLatin1().constData(), nullptr);
    QVERIFY(m_pConnection);
    QCOMPARE(xcb_connection_has_error(m_pConnection), 0);
    m_pScreen = xcb_setup_roots_iterator(xcb_get_setup(m_pConnection)).data;
    QVERIFY(m_pScreen);
    QCOMPARE(int(m_pScreen->root_depth), 24);
}

void TestOnScreen::cleanupTestCase()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(5000);
    }
    if (m_pConnection)
        xcb_disconnect(m_pConnection);
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(5000);
        }
    }
}

bool TestOnScreen::runXdotool(const QStringList &arguments, QByteArray *pOutput)
{
    QProcess xdotool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    xdotool.setProcessEnvironment(environment);
    xdotool.start(m_xdotool, arguments);
    if (!xdotool.waitForFinished(10000)) {
        xdotool.kill();
        xdotool.waitForFinished(5000);
        return false;
    }
    if (pOutput)
        *pOutput = xdotool.readAllStandardOutput();
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

QStringList TestOnScreen::findWindows(const QStringList &search)
{
    QByteArray output;
    runXdotool(QStringList {"search", "--onlyvisible"} + search, &output);
    return QString::fromLatin1(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestOnScreen::sendDeleteWindow(const QString &windowId)
{
    // What a window manager sends when the user closes a window.
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = windowId.toUInt();
    event.type = internAtom(m_pConnection, "WM_PROTOCOLS");
    event.data.data32[0] = internAtom(m_pConnection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_pConnection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(m_pConnection);
}

bool TestOnScreen::grab(GrayPatch patches[3])
{
    const int width = m_pScreen->width_in_pixels;
    const int height = m_pScreen->height_in_pixels;
    xcb_get_image_reply_t *pReply = xcb_get_image_reply(
            m_pConnection,
            xcb_get_image(m_pConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_pScreen->root, 0, 0,
                          uint16_t(width), uint16_t(height), ~0u),
            nullptr);
    if (!pReply)
        return false;
    std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> reply(pReply, &free);
    // Depth 24 comes as 32 bits per pixel; gray pixels have three equal colour bytes, so the
    // byte order does not matter.
    if (xcb_get_image_data_length(pReply) != width * height * 4)
        return false;
    const uint8_t *pData = xcb_get_image_data(pReply);
    auto grayAt = [&](int x, int y) {
        const uint8_t *p = pData + (qint64(y) * width + x) * 4;
        return p[0] == p[1] && p[1] == p[2] ? int(p[0]) : -1;
    };
    for (int i = 0; i < 3; ++i)
        patches[i] = GrayPatch();
    // Only pixels inside an area of one gray count: the anti-aliased edges of text have
    // every gray too, but not in solid blocks.
    for (int y = 1; y + 1 < height; ++y) {
        for (int x = 1; x + 1 < width; ++x) {
            const int gray = grayAt(x, y);
            if (gray < 0 || gray != grayAt(x - 1, y) || gray != grayAt(x + 1, y)
                || gray != grayAt(x, y - 1) || gray != grayAt(x, y + 1))
                continue;
            for (int i = 0; i < 3; ++i) {
                if (gray == grays[i]) {
                    ++patches[i].count;
                    patches[i].x += x;
                    patches[i].y += y;
                }
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (patches[i].count > 0) {
            patches[i].x /= patches[i].count;
            patches[i].y /= patches[i].count;
        }
    }
    return true;
}

QProcessEnvironment TestOnScreen::programEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configDir.path());
    return environment;
}

int TestOnScreen::screenGray(int x, int y)
{
    const std::array<int, 3> rgb = screenRgb(x, y);
    return rgb[0] == rgb[1] && rgb[1] == rgb[2] ? rgb[0] : -1;
}

std::array<int, 3> TestOnScreen::screenRgb(int x, int y)
{
    xcb_get_image_reply_t *pReply
            = xcb_get_image_reply(m_pConnection,
                                  xcb_get_image(m_pConnection, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                                m_pScreen->root, int16_t(x), int16_t(y), 1, 1, ~0u),
                                  nullptr);
    if (!pReply)
        return {-1, -1, -1};
    std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> reply(pReply, &free);
    if (xcb_get_image_data_length(pReply) != 4)
        return {-1, -1, -1};
    // Depth 24 on a little-endian server: blue, green, red, unused.
    const uint8_t *p = xcb_get_image_data(pReply);
    return {p[2], p[1], p[0]};
}

QString TestOnScreen::programOutput()
{
    return QString::fromLocal8Bit(m_program.readAllStandardError());
}

void TestOnScreen::showsTheFrameUprightAndQuitsOnYes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString movie = dir.filePath(QStringLiteral("frame 96x64.gray"));
    QFile file(movie);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(testFrame()), qint64(frameWidth * frameHeight));
    file.close();

    m_program.setProcessEnvironment(programEnvironment());
    m_program.start(QStringLiteral(RAWCOMPARE_PATH), {"--size", "96x64", "--gray", movie});
    QVERIFY2(m_program.waitForStarted(10000), qPrintable(m_program.errorString()));

    QStringList windows;
    QTRY_VERIFY2_WITH_TIMEOUT(!(windows = findWindows({"--classname", "rawcompare"})).isEmpty()
                                      || m_program.state() != QProcess::Running,
                              qPrintable(programOutput()), 30000);
    QCOMPARE(m_program.state(), QProcess::Running);
    QCOMPARE(windows.size(), 1);

    // Wait for the frame to be painted at 1:1: 48 x 32 pixels of each upper gray and
    // 96 x 32 of the lower one, of which the inner 46 x 30 and 94 x 30 count.
    GrayPatch patches[3];
    QTRY_VERIFY_WITH_TIMEOUT(grab(patches) && patches[0].count >= 1380 && patches[1].count >= 1380
                                     && patches[2].count >= 2820,
                             30000);
    QVERIFY2(patches[0].count < 1600 && patches[1].count < 1600 && patches[2].count < 3200,
             qPrintable(QStringLiteral("%1 %2 %3")
                                .arg(patches[0].count)
                                .arg(patches[1].count)
                                .arg(patches[2].count)));
    const GrayPatch &topLeft = patches[0];
    const GrayPatch &topRight = patches[1];
    const GrayPatch &bottom = patches[2];
    // Upright: the file's first rows on top, 32 rows above the bottom half's centre.
    QVERIFY2(qAbs(bottom.y - topLeft.y - 32) < 4,
             qPrintable(QStringLiteral("top %1, bottom %2").arg(topLeft.y).arg(bottom.y)));
    QVERIFY(qAbs(topLeft.y - topRight.y) < 2);
    // Not mirrored: the left quarter of the file on the left.
    QVERIFY2(qAbs(topRight.x - topLeft.x - 48) < 4,
             qPrintable(QStringLiteral("left %1, right %2").arg(topLeft.x).arg(topRight.x)));
    QVERIFY(qAbs(bottom.x - (topLeft.x + topRight.x) / 2) < 2);

    // Closing asks first; No keeps the program running.
    sendDeleteWindow(windows.first());
    QStringList confirm;
    QTRY_VERIFY_WITH_TIMEOUT(!(confirm = findWindows({"--name", "^Confirm$"})).isEmpty(), 20000);
    QVERIFY(runXdotool({"windowfocus", "--sync", confirm.first()}));
    QVERIFY(runXdotool({"key", "n"}));
    QTRY_VERIFY_WITH_TIMEOUT(findWindows({"--name", "^Confirm$"}).isEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(grab(patches) && patches[2].count >= 2820, 20000);
    QCOMPARE(m_program.state(), QProcess::Running);

    // Yes ends it, with exit status 0.
    sendDeleteWindow(windows.first());
    QTRY_VERIFY_WITH_TIMEOUT(!(confirm = findWindows({"--name", "^Confirm$"})).isEmpty(), 20000);
    QVERIFY(runXdotool({"windowfocus", "--sync", confirm.first()}));
    QVERIFY(runXdotool({"key", "y"}));
    QTRY_VERIFY2_WITH_TIMEOUT(m_program.state() == QProcess::NotRunning,
                              qPrintable(programOutput()), 20000);
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
}

QString TestOnScreen::lastStatus(QProcess &program)
{
    m_output += QString::fromLocal8Bit(program.readAllStandardError());
    const qsizetype at = m_output.lastIndexOf(QLatin1String("status: "));
    return at < 0 ? QString() : m_output.mid(at + 8).section(QLatin1Char('\n'), 0, 0);
}

void TestOnScreen::showAndFindPicture(QProcess &program, const QStringList &arguments,
                                      const QString &configDir, QPoint *pOrigin)
{
    m_output.clear();
    QProcessEnvironment environment = programEnvironment();
    environment.insert(QStringLiteral("RAWCOMPARE_STATUS_TO_STDERR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(RAWCOMPARE_PATH), arguments);
    QStringList windows;
    QTRY_VERIFY2_WITH_TIMEOUT(!(windows = findWindows({"--classname", "rawcompare"})).isEmpty(),
                              qPrintable(m_output), 30000);
    QTRY_VERIFY2_WITH_TIMEOUT(lastStatus(program).endsWith(" | Main movie | frame 1/1 | 100 %"),
                              qPrintable(m_output), 30000);
    QByteArray geometry;
    QVERIFY(runXdotool({"getwindowgeometry", "--shell", windows.first()}, &geometry));
    const QRegularExpressionMatch corner = QRegularExpression(QStringLiteral("X=(\\d+)\\nY=(\\d+)"))
                                                   .match(QString::fromLatin1(geometry));
    QVERIFY(corner.hasMatch());

    // At 100 % the picture lies in the view, centred when the view is taller than it: one of
    // these points below the window's corner is on it, and that pixel's readout places the
    // picture on the screen.
    const QRegularExpression readout(QStringLiteral("^x (\\d+)  y (\\d+)  main "));
    QPoint pointer;
    QRegularExpressionMatch match;
    for (int down = 150; down <= 500; down += 50) {
        pointer = QPoint(corner.captured(1).toInt() + 150, corner.captured(2).toInt() + down);
        QVERIFY(runXdotool({"mousemove", "--sync", QString::number(pointer.x()),
                            QString::number(pointer.y())}));
        if (QTest::qWaitFor([&] { return (match = readout.match(lastStatus(program))).hasMatch(); },
                            5000))
            break;
    }
    QVERIFY2(match.hasMatch(), qPrintable(lastStatus(program)));
    *pOrigin = pointer - QPoint(match.captured(1).toInt(), match.captured(2).toInt());
}

void TestOnScreen::readoutOfThePixelUnderThePointer()
{
    // 640 x 480 gray, file rows top-down: sample (x, y), y from the top row, is (x + 3 y) mod 256.
    auto sample = [](int x, int y) { return (x + 3 * y) % 256; };
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("ramp.gray")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x)
            QVERIFY(file.putChar(char(sample(x, y))));
    }
    file.close();

    QProcess program;
    QPoint origin;
    showAndFindPicture(program, {"--size", "640x480", "--gray", file.fileName()},
                       dir.filePath(QStringLiteral("config")), &origin);
    if (QTest::currentTestFailed())
        return;

    // Known pixels and their neighbours: the file's values, and the screen shows that very
    // sample under the pointer.
    for (const QPoint &pixel : {QPoint(37, 211), QPoint(38, 211), QPoint(37, 212)}) {
        const QPoint pointer = origin + pixel;
        QVERIFY(runXdotool({"mousemove", "--sync", QString::number(pointer.x()),
                            QString::number(pointer.y())}));
        const int value = sample(pixel.x(), pixel.y());
        QTRY_COMPARE_WITH_TIMEOUT(
                lastStatus(program),
                QStringLiteral("x %1  y %2  main %3  ref1   ref2   diff1   diff2  "
                               "|  | Main movie | frame 1/1 | 100 %")
                        .arg(pixel.x())
                        .arg(pixel.y())
                        .arg(value),
                20000);
        QCOMPARE(screenGray(pointer.x(), pointer.y()), value);
    }
    program.kill();
    program.waitForFinished(5000);
}

void TestOnScreen::colourBarsInColour()
{
    // Colour bars as y4m, 4:2:0: the sixth of the seven upper bars is red.
    QTemporaryDir dir;
    const QString bars = dir.filePath(QStringLiteral("bars.y4m"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-f", "lavfi", "-i", "smptebars=size=448x240", "-frames:v", "1",
                  "-pix_fmt", "yuv420p", bars});
    QVERIFY2(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0,
             "ffmpeg is needed to make colour bars (tools/test installs it)");

    // A first run: no settings yet, so a movie with chroma opens in colour.
    QProcess program;
    QPoint origin;
    showAndFindPicture(program, {bars}, dir.filePath(QStringLiteral("config")), &origin);
    if (QTest::currentTestFailed())
        return;

    // The middle of the red bar: red on screen, and its samples and RGB in the readout.
    const QPoint pointer = origin + QPoint(352, 60);
    QVERIFY(runXdotool(
            {"mousemove", "--sync", QString::number(pointer.x()), QString::number(pointer.y())}));
    QTRY_VERIFY2_WITH_TIMEOUT(lastStatus(program).startsWith("x 352  y 60  main "),
                              qPrintable(m_output), 20000);
    const std::array<int, 3> red = screenRgb(pointer.x(), pointer.y());
    const QString shown = QStringLiteral("RGB %1 %2 %3 ").arg(red[0]).arg(red[1]).arg(red[2]);
    QVERIFY2(red[0] > 150 && red[1] < 40 && red[2] < 40, qPrintable(shown));
    QVERIFY2(lastStatus(program).contains(shown), qPrintable(m_output));
    program.kill();
    program.waitForFinished(5000);
}

void TestOnScreen::sideBySideAtTheSameSize()
{
    // Two 96 x 64 gray files: main of gray 40, reference 1 of gray 200.
    QTemporaryDir dir;
    for (const auto &[name, gray] : {std::pair("main.gray", 40), std::pair("ref.gray", 200)}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly)
                && file.write(QByteArray(frameWidth * frameHeight, char(gray))) > 0);
    }
    // A first run: the window sizes itself for its two panes.
    QProcessEnvironment environment = programEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    m_program.setProcessEnvironment(environment);
    m_program.start(QStringLiteral(RAWCOMPARE_PATH),
                    {"--size", "96x64", "--gray", "--layout", "side-by-side", "--views",
                     "main,ref1", dir.filePath("main.gray"), "--ref1", dir.filePath("ref.gray")});
    // Both pictures whole at 100 %: 94 x 62 inner pixels each, side by side on one level.
    GrayPatch patches[3];
    QTRY_VERIFY_WITH_TIMEOUT(
            grab(patches) && patches[0].count >= 94 * 62 && patches[2].count >= 94 * 62, 30000);
    QCOMPARE(patches[0].count, patches[2].count);
    QVERIFY2(qAbs(patches[0].y - patches[2].y) < 1 && patches[2].x - patches[0].x > 96,
             qPrintable(QStringLiteral("main at %1, %2; reference at %3, %4")
                                .arg(patches[0].x)
                                .arg(patches[0].y)
                                .arg(patches[2].x)
                                .arg(patches[2].y)));
    m_program.kill();
    m_program.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestOnScreen)
#include "tst_onscreen.moc"
