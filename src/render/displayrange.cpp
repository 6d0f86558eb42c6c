#include "displayrange.h"

#include <algorithm>

#include "image3d.h"
#include "movieset.h"
#include "viewtype.h"

DisplayRange DisplayRange::starting(int viewType, const MovieSet &movies)
{
    auto depthOf = [](const Image3D *pMovie) { return pMovie ? pMovie->getDepth() : 8; };
    switch (viewType) {
    case ViewType::Ref1:
    case ViewType::Ref2:
        return {0.0f, float((1 << depthOf(movies.getReference(viewType))) - 1)};
    case ViewType::Diff1:
    case ViewType::Diff2: {
        const int depth
                = std::max(depthOf(movies.getMain()),
                           depthOf(movies.getReference(viewType == ViewType::Diff1 ? 1 : 2)));
        return {-float(1 << (depth - 1)), float(1 << (depth - 1))};
    }
    default:
        return {0.0f, float((1 << depthOf(movies.getMain())) - 1)};
    }
}
