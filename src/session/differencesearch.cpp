#include "differencesearch.h"

#include <algorithm>
#include <cmath>

#include "image3d.h"
#include "movieset.h"

namespace {

// Whether |a - b| > threshold at some pixel of the width x height both frames have; a and b
// are frames of aWidth and bWidth samples a row.
bool exceeds(const float *pA, int aWidth, const float *pB, int bWidth, int width, int height,
             float threshold)
{
    for (int y = 0; y < height; ++y) {
        const float *pRowA = pA + qint64(y) * aWidth;
        const float *pRowB = pB + qint64(y) * bWidth;
        for (int x = 0; x < width; ++x) {
            if (std::fabs(pRowA[x] - pRowB[x]) > threshold)
                return true;
        }
    }
    return false;
}

} // namespace

DifferenceSearch::Result DifferenceSearch::find(const MovieSet &movies, int ref, int from, int dir,
                                                float threshold, const ProgressCallback &progress)
{
    const Image3D *pMain = movies.getMain();
    const Image3D *pRef = movies.getReference(ref);
    if (!pMain || !pRef || (dir != 1 && dir != -1))
        return {};
    const int width = std::min(pMain->getWidth(), pRef->getWidth());
    const int height = std::min(pMain->getHeight(), pRef->getHeight());
    // The main frames both movies have (64-bit: an offset must not wrap).
    const qint64 offset = movies.getOffset(ref);
    const qint64 first = std::max<qint64>(0, offset);
    const qint64 last = std::min<qint64>(pMain->getNumFrames(), pRef->getNumFrames() + offset) - 1;
    const qint64 start
            = dir > 0 ? std::max(first, qint64(from) + 1) : std::min(last, qint64(from) - 1);
    const qint64 end = dir > 0 ? last : first;
    const qint64 total = (end - start) * dir + 1;
    if (width <= 0 || height <= 0 || total <= 0)
        return {};
    for (qint64 done = 0; done < total; ++done) {
        const int frame = int(start + dir * done);
        const FrameCache::Frame main = pMain->getFrame(frame);
        const FrameCache::Frame reference = main ? pRef->getFrame(int(frame - offset)) : nullptr;
        if (!reference)
            return {Outcome::ReadFailed, frame, (main ? pRef : pMain)->getFrameError()};
        if (exceeds(main.get(), pMain->getWidth(), reference.get(), pRef->getWidth(), width, height,
                    threshold))
            return {Outcome::Found, frame, {}};
        if (progress && !progress(int(done + 1), int(total)))
            return {Outcome::Cancelled, -1, {}};
    }
    return {};
}
