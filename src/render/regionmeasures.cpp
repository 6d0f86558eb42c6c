#include "regionmeasures.h"

#include "framecache.h"
#include "image3d.h"
#include "movieset.h"

RegionMeasures RegionMeasures::compute(const MovieSet &movies, int frame, const QRect &region)
{
    RegionMeasures result;
    const Image3D *pMovies[3] = {movies.getMain(), movies.getReference(1), movies.getReference(2)};
    FrameCache::Frame frames[3];
    PlaneRef parts[3];
    for (int i = 0; i < 3; ++i) {
        const Image3D *pMovie = pMovies[i];
        const int movieFrame = i == 0 ? frame : movies.referenceFrame(i, frame);
        if (!pMovie || region.isEmpty() || movieFrame < 0 || movieFrame >= pMovie->getNumFrames())
            continue;
        frames[i] = pMovie->getFrame(movieFrame);
        if (!frames[i])
            continue;
        parts[i] = PlaneRef::bottomUp(frames[i].get(), pMovie->getWidth(), pMovie->getHeight())
                           .cropped(region);
        result.movies[i].present = parts[i].width > 0;
        result.movies[i].statistics = PlaneStatistics::of(parts[i]);
    }
    for (int r = 1; r <= 2; ++r) {
        Reference &reference = result.references[r - 1];
        reference.compared = result.movies[0].present && result.movies[r].present
                && pMovies[0]->getDepth() == pMovies[r]->getDepth();
        if (reference.compared)
            reference.metrics = PlaneMetrics::compare(parts[0], parts[r], pMovies[0]->getDepth());
    }
    return result;
}
