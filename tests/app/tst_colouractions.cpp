#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "commandline.h"
#include "imagenodetestaccess.h"
#include "mainwidget.h"
#include "scripteddialogs.h"
#include "session.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "viewtype.h"

// What the views show in a colour session and after the Colour submenu's choices, read from the
// pixels on screen and the status bar.
class TestColourActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void display_data();
    void display();

private:
    QString statusText(const char *name) const
    {
        const auto *pLabel = m_pWindow->statusBar()->findChild<QLabel *>(QString::fromUtf8(name));
        return pLabel ? pLabel->text() : QString();
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<MainWidget> m_pWindow;
};

void TestColourActions::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    m_pWindow = std::make_unique<MainWidget>();
    // Any question or warning is answered at once instead of waiting for a user.
    m_pWindow->setDialogProvider(std::make_unique<ScriptedDialogs>());
}

void TestColourActions::display_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("menuChoice"); // an entry of View > Colour, or none
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("pixel"); // "red", or "gray N"
    QTest::addColumn<QString>("display"); // a part of the status bar's display label
    // red.yuv: 4x2 yuv420p of Y 81, U 90, V 240 (red in BT.601, limited range); darker.yuv:
    // Y 71, same chroma; gray.png: a gray picture of samples 50.
    QTest::newRow("colour: the main movie in colour, with its samples in the readout")
            << QStringList {"--display", "colour", "@red.yuv", "--ref1", "@darker.yuv"} << QString()
            << int(ViewType::Main) << "red"
            << "BT.601, limited range";
    QTest::newRow("colour: a difference stays the gray of the Y difference")
            << QStringList {"--display", "colour", "@red.yuv", "--ref1", "@darker.yuv"} << QString()
            << int(ViewType::Diff1) << "gray 137"
            << "Y";
    QTest::newRow("--display u: the U plane in gray")
            << QStringList {"--display", "u", "@red.yuv"} << QString() << int(ViewType::Main)
            << "gray 90"
            << "U";
    QTest::newRow("the menu's V (gray) reads the V plane of the movie shown in colour")
            << QStringList {"--display", "colour", "@red.yuv"} << "V (gray)" << int(ViewType::Main)
            << "gray 240"
            << "V";
    QTest::newRow("colour: a gray file stays gray, with a note")
            << QStringList {"--display", "colour", "@gray.png", "--ref1", "@red.yuv"} << QString()
            << int(ViewType::Main) << "gray 50"
            << "gray.png has no chroma";
}

void TestColourActions::display()
{
    QFETCH(QStringList, options);
    QFETCH(QString, menuChoice);
    QFETCH(int, view);
    QFETCH(QString, pixel);
    QFETCH(QString, display);

    auto write = [this](const QString &name, const QByteArray &bytes) {
        QFile file(m_pDir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray chroma = QByteArray(2, char(90)) + QByteArray(2, char(240));
    write(QStringLiteral("red.yuv"), QByteArray(8, char(81)) + chroma);
    write(QStringLiteral("darker.yuv"), QByteArray(8, char(71)) + chroma);
    QImage gray(4, 2, QImage::Format_Grayscale8);
    gray.fill(50);
    QVERIFY(gray.save(m_pDir->filePath("gray.png")));
    QStringList arguments {"rawcompare", "--size", "4x2"};
    for (const QString &option : options)
        arguments.append(option.startsWith('@') ? m_pDir->filePath(option.mid(1)) : option);
    CommandLine commandLine;
    QCOMPARE(commandLine.parse(arguments), CommandLine::Action::Run);
    m_pWindow->openFromCommandLine(commandLine);
    QVERIFY(m_pWindow->getSession().getMovie(Session::Main));
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    // The entries of View > Colour are the only checkable actions with these texts.
    int triggered = 0;
    for (QAction *pAction : m_pWindow->findChildren<QAction *>()) {
        if (!menuChoice.isEmpty() && pAction->text() == menuChoice && pAction->isCheckable()) {
            QVERIFY(pAction->isEnabled());
            pAction->trigger();
            ++triggered;
        }
    }
    QCOMPARE(triggered, menuChoice.isEmpty() ? 0 : 1);
    m_pWindow->getSession().setViewType(view);

    const QPixmap *pPixmap
            = ImageNodeTestAccess::shownPixmap(*m_pWindow->findChild<SliceWidget *>());
    QVERIFY(pPixmap);
    const QRgb shown = pPixmap->toImage().pixel(1, 0);
    if (pixel == QLatin1String("red")) {
        QVERIFY2(qRed(shown) > 240 && qGreen(shown) < 10 && qBlue(shown) < 10,
                 qPrintable(QString::number(shown, 16)));
    } else {
        const int gray = pixel.section(' ', 1).toInt();
        QCOMPARE(shown, qRgb(gray, gray, gray));
    }
    QVERIFY2(statusText("display").contains(display), qPrintable(statusText("display")));

    // The readout of a colour view names the samples under the pointer and the RGB shown.
    SliceView *pSliceView = m_pWindow->findChild<SliceWidget *>()->getView();
    pSliceView->zoom(8);
    const QPointF at = pSliceView->mapFromScene(QPointF(1.5, -0.5));
    QMouseEvent move(QEvent::MouseMove, at, pSliceView->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pSliceView->viewport(), &move);
    const QString readout = statusText("readout");
    if (pixel != QLatin1String("red"))
        QVERIFY2(!readout.contains("YUV"), qPrintable(readout));
    else
        QVERIFY2(readout.endsWith(QStringLiteral("YUV 81 90 240  RGB %1 %2 %3")
                                          .arg(qRed(shown))
                                          .arg(qGreen(shown))
                                          .arg(qBlue(shown))),
                 qPrintable(readout));
}

QTEST_MAIN(TestColourActions)
#include "tst_colouractions.moc"
