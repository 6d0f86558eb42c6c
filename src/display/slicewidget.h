#pragma once

#include <QImage>
#include <QVector>
#include <QWidget>

#include <list>
#include <map>
#include <memory>
#include <utility>

#include "colourrendering.h"
#include "viewrenderer.h"
#include "movieset.h"
#include "viewtype.h"

class Image3D;
class QLabel;
class QPainter;
class QPixmap;
class QSlider;
class SliceScene;
class SliceView;

// Shows one slice (frame) of one of five views (ViewType) as a gray image under that view's
// display range, with a slider to pick the slice. Slices cover the largest extent of the three
// movies; image row 0 is movie row 0, shown at the bottom. Rendered slices are cached per view
// and slice, least recently used first out beyond a byte budget; every movie or range change
// empties the cache and gives its memory back.
class SliceWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SliceWidget(QWidget *parent = nullptr, Qt::WindowFlags f = {});
    ~SliceWidget() override;

    // The volumes stay the caller's; call again whenever a pointer or a volume's samples change.
    void setMovies(const Image3D *pMain, const Image3D *pRef1, const Image3D *pRef2);
    // The same with references shifted by their offsets.
    void setMovies(const MovieSet &movies);
    // Clamped to 0..4.
    void setViewType(int viewType);
    // Display ranges, stored unchanged (min may equal or exceed max).
    void setMainRange(float minValue, float maxValue);
    void setRef1Range(float minValue, float maxValue);
    void setRef2Range(float minValue, float maxValue);
    void setDiff1Range(float minValue, float maxValue);
    void setDiff2Range(float minValue, float maxValue);

    // With colour, the main and reference views show movies that have chroma in colour through
    // `rendering`; the differences and movies without chroma stay gray.
    void setColour(bool colour, const ColourRendering &rendering);
    // How difference view ref (1 or 2) shows main - reference.
    void setDifferenceDisplay(int ref, const DifferenceDisplay &display);
    // How the views are rendered: ranges, colour, difference modes.
    const ViewRenderer &getRenderer() const { return m_renderer; }
    // Whether the current view shows slice `frame` in colour.
    bool showsColour(int frame) const;
    const ColourRendering &getColourRendering() const { return m_renderer.getColourRendering(); }

    // Gray 0..255 of pixel (x, y) of slice `frame` in the current view: the per-pixel rule that
    // rendered slices follow bit for bit.
    int grayAt(int x, int y, int frame) const;
    // The current slice of the current view as the view shows it, at one image pixel per sample
    // (row 0 at the bottom): what the cached pixmaps are made of. A null image when nothing is
    // shown or memory runs out.
    QImage renderSlice() const;
    // The same of another view.
    QImage renderSlice(int viewType) const;

    // Wipe: view viewB (-1: none) is shown beyond a split line at `position` (0..1) of the width
    // (vertical: the current view left of it) or the height (the current view above it). Moving
    // the line renders nothing again.
    void setWipe(int viewB, double position, bool vertical);
    // The rendered slice of viewType at `slice` when cached, else null; valid until the next
    // change of this widget.
    const QPixmap *cachedSlice(int viewType, int slice) const;
    // Other widgets showing the same session: a slice one of them has rendered is shared
    // rather than rendered again (the pixmap's data is shared, not copied).
    void setTwins(const QList<const SliceWidget *> &twins) { m_twins = twins; }

    // The scene the slices are shown in (cross-hairs of several panes are set there).
    SliceScene *getScene() const { return m_pScene; }

    // From this zoom on (device pixels per picture pixel) the view writes each visible
    // sample's value into its pixel.
    static constexpr double ValueZoom = 40.0;
    // The value written into pixel (x, row) of the slice image (row 0 at the bottom): the
    // viewed movie's sample, or for a difference main - reference where both have one; text
    // dark on a light gray, light on a dark one.
    struct ValueLabel
    {
        int x = 0;
        int row = 0;
        QString text;
        bool darkText = false;
    };
    // The labels of the pixels of the current slice inside the viewport, when the zoom is at
    // least ValueZoom; none otherwise.
    QVector<ValueLabel> visibleValueLabels() const;
    // A sample's value as written into its pixel: whole numbers without decimals, others with
    // 4 significant digits.
    static QString valueText(float value);

    // Steps the slice by dir as the wheel does: stops at the first and the last slice.
    void stepSlice(int dir) { onSliceChanged(dir); }
    // Size of the slice images in pixels: the largest extent of the three movies.
    int getImageWidth() const { return m_imageWidth; }
    int getImageHeight() const { return m_imageHeight; }
    // Bound in bytes of all the slice images the widget holds (default 256 MiB). The slice on
    // screen is never evicted, so one slice larger than the budget is still kept.
    void setCacheBudget(qint64 bytes);

    int getViewType() const { return m_viewType; }
    int getFixedCoordinate() const { return m_fixedCoordinate; }
    SliceView *getView() const { return m_pView; }
    QSlider *getSlider() const { return m_pSlider; }

signals:
    // The slice number has been set to c.
    void fixedCoordinateChanged(int c);
    // The image must be rebuilt; connected to the widget's own onRedrawNeeded.
    void redrawNeeded();
    // (slice shown, number of slices), at the end of every redraw; (0, 0) with nothing loaded.
    void slicePosition(int pos, int numSlices);
    // A slice could not be rendered for want of memory and is shown empty; emitted once, and
    // again only after a later slice was rendered. The slice is tried again at its next redraw.
    void renderFailed();
    // A frame of a movie read from a file can't be read any more (the file shrank, went away or
    // fails): the slice shows that movie's frame as absent and is tried again at its next
    // redraw. Emitted once with the reason, and again only after a later slice read fine.
    void frameUnreadable(const QString &message);
    // The mouse is over pixel (x, y) of the slice image (y: image row, 0 at the bottom), or
    // (-1, -1) when it is over no pixel of it.
    void pixelHovered(int x, int y);

private slots:
    void onRedrawNeeded();
    void onSliceChanged(int dir);
    void onRecalcSlider();
    void onSliderPosition(int pos);
    void setHorizontalPosition(int hPos);
    void setVerticalPosition(int vPos);
    void onCursorMoved(QPointF scenePos);

private:
    using CacheKey = std::pair<int, int>; // (view type, slice)

    struct CacheEntry
    {
        QPixmap *pPixmap = nullptr;
        std::list<CacheKey>::iterator lruPosition;
    };

    MovieSet::ViewSources currentSources(int frame) const;
    bool showsColour(const MovieSet::ViewSources &sources) const;
    void setRange(int viewType, float minValue, float maxValue);
    void clearCache();
    // nullptr when memory runs out.
    QPixmap *buildSlicePixmap() const;
    // The pixmap of the current slice of the current view, rendered and cached when missing;
    // nullptr when it could not be rendered.
    QPixmap *slicePixmap();
    void showPixmap(QPixmap *pPixmap);
    // Evicts least recently used slices, except the one on screen, until within the budget.
    void trimCache();
    void evict(CacheKey key);
    void updateMissingNote();
    // Writes visibleValueLabels into their pixels; the picture itself stays as rendered.
    void drawValues(QPainter *pPainter) const;

    ViewRenderer m_renderer;
    MovieSet m_movies;
    QList<const SliceWidget *> m_twins;
    // Axis held fixed: always 2 (frame), so a slice is one movie frame, image column j is
    // sample x and image row i is sample y.
    static constexpr int m_fixedAxis = 2;
    int m_fixedCoordinate = 0;
    SliceScene *m_pScene = nullptr;
    SliceView *m_pView = nullptr;
    // Only the slices rendered: a movie placed far along by its offset costs nothing for the
    // frames before it.
    std::map<CacheKey, CacheEntry> m_sliceCache;
    // Slices of each view as counted when its geometry was last computed; 0 until then, and
    // again after every emptying of the cache.
    int m_sliceCount[5] = {0, 0, 0, 0, 0};
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_viewType = ViewType::Main;
    QSlider *m_pSlider = nullptr;
    QLabel *m_pMissingNote = nullptr; // over the view, not in the scene

    // Most recently used first.
    std::list<CacheKey> m_lru;
    qint64 m_cacheBytes = 0;
    qint64 m_cacheBudget = qint64(256) << 20;
    QPixmap *m_pShownPixmap = nullptr;
    // Wipe: the second view, its slice as rendered for (view, slice), and the line.
    int m_wipeView = -1;
    double m_wipePosition = 0.5;
    bool m_wipeVertical = true;
    CacheKey m_wipeKey {-1, -1};
    std::unique_ptr<QPixmap> m_pWipePixmap;
    void updateWipe();
    bool m_renderFailed = false; // the last render ran out of memory
    bool m_frameUnreadable = false; // the last render met a frame that can't be read
    // A slice with an unreadable frame is shown but not cached: made by slicePixmap, then held
    // by showPixmap while on screen.
    std::unique_ptr<QPixmap> m_pFreshUncached;
    std::unique_ptr<QPixmap> m_pShownUncached;
};
