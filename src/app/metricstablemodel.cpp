#include "metricstablemodel.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

const char *const headers[MetricsTableModel::ColumnCount]
        = {"Frame", "PSNR 1", "MSE 1", "SSIM 1", "PSNR 2", "MSE 2", "SSIM 2"};

} // namespace

MetricsTableModel::MetricsTableModel(QObject *pParent) : QAbstractTableModel(pParent) { }

void MetricsTableModel::clear()
{
    beginResetModel();
    m_results.clear();
    m_rows.clear();
    m_order.clear();
    endResetModel();
}

void MetricsTableModel::add(const std::vector<FrameMetrics> &results)
{
    if (results.empty())
        return;
    const size_t oldRows = m_rows.size();
    // The last row may gain its reference 2 now.
    bool lastRowChanged = false;
    for (const FrameMetrics &metrics : results) {
        if (metrics.reference < 1 || metrics.reference > 2)
            continue;
        if (m_rows.empty() || m_rows.back().frame != metrics.frame) {
            m_rows.push_back(Row {metrics.frame, {-1, -1}});
        } else if (m_rows.size() == oldRows) {
            lastRowChanged = true;
        }
        m_rows.back().results[metrics.reference - 1] = int(m_results.size());
        m_results.push_back(metrics);
    }
    if (lastRowChanged)
        emit dataChanged(index(0, Psnr1), index(int(oldRows) - 1, ColumnCount - 1));
    if (m_rows.size() > oldRows) {
        beginInsertRows(QModelIndex(), int(oldRows), int(m_rows.size()) - 1);
        for (size_t row = oldRows; row < m_rows.size(); ++row)
            m_order.push_back(int(row));
        endInsertRows();
    }
    // Rows come in frame order: only another order needs sorting again.
    if (m_sortColumn != FrameColumn || m_sortOrder != Qt::AscendingOrder)
        sortRows();
}

void MetricsTableModel::setPlane(int plane)
{
    if (plane == m_plane || plane < 0 || plane > 2)
        return;
    m_plane = plane;
    if (m_rows.empty())
        return;
    emit dataChanged(index(0, Psnr1), index(rowCount() - 1, ColumnCount - 1));
    if (m_sortColumn != FrameColumn)
        sortRows();
}

int MetricsTableModel::getFrame(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(m_order[size_t(row)])].frame : -1;
}

int MetricsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int MetricsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const PlaneMetrics *MetricsTableModel::planeOf(int row, int column) const
{
    const int result = m_rows[size_t(row)].results[column < Psnr2 ? 0 : 1];
    // A reference compared on Y only has no U and V.
    if (result < 0 || m_plane >= m_results[size_t(result)].planeCount)
        return nullptr;
    return &m_results[size_t(result)].planes[size_t(m_plane)];
}

double MetricsTableModel::value(int row, int column) const
{
    if (column == FrameColumn)
        return m_rows[size_t(row)].frame;
    const PlaneMetrics *pPlane = planeOf(row, column);
    if (!pPlane)
        return std::nan("");
    const int measure = column - (column < Psnr2 ? Psnr1 : Psnr2);
    return measure == 0 ? pPlane->psnr : measure == 1 ? pPlane->mse : pPlane->ssim;
}

QVariant MetricsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    const int row = m_order[size_t(index.row())];
    if (index.column() == FrameColumn)
        return m_rows[size_t(row)].frame + 1;
    // Empty without a value; the SSIM of a plane too small for one window is NaN, and shown so.
    return planeOf(row, index.column()) ? QVariant(value(row, index.column())) : QVariant();
}

QVariant MetricsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < ColumnCount)
        return QString::fromLatin1(headers[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void MetricsTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows();
}

void MetricsTableModel::sortRows()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> rowsBefore;
    rowsBefore.reserve(size_t(before.size()));
    for (const QModelIndex &index : before)
        rowsBefore.push_back(m_order[size_t(index.row())]);

    std::vector<double> keys(m_rows.size());
    for (size_t row = 0; row < m_rows.size(); ++row)
        keys[row] = value(int(row), m_sortColumn);
    // m_rows is in frame order, so equal values stay in frame order.
    std::iota(m_order.begin(), m_order.end(), 0);
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
        const double x = keys[size_t(a)], y = keys[size_t(b)];
        if (std::isnan(x) || std::isnan(y))
            return !std::isnan(x) && std::isnan(y);
        return ascending ? x < y : x > y;
    });

    std::vector<int> shownAt(m_order.size());
    for (size_t shown = 0; shown < m_order.size(); ++shown)
        shownAt[size_t(m_order[shown])] = int(shown);
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i)
        after.append(index(shownAt[size_t(rowsBefore[size_t(i)])], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
