#include "dimensionsdialog.h"

#include "framesizevalidator.h"

DimensionsDialog::DimensionsDialog(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    // The validators refuse keys that lead out of 2..4096 but let partial input (empty, 0, 1)
    // through; judging the size is the raw reader's job.
    m_pWidth->setValidator(new FrameSizeValidator(2, 4096, this));
    m_pHeight->setValidator(new FrameSizeValidator(2, 4096, this));
    m_pYUVCheckBox->setChecked(true);
    m_pApplyOtherBox->setChecked(false);
}

DimensionsDialog::~DimensionsDialog() = default;

void DimensionsDialog::setFrameSize(int width, int height)
{
    m_pWidth->setText(QString::number(width));
    m_pHeight->setText(QString::number(height));
}

void DimensionsDialog::getFrameSize(int &width, int &height) const
{
    // toInt gives 0 for text that is not a number, which is the answer wanted here.
    width = m_pWidth->text().toInt(nullptr, 10);
    height = m_pHeight->text().toInt(nullptr, 10);
}

void DimensionsDialog::setYUV(bool isYUV) { m_pYUVCheckBox->setChecked(isYUV); }

bool DimensionsDialog::isYUV() const { return m_pYUVCheckBox->isChecked(); }

bool DimensionsDialog::applyToOthers() const { return m_pApplyOtherBox->isChecked(); }
