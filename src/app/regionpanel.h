#pragma once

#include <QDockWidget>

class QLabel;
class QTableWidget;
class Session;

// The "Region" panel: for the frame shown and the region selected with Shift+drag (or
// --region), each loaded movie's smallest, largest and mean sample and their standard deviation
// in the plane shown, and each reference's MSE, PSNR and SSIM against the main movie there.
// Follows the session while shown.
class RegionPanel : public QDockWidget
{
    Q_OBJECT
public:
    RegionPanel(Session &session, QWidget *pParent = nullptr);

    // The table's rows; its columns are main, reference 1 and reference 2.
    enum Row : int { Min = 0, Max, Mean, Deviation, Mse, Psnr, Ssim, RowCount };

protected:
    void showEvent(QShowEvent *pEvent) override;

private:
    void refresh();

    Session &m_session;
    QLabel *m_pHeading = nullptr;
    QTableWidget *m_pTable = nullptr;
};
