#include "slicewidget.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>
#include <utility>

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSlider>

#include "colourframes.h"
#include "graymapping.h"
#include "paneoverlay.h"
#include "image3d.h"
#include "slicescene.h"
#include "sliceview.h"

namespace {

qint64 pixmapBytes(const QPixmap &pixmap)
{
    return qint64(pixmap.width()) * pixmap.height() * pixmap.depth() / 8;
}

} // namespace

SliceWidget::SliceWidget(QWidget *parent, Qt::WindowFlags f) : QWidget(parent, f)
{
    resize(800, 800);
    auto *pLayout = new QVBoxLayout(this);
    m_pScene = new SliceScene(this);
    m_pView = new SliceView(m_pScene, this);
    pLayout->addWidget(m_pView);

    connect(this, &SliceWidget::redrawNeeded, this, &SliceWidget::onRedrawNeeded);
    connect(m_pView, &SliceView::sliceChanged, this, &SliceWidget::onSliceChanged);
    connect(m_pView, &SliceView::cursorMoved, this, &SliceWidget::onCursorMoved);
    connect(m_pView, &SliceView::cursorLeft, this, [this]() { emit pixelHovered(-1, -1); });
    m_pView->setForegroundPainter([this](QPainter *pPainter, const QRectF &) {
        PaneOverlay::paint(pPainter, *m_pView, m_renderer, m_movies, m_viewType, m_fixedCoordinate,
                           m_imageWidth, m_imageHeight);
        drawValues(pPainter);
    });

    m_pSlider = new QSlider(Qt::Horizontal, this);
    m_pSlider->setRange(0, 1);
    m_pSlider->setValue(0);
    pLayout->addWidget(m_pSlider);
    connect(m_pSlider, &QSlider::valueChanged, this, &SliceWidget::onSliderPosition);

    // A child of the view, not an item of the scene: the picture's pixels stay as rendered.
    m_pMissingNote = new QLabel(m_pView);
    m_pMissingNote->setObjectName(QStringLiteral("missingNote"));
    m_pMissingNote->setStyleSheet(QStringLiteral(
            "QLabel { color: white; background: rgba(0, 0, 0, 160); padding: 4px; }"));
    m_pMissingNote->move(8, 8);
    updateMissingNote();
}

SliceWidget::~SliceWidget() { clearCache(); }

void SliceWidget::setMovies(const Image3D *pMain, const Image3D *pRef1, const Image3D *pRef2)
{
    setMovies(MovieSet(pMain, pRef1, pRef2));
}

void SliceWidget::setMovies(const MovieSet &movies)
{
    m_movies = movies;
    updateMissingNote();
    clearCache();
    emit redrawNeeded();
}

void SliceWidget::setViewType(int viewType)
{
    m_viewType = std::clamp(viewType, int(ViewType::Main), int(ViewType::Diff2));
    updateMissingNote();
    emit redrawNeeded();
}

void SliceWidget::setMainRange(float minValue, float maxValue)
{
    setRange(ViewType::Main, minValue, maxValue);
}

void SliceWidget::setRef1Range(float minValue, float maxValue)
{
    setRange(ViewType::Ref1, minValue, maxValue);
}

void SliceWidget::setRef2Range(float minValue, float maxValue)
{
    setRange(ViewType::Ref2, minValue, maxValue);
}

void SliceWidget::setDiff1Range(float minValue, float maxValue)
{
    setRange(ViewType::Diff1, minValue, maxValue);
}

void SliceWidget::setDiff2Range(float minValue, float maxValue)
{
    setRange(ViewType::Diff2, minValue, maxValue);
}

void SliceWidget::setRange(int viewType, float minValue, float maxValue)
{
    m_renderer.setRange(viewType, {minValue, maxValue});
    clearCache();
    emit redrawNeeded();
}

void SliceWidget::setColour(bool colour, const ColourRendering &rendering)
{
    m_renderer.setColour(colour, rendering);
    clearCache();
    emit redrawNeeded();
}

void SliceWidget::setDifferenceDisplay(int ref, const DifferenceDisplay &display)
{
    m_renderer.setDifferenceDisplay(ref, display);
    clearCache();
    emit redrawNeeded();
}

bool SliceWidget::showsColour(const MovieSet::ViewSources &sources) const
{
    return m_renderer.showsColour(sources);
}

bool SliceWidget::showsColour(int frame) const { return showsColour(currentSources(frame)); }

MovieSet::ViewSources SliceWidget::currentSources(int frame) const
{
    return m_movies.sources(m_viewType, frame);
}

int SliceWidget::grayAt(int x, int y, int frame) const
{
    const float minValue = m_renderer.getRange(m_viewType).minValue;
    const float maxValue = m_renderer.getRange(m_viewType).maxValue;
    return grayLevel(grayOfView(currentSources(frame), minValue, maxValue, x, y));
}

QImage SliceWidget::renderSlice() const { return renderSlice(m_viewType); }

QImage SliceWidget::renderSlice(int viewType) const
{
    if (m_imageWidth <= 0 || m_imageHeight <= 0)
        return QImage();
    return m_renderer.render(m_movies, viewType, m_fixedCoordinate, m_imageWidth, m_imageHeight);
}

QPixmap *SliceWidget::buildSlicePixmap() const
{
    QImage image = renderSlice();
    if (image.isNull())
        return nullptr;
    auto *pPixmap = new (std::nothrow) QPixmap(QPixmap::fromImage(std::move(image)));
    if (pPixmap && pPixmap->isNull()) {
        delete pPixmap;
        return nullptr;
    }
    return pPixmap;
}

void SliceWidget::onRedrawNeeded()
{
    int &count = m_sliceCount[m_viewType];
    if (count == 0) {
        count = std::max(m_movies.getNumFrames(), 0);
        m_imageWidth = m_movies.getWidth();
        m_imageHeight = m_movies.getHeight();
        onRecalcSlider();
        if (m_imageWidth > 0 && m_imageHeight > 0)
            m_pScene->setSceneRect(0, -m_imageHeight, m_imageWidth, m_imageHeight);
    }

    const int n = count;
    if (m_fixedCoordinate >= n) {
        m_fixedCoordinate = std::max(n - 1, 0);
        emit fixedCoordinateChanged(m_fixedCoordinate);
    } else if (m_fixedCoordinate < 0) {
        m_fixedCoordinate = 0;
        emit fixedCoordinateChanged(0);
    }
    // May re-enter this redraw once, through onSliderPosition.
    m_pSlider->setValue(m_fixedCoordinate);
    emit slicePosition(m_fixedCoordinate, n);

    showPixmap(m_fixedCoordinate >= 0 && m_fixedCoordinate < n ? slicePixmap() : nullptr);
    updateWipe();
}

void SliceWidget::setWipe(int viewB, double position, bool vertical)
{
    m_wipeView = viewB >= ViewType::Main && viewB <= ViewType::Diff2 ? viewB : -1;
    m_wipePosition = std::clamp(position, 0.0, 1.0);
    m_wipeVertical = vertical;
    updateWipe();
}

void SliceWidget::updateWipe()
{
    const CacheKey key(m_wipeView, m_fixedCoordinate);
    if (m_wipeView < 0 || key != m_wipeKey || !m_pWipePixmap) {
        m_pScene->setWipe(nullptr, m_wipePosition, m_wipeVertical);
        m_pWipePixmap.reset();
        m_wipeKey = key;
        if (m_wipeView < 0)
            return;
        const QImage image = renderSlice(m_wipeView);
        if (!image.isNull())
            m_pWipePixmap = std::make_unique<QPixmap>(QPixmap::fromImage(image));
    }
    m_pScene->setWipe(m_pWipePixmap.get(), m_wipePosition, m_wipeVertical);
}

QPixmap *SliceWidget::slicePixmap()
{
    const CacheKey key(m_viewType, m_fixedCoordinate);
    const auto cached = m_sliceCache.find(key);
    if (cached != m_sliceCache.end()) {
        m_lru.splice(m_lru.begin(), m_lru, cached->second.lruPosition);
        return cached->second.pPixmap;
    }
    // The frames are fetched (and so read, for a movie read on demand) before the render.
    const MovieSet::ViewSources sources = currentSources(m_fixedCoordinate);
    QString unreadable;
    if (showsColour(sources)) {
        const ColourFrames *pFrames = sources.pA->getColourFrames();
        if (pFrames->getFrame(sources.frameA).isNull())
            unreadable = QString::fromStdString(pFrames->getFrameError());
    } else {
        for (const auto &[pMovie, frame] :
             {std::pair(sources.pA, sources.frameA), std::pair(sources.pB, sources.frameB)}) {
            if (pMovie && frame >= 0 && frame < pMovie->getNumFrames() && !pMovie->getFrame(frame)
                && unreadable.isEmpty())
                unreadable = QString::fromStdString(pMovie->getFrameError());
        }
    }
    if (unreadable.isEmpty()) {
        m_frameUnreadable = false;
    } else if (!m_frameUnreadable) {
        m_frameUnreadable = true;
        emit frameUnreadable(unreadable);
    }
    QPixmap *pPixmap = nullptr;
    for (const SliceWidget *pTwin : m_twins) {
        if (const QPixmap *pShared = pTwin->cachedSlice(m_viewType, m_fixedCoordinate)) {
            pPixmap = new (std::nothrow) QPixmap(*pShared);
            break;
        }
    }
    if (!pPixmap)
        pPixmap = buildSlicePixmap();
    if (pPixmap && !unreadable.isEmpty()) {
        // Shown, not cached: the frame is tried again at the next redraw.
        m_pFreshUncached.reset(pPixmap);
        return pPixmap;
    }
    if (!pPixmap) {
        // Not cached: the next redraw of this slice tries again.
        if (!m_renderFailed) {
            m_renderFailed = true;
            emit renderFailed();
        }
        return nullptr;
    }
    m_renderFailed = false;
    m_lru.push_front(key);
    m_sliceCache[key] = CacheEntry {pPixmap, m_lru.begin()};
    m_cacheBytes += pixmapBytes(*pPixmap);
    return pPixmap;
}

const QPixmap *SliceWidget::cachedSlice(int viewType, int slice) const
{
    const auto cached = m_sliceCache.find(CacheKey(viewType, slice));
    return cached == m_sliceCache.end() ? nullptr : cached->second.pPixmap;
}

void SliceWidget::showPixmap(QPixmap *pPixmap)
{
    m_pShownPixmap = pPixmap;
    m_pScene->setPixmap(pPixmap);
    // An uncached pixmap lives while it is on screen.
    if (m_pFreshUncached && m_pFreshUncached.get() == pPixmap)
        m_pShownUncached = std::move(m_pFreshUncached);
    else if (m_pShownUncached.get() != pPixmap)
        m_pShownUncached.reset();
    // Only now that the scene holds the new pixmap may the one it showed before be evicted.
    trimCache();
}

void SliceWidget::trimCache()
{
    for (auto it = m_lru.end(); m_cacheBytes > m_cacheBudget && it != m_lru.begin();) {
        const auto victim = std::prev(it);
        if (m_sliceCache.at(*victim).pPixmap == m_pShownPixmap)
            it = victim;
        else
            evict(*victim); // erases only the victim: `it` stays valid
    }
}

void SliceWidget::evict(CacheKey key)
{
    const auto it = m_sliceCache.find(key);
    m_cacheBytes -= pixmapBytes(*it->second.pPixmap);
    delete it->second.pPixmap;
    m_lru.erase(it->second.lruPosition);
    m_sliceCache.erase(it);
}

void SliceWidget::setCacheBudget(qint64 bytes)
{
    m_cacheBudget = bytes;
    trimCache();
}

void SliceWidget::onSliceChanged(int dir)
{
    const int old = m_fixedCoordinate;
    m_fixedCoordinate = old + dir;
    const int n = m_sliceCount[m_viewType];
    if (m_fixedCoordinate >= n)
        m_fixedCoordinate = n - 1;
    if (m_fixedCoordinate < 0)
        m_fixedCoordinate = 0;
    if (m_fixedCoordinate != old) {
        // Movies read on demand read on in the direction of travel while this frame shows.
        // In colour, the movie views read frames of three planes.
        const MovieSet::ViewSources sources = currentSources(m_fixedCoordinate);
        const bool colour = showsColour(sources);
        auto readAhead = [colour, dir](const Image3D *pMovie, int frame) {
            if (colour && ColourRendering::hasColour(pMovie))
                pMovie->getColourFrames()->readAhead(frame, dir);
            else if (pMovie)
                pMovie->readAhead(frame, dir);
        };
        readAhead(m_movies.getMain(), m_fixedCoordinate);
        for (int ref : {1, 2})
            readAhead(m_movies.getReference(ref), m_movies.referenceFrame(ref, m_fixedCoordinate));
        emit fixedCoordinateChanged(m_fixedCoordinate);
        emit redrawNeeded();
    }
}

void SliceWidget::onRecalcSlider()
{
    const int n = m_sliceCount[m_viewType];
    m_pSlider->setRange(0, std::max(n - 1, 0));
    m_pSlider->setValue(m_fixedCoordinate);

    delete layout();
    QBoxLayout *pLayout = nullptr;
    // More than a quarter taller than wide: the slider goes upright beside the image.
    if (m_imageWidth < (4 * m_imageHeight) / 5) {
        pLayout = new QHBoxLayout(this);
        m_pSlider->setOrientation(Qt::Vertical);
    } else {
        pLayout = new QVBoxLayout(this);
        m_pSlider->setOrientation(Qt::Horizontal);
    }
    pLayout->addWidget(m_pView);
    pLayout->addWidget(m_pSlider);
}

void SliceWidget::onSliderPosition(int pos)
{
    m_fixedCoordinate = pos;
    emit fixedCoordinateChanged(pos);
    emit redrawNeeded();
}

void SliceWidget::setHorizontalPosition(int hPos) { m_pScene->setHorizontalPosition(hPos); }

void SliceWidget::setVerticalPosition(int vPos) { m_pScene->setVerticalPosition(vPos); }

void SliceWidget::onCursorMoved(QPointF scenePos)
{
    // The image item is flipped: image row i covers scene y from -(i + 1) to -i.
    const double column = std::floor(scenePos.x());
    const double row = std::floor(-scenePos.y());
    if (column >= 0 && column < m_imageWidth && row >= 0 && row < m_imageHeight)
        emit pixelHovered(int(column), int(row));
    else
        emit pixelHovered(-1, -1);
}

QString SliceWidget::valueText(float value)
{
    if (std::isfinite(value) && value == std::nearbyint(value) && std::fabs(value) < 1e9f)
        return QString::number(qint64(value));
    return QString::number(double(value), 'g', 4);
}

QVector<SliceWidget::ValueLabel> SliceWidget::visibleValueLabels() const
{
    QVector<ValueLabel> labels;
    const MovieSet::ViewSources sources = currentSources(m_fixedCoordinate);
    if (m_pView->getZoom() < ValueZoom || !sources.pA || (sources.difference && !sources.pB))
        return labels;
    // Only the pixels in the viewport: a 4K frame at a high zoom costs what a small one does.
    const QRectF visible
            = m_pView->mapToScene(m_pView->viewport()->rect())
                      .boundingRect()
                      .intersected(QRectF(0, -m_imageHeight, m_imageWidth, m_imageHeight));
    if (visible.isEmpty())
        return labels;
    // Image row i covers scene y from -(i + 1) to -i.
    const int firstX = std::max(0, int(std::floor(visible.left())));
    const int lastX = std::min(m_imageWidth - 1, int(std::ceil(visible.right())) - 1);
    const int firstRow = std::max(0, int(std::floor(-visible.bottom())));
    const int lastRow = std::min(m_imageHeight - 1, int(std::ceil(-visible.top())) - 1);

    auto frameOf = [](const Image3D *pMovie, int frame) {
        return pMovie && frame >= 0 && frame < pMovie->getNumFrames() ? pMovie->getFrame(frame)
                                                                      : FrameCache::Frame();
    };
    const FrameCache::Frame frameA = frameOf(sources.pA, sources.frameA);
    const FrameCache::Frame frameB
            = sources.difference ? frameOf(sources.pB, sources.frameB) : FrameCache::Frame();
    if (!frameA || (sources.difference && !frameB))
        return labels;
    const int widthA = sources.pA->getWidth();
    const int heightA = sources.pA->getHeight();
    const int widthB = sources.difference ? sources.pB->getWidth() : 0;
    const int heightB = sources.difference ? sources.pB->getHeight() : 0;
    const float minValue = m_renderer.getRange(m_viewType).minValue;
    const float maxValue = m_renderer.getRange(m_viewType).maxValue;
    const bool colour = showsColour(sources);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int x = firstX; x <= lastX; ++x) {
            if (x >= widthA || row >= heightA)
                continue;
            float value = frameA.get()[qint64(row) * widthA + x];
            if (sources.difference) {
                if (x >= widthB || row >= heightB)
                    continue;
                value = value - frameB.get()[qint64(row) * widthB + x];
            }
            int gray = grayLevel(grayOfValue(value, minValue, maxValue));
            // On a colour pixel the text stands out from the colour shown.
            ColourRendering::Pixel pixel;
            if (colour && getColourRendering().pixelAt(sources.pA, sources.frameA, x, row, pixel))
                gray = qGray(pixel.rgb);
            labels.append({x, row, valueText(value), gray >= 128});
        }
    }
    return labels;
}

void SliceWidget::drawValues(QPainter *pPainter) const
{
    const QVector<ValueLabel> labels = visibleValueLabels();
    if (labels.isEmpty())
        return;
    const double zoom = m_pView->getZoom();
    pPainter->save();
    // In viewport pixels, so the text keeps its size whatever the zoom.
    pPainter->resetTransform();
    QFont font = pPainter->font();
    font.setPixelSize(std::clamp(int(zoom * 0.28), 9, 40));
    int widest = 0;
    const QFontMetrics metrics(font);
    for (const ValueLabel &label : labels)
        widest = std::max(widest, metrics.horizontalAdvance(label.text));
    // Long values shrink to fit the pixel.
    if (widest > zoom * 0.9)
        font.setPixelSize(std::max(6, int(font.pixelSize() * zoom * 0.9 / widest)));
    pPainter->setFont(font);
    for (const ValueLabel &label : labels) {
        const QRectF pixel
                = m_pView->mapFromScene(QRectF(label.x, -(label.row + 1), 1, 1)).boundingRect();
        pPainter->setPen(label.darkText ? Qt::black : Qt::white);
        pPainter->drawText(pixel, Qt::AlignCenter, label.text);
    }
    pPainter->restore();
}

void SliceWidget::updateMissingNote()
{
    QStringList missing;
    const MovieSet::ViewSources sources = currentSources(m_fixedCoordinate);
    const bool reference = m_viewType != ViewType::Main;
    if (!sources.pA)
        missing << (reference && !sources.difference
                            ? QStringLiteral("Reference %1")
                                      .arg(m_viewType == ViewType::Ref2 ? 2 : 1)
                            : QStringLiteral("Main movie"));
    if (sources.difference && !sources.pB)
        missing << QStringLiteral("reference %1").arg(m_viewType == ViewType::Diff2 ? 2 : 1);
    QString text = missing.join(QStringLiteral(" and "));
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
        text += QStringLiteral(" not loaded");
    }
    m_pMissingNote->setText(text);
    m_pMissingNote->adjustSize();
    m_pMissingNote->setVisible(!text.isEmpty());
}

void SliceWidget::clearCache()
{
    // The scene must not keep a pointer to a pixmap about to be deleted.
    showPixmap(nullptr);
    m_pScene->setWipe(nullptr, m_wipePosition, m_wipeVertical);
    m_pWipePixmap.reset();
    for (auto &[key, entry] : m_sliceCache)
        delete entry.pPixmap;
    m_sliceCache.clear();
    std::fill(std::begin(m_sliceCount), std::end(m_sliceCount), 0);
    m_lru.clear();
    m_cacheBytes = 0;
}
