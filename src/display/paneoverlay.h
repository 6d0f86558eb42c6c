#pragma once

class MovieSet;
class QPainter;
class SliceView;
class ViewRenderer;

// What a pane draws over a difference's picture, in viewport pixels: the heat map's colour bar
// with the range's numbers, and the blocks' grid where its lines lie far enough apart to read.
class PaneOverlay
{
public:
    static void paint(QPainter *pPainter, const SliceView &view, const ViewRenderer &renderer,
                      const MovieSet &movies, int viewType, int frame, int imageWidth,
                      int imageHeight);
};
