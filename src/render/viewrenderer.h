#pragma once

#include <QImage>

#include "colourrendering.h"
#include "differencedisplay.h"
#include "displayrange.h"
#include "movieset.h"

// How every view turns what it reads into pixels: the five display ranges, colour for the
// movie views, and each difference's display mode. The panes and the export render through
// it, so both show a view alike.
class ViewRenderer
{
public:
    DisplayRange getRange(int viewType) const { return m_ranges[viewType]; }
    void setRange(int viewType, const DisplayRange &range) { m_ranges[viewType] = range; }
    bool isColour() const { return m_colour; }
    const ColourRendering &getColourRendering() const { return m_colourRendering; }
    void setColour(bool colour, const ColourRendering &rendering);
    // ref is 1 or 2.
    DifferenceDisplay getDifferenceDisplay(int ref) const { return m_differences[ref == 2]; }
    void setDifferenceDisplay(int ref, const DifferenceDisplay &display);

    // Whether a view shows what it reads in colour: a movie with chroma in a colour session.
    bool showsColour(const MovieSet::ViewSources &sources) const;
    // Whether its pixels are other than gray: colour, or a difference mode but signed gray.
    bool isColourful(const MovieSet &movies, int viewType, int frame) const;
    // A width x height Format_RGB32 image of view viewType at main frame `frame` (image row 0 is
    // the bottom row of the picture); a colour frame that can't be read shows as absent. A null
    // image when memory runs out.
    QImage render(const MovieSet &movies, int viewType, int frame, int width, int height) const;

private:
    DisplayRange m_ranges[5] = {{0, 255}, {0, 255}, {0, 255}, {-128, 128}, {-128, 128}};
    bool m_colour = false;
    ColourRendering m_colourRendering;
    DifferenceDisplay m_differences[2];
};
