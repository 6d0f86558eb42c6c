#pragma once

#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;

// Editor of one display range: two fields of -65536..65536 (room for 16-bit samples) with 2
// decimals and an "Auto scale" button, with two options for that button: "this frame" (the
// frame shown, not the whole movie) and "ignore outliers" (from the 0.1 % to the 99.9 % point).
// It keeps no range beyond what its fields show. The fields are named "minimum" and "maximum",
// the options "thisFrame" and "ignoreOutliers".
class ScaleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ScaleWidget(const QString &title, QWidget *parent = nullptr, Qt::WindowFlags f = {});
    ~ScaleWidget() override;

    // Sets the minimum field, then the maximum field; each real change emits range().
    void setValues(float minValue, float maxValue);

    // The options "Auto scale" is to use; both off: the whole movie, every sample.
    bool isThisFrame() const;
    bool ignoresOutliers() const;

    // Another labelled field of the view below the range's own, in the same box; the editor
    // takes pField as its child.
    void addField(const QString &text, QWidget *pField);

signals:
    // Both fields as they now read, after either changed.
    void range(float minValue, float maxValue);
    // "Auto scale" was pressed.
    void automatic();

private slots:
    void onButton();
    void onMinMaxChanged(double);

private:
    QDoubleSpinBox *m_pMaximum = nullptr;
    QDoubleSpinBox *m_pMinimum = nullptr;
    QCheckBox *m_pThisFrame = nullptr;
    QCheckBox *m_pOutliers = nullptr;
};
