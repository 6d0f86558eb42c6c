#include "comparisonarea.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "pngwriter.h"
#include "session.h"
#include "slicebinding.h"
#include "slicescene.h"
#include "slicewidget.h"
#include "sliceview.h"
#include "viewtype.h"

namespace {

const char *const ViewNames[5] = {"main", "ref1", "ref2", "main − ref1", "main − ref2"};
// The band above each pane's picture in an exported layout, for its label.
constexpr int LabelBand = 20;

bool oneView(const Layout &layout) { return layout.kind == Layout::Kind::Single; }

} // namespace

ComparisonArea::ComparisonArea(Session &session, QWidget *pParent)
    : QWidget(pParent), m_session(session)
{
    m_pGrid = new QGridLayout(this);
    m_pGrid->setContentsMargins(0, 0, 0, 0);
    m_pGrid->setSpacing(4);
    addPane();
    m_pFlickerTimer = new QTimer(this);
    connect(m_pFlickerTimer, &QTimer::timeout, this,
            [this]() { setFlickerShown(!m_flickerShowsB); });

    connect(&m_session, &Session::layoutChanged, this, &ComparisonArea::applyLayout);
    connect(&m_session, &Session::viewTypeChanged, this, [this](int viewType) {
        // The first pane is the session's view; a layout of several keeps it as its first.
        Layout layout = m_session.getLayout();
        if (!oneView(layout) && layout.views.value(0) != viewType) {
            layout.views[0] = viewType;
            m_session.setLayout(layout);
        }
        showLabels();
    });
    connect(&m_session, &Session::offsetChanged, this, &ComparisonArea::showLabels);
    connect(&m_session, &Session::movieChanged, this, &ComparisonArea::showLabels);
    connect(&m_session, &Session::rangeChanged, this, &ComparisonArea::showLabels);
    connect(&m_session, &Session::differenceDisplayChanged, this, &ComparisonArea::showLabels);
    connect(&m_session, &Session::regionChanged, this, &ComparisonArea::showRegion);
}

ComparisonArea::~ComparisonArea()
{
    // The panes go while this object is whole, and quietly: their views' last events and
    // signals reach nothing here (the session may be gone already).
    m_locking = true;
    blockSignals(true);
    const QList<SliceWidget *> panes = std::exchange(m_panes, {});
    for (SliceWidget *pPane : panes) {
        pPane->getView()->removeEventFilter(this);
        pPane->getView()->viewport()->removeEventFilter(this);
    }
    m_labels.clear();
    qDeleteAll(m_bindings);
    m_bindings.clear();
    qDeleteAll(panes);
}

void ComparisonArea::start()
{
    m_bindings.append(new SliceBinding(m_session, *m_panes.first(), this));
    applyLayout();
}

SliceWidget *ComparisonArea::addPane()
{
    auto *pPane = new SliceWidget(this);
    const int index = int(m_panes.size());
    m_panes.append(pPane);
    SliceView *pView = pPane->getView();
    pView->installEventFilter(this);
    pView->viewport()->installEventFilter(this);

    auto *pLabel = new QToolButton(pView->viewport());
    pLabel->setObjectName(QStringLiteral("paneLabel"));
    pLabel->setPopupMode(QToolButton::InstantPopup);
    pLabel->setStyleSheet(QStringLiteral(
            "QToolButton { color: white; background: rgba(0, 0, 0, 160); padding: 2px 6px; }"));
    auto *pMenu = new QMenu(pLabel);
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        pMenu->addAction(QString::fromUtf8(ViewNames[view]), this, [this, index, view]() {
            if (index == 0) {
                m_session.setViewType(view);
                return;
            }
            Layout layout = m_session.getLayout();
            if (index < layout.views.size())
                layout.views[index] = view;
            m_session.setLayout(layout);
        });
    }
    pLabel->setMenu(pMenu);
    pLabel->move(8, 8);
    m_labels.append(pLabel);

    connect(pView, &SliceView::zoomChanged, this, [this, pPane]() { followZoom(pPane); });
    for (QScrollBar *pBar : {pView->horizontalScrollBar(), pView->verticalScrollBar()})
        connect(pBar, &QScrollBar::valueChanged, this, [this, pPane]() { followScroll(pPane); });
    connect(pPane, &SliceWidget::pixelHovered, this, [this](int x, int row) {
        showCrossHair(x, row);
        emit pixelHovered(x, row);
    });
    return pPane;
}

void ComparisonArea::applyLayout()
{
    const Layout &layout = m_session.getLayout();
    const int count = layout.paneCount();
    while (m_panes.size() > count) {
        delete m_bindings.takeLast();
        m_labels.removeLast(); // a child of the pane's viewport
        delete m_panes.takeLast();
    }
    while (m_panes.size() < count) {
        SliceWidget *pPane = addPane();
        m_bindings.append(new SliceBinding(m_session, *pPane, this, false));
    }
    if (!oneView(layout) && m_session.getViewType() != layout.views.value(0))
        m_session.setViewType(layout.views.value(0));
    const int columns = layout.kind == Layout::Kind::Grid ? layout.columns : count;
    for (int i = 0; i < count; ++i) {
        SliceWidget *pPane = m_panes.at(i);
        if (i > 0)
            pPane->setViewType(layout.views.value(i));
        // One slider steps every pane; the others keep its room, so the pictures line up.
        QSizePolicy policy = pPane->getSlider()->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        pPane->getSlider()->setSizePolicy(policy);
        pPane->getSlider()->setVisible(i == 0);
        m_pGrid->addWidget(pPane, i / columns, i % columns);
    }
    for (SliceWidget *pPane : m_panes) {
        QList<const SliceWidget *> twins;
        for (const SliceWidget *pOther : m_panes) {
            if (pOther != pPane)
                twins.append(pOther);
        }
        pPane->setTwins(twins);
    }
    for (int i = 1; i < count; ++i)
        followZoom(m_panes.first());
    const bool wipe = layout.kind == Layout::Kind::Wipe;
    m_panes.first()->setWipe(wipe ? layout.views.value(1) : -1, layout.wipePosition,
                             layout.wipeVertical);
    const bool flicker = layout.kind == Layout::Kind::Flicker;
    if (flicker && layout.flickerRate > 0)
        m_pFlickerTimer->start(std::max(1, int(std::lround(1000.0 / layout.flickerRate))));
    else
        m_pFlickerTimer->stop();
    setFlickerShown(false);
    showCrossHair(-1, -1);
    showLabels();
    showRegion();
}

QSize ComparisonArea::getGridSize() const
{
    const Layout &layout = m_session.getLayout();
    const int count = int(m_panes.size());
    const int columns = layout.kind == Layout::Kind::Grid ? std::min(layout.columns, count) : count;
    return QSize(columns, (count + columns - 1) / columns);
}

QString ComparisonArea::paneLabel(int index) const
{
    const Layout &layout = m_session.getLayout();
    SliceWidget *pPane = m_panes.value(index);
    if (!pPane)
        return QString();
    const int view = pPane->getViewType();
    QString text = QString::fromUtf8(ViewNames[view]);
    if (view == ViewType::Ref1 || view == ViewType::Ref2) {
        const int offset = m_session.getOffset(view);
        if (offset != 0)
            text += QStringLiteral(", offset %1").arg(offset);
    } else if (view == ViewType::Diff1 || view == ViewType::Diff2) {
        const DisplayRange range = m_session.getRange(view);
        const DifferenceDisplay display = m_session.getDifferenceDisplay(view - 2);
        const double reach = std::max(std::fabs(range.minValue), std::fabs(range.maxValue));
        text += QStringLiteral(", %1").arg(DifferenceDisplay::name(display.mode));
        if (display.mode == DifferenceDisplay::Mode::Mask)
            text += QStringLiteral(" > %1").arg(double(display.threshold));
        else if (display.mode == DifferenceDisplay::Mode::Blocks)
            text += QStringLiteral(" %1").arg(display.blockSize);
        text += QStringLiteral(" ±%1").arg(reach);
    }
    if (index == 0 && layout.kind == Layout::Kind::Wipe)
        text += QStringLiteral(" | ") + QString::fromUtf8(ViewNames[layout.views.value(1)]);
    return text;
}

void ComparisonArea::showLabels()
{
    const bool shown = !oneView(m_session.getLayout());
    for (int i = 0; i < m_labels.size(); ++i) {
        m_labels.at(i)->setText(paneLabel(i));
        m_labels.at(i)->adjustSize();
        m_labels.at(i)->setVisible(shown);
    }
}

void ComparisonArea::followZoom(SliceWidget *pSource)
{
    if (m_locking || oneView(m_session.getLayout()))
        return;
    m_locking = true;
    for (SliceWidget *pPane : m_panes) {
        if (pPane != pSource)
            pPane->getView()->setZoom(pSource->getView()->getZoom());
    }
    m_locking = false;
    followScroll(pSource);
}

void ComparisonArea::followScroll(SliceWidget *pSource)
{
    if (m_locking || oneView(m_session.getLayout()))
        return;
    m_locking = true;
    // The same picture point in the middle of every pane, whatever its size.
    SliceView *pView = pSource->getView();
    const QPointF centre = pView->mapToScene(pView->viewport()->rect().center());
    for (SliceWidget *pPane : m_panes) {
        if (pPane != pSource)
            pPane->getView()->centerOn(centre);
    }
    m_locking = false;
}

void ComparisonArea::showCrossHair(int x, int row)
{
    const bool shown = m_panes.size() > 1 && x >= 0 && row >= 0;
    for (SliceWidget *pPane : m_panes) {
        pPane->getScene()->setVerticalPosition(shown ? x : -1);
        pPane->getScene()->setHorizontalPosition(shown ? row : -1);
    }
}

void ComparisonArea::setFlickerShown(bool showB)
{
    const Layout &layout = m_session.getLayout();
    m_flickerShowsB = showB && layout.kind == Layout::Kind::Flicker;
    SliceWidget *pFirst = m_panes.first();
    const int view = m_flickerShowsB ? layout.views.value(1) : m_session.getViewType();
    if (pFirst->getViewType() != view)
        pFirst->setViewType(view);
    if (!m_labels.isEmpty())
        showLabels();
}

void ComparisonArea::showRegion()
{
    for (SliceWidget *pPane : m_panes)
        pPane->getScene()->setRegion(m_session.getRegion());
}

bool ComparisonArea::selectRegion(QObject *pWatched, QEvent *pEvent)
{
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::KeyPress && static_cast<QKeyEvent *>(pEvent)->key() == Qt::Key_Escape
        && !m_session.getRegion().isEmpty()) {
        m_session.setRegion(QRect());
        return true;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
        && type != QEvent::MouseButtonRelease)
        return false;
    const auto *pMouse = static_cast<QMouseEvent *>(pEvent);
    const bool starts = type == QEvent::MouseButtonPress && pMouse->button() == Qt::LeftButton
            && (pMouse->modifiers() & Qt::ShiftModifier);
    if (!starts && !m_draggingRegion)
        return false;
    const auto pane = std::find_if(m_panes.begin(), m_panes.end(), [pWatched](SliceWidget *p) {
        return p->getView()->viewport() == pWatched;
    });
    if (pane == m_panes.end())
        return false;
    if (type == QEvent::MouseButtonRelease) {
        m_draggingRegion = false;
        return true;
    }
    // The picture pixel under the pointer, y down from the top row (scene y runs from -height
    // at the top to 0), kept on the picture.
    const SliceWidget *pPane = *pane;
    const QPointF scene = pPane->getView()->mapToScene(pMouse->position().toPoint());
    const QPoint pixel(
            std::clamp(int(std::floor(scene.x())), 0, std::max(0, pPane->getImageWidth() - 1)),
            std::clamp(int(std::floor(scene.y() + pPane->getImageHeight())), 0,
                       std::max(0, pPane->getImageHeight() - 1)));
    if (starts) {
        m_draggingRegion = true;
        m_regionStart = pixel;
    }
    // Both corner pixels inside, whichever way the drag went (QRect::normalized() would leave
    // them out of a rectangle dragged up or left).
    m_session.setRegion(QRect(
            QPoint(std::min(m_regionStart.x(), pixel.x()), std::min(m_regionStart.y(), pixel.y())),
            QPoint(std::max(m_regionStart.x(), pixel.x()),
                   std::max(m_regionStart.y(), pixel.y()))));
    return true;
}

bool ComparisonArea::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (selectRegion(pWatched, pEvent))
        return true;
    const Layout &layout = m_session.getLayout();
    const QEvent::Type type = pEvent->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease)
        && layout.kind == Layout::Kind::Flicker) {
        const auto *pKey = static_cast<QKeyEvent *>(pEvent);
        if (pKey->key() == Qt::Key_B && !pKey->isAutoRepeat()) {
            setFlickerShown(type == QEvent::KeyPress);
            return true;
        }
    }
    if (layout.kind != Layout::Kind::Wipe)
        return QWidget::eventFilter(pWatched, pEvent);
    SliceWidget *pFirst = m_panes.first();
    Layout moved = layout;
    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(pEvent)->key();
        if (key == Qt::Key_BracketLeft || key == Qt::Key_BracketRight)
            moved.wipePosition += key == Qt::Key_BracketLeft ? -0.05 : 0.05;
        else if (key == Qt::Key_Backslash)
            moved.wipeVertical = !moved.wipeVertical;
        else
            return QWidget::eventFilter(pWatched, pEvent);
        m_session.setLayout(moved);
        return true;
    }
    SliceView *pView = pFirst->getView();
    if (pWatched != pView->viewport()
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
            && type != QEvent::MouseButtonRelease))
        return QWidget::eventFilter(pWatched, pEvent);
    const auto *pMouse = static_cast<QMouseEvent *>(pEvent);
    const QPointF scene = pView->mapToScene(pMouse->position().toPoint());
    const double width = pFirst->getImageWidth();
    const double height = pFirst->getImageHeight();
    // The line's position on the picture: scene x across, scene y from -height (top) to 0.
    const double along = layout.wipeVertical ? scene.x() / width : 1.0 + scene.y() / height;
    if (type == QEvent::MouseButtonPress && pMouse->button() == Qt::LeftButton) {
        const double reach = 8.0 / pView->getZoom() / (layout.wipeVertical ? width : height);
        m_draggingWipe = std::fabs(along - layout.wipePosition) <= reach;
        return m_draggingWipe;
    }
    if (type == QEvent::MouseButtonRelease && m_draggingWipe) {
        m_draggingWipe = false;
        return true;
    }
    if (type == QEvent::MouseMove && m_draggingWipe) {
        moved.wipePosition = along;
        m_session.setLayout(moved);
        return true;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

QImage ComparisonArea::renderLayout() const
{
    const Layout &layout = m_session.getLayout();
    SliceWidget *pFirst = m_panes.first();
    const int width = pFirst->getImageWidth();
    const int height = pFirst->getImageHeight();
    if (width <= 0 || height <= 0)
        return QImage();
    const int count = int(m_panes.size());
    const int columns = layout.kind == Layout::Kind::Grid ? layout.columns : count;
    const int rows = (count + columns - 1) / columns;
    QImage picture(columns * width, rows * (height + LabelBand), QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::black);
    QPainter painter(&picture);
    for (int i = 0; i < count; ++i) {
        const QPoint corner((i % columns) * width, (i / columns) * (height + LabelBand));
        QImage slice = PngWriter::upright(m_panes.at(i)->renderSlice());
        if (i == 0 && layout.kind == Layout::Kind::Wipe) {
            const QImage beyond = PngWriter::upright(pFirst->renderSlice(layout.views.value(1)));
            const QRect part = layout.wipeVertical
                    ? QRect(int(std::lround(width * layout.wipePosition)), 0, width, height)
                    : QRect(0, int(std::lround(height * layout.wipePosition)), width, height);
            QPainter joined(&slice);
            joined.drawImage(part.topLeft(), beyond, part);
        }
        painter.drawImage(corner + QPoint(0, LabelBand), slice);
        painter.setPen(Qt::white);
        painter.drawText(QRect(corner, QSize(width, LabelBand)), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral(" ") + paneLabel(i));
    }
    painter.end();
    // Stored as the slices are, row 0 at the bottom.
    return picture.mirrored(false, true);
}
