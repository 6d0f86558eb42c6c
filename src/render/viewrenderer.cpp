#include "viewrenderer.h"

#include <algorithm>

#include "colourframes.h"
#include "differencerendering.h"
#include "graymapping.h"
#include "image3d.h"
#include "viewtype.h"

void ViewRenderer::setColour(bool colour, const ColourRendering &rendering)
{
    m_colour = colour;
    m_colourRendering = rendering;
}

void ViewRenderer::setDifferenceDisplay(int ref, const DifferenceDisplay &display)
{
    m_differences[ref == 2] = display;
}

bool ViewRenderer::showsColour(const MovieSet::ViewSources &sources) const
{
    return m_colour && ColourRendering::inColour(sources);
}

bool ViewRenderer::isColourful(const MovieSet &movies, int viewType, int frame) const
{
    const MovieSet::ViewSources sources = movies.sources(viewType, frame);
    if (sources.difference)
        return getDifferenceDisplay(viewType == ViewType::Diff2 ? 2 : 1).mode
                != DifferenceDisplay::Mode::Signed;
    return showsColour(sources);
}

QImage ViewRenderer::render(const MovieSet &movies, int viewType, int frame, int width,
                            int height) const
{
    const MovieSet::ViewSources sources = movies.sources(viewType, frame);
    if (showsColour(sources)) {
        // A frame that can't be read is shown absent, as in gray.
        if (sources.pA->getColourFrames()->getFrame(sources.frameA).isNull())
            return renderView(MovieSet::ViewSources(), 0, 1, width, height);
        return m_colourRendering.render(sources.pA, sources.frameA, width, height);
    }
    const DisplayRange range = m_ranges[viewType];
    if (!sources.difference)
        return renderView(sources, range.minValue, range.maxValue, width, height);
    const DifferenceDisplay display = getDifferenceDisplay(viewType == ViewType::Diff2 ? 2 : 1);
    if (display.mode == DifferenceDisplay::Mode::Signed)
        return renderView(sources, range.minValue, range.maxValue, width, height);
    // Errors are measured against the peak of the deeper movie.
    const int depth = std::max(sources.pA ? sources.pA->getDepth() : 8,
                               sources.pB ? sources.pB->getDepth() : 8);
    return DifferenceRendering::render(sources, range, m_ranges[ViewType::Main], display, depth,
                                       width, height);
}
