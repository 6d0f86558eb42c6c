#include "slicebinding.h"

#include <QSlider>

#include "colourrendering.h"
#include "session.h"
#include "slicewidget.h"
#include "viewtype.h"

SliceBinding::SliceBinding(Session &session, SliceWidget &sliceWidget, QObject *pParent,
                           bool followView)
    : QObject(pParent), m_session(session), m_sliceWidget(sliceWidget)
{
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        showRange(view);
    if (followView)
        m_sliceWidget.setViewType(m_session.getViewType());
    showMovies();
    showColour();
    showFrame(m_session.getFrame());

    connect(&m_session, &Session::movieChanged, this, &SliceBinding::showMovies);
    connect(&m_session, &Session::offsetChanged, this, &SliceBinding::showMovies);
    connect(&m_session, &Session::rangeChanged, this,
            [this](int viewType) { showRange(viewType); });
    if (followView)
        connect(&m_session, &Session::viewTypeChanged, &m_sliceWidget, &SliceWidget::setViewType);
    connect(&m_session, &Session::frameChanged, this, &SliceBinding::showFrame);
    connect(&m_session, &Session::colourChanged, this, &SliceBinding::showColour);
    for (int ref = 1; ref <= 2; ++ref)
        m_sliceWidget.setDifferenceDisplay(ref, m_session.getDifferenceDisplay(ref));
    connect(&m_session, &Session::differenceDisplayChanged, &m_sliceWidget,
            &SliceWidget::setDifferenceDisplay);
    // Every redraw reports the frame the widget settled on, clamped to its movies.
    connect(&m_sliceWidget, &SliceWidget::slicePosition, &m_session, &Session::setFrame);
}

void SliceBinding::showMovies() { m_sliceWidget.setMovies(m_session.getMovieSet()); }

void SliceBinding::showColour()
{
    m_sliceWidget.setColour(m_session.isColour(), ColourRendering(m_session.getColourOptions()));
}

void SliceBinding::showRange(int viewType)
{
    using Setter = void (SliceWidget::*)(float, float);
    static constexpr Setter setters[5]
            = {&SliceWidget::setMainRange, &SliceWidget::setRef1Range, &SliceWidget::setRef2Range,
               &SliceWidget::setDiff1Range, &SliceWidget::setDiff2Range};
    const DisplayRange range = m_session.getRange(viewType);
    (m_sliceWidget.*setters[viewType])(range.minValue, range.maxValue);
}

void SliceBinding::showFrame(int frame)
{
    if (m_sliceWidget.getFixedCoordinate() != frame)
        m_sliceWidget.getSlider()->setValue(frame);
}
