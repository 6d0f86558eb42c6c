#include "scalewidget.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ScaleWidget::ScaleWidget(const QString &title, QWidget *parent, Qt::WindowFlags f)
    : QWidget(parent, f)
{
    auto *pLayout = new QVBoxLayout(this);
    // The options' row costs height: the editor gives up its margins for it, so the five
    // editors take no more of the window's height than before.
    pLayout->setContentsMargins(0, 0, 0, 0);
    auto *pGroupBox = new QGroupBox(title, this);
    pLayout->addWidget(pGroupBox);
    auto *pGrid = new QGridLayout(pGroupBox);
    auto *pMinimumLabel = new QLabel(QStringLiteral("Minimum"), pGroupBox);
    auto *pMaximumLabel = new QLabel(QStringLiteral("Maximum"), pGroupBox);
    m_pMinimum = new QDoubleSpinBox(pGroupBox);
    m_pMaximum = new QDoubleSpinBox(pGroupBox);
    // Named so that a field can be found by what it is.
    m_pMinimum->setObjectName(QStringLiteral("minimum"));
    m_pMaximum->setObjectName(QStringLiteral("maximum"));
    auto *pButton = new QPushButton(QStringLiteral("Auto scale"), pGroupBox);
    pGrid->addWidget(pMinimumLabel, 0, 0);
    pGrid->addWidget(pMaximumLabel, 1, 0);
    pGrid->addWidget(m_pMinimum, 0, 1);
    pGrid->addWidget(m_pMaximum, 1, 1);
    pGrid->addWidget(pButton, 2, 0, 1, 2);
    m_pThisFrame = new QCheckBox(QStringLiteral("this frame"), pGroupBox);
    m_pThisFrame->setToolTip(QStringLiteral("Auto scale takes the frame shown, not the movie"));
    m_pOutliers = new QCheckBox(QStringLiteral("ignore outliers"), pGroupBox);
    m_pThisFrame->setObjectName(QStringLiteral("thisFrame"));
    m_pOutliers->setObjectName(QStringLiteral("ignoreOutliers"));
    m_pOutliers->setToolTip(
            QStringLiteral("Auto scale spans the 0.1 % to the 99.9 % point of the samples"));
    pGrid->addWidget(m_pThisFrame, 3, 0);
    pGrid->addWidget(m_pOutliers, 3, 1);
    pGrid->setVerticalSpacing(3);
    // Limits before the connections: building the widget emits nothing.
    m_pMinimum->setRange(-65536, 65536);
    m_pMaximum->setRange(-65536, 65536);
    connect(pButton, &QPushButton::clicked, this, &ScaleWidget::onButton);
    connect(m_pMinimum, &QDoubleSpinBox::valueChanged, this, &ScaleWidget::onMinMaxChanged);
    connect(m_pMaximum, &QDoubleSpinBox::valueChanged, this, &ScaleWidget::onMinMaxChanged);
}

ScaleWidget::~ScaleWidget() = default;

void ScaleWidget::setValues(float minValue, float maxValue)
{
    m_pMinimum->setValue(double(minValue));
    m_pMaximum->setValue(double(maxValue));
}

void ScaleWidget::addField(const QString &text, QWidget *pField)
{
    auto *pGroupBox = findChild<QGroupBox *>();
    auto *pGrid = static_cast<QGridLayout *>(pGroupBox->layout());
    auto *pLabel = new QLabel(text, pGroupBox);
    pLabel->setBuddy(pField);
    const int row = pGrid->rowCount();
    pGrid->addWidget(pLabel, row, 0);
    pGrid->addWidget(pField, row, 1);
}
bool ScaleWidget::isThisFrame() const { return m_pThisFrame->isChecked(); }

bool ScaleWidget::ignoresOutliers() const { return m_pOutliers->isChecked(); }

void ScaleWidget::onButton() { emit automatic(); }

void ScaleWidget::onMinMaxChanged(double)
{
    emit range(float(m_pMinimum->value()), float(m_pMaximum->value()));
}
