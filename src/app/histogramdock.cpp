#include "histogramdock.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "histogram.h"
#include "histogramplot.h"
#include "session.h"

HistogramDock::HistogramDock(Session &session, QWidget *pParent)
    : QDockWidget(QStringLiteral("Histogram"), pParent)
    , m_session(session)
    , m_colourRendering(session.getColourOptions())
{
    setObjectName(QStringLiteral("histogramDock")); // named for saveState()
    auto *pContent = new QWidget(this);
    auto *pLayout = new QVBoxLayout(pContent);
    auto *pChoices = new QHBoxLayout();
    m_pFrameButton = new QRadioButton(QStringLiteral("Frame"), pContent);
    m_pRegionButton = new QRadioButton(QStringLiteral("Region"), pContent);
    m_pFrameButton->setChecked(true);
    auto *pGroup = new QButtonGroup(pContent);
    pGroup->addButton(m_pFrameButton);
    pGroup->addButton(m_pRegionButton);
    m_pLogarithmic = new QCheckBox(QStringLiteral("Logarithmic"), pContent);
    pChoices->addWidget(m_pFrameButton);
    pChoices->addWidget(m_pRegionButton);
    pChoices->addStretch(1);
    pChoices->addWidget(m_pLogarithmic);
    m_pPlot = new HistogramPlot(pContent);
    m_pPlot->setToolTip(QStringLiteral("Drag a marker to set the view's display range"));
    m_pSummary = new QLabel(pContent);
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pLayout->addLayout(pChoices);
    pLayout->addWidget(m_pPlot, 1);
    pLayout->addWidget(m_pSummary);
    setWidget(pContent);

    m_pCountTimer = new QTimer(this);
    m_pCountTimer->setSingleShot(true);
    m_pCountTimer->setInterval(0);
    connect(m_pCountTimer, &QTimer::timeout, this, &HistogramDock::count);
    onRegionChanged();
    showRange();

    connect(m_pRegionButton, &QRadioButton::toggled, this, &HistogramDock::countLater);
    connect(m_pLogarithmic, &QCheckBox::toggled, m_pPlot, &HistogramPlot::setLogarithmic);
    connect(m_pPlot, &HistogramPlot::rangeDragged, this, [this](const DisplayRange &range) {
        m_session.setRange(m_session.getViewType(), range);
    });
    connect(&m_session, &Session::rangeChanged, this, &HistogramDock::showRange);
    connect(&m_session, &Session::viewTypeChanged, this, [this]() {
        showRange();
        countLater();
    });
    connect(&m_session, &Session::colourChanged, this, [this]() {
        m_colourRendering.setOptions(m_session.getColourOptions());
        countLater();
    });
    connect(&m_session, &Session::regionChanged, this, &HistogramDock::onRegionChanged);
    for (auto changed : {&Session::frameChanged, &Session::planeChanged, &Session::movieChanged})
        connect(&m_session, changed, this, &HistogramDock::countLater);
    connect(&m_session, &Session::offsetChanged, this, &HistogramDock::countLater);
}

void HistogramDock::showEvent(QShowEvent *pEvent)
{
    QDockWidget::showEvent(pEvent);
    if (m_stale)
        countLater();
}

void HistogramDock::countLater()
{
    m_stale = true;
    if (isVisible())
        m_pCountTimer->start();
}

void HistogramDock::count()
{
    if (!isVisible())
        return;
    m_stale = false;
    const QRect region = m_pRegionButton->isChecked() ? m_session.getRegion() : QRect();
    const Histogram histogram = Histogram::ofView(
            m_session.getMovieSet(), m_session.getViewType(), m_session.getFrame(), region,
            m_session.isColour() ? &m_colourRendering : nullptr);
    m_pPlot->setHistogram(histogram);
    QString summary;
    if (!histogram.isEmpty()) {
        summary = (histogram.getChannelCount() == 3 ? QStringLiteral("%L1 pixels")
                                                    : QStringLiteral("%L1 samples"))
                          .arg(histogram.getTotal());
        if (histogram.getBinWidth() > 1)
            summary += QStringLiteral(", %1 values a bar").arg(histogram.getBinWidth());
        if (histogram.getOutside() > 0)
            summary += QStringLiteral(", %L1 outside %2 … %3")
                               .arg(histogram.getOutside())
                               .arg(histogram.getLowest())
                               .arg(histogram.getHighest());
    }
    m_pSummary->setText(summary);
}

void HistogramDock::showRange() { m_pPlot->setRange(m_session.getRange(m_session.getViewType())); }

void HistogramDock::onRegionChanged()
{
    const bool hasRegion = !m_session.getRegion().isEmpty();
    m_pRegionButton->setEnabled(hasRegion);
    if (!hasRegion && m_pRegionButton->isChecked())
        m_pFrameButton->setChecked(true); // counts again through toggled
    else if (m_pRegionButton->isChecked())
        countLater();
}
