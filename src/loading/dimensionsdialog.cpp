#include "dimensionsdialog.h"

#include <QSignalBlocker>

#include "framesizevalidator.h"
#include "pixelformat.h"

DimensionsDialog::DimensionsDialog(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    // The validators refuse keys that lead out of 2..MaxSide but let partial input (empty, 0, 1)
    // through; judging the size is the raw reader's job.
    m_pWidth->setValidator(new FrameSizeValidator(2, MaxSide, this));
    m_pHeight->setValidator(new FrameSizeValidator(2, MaxSide, this));
    m_pFormatBox->addItems(PixelFormat::names());
    m_pPlaneBox->addItems({QStringLiteral("Y"), QStringLiteral("U"), QStringLiteral("V")});
    m_pYUVCheckBox->setChecked(true);
    m_pApplyOtherBox->setChecked(false);
    setFormat(*PixelFormat::byName(QStringLiteral("yuv420p")));
    m_pFileInfo->hide();

    connect(m_pFormatBox, &QComboBox::currentIndexChanged, this,
            &DimensionsDialog::onFormatChanged);
    connect(m_pYUVCheckBox, &QCheckBox::toggled, this, &DimensionsDialog::onYUVToggled);
    connect(m_pWidth, &QLineEdit::textChanged, this, &DimensionsDialog::updateFileInfo);
    connect(m_pHeight, &QLineEdit::textChanged, this, &DimensionsDialog::updateFileInfo);
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

void DimensionsDialog::setFormat(const PixelFormat &format)
{
    m_pFormatBox->setCurrentText(format.getName());
    onFormatChanged();
}

const PixelFormat &DimensionsDialog::getFormat() const
{
    return *PixelFormat::byName(m_pFormatBox->currentText());
}

void DimensionsDialog::setPlane(int plane)
{
    if (m_pPlaneBox->isEnabled())
        m_pPlaneBox->setCurrentIndex(qBound(0, plane, 2));
}

int DimensionsDialog::getPlane() const { return m_pPlaneBox->currentIndex(); }

void DimensionsDialog::setFileSize(qint64 bytes)
{
    m_fileSize = bytes;
    m_pFileInfo->setVisible(bytes >= 0);
    updateFileInfo();
}

void DimensionsDialog::onFormatChanged()
{
    const PixelFormat &format = getFormat();
    // The check box follows without answering back.
    const QSignalBlocker blocker(m_pYUVCheckBox);
    m_pYUVCheckBox->setChecked(format.getName() == QLatin1String("yuv420p"));
    if (format.getPlaneCount() == 1)
        m_pPlaneBox->setCurrentIndex(0);
    m_pPlaneBox->setEnabled(format.getPlaneCount() > 1);
    updateFileInfo();
}

void DimensionsDialog::onYUVToggled(bool checked)
{
    m_pFormatBox->setCurrentText(checked ? QStringLiteral("yuv420p") : QStringLiteral("gray"));
}

void DimensionsDialog::updateFileInfo()
{
    if (m_fileSize < 0)
        return;
    int width = 0, height = 0;
    getFrameSize(width, height);
    const qint64 frameBytes = getFormat().getFrameBytes(width, height);
    if (frameBytes <= 0) {
        m_pFileInfo->setText(
                QStringLiteral("%1 bytes: enter a width and a height").arg(m_fileSize));
        return;
    }
    const qint64 frames = m_fileSize / frameBytes;
    const qint64 left = m_fileSize % frameBytes;
    const QString whole
            = frames == 1 ? QStringLiteral("1 frame") : QStringLiteral("%1 frames").arg(frames);
    m_pFileInfo->setText(left ? QStringLiteral("%1 and %2 bytes left over").arg(whole).arg(left)
                              : whole);
}

void DimensionsDialog::setFrameRange(int first, int count)
{
    m_pFirstFrame->setValue(first);
    // 0 shows as "all".
    m_pFrameCount->setValue(count < 0 ? 0 : count);
}

int DimensionsDialog::getFirstFrame() const { return m_pFirstFrame->value(); }

int DimensionsDialog::getFrameCount() const
{
    return m_pFrameCount->value() == 0 ? -1 : m_pFrameCount->value();
}
