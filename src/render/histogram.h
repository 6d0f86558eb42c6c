#pragma once

#include <QRect>

#include <vector>

#include "movieset.h"

class ColourRendering;
class QImage;

// How often each value occurs in what a view shows at one frame, over the whole frame or a
// region: one channel of sample values (a movie's, or main - reference, signed), or R, G and B
// 0..255 of a movie shown in colour. The bins cover every value the view can take: 0 .. 2^depth - 1
// for a movie, -(2^depth - 1) .. 2^depth - 1 for a difference (the deeper movie's depth); one
// bin per value up to MaxBins bins, else each bin a power-of-two number of whole values, one of
// them starting at 0.
class Histogram
{
public:
    static constexpr int MaxBins = 1024;

    // Nothing counted: no channel, no bin.
    Histogram() = default;

    // Counts of view viewType (ViewType) at main frame `frame`, read as the views read it: a
    // frame outside its movie is absent, and a difference counts a missing sample as 0 where
    // the other movie has one. region is in the picture's samples (x right, y down from the
    // top row of the movies' largest extent); an empty region counts the whole frame. With
    // pColour (a colour session), a movie with chroma counts the RGB it is shown in.
    static Histogram ofView(const MovieSet &movies, int viewType, int frame,
                            const QRect &region = QRect(),
                            const ColourRendering *pColour = nullptr);
    // Counts of R, G and B of a Format_RGB32 picture (image row 0 is the bottom row of the
    // picture) whose top row is row canvasHeight - 1 of the region's frame.
    static Histogram ofPicture(const QImage &picture, int canvasHeight, const QRect &region);

    bool isEmpty() const { return m_channels == 0; }
    // 0, 1 (sample values) or 3 (R, G, B).
    int getChannelCount() const { return m_channels; }
    int getBinCount() const { return m_bins; }
    // Whole values per bin: bin k holds lowest + k * width .. lowest + (k + 1) * width - 1.
    int getBinWidth() const { return m_binWidth; }
    // The first value of the first bin and the last value of the last bin.
    int getLowest() const { return m_lowest; }
    int getHighest() const { return m_highest; }
    int binOf(int value) const { return (value - m_lowest) / m_binWidth; }
    qint64 getCount(int channel, int bin) const { return m_counts[size_t(channel) * m_bins + bin]; }
    // The largest count of any bin of any channel.
    qint64 getLargestCount() const;
    // Samples counted in the bins, per channel.
    qint64 getTotal() const { return m_total; }
    // Samples of no bin: beyond the values the view can take, or not a number.
    qint64 getOutside() const { return m_outside; }

private:
    // Bins for lowest .. highest, every count 0.
    Histogram(int channels, int lowest, int highest);
    // Counts of the sample values of one view's sources, rows firstRow .. lastRow (row 0 at the
    // bottom) and columns firstColumn .. lastColumn.
    void countSamples(const MovieSet::ViewSources &sources, int firstColumn, int lastColumn,
                      int firstRow, int lastRow);

    int m_channels = 0;
    int m_bins = 0;
    int m_binWidth = 1;
    int m_lowest = 0;
    int m_highest = -1;
    std::vector<qint64> m_counts; // channel after channel
    qint64 m_total = 0;
    qint64 m_outside = 0;
};
