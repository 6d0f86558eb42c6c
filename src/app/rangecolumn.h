#pragma once

#include <memory>

#include <QWidget>

class DialogProvider;
class OffsetFinder;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class ScaleWidget;
class Session;

// The column beside the picture: one range editor per view (ViewType order), the offsets of
// the two references in their editors with "Find offset", and the position label below. Edits go to
// the session; the session's ranges and offsets come back into the fields. A difference's editor
// also holds how the difference is shown: the mode, the threshold (a mask's, and the one "Next
// difference" looks for) and the block size. "Auto scale" computes a view's range from its movies,
// with progress and Cancel through the dialogs.
class RangeColumn : public QWidget
{
    Q_OBJECT
public:
    // The session and the dialog provider (which the window may replace) stay the caller's.
    RangeColumn(Session &session, const std::unique_ptr<DialogProvider> &dialogs, QWidget *pParent);

    // Frame pos (counted from 0) of numFrames: "pos + 1/numFrames", "0/0" without frames.
    void showPosition(int pos, int numFrames);
    // Computes view viewType's range from its movies as its editor's options say and puts it
    // into its editor, and so into the session; a cancelled or failed computation changes nothing.
    void setAutomaticRange(int viewType);

signals:
    // What "Find offset" found, for the status bar.
    void noted(const QString &note);

private:
    void createOffsetBox(int ref);
    void createDifferenceFields(int ref);
    void showDifferenceDisplay(int ref);
    void showRange(int viewType);

    Session &m_session;
    const std::unique_ptr<DialogProvider> &m_dialogs;
    ScaleWidget *m_pEditors[5] = {};
    QSpinBox *m_pOffsetBoxes[2] = {};
    QComboBox *m_pModeBoxes[2] = {};
    QDoubleSpinBox *m_pThresholdBoxes[2] = {};
    QComboBox *m_pBlockBoxes[2] = {};
    QLabel *m_pPositionLabel = nullptr;
    OffsetFinder *m_pOffsetFinder = nullptr;
};
