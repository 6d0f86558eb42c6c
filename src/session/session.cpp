#include "session.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "colourframes.h"
#include "framecache.h"
#include "image3d.h"
#include "pixelformat.h"
#include "planeref.h"
#include "rawfile.h"
#include "viewtype.h"

Session::Session(QObject *pParent)
    : QObject(pParent), m_frameCacheBudget(FrameCache::defaultBudget())
{
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        m_ranges[view] = DisplayRange::starting(view, MovieSet());
}

Session::~Session() = default;

const Image3D *Session::getMovie(int slot) const
{
    return slot >= 0 && slot < SlotCount ? m_pMovies[slot].get() : nullptr;
}

QStringList Session::getFileNames(int slot) const
{
    return slot >= 0 && slot < SlotCount ? m_fileNames[slot] : QStringList();
}

void Session::setMovie(int slot, std::unique_ptr<Image3D> pMovie, const QStringList &fileNames)
{
    if (slot < 0 || slot >= SlotCount || (!pMovie && !m_pMovies[slot]))
        return;
    emit movieAboutToChange(slot);
    const bool loaded = pMovie != nullptr;
    m_pMovies[slot] = std::move(pMovie);
    m_fileNames[slot] = loaded ? fileNames : QStringList();
    shareFrameCacheBudget();
    // Readers take the new movies before any range change makes them draw.
    emit movieChanged(slot);
    if (loaded)
        widenStartingRanges();
    clampFrame();
    setRegion(m_region);
}

MovieSet Session::getMovieSet() const
{
    return MovieSet(m_pMovies[Main].get(), m_pMovies[Reference1].get(), m_pMovies[Reference2].get(),
                    m_offsets[0], m_offsets[1]);
}

int Session::getOffset(int ref) const { return m_offsets[ref == 2 ? 1 : 0]; }

void Session::setOffset(int ref, int offset)
{
    offset = std::clamp(offset, -MaxOffset, MaxOffset);
    int &stored = m_offsets[ref == 2 ? 1 : 0];
    if (offset == stored)
        return;
    stored = offset;
    emit offsetChanged(ref == 2 ? 2 : 1, offset);
    clampFrame();
}

DisplayRange Session::getRange(int viewType) const
{
    return m_ranges[std::clamp(viewType, int(ViewType::Main), int(ViewType::Diff2))];
}

void Session::setRange(int viewType, const DisplayRange &range)
{
    if (viewType < ViewType::Main || viewType > ViewType::Diff2 || m_ranges[viewType] == range)
        return;
    m_ranges[viewType] = range;
    emit rangeChanged(viewType, range);
}

void Session::setFrame(int frame)
{
    frame = std::clamp(frame, 0, std::max(0, getNumFrames() - 1));
    if (frame == m_frame)
        return;
    m_frame = frame;
    emit frameChanged(frame);
}

void Session::clampFrame() { setFrame(m_frame); }

void Session::setRegion(const QRect &region)
{
    const MovieSet movies = getMovieSet();
    QRect kept = region.normalized() & QRect(0, 0, movies.getWidth(), movies.getHeight());
    if (kept.isEmpty())
        kept = QRect();
    if (kept == m_region)
        return;
    m_region = kept;
    emit regionChanged(m_region);
}

void Session::setViewType(int viewType)
{
    viewType = std::clamp(viewType, int(ViewType::Main), int(ViewType::Diff2));
    if (viewType == m_viewType)
        return;
    m_viewType = viewType;
    emit viewTypeChanged(viewType);
}

void Session::setFrameCacheBudget(qint64 bytes)
{
    bytes = std::max<qint64>(bytes, 0);
    if (bytes == m_frameCacheBudget)
        return;
    m_frameCacheBudget = bytes;
    shareFrameCacheBudget();
    emit frameCacheBudgetChanged(bytes);
}

void Session::shareFrameCacheBudget()
{
    std::vector<FrameCache *> caches;
    std::vector<FrameCache *> idle;
    for (const auto &pMovie : m_pMovies) {
        if (pMovie && pMovie->getFrameCache())
            caches.push_back(pMovie->getFrameCache());
        if (pMovie && pMovie->getColourFrames())
            (m_colour ? caches : idle).push_back(&pMovie->getColourFrames()->getFrameCache());
    }
    for (FrameCache *pCache : caches)
        pCache->setBudget(m_frameCacheBudget / qint64(caches.size()));
    // Frames of three planes are kept only while colour is shown.
    for (FrameCache *pCache : idle)
        pCache->setBudget(0);
}

void Session::setPlane(int plane)
{
    plane = std::clamp(plane, 0, 2);
    if (plane == m_plane)
        return;
    m_plane = plane;
    // The region stays on the same part of the picture in the other plane's samples.
    const QRect region = m_region;
    const int widthBefore = getMovieSet().getWidth();
    const int heightBefore = getMovieSet().getHeight();
    for (int slot = 0; slot < SlotCount; ++slot) {
        const Image3D *pOld = m_pMovies[slot].get();
        if (!pOld || !pOld->getRawFile() || pOld->getFilePlane() == plane
            || pOld->getRawFile()->getFormat().getPlaneCount() <= plane)
            continue;
        auto pNew = std::make_unique<Image3D>();
        // Nothing is read here: the frames of the other plane are read when shown.
        pNew->openRaw(pOld->getRawFile(), plane, pOld->getFileFirstFrame(), pOld->getNumFrames(),
                      0);
        if (pNew->getNumFrames() != pOld->getNumFrames())
            continue;
        pNew->setName(pOld->getName());
        setMovie(slot, std::move(pNew), m_fileNames[slot]);
    }
    const MovieSet after = getMovieSet();
    setRegion(PlaneRef::planeRegion(region, widthBefore, heightBefore, after.getWidth(),
                                    after.getHeight()));
    emit planeChanged(plane);
}

void Session::setLayout(const Layout &layout)
{
    Layout clamped = layout;
    for (int &view : clamped.views)
        view = std::clamp(view, int(ViewType::Main), int(ViewType::Diff2));
    while (clamped.views.size() < 2)
        clamped.views.append(clamped.views.isEmpty() ? int(ViewType::Main) : int(ViewType::Diff1));
    if (clamped.views.size() > 6)
        clamped.views.resize(6);
    clamped.columns = std::clamp(clamped.columns, 2, 3);
    clamped.wipePosition = std::clamp(clamped.wipePosition, 0.0, 1.0);
    clamped.flickerRate = std::max(clamped.flickerRate, 0.0);
    if (clamped == m_layout)
        return;
    m_layout = clamped;
    emit layoutChanged(m_layout);
}

DifferenceDisplay Session::getDifferenceDisplay(int ref) const
{
    return m_differenceDisplays[ref == 2 ? 1 : 0];
}

void Session::setDifferenceDisplay(int ref, const DifferenceDisplay &display)
{
    DifferenceDisplay &stored = m_differenceDisplays[ref == 2 ? 1 : 0];
    if (display == stored)
        return;
    stored = display;
    emit differenceDisplayChanged(ref == 2 ? 2 : 1, display);
}

bool Session::hasColourMovie() const
{
    return std::any_of(std::begin(m_pMovies), std::end(m_pMovies),
                       [](const auto &pMovie) { return pMovie && pMovie->getColourFrames(); });
}

void Session::setColour(bool colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    shareFrameCacheBudget();
    emit colourChanged();
}

void Session::setColourOptions(const ColourOptions &options)
{
    if (options == m_colourOptions)
        return;
    m_colourOptions = options;
    emit colourChanged();
}

void Session::widenStartingRanges()
{
    const MovieSet movies = getMovieSet();
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view) {
        const DisplayRange start = DisplayRange::starting(view, MovieSet());
        if (m_ranges[view] == start)
            setRange(view, DisplayRange::starting(view, movies));
    }
}
