#include "statusreadout.h"

#include <cstdio>

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include "colourrendering.h"
#include "image3d.h"
#include "session.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "statustexts.h"
#include "viewactions.h"

StatusReadout::StatusReadout(Session &session, SliceWidget &sliceWidget, QMainWindow &window)
    : QObject(&window), m_session(session), m_sliceWidget(sliceWidget), m_window(window)
{
    QStatusBar *pBar = m_window.statusBar();
    auto addLabel = [pBar](const char *name, bool permanent) {
        auto *pLabel = new QLabel(pBar);
        pLabel->setObjectName(QString::fromUtf8(name));
        if (permanent)
            pBar->addPermanentWidget(pLabel);
        else
            pBar->addWidget(pLabel, 1);
        return pLabel;
    };
    m_pReadoutLabel = addLabel("readout", false);
    m_pMismatchLabel = addLabel("mismatch", true);
    m_pDisplayLabel = addLabel("display", true);
    m_pViewLabel = addLabel("view", true);
    m_pFrameLabel = addLabel("frame", true);
    m_pZoomLabel = addLabel("zoom", true);
    m_report = qEnvironmentVariableIsSet("RAWCOMPARE_STATUS_TO_STDERR");
    showZoom();
}

void StatusReadout::showPosition(int pos, int numFrames)
{
    m_pViewLabel->setText(ViewActions::viewText(m_session.getViewType()));
    m_pFrameLabel->setText(numFrames > 0 ? QStringLiteral("frame %1/%2").arg(pos + 1).arg(numFrames)
                                         : QStringLiteral("frame 0/0"));
    m_window.setWindowTitle(StatusTexts::windowTitle(m_session.getMovie(Session::Main),
                                                     m_session.getMovie(Session::Reference1),
                                                     m_session.getMovie(Session::Reference2)));
    m_pMismatchLabel->setText(StatusTexts::mismatch(m_session.getMovieSet()));
    updateDisplay();
    updateReadout();
}

void StatusReadout::updateDisplay()
{
    const MovieSet::ViewSources sources
            = m_session.getMovieSet().sources(m_session.getViewType(), m_session.getFrame());
    const QString plane = QStringList {"Y", "U", "V"}.value(m_session.getPlane());
    QString text = plane;
    if (m_sliceWidget.showsColour(m_sliceWidget.getFixedCoordinate())) {
        text = m_sliceWidget.getColourRendering().describe(sources.pA);
    } else if (m_session.isColour() && m_session.hasColourMovie() && !sources.difference
               && sources.pA && !ColourRendering::hasColour(sources.pA)) {
        text = QStringLiteral("%1 has no chroma: %2 in gray").arg(sources.pA->getName(), plane);
    }
    m_pDisplayLabel->setText(text);
}

void StatusReadout::showPixel(int x, int y)
{
    m_hoverX = x;
    m_hoverY = y;
    updateReadout();
}

void StatusReadout::updateReadout()
{
    const int frame = m_sliceWidget.getFixedCoordinate();
    QString text = StatusTexts::readout(m_session.getMovieSet(), frame, m_hoverX, m_hoverY,
                                        m_sliceWidget.getImageHeight());
    const QString block
            = StatusTexts::blockReadout(m_sliceWidget.getRenderer(), m_session.getMovieSet(),
                                        m_sliceWidget.getViewType(), frame, m_hoverX, m_hoverY);
    if (!block.isEmpty())
        text += QStringLiteral("  ") + block;
    if (m_sliceWidget.showsColour(frame)) {
        const MovieSet::ViewSources sources
                = m_session.getMovieSet().sources(m_session.getViewType(), frame);
        const QString colour = StatusTexts::colourReadout(
                m_sliceWidget.getColourRendering(), sources.pA, sources.frameA, m_hoverX, m_hoverY);
        if (!colour.isEmpty())
            text += QStringLiteral("  ") + colour;
    }
    m_pReadoutLabel->setText(text);
    report();
}

void StatusReadout::showZoom()
{
    m_pZoomLabel->setText(
            QStringLiteral("%1 %").arg(qRound(m_sliceWidget.getView()->getZoom() * 100)));
    report();
}

void StatusReadout::showNote(const QString &note)
{
    if (!note.isEmpty())
        m_window.statusBar()->showMessage(note, 15000);
}

void StatusReadout::report()
{
    if (!m_report)
        return;
    const QString line
            = QStringList {m_pReadoutLabel->text(), m_pMismatchLabel->text(), m_pViewLabel->text(),
                           m_pFrameLabel->text(), m_pZoomLabel->text()}
                      .join(QStringLiteral(" | "));
    if (line == m_reported)
        return;
    m_reported = line;
    std::fprintf(stderr, "status: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}
