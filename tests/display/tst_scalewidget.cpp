// ScaleWidget: the editor's layout, what setValues and typing emit, and "Auto scale".
#include <QtTest>

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "scalewidget.h"

namespace {

// The (minimum, maximum) pairs of the range signals seen by a spy, as floats.
QList<QPair<float, float>> ranges(const QSignalSpy &spy)
{
    QList<QPair<float, float>> result;
    for (const QList<QVariant> &arguments : spy)
        result << qMakePair(arguments.at(0).toFloat(), arguments.at(1).toFloat());
    return result;
}

using Ranges = QList<QPair<float, float>>;

} // namespace

Q_DECLARE_METATYPE(Ranges)

class TestScaleWidget : public QObject
{
    Q_OBJECT
private slots:
    void layoutAndFields();
    void setValuesEmits_data();
    void setValuesEmits();
    void listenerWritingBackEnds();
    void typingDigitByDigit_data();
    void typingDigitByDigit();
    void autoScaleEmitsOnlyAutomatic();
};

void TestScaleWidget::layoutAndFields()
{
    ScaleWidget widget(QStringLiteral("Diff1"));
    auto *pGroupBox = widget.findChild<QGroupBox *>();
    QVERIFY(pGroupBox);
    QCOMPARE(pGroupBox->title(), QStringLiteral("Diff1"));
    QCOMPARE(widget.layout()->count(), 1);
    QCOMPARE(widget.layout()->itemAt(0)->widget(), pGroupBox);
    auto *pGrid = qobject_cast<QGridLayout *>(pGroupBox->layout());
    QVERIFY(pGrid);

    const auto labelAt = [pGrid](int row) {
        auto *pLabel = qobject_cast<QLabel *>(pGrid->itemAtPosition(row, 0)->widget());
        return pLabel ? pLabel->text() : QString();
    };
    QCOMPARE(labelAt(0), QStringLiteral("Minimum"));
    QCOMPARE(labelAt(1), QStringLiteral("Maximum"));
    QCOMPARE(pGrid->itemAtPosition(0, 1)->widget(), widget.findChild<QDoubleSpinBox *>("minimum"));
    QCOMPARE(pGrid->itemAtPosition(1, 1)->widget(), widget.findChild<QDoubleSpinBox *>("maximum"));
    auto *pButton = qobject_cast<QPushButton *>(pGrid->itemAtPosition(2, 0)->widget());
    QVERIFY(pButton);
    QCOMPARE(pButton->text(), QStringLiteral("Auto scale"));
    int row, column, rowSpan, columnSpan;
    pGrid->getItemPosition(pGrid->indexOf(pButton), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(rowSpan, 1);
    QCOMPARE(columnSpan, 2);

    for (QDoubleSpinBox *pField : {widget.findChild<QDoubleSpinBox *>("minimum"),
                                   widget.findChild<QDoubleSpinBox *>("maximum")}) {
        QCOMPARE(pField->parentWidget(), pGroupBox);
        QCOMPARE(pField->minimum(), -65536.0);
        QCOMPARE(pField->maximum(), 65536.0);
        QCOMPARE(pField->decimals(), 2);
        QCOMPARE(pField->singleStep(), 1.0);
        QCOMPARE(pField->value(), 0.0);
        QVERIFY(pField->keyboardTracking());
    }
}

void TestScaleWidget::setValuesEmits_data()
{
    QTest::addColumn<double>("firstMin");
    QTest::addColumn<double>("firstMax");
    QTest::addColumn<float>("minValue");
    QTest::addColumn<float>("maxValue");
    QTest::addColumn<Ranges>("expected");
    QTest::addColumn<double>("shownMin");
    QTest::addColumn<double>("shownMax");

    QTest::newRow("new widget, (0, 255): one range")
            << 0.0 << 0.0 << 0.0f << 255.0f << Ranges {{0.0f, 255.0f}} << 0.0 << 255.0;
    QTest::newRow("new widget, (-128, 128): new minimum with old maximum, then both")
            << 0.0 << 0.0 << -128.0f << 128.0f << Ranges {{-128.0f, 0.0f}, {-128.0f, 128.0f}}
            << -128.0 << 128.0;
    QTest::newRow("new widget, (0, 0): nothing")
            << 0.0 << 0.0 << 0.0f << 0.0f << Ranges {} << 0.0 << 0.0;
    QTest::newRow("(-70000, 70000) clamps to -65536 and 65536")
            << 0.0 << 0.0 << -70000.0f << 70000.0f
            << Ranges {{-65536.0f, 0.0f}, {-65536.0f, 65536.0f}} << -65536.0 << 65536.0;
    QTest::newRow("(0.126, 10.5): minimum shown and reported as 0.13")
            << 0.0 << 0.0 << 0.126f << 10.5f << Ranges {{0.13f, 0.0f}, {0.13f, 10.5f}} << 0.13
            << 10.5;
    QTest::newRow("from (0, 255) to (-128, 128): old maximum 255 first")
            << 0.0 << 255.0 << -128.0f << 128.0f << Ranges {{-128.0f, 255.0f}, {-128.0f, 128.0f}}
            << -128.0 << 128.0;
    QTest::newRow("from (0, 255) to (0, 255): nothing")
            << 0.0 << 255.0 << 0.0f << 255.0f << Ranges {} << 0.0 << 255.0;
    QTest::newRow("minimum equal to maximum is reported unchanged")
            << 0.0 << 0.0 << 7.0f << 7.0f << Ranges {{7.0f, 0.0f}, {7.0f, 7.0f}} << 7.0 << 7.0;
    QTest::newRow("minimum above maximum is reported unchanged")
            << 0.0 << 0.0 << 300.0f << 100.0f << Ranges {{300.0f, 0.0f}, {300.0f, 100.0f}} << 300.0
            << 100.0;
    QTest::newRow("a change below 2 decimals is no change")
            << 0.0 << 255.0 << 0.001f << 255.004f << Ranges {} << 0.0 << 255.0;
}

void TestScaleWidget::setValuesEmits()
{
    QFETCH(double, firstMin);
    QFETCH(double, firstMax);
    QFETCH(float, minValue);
    QFETCH(float, maxValue);
    QFETCH(Ranges, expected);
    QFETCH(double, shownMin);
    QFETCH(double, shownMax);

    ScaleWidget widget(QStringLiteral("Main"));
    widget.setValues(float(firstMin), float(firstMax));
    QSignalSpy rangeSpy(&widget, &ScaleWidget::range);
    QSignalSpy automaticSpy(&widget, &ScaleWidget::automatic);

    widget.setValues(minValue, maxValue);
    QCOMPARE(ranges(rangeSpy), expected);
    QCOMPARE(automaticSpy.count(), 0);
    QCOMPARE(widget.findChild<QDoubleSpinBox *>("minimum")->value(), shownMin);
    QCOMPARE(widget.findChild<QDoubleSpinBox *>("maximum")->value(), shownMax);
}

void TestScaleWidget::listenerWritingBackEnds()
{
    // A listener that writes the pair it hears back into the editor: the fields emit only on a
    // real change, so the chain ends.
    ScaleWidget widget(QStringLiteral("Main"));
    QSignalSpy rangeSpy(&widget, &ScaleWidget::range);
    connect(&widget, &ScaleWidget::range, &widget,
            [&widget](float minValue, float maxValue) { widget.setValues(minValue, maxValue); });
    widget.setValues(3.0f, 4.0f);
    QCOMPARE(ranges(rangeSpy), (Ranges {{3.0f, 0.0f}, {3.0f, 4.0f}}));
}

void TestScaleWidget::typingDigitByDigit_data()
{
    QTest::addColumn<bool>("maximumField");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<Ranges>("expected");

    QTest::newRow("maximum 255: after every digit")
            << true << QStringLiteral("255")
            << Ranges {{0.0f, 2.0f}, {0.0f, 25.0f}, {0.0f, 255.0f}};
    QTest::newRow("maximum 12.5: the point alone changes nothing")
            << true << QStringLiteral("12.5")
            << Ranges {{0.0f, 1.0f}, {0.0f, 12.0f}, {0.0f, 12.5f}};
    QTest::newRow("maximum 100: a trailing 0 after 10 is a change")
            << true << QStringLiteral("100")
            << Ranges {{0.0f, 1.0f}, {0.0f, 10.0f}, {0.0f, 100.0f}};
    QTest::newRow("maximum 70000: the 5th digit is refused (above 65536)")
            << true << QStringLiteral("70000")
            << Ranges {{0.0f, 7.0f}, {0.0f, 70.0f}, {0.0f, 700.0f}, {0.0f, 7000.0f}};
    QTest::newRow("minimum -16: the minus sign alone changes nothing")
            << false << QStringLiteral("-16") << Ranges {{-1.0f, 0.0f}, {-16.0f, 0.0f}};
}

void TestScaleWidget::typingDigitByDigit()
{
    QFETCH(bool, maximumField);
    QFETCH(QString, keys);
    QFETCH(Ranges, expected);

    ScaleWidget widget(QStringLiteral("Main"));
    QDoubleSpinBox *pField = maximumField ? widget.findChild<QDoubleSpinBox *>("maximum")
                                          : widget.findChild<QDoubleSpinBox *>("minimum");
    auto *pLineEdit = pField->findChild<QLineEdit *>();
    QVERIFY(pLineEdit);
    pLineEdit->selectAll();
    QSignalSpy rangeSpy(&widget, &ScaleWidget::range);

    QTest::keyClicks(pLineEdit, keys);
    QCOMPARE(ranges(rangeSpy), expected);
}

void TestScaleWidget::autoScaleEmitsOnlyAutomatic()
{
    ScaleWidget widget(QStringLiteral("Main"));
    widget.setValues(-5.0f, 5.0f);
    auto *pButton = widget.findChild<QPushButton *>();
    QVERIFY(pButton);
    QSignalSpy rangeSpy(&widget, &ScaleWidget::range);
    QSignalSpy automaticSpy(&widget, &ScaleWidget::automatic);

    QTest::mouseClick(pButton, Qt::LeftButton);
    QCOMPARE(automaticSpy.count(), 1);
    QCOMPARE(rangeSpy.count(), 0);
    QCOMPARE(widget.findChild<QDoubleSpinBox *>("minimum")->value(), -5.0);
    QCOMPARE(widget.findChild<QDoubleSpinBox *>("maximum")->value(), 5.0);

    // A listener that answers with setValues: the fields change, and range follows.
    connect(&widget, &ScaleWidget::automatic, &widget, [&widget] { widget.setValues(1.0f, 2.0f); });
    pButton->click();
    QCOMPARE(automaticSpy.count(), 2);
    QCOMPARE(ranges(rangeSpy), (Ranges {{1.0f, 5.0f}, {1.0f, 2.0f}}));
}

QTEST_MAIN(TestScaleWidget)
#include "tst_scalewidget.moc"
