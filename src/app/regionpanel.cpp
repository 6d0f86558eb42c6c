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
    m_pTable = new QTableWidget(3, ColumnCount, pContent);
    m_pTable->setHorizontalHeaderLabels({QString(), QStringLiteral("min"), QStringLiteral("max"),
                                         QStringLiteral("mean"), QStringLiteral("std"),
                                         QStringLiteral("MSE"), QStringLiteral("PSNR"),
                                         QStringLiteral("SSIM")});
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < ColumnCount; ++column)
            m_pTable->setItem(row, column, new QTableWidgetItem);
    }
    m_pTable->item(0, 0)->setText(QStringLiteral("main"));
    m_pTable->item(1, 0)->setText(QStringLiteral("ref1"));
    m_pTable->item(2, 0)->setText(QStringLiteral("ref2"));
    pLayout->addWidget(m_pHeading);
    pLayout->addWidget(m_pTable, 1);
    setWidget(pContent);

    // Anything that changes the numbers; nothing is measured while the panel is hidden.
    connect(&session, &Session::regionChanged, this, [this](const QRect &region) {
        // A first region selected brings the panel up.
        if (!region.isEmpty() && !m_hadRegion)
            show();
        m_hadRegion = !region.isEmpty();
        refresh();
    });
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
    for (int row = 0; row < 3; ++row) {
        const RegionMeasures::Movie &movie = measures.movies[row];
        const PlaneStatistics &spread = movie.statistics;
        const double values[]
                = {spread.minimum, spread.maximum, spread.mean, spread.standardDeviation};
        for (int column = Min; column <= Deviation; ++column)
            m_pTable->item(row, column)
                    ->setText(movie.present ? text(values[column - Min]) : QString());
        const RegionMeasures::Reference *pReference
                = row > 0 ? &measures.references[row - 1] : nullptr;
        const bool compared = pReference && pReference->compared;
        m_pTable->item(row, Mse)->setText(compared ? text(pReference->metrics.mse) : QString());
        m_pTable->item(row, Psnr)->setText(compared ? text(pReference->metrics.psnr) : QString());
        m_pTable->item(row, Ssim)->setText(compared ? text(pReference->metrics.ssim) : QString());
    }
}
