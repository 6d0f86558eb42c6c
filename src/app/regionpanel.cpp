#include "regionpanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "metricsformatter.h"
#include "regionmeasures.h"
#include "session.h"

namespace {

QString text(double value) { return QString::fromLatin1(MetricsFormatter::number(value)); }

} // namespace

RegionPanel::RegionPanel(Session &session, QWidget *pParent)
    : QDockWidget(QStringLiteral("Region"), pParent), m_session(session)
{
    setObjectName(QStringLiteral("regionPanel"));
    auto *pContent = new QWidget(this);
    auto *pLayout = new QVBoxLayout(pContent);
    m_pHeading = new QLabel(pContent);
    m_pHeading->setWordWrap(true);
    // One column a movie, one row a measure: narrow enough for a dock.
    m_pTable = new QTableWidget(RowCount, 3, pContent);
    m_pTable->setHorizontalHeaderLabels(
            {QStringLiteral("main"), QStringLiteral("ref1"), QStringLiteral("ref2")});
    m_pTable->setVerticalHeaderLabels({QStringLiteral("min"), QStringLiteral("max"),
                                       QStringLiteral("mean"), QStringLiteral("std"),
                                       QStringLiteral("MSE"), QStringLiteral("PSNR"),
                                       QStringLiteral("SSIM")});
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < RowCount; ++row) {
        for (int column = 0; column < 3; ++column) {
            auto *pItem = new QTableWidgetItem;
            pItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_pTable->setItem(row, column, pItem);
        }
    }
    pContent->setMinimumWidth(320);
    pLayout->addWidget(m_pHeading);
    pLayout->addWidget(m_pTable, 1);
    setWidget(pContent);

    // Anything that changes the numbers; nothing is measured while the panel is hidden.
    connect(&session, &Session::regionChanged, this, &RegionPanel::refresh);
    connect(&session, &Session::frameChanged, this, &RegionPanel::refresh);
    connect(&session, &Session::movieChanged, this, &RegionPanel::refresh);
    connect(&session, &Session::offsetChanged, this, &RegionPanel::refresh);
    connect(&session, &Session::planeChanged, this, &RegionPanel::refresh);
    refresh();
}

void RegionPanel::showEvent(QShowEvent *pEvent)
{
    QDockWidget::showEvent(pEvent);
    refresh();
}

void RegionPanel::refresh()
{
    if (!isVisible())
        return;
    const QRect region = m_session.getRegion();
    const char *const planes[3] = {"Y", "U", "V"};
    m_pHeading->setText(
            region.isEmpty() ? QStringLiteral("No region: Shift+drag in a picture to select one.")
                             : QStringLiteral("Region %1,%2, %3×%4 of frame %5, plane %6")
                                       .arg(region.x())
                                       .arg(region.y())
                                       .arg(region.width())
                                       .arg(region.height())
                                       .arg(m_session.getFrame() + 1)
                                       .arg(QLatin1String(planes[m_session.getPlane()])));
    const RegionMeasures measures
            = RegionMeasures::compute(m_session.getMovieSet(), m_session.getFrame(), region);
    for (int column = 0; column < 3; ++column) {
        const RegionMeasures::Movie &movie = measures.movies[column];
        const PlaneStatistics &spread = movie.statistics;
        const double values[]
                = {spread.minimum, spread.maximum, spread.mean, spread.standardDeviation};
        for (int row = Min; row <= Deviation; ++row)
            m_pTable->item(row, column)->setText(movie.present ? text(values[row]) : QString());
        const RegionMeasures::Reference *pReference
                = column > 0 ? &measures.references[column - 1] : nullptr;
        const bool compared = pReference && pReference->compared;
        m_pTable->item(Mse, column)->setText(compared ? text(pReference->metrics.mse) : QString());
        m_pTable->item(Psnr, column)
                ->setText(compared ? text(pReference->metrics.psnr) : QString());
        m_pTable->item(Ssim, column)
                ->setText(compared ? text(pReference->metrics.ssim) : QString());
    }
}
