#pragma once

#include <QDialog>

#include "ui_dimensionsdialog.h"

class PixelFormat;

// Asks the frame width and height (pixels) of a raw movie, its pixel format and the plane to
// view, and whether the answers hold for the further raw files of the same selection. The YUV
// check box stays in step with the format: checked means yuv420p, unchecked gray. Given the
// file's size, it shows what the file holds under the current answers.
class DimensionsDialog : public QDialog, public Ui::DimensionsDialog
{
public:
    // The largest width or height the fields take: 8K (7680 x 4320) and beyond fit.
    static constexpr int MaxSide = 16384;

    explicit DimensionsDialog(QWidget *parent = nullptr);
    ~DimensionsDialog() override;

    void setFrameSize(int width, int height);
    // A field that does not hold a decimal integer (an empty one, say) gives 0.
    void getFrameSize(int &width, int &height) const;
    void setYUV(bool isYUV);
    bool isYUV() const;
    bool applyToOthers() const;

    void setFormat(const PixelFormat &format);
    const PixelFormat &getFormat() const;
    // 0 = Y, 1 = U, 2 = V; a format without chroma always gives 0.
    void setPlane(int plane);
    int getPlane() const;
    // The frames to take: from `first` (counted from 0), `count` of them, -1 for all the rest.
    void setFrameRange(int first, int count);
    int getFirstFrame() const;
    int getFrameCount() const;
    // Bytes in the file asked about; negative: not known, nothing is shown.
    void setFileSize(qint64 bytes);

private:
    void onFormatChanged();
    void onYUVToggled(bool checked);
    void updateFileInfo();

    qint64 m_fileSize = -1;
};
