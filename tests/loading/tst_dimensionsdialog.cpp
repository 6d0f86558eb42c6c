#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "dimensionsdialog.h"
#include "pixelformat.h"

class TestDimensionsDialog : public QObject
{
    Q_OBJECT

private slots:
    void startsEmptyWithYUVChecked();
    void formTreeAndTexts();
    void frameSizeRoundTrip_data();
    void frameSizeRoundTrip();
    void textThatIsNotANumberGivesZero_data();
    void textThatIsNotANumberGivesZero();
    void typedKeysAreValidated_data();
    void typedKeysAreValidated();
    void yuvAndApplyBoxes();
    void closingDecidesTheResult_data();
    void closingDecidesTheResult();
    void fileInfoFollowsTheAnswers_data();
    void fileInfoFollowsTheAnswers();
    void yuvBoxInStepWithFormat();
};

void TestDimensionsDialog::fileInfoFollowsTheAnswers_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("info");
    // 352x288: yuv420p frames of 152064 bytes.
    QTest::newRow("200 whole frames") << qint64(152064) * 200 << "352"
                                      << "yuv420p"
                                      << "200 frames";
    QTest::newRow("bytes left over") << qint64(152064) * 199 + 1234 << "352"
                                     << "yuv420p"
                                     << "199 frames and 1234 bytes left over";
    QTest::newRow("one frame") << qint64(152064) << "352"
                               << "yuv420p"
                               << "1 frame";
    QTest::newRow("the same file as 10-bit: half the frames") << qint64(152064) * 200 << "352"
                                                              << "yuv420p10le"
                                                              << "100 frames";
    QTest::newRow("a wrong width shows at once") << qint64(152064) * 200 << "350"
                                                 << "yuv420p"
                                                 << "201 frames and 21600 bytes left over";
    QTest::newRow("empty width") << qint64(1000) << ""
                                 << "gray"
                                 << "1000 bytes: enter a width and a height";
}

void TestDimensionsDialog::fileInfoFollowsTheAnswers()
{
    QFETCH(qint64, fileSize);
    QFETCH(QString, width);
    QFETCH(QString, format);
    QFETCH(QString, info);
    DimensionsDialog dialog;
    QVERIFY(!dialog.m_pFileInfo->isVisibleTo(&dialog));
    dialog.setFileSize(fileSize);
    QVERIFY(dialog.m_pFileInfo->isVisibleTo(&dialog));
    dialog.m_pHeight->setText(QStringLiteral("288"));
    dialog.m_pWidth->setText(width);
    dialog.m_pFormatBox->setCurrentText(format);
    QCOMPARE(dialog.m_pFileInfo->text(), info);
}

void TestDimensionsDialog::yuvBoxInStepWithFormat()
{
    DimensionsDialog dialog;
    QCOMPARE(dialog.getFormat().getName(), QStringLiteral("yuv420p"));
    dialog.m_pYUVCheckBox->setChecked(false);
    QCOMPARE(dialog.getFormat().getName(), QStringLiteral("gray"));
    QVERIFY(!dialog.m_pPlaneBox->isEnabled());
    dialog.m_pFormatBox->setCurrentText(QStringLiteral("nv12"));
    QVERIFY(!dialog.isYUV());
    QVERIFY(dialog.m_pPlaneBox->isEnabled());
    dialog.setPlane(2);
    QCOMPARE(dialog.getPlane(), 2);
    dialog.m_pYUVCheckBox->setChecked(true);
    QCOMPARE(dialog.getFormat().getName(), QStringLiteral("yuv420p"));
    QCOMPARE(dialog.getPlane(), 2);
    // A format without chroma goes back to Y.
    dialog.setFormat(*PixelFormat::byName(QStringLiteral("gray10le")));
    QCOMPARE(dialog.getPlane(), 0);
    QVERIFY(!dialog.isYUV());
}

void TestDimensionsDialog::startsEmptyWithYUVChecked()
{
    DimensionsDialog dialog;
    QVERIFY(dialog.m_pWidth->text().isEmpty());
    QVERIFY(dialog.m_pHeight->text().isEmpty());
    QVERIFY(dialog.isYUV());
    QVERIFY(!dialog.applyToOthers());
    int width = -1;
    int height = -1;
    dialog.getFrameSize(width, height);
    QCOMPARE(width, 0);
    QCOMPARE(height, 0);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dialog.objectName(), QStringLiteral("Dialog"));
    QCOMPARE(dialog.size(), QSize(465, 240));
    QVERIFY(!dialog.parentWidget());
    for (QLineEdit *pEdit : {dialog.m_pWidth, dialog.m_pHeight}) {
        const auto *pValidator = qobject_cast<const QIntValidator *>(pEdit->validator());
        QVERIFY(pValidator);
        QCOMPARE(pValidator->bottom(), 2);
        QCOMPARE(pValidator->top(), 16384);
    }
}

void TestDimensionsDialog::formTreeAndTexts()
{
    DimensionsDialog dialog;
    QCOMPARE(dialog.gridLayout->itemAtPosition(0, 0)->widget(), dialog.label);
    QCOMPARE(dialog.gridLayout->itemAtPosition(1, 1)->widget(), dialog.m_pHeight);
    QCOMPARE(dialog.verticalLayout_2->itemAt(2)->widget(), dialog.buttonBox);
    QCOMPARE(dialog.label->text(), QStringLiteral("Width"));
    QCOMPARE(dialog.label_2->text(), QStringLiteral("Height"));
    QCOMPARE(dialog.m_pYUVCheckBox->text(),
             QStringLiteral("Check if YUV data, uncheck if gray only"));
    QCOMPARE(dialog.m_pApplyOtherBox->text(),
             QStringLiteral("Apply these settings to other selected raw/YUV files"));
    QCOMPARE(dialog.buttonBox->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(dialog.buttonBox->orientation(), Qt::Horizontal);
}

void TestDimensionsDialog::frameSizeRoundTrip_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("widthText");
    QTest::addColumn<QString>("heightText");

    QTest::newRow("CIF 352x288") << 352 << 288 << "352"
                                 << "288";
    QTest::newRow("limits 2x16384") << 2 << 16384 << "2"
                                    << "16384";
    QTest::newRow("zero and negative are shown as they are") << 0 << -6 << "0"
                                                             << "-6";
}

void TestDimensionsDialog::frameSizeRoundTrip()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, widthText);
    QFETCH(QString, heightText);

    DimensionsDialog dialog;
    dialog.setFrameSize(width, height);
    QCOMPARE(dialog.m_pWidth->text(), widthText);
    QCOMPARE(dialog.m_pHeight->text(), heightText);
    int gotWidth = 1;
    int gotHeight = 1;
    dialog.getFrameSize(gotWidth, gotHeight);
    QCOMPARE(gotWidth, width);
    QCOMPARE(gotHeight, height);
}

void TestDimensionsDialog::textThatIsNotANumberGivesZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("number with a unit") << "352px" << 0;
    QTest::newRow("decimal number") << "176" << 176;
}

void TestDimensionsDialog::textThatIsNotANumberGivesZero()
{
    QFETCH(QString, text);
    QFETCH(int, value);

    DimensionsDialog dialog;
    dialog.m_pWidth->setText(text);
    dialog.m_pHeight->setText(text);
    int width = -1;
    int height = -1;
    dialog.getFrameSize(width, height);
    QCOMPARE(width, value);
    QCOMPARE(height, value);
}

void TestDimensionsDialog::typedKeysAreValidated_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");

    QTest::newRow("20000: the key that passes 16384 is refused") << "20000"
                                                                 << "2000";
    QTest::newRow("8K width 7680 passes") << "7680"
                                          << "7680";
    QTest::newRow("16384 is the top") << "16384"
                                      << "16384";
    QTest::newRow("16385: last key refused") << "16385"
                                             << "1638";
    QTest::newRow("odd 3 passes") << "3"
                                  << "3";
    QTest::newRow("1 passes while typing") << "1"
                                           << "1";
    QTest::newRow("0 passes while typing") << "0"
                                           << "0";
    QTest::newRow("99999: refused from the fifth key") << "99999"
                                                       << "9999";
    QTest::newRow("minus sign refused") << "-8"
                                        << "8";
    QTest::newRow("letters refused") << "a1b2"
                                     << "12";
}

void TestDimensionsDialog::typedKeysAreValidated()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);

    DimensionsDialog dialog;
    QTest::keyClicks(dialog.m_pWidth, keys);
    QTest::keyClicks(dialog.m_pHeight, keys);
    QCOMPARE(dialog.m_pWidth->text(), shown);
    QCOMPARE(dialog.m_pHeight->text(), shown);
}

void TestDimensionsDialog::yuvAndApplyBoxes()
{
    DimensionsDialog dialog;
    dialog.setYUV(false);
    QVERIFY(!dialog.m_pYUVCheckBox->isChecked());
    QVERIFY(!dialog.isYUV());
    dialog.setYUV(true);
    QVERIFY(dialog.isYUV());
    dialog.m_pApplyOtherBox->setChecked(true);
    QVERIFY(dialog.applyToOthers());
}

void TestDimensionsDialog::closingDecidesTheResult_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");

    QTest::newRow("OK button accepts") << "ok" << 1;
    QTest::newRow("Cancel button rejects") << "cancel" << 0;
    QTest::newRow("Escape rejects") << "escape" << 0;
    QTest::newRow("closing the window rejects") << "close" << 0;
}

void TestDimensionsDialog::closingDecidesTheResult()
{
    QFETCH(QString, how);
    QFETCH(int, result);

    DimensionsDialog dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QVERIFY(dialog.isVisible());
    QTest::keyClicks(dialog.m_pWidth, QStringLiteral("1"));
    if (how == QLatin1String("ok"))
        QTest::mouseClick(dialog.buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
    else if (how == QLatin1String("cancel"))
        QTest::mouseClick(dialog.buttonBox->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        dialog.close();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().at(0).toInt(), result);
    QVERIFY(!dialog.isVisible());
    // OK takes whatever the fields hold, also a width the reader will refuse.
    int width = 0;
    int height = 0;
    dialog.getFrameSize(width, height);
    QCOMPARE(width, 1);
}

QTEST_MAIN(TestDimensionsDialog)
#include "tst_dimensionsdialog.moc"
