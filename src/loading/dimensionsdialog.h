#pragma once

#include <QDialog>

#include "ui_dimensionsdialog.h"

// Asks the frame width and height (pixels) of a raw movie, YUV 4:2:0 or gray only, and
// whether the answers hold for the further raw files of the same selection.
class DimensionsDialog : public QDialog, public Ui::DimensionsDialog
{
public:
    explicit DimensionsDialog(QWidget *parent = nullptr);
    ~DimensionsDialog() override;

    void setFrameSize(int width, int height);
    // A field that does not hold a decimal integer (an empty one, say) gives 0.
    void getFrameSize(int &width, int &height) const;
    void setYUV(bool isYUV);
    bool isYUV() const;
    bool applyToOthers() const;
};
