#pragma once

#include "framemetrics.h"

#include <QAbstractTableModel>

#include <vector>

// The rows of the metrics dock's table over the results themselves: one row per main frame
// compared, with PSNR, MSE and SSIM of one plane against reference 1 and 2. Sorting orders an
// index of the rows, so that hundreds of thousands of frames sort at once; a cell with no value
// (no partner, or a plane not compared) is empty and sorts last in either order. Frames are
// shown counted from 1, as everywhere in the window.
class MetricsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FrameColumn, Psnr1, Mse1, Ssim1, Psnr2, Mse2, Ssim2, ColumnCount };

    explicit MetricsTableModel(QObject *pParent = nullptr);

    void clear();
    // Appends results in frame order, reference 1 before 2 for the same frame; the rows stay in
    // the order last asked for.
    void add(const std::vector<FrameMetrics> &results);
    // The plane the numbers are of: 0 = Y, 1 = U, 2 = V.
    void setPlane(int plane);
    // The frame of a row as it is shown now, counted from 0; -1 for no row.
    int getFrame(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Row
    {
        int frame = 0;
        int results[2] = {-1, -1}; // into m_results, for reference 1 and 2; -1: none
    };
    // The measures of row m_rows[row] against the reference of a column; null when the row has
    // none (no partner, or the plane not compared with that reference).
    const PlaneMetrics *planeOf(int row, int column) const;
    // The value of a cell of row m_rows[row]; NaN when it has none.
    double value(int row, int column) const;
    // Puts m_order in the order of m_sortColumn and m_sortOrder, keeping selections on their rows.
    void sortRows();

    std::vector<FrameMetrics> m_results;
    std::vector<Row> m_rows; // in frame order
    std::vector<int> m_order; // shown row -> index into m_rows
    int m_plane = 0;
    int m_sortColumn = FrameColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
