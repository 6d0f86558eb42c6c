#include <functional>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dialogprovider.h"
#include "dimensionsdialog.h"

// The real dialogs behind the seam: each test looks at the modal dialog from inside its event
// loop, then answers it.
class TestDialogProvider : public QObject
{
    Q_OBJECT

private slots:
    void progressShowsLateAndCancels();
    void warningBox();
    void quitQuestion_data();
    void quitQuestion();
    void openFiles_data();
    void openFiles();
    void saveFileName_data();
    void saveFileName();
    void dimensionsDialogResult_data();
    void dimensionsDialogResult();

private:
    // Runs inspect on the modal widget as soon as the next dialog is shown. Whatever happens
    // there, the dialog is closed afterwards, so a failed check cannot leave the test waiting.
    void whenShown(std::function<void(QWidget *)> inspect);
};

void TestDialogProvider::whenShown(std::function<void(QWidget *)> inspect)
{
    QTimer::singleShot(0, this, [inspect] {
        QWidget *pModal = QApplication::activeModalWidget();
        if (pModal)
            inspect(pModal);
        pModal = QApplication::activeModalWidget();
        if (auto *pDialog = qobject_cast<QDialog *>(pModal))
            pDialog->reject();
    });
}

void TestDialogProvider::warningBox()
{
    QWidget parent;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QWidget *pBoxParent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenShown([&](QWidget *pModal) {
        auto *pBox = qobject_cast<QMessageBox *>(pModal);
        if (!pBox)
            return;
        title = pBox->windowTitle();
        text = pBox->text();
        buttons = pBox->standardButtons();
        pBoxParent = pBox->parentWidget();
        icon = pBox->icon();
        pBox->button(QMessageBox::Ok)->click();
    });
    DialogProvider().warning(&parent, QStringLiteral("Warning"),
                             QStringLiteral("Loading nöt successful:\nline two"));
    QCOMPARE(title, QStringLiteral("Warning"));
    QCOMPARE(text, QStringLiteral("Loading nöt successful:\nline two"));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(pBoxParent, &parent);
    QCOMPARE(icon, QMessageBox::Warning);
}

void TestDialogProvider::quitQuestion_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QMessageBox::StandardButton>("answer");

    QTest::newRow("Escape answers No") << int(Qt::Key_Escape) << QMessageBox::No;
    QTest::newRow("Return takes the default, No") << int(Qt::Key_Return) << QMessageBox::No;
    QTest::newRow("Y answers Yes") << int(Qt::Key_Y) << QMessageBox::Yes;
}

void TestDialogProvider::quitQuestion()
{
    QFETCH(int, key);
    QFETCH(QMessageBox::StandardButton, answer);

    QWidget parent;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QString text;
    whenShown([&](QWidget *pModal) {
        auto *pBox = qobject_cast<QMessageBox *>(pModal);
        if (!pBox)
            return;
        defaultButton = pBox->standardButton(pBox->defaultButton());
        text = pBox->text();
        QTest::keyClick(pBox->focusWidget() ? pBox->focusWidget() : pBox, Qt::Key(key));
        // A mnemonic clicks with a short animation: let it finish.
        QTRY_VERIFY(!pBox->isVisible());
    });
    const QMessageBox::StandardButton result = DialogProvider().question(
            &parent, QStringLiteral("Confirm"), QStringLiteral("Are you sure you want to quit?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    QCOMPARE(text, QStringLiteral("Are you sure you want to quit?"));
    QCOMPARE(defaultButton, QMessageBox::No);
    QCOMPARE(result, answer);
}

void TestDialogProvider::openFiles_data()
{
    QTest::addColumn<bool>("accept");

    QTest::newRow("accepted: the selection and the final folder") << true;
    QTest::newRow("cancelled: no files") << false;
}

void TestDialogProvider::openFiles()
{
    QFETCH(bool, accept);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("Fïlme"));
    QVERIFY(QDir().mkpath(folder));
    const QString fileName = folder + QStringLiteral("/ä.yuv");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QWidget parent;
    QString shownIn;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QWidget *pDialogParent = nullptr;
    whenShown([&](QWidget *pModal) {
        auto *pDialog = qobject_cast<QFileDialog *>(pModal);
        if (!pDialog)
            return;
        shownIn = pDialog->directory().absolutePath();
        filters = pDialog->nameFilters();
        mode = pDialog->fileMode();
        pDialogParent = pDialog->parentWidget();
        if (accept) {
            pDialog->selectFile(fileName);
            static_cast<QDialog *>(pDialog)->accept(); // public in the base
        }
    });
    const QString filter
            = QStringLiteral("YUV files, raw file, image files (*.yuv *.raw *.png *.bmp)");
    const DialogProvider::OpenFilesAnswer answer
            = DialogProvider().getOpenFileNames(&parent, folder, filter);

    QCOMPARE(shownIn, folder);
    QCOMPARE(filters, QStringList {filter});
    QCOMPARE(mode, QFileDialog::ExistingFiles);
    QCOMPARE(pDialogParent, &parent);
    QCOMPARE(answer.accepted, accept);
    QCOMPARE(answer.files, accept ? QStringList {fileName} : QStringList {});
    if (accept)
        QCOMPARE(answer.directory, folder);
}

void TestDialogProvider::saveFileName_data()
{
    QTest::addColumn<bool>("accept");

    QTest::newRow("accepted: the name typed") << true;
    QTest::newRow("cancelled: a null name") << false;
}

void TestDialogProvider::saveFileName()
{
    QFETCH(bool, accept);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("Ausgabe ü.yuv"));
    QWidget parent;
    QString title;
    QStringList filters;
    bool confirmsOverwrite = false;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    whenShown([&](QWidget *pModal) {
        auto *pDialog = qobject_cast<QFileDialog *>(pModal);
        if (!pDialog)
            return;
        title = pDialog->windowTitle();
        filters = pDialog->nameFilters();
        confirmsOverwrite = !pDialog->testOption(QFileDialog::DontConfirmOverwrite);
        acceptMode = pDialog->acceptMode();
        if (accept) {
            pDialog->selectFile(fileName);
            static_cast<QDialog *>(pDialog)->accept(); // public in the base
        }
    });
    const QString answer = DialogProvider().getSaveFileName(
            &parent, QStringLiteral("Save"), QString(), QStringLiteral("YUV files (*.yuv)"));

    QCOMPARE(title, QStringLiteral("Save"));
    QCOMPARE(filters, QStringList {"YUV files (*.yuv)"});
    QVERIFY(confirmsOverwrite);
    QCOMPARE(acceptMode, QFileDialog::AcceptSave);
    if (accept)
        QCOMPARE(answer, fileName);
    else
        QVERIFY(answer.isNull());
}

void TestDialogProvider::dimensionsDialogResult_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("result");

    QTest::newRow("OK gives 1") << true << 1;
    QTest::newRow("Cancel gives 0") << false << 0;
}

void TestDialogProvider::dimensionsDialogResult()
{
    QFETCH(bool, accept);
    QFETCH(int, result);

    DimensionsDialog dialog;
    bool wasModal = false;
    whenShown([&](QWidget *pModal) {
        if (pModal != &dialog)
            return;
        wasModal = dialog.isModal();
        QTest::keyClicks(dialog.m_pWidth, QStringLiteral("20000"));
        dialog.buttonBox->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    QCOMPARE(DialogProvider().execDimensionsDialog(dialog), result);
    QVERIFY(wasModal);
    QCOMPARE(dialog.m_pWidth->text(), QStringLiteral("2000"));
}

void TestDialogProvider::progressShowsLateAndCancels()
{
    QWidget window;
    DialogProvider dialogs;
    ProgressCallback progress = dialogs.progress(&window, QStringLiteral("Scanning"));
    // Quick work never sees a dialog.
    QVERIFY(progress(1, 10));
    QCOMPARE(window.findChild<QProgressDialog *>(), nullptr);
    // Work that goes on past half a second does.
    QTRY_VERIFY(progress(2, 10) && window.findChild<QProgressDialog *>());
    auto *pDialog = window.findChild<QProgressDialog *>();
    QCOMPARE(pDialog->labelText(), QStringLiteral("Scanning"));
    QCOMPARE(pDialog->maximum(), 10);
    QVERIFY(progress(3, 10));
    QCOMPARE(pDialog->value(), 3);
    pDialog->cancel();
    QVERIFY(!progress(4, 10));
    QVERIFY(!progress(5, 10)); // stays cancelled
    progress = nullptr;
    QCOMPARE(window.findChild<QProgressDialog *>(), nullptr);
}

QTEST_MAIN(TestDialogProvider)
#include "tst_dialogprovider.moc"
