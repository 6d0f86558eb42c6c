#include "histogram.h"

#include <algorithm>

#include <QImage>

#include "colourframes.h"
#include "colourrendering.h"
#include "framesamples.h"
#include "image3d.h"

namespace {

int floorDivide(int value, int divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Counts whole values into one count per value of lowest .. highest; anything else (NaN
// included) is outside. Values are floored, as the bins hold whole values.
class ValueCounter
{
public:
    ValueCounter(int lowest, int highest)
        : m_lowest(lowest)
        , m_low(float(lowest))
        , m_high(float(highest) + 1.0f)
        , m_counts(size_t(highest - lowest + 1), 0)
    { }

    void add(float value)
    {
        // The range test comes first: converting NaN or a huge value to int is undefined.
        if (value >= m_low && value < m_high) {
            int whole = int(value);
            if (float(whole) > value)
                --whole;
            ++m_counts[size_t(whole - m_lowest)];
        } else {
            ++m_outside;
        }
    }
    // pA[j], or pA[j] - pB[j] in float as the views take it, for j in 0 .. count - 1.
    void addRow(const float *pA, int count)
    {
        for (int j = 0; j < count; ++j)
            add(pA[j]);
    }
    void addDifferences(const float *pA, const float *pB, int count)
    {
        for (int j = 0; j < count; ++j)
            add(pA[j] - pB[j]);
    }
    void addNegated(const float *pB, int count)
    {
        for (int j = 0; j < count; ++j)
            add(0.0f - pB[j]);
    }

    const std::vector<qint64> &counts() const { return m_counts; }
    qint64 outside() const { return m_outside; }

private:
    int m_lowest;
    float m_low;
    float m_high;
    std::vector<qint64> m_counts;
    qint64 m_outside = 0;
};

} // namespace

Histogram::Histogram(int channels, int lowest, int highest) : m_channels(channels)
{
    // Bins of a power-of-two width, aligned to multiples of it so that 0 starts a bin.
    while (floorDivide(highest, m_binWidth) - floorDivide(lowest, m_binWidth) + 1 > MaxBins)
        m_binWidth *= 2;
    m_bins = floorDivide(highest, m_binWidth) - floorDivide(lowest, m_binWidth) + 1;
    m_lowest = floorDivide(lowest, m_binWidth) * m_binWidth;
    m_highest = m_lowest + m_bins * m_binWidth - 1;
    m_counts.assign(size_t(m_channels) * m_bins, 0);
}

qint64 Histogram::getLargestCount() const
{
    return m_counts.empty() ? 0 : *std::max_element(m_counts.begin(), m_counts.end());
}

Histogram Histogram::ofView(const MovieSet &movies, int viewType, int frame, const QRect &region,
                            const ColourRendering *pColour)
{
    const MovieSet::ViewSources sources = movies.sources(viewType, frame);
    const QRect canvas(0, 0, movies.getWidth(), movies.getHeight());
    const QRect area = region.isEmpty() ? canvas : region & canvas;
    if (pColour && ColourRendering::inColour(sources)) {
        const ColourFrames *pFrames = sources.pA->getColourFrames();
        const QImage picture = pColour->render(sources.pA, sources.frameA, pFrames->getWidth(),
                                               pFrames->getHeight());
        // A frame that can't be read is shown absent: nothing to count.
        if (picture.isNull())
            return Histogram();
        return ofPicture(picture, canvas.height(), area);
    }
    if (!sources.pA && !sources.pB)
        return Histogram();
    const int depthA = sources.pA ? sources.pA->getDepth() : 8;
    const int depthB = sources.pB ? sources.pB->getDepth() : 8;
    const int peak = (1 << (sources.difference ? std::max(depthA, depthB) : depthA)) - 1;
    Histogram histogram(1, sources.difference ? -peak : 0, peak);
    if (!area.isEmpty())
        histogram.countSamples(sources, area.left(), area.right(),
                               canvas.height() - 1 - area.bottom(),
                               canvas.height() - 1 - area.top());
    return histogram;
}

void Histogram::countSamples(const MovieSet::ViewSources &sources, int firstColumn, int lastColumn,
                             int firstRow, int lastRow)
{
    ValueCounter counter(m_lowest, m_highest);
    const FrameSamples samplesA(sources.pA, sources.frameA);
    const FrameSamples samplesB(sources.difference ? sources.pB : nullptr, sources.frameB);
    const int width = lastColumn + 1;
    for (int row = firstRow; row <= lastRow; ++row) {
        int countA = 0;
        int countB = 0;
        const float *pRowA = samplesA.row(row, width, &countA);
        const float *pRowB = samplesB.row(row, width, &countB);
        // Columns firstColumn .. count - 1 of each part of the row, as the views read them:
        // A - B where both have samples, A - 0 or 0 - B where only one has.
        const int both = std::min(countA, countB);
        const int from = std::min(firstColumn, std::max(countA, countB));
        if (!sources.difference) {
            counter.addRow(pRowA + from, countA - from);
            continue;
        }
        const int bothFrom = std::min(from, both);
        counter.addDifferences(pRowA + bothFrom, pRowB + bothFrom, both - bothFrom);
        const int onlyFrom = std::max(from, both);
        if (countA > onlyFrom)
            counter.addRow(pRowA + onlyFrom, countA - onlyFrom);
        if (countB > onlyFrom)
            counter.addNegated(pRowB + onlyFrom, countB - onlyFrom);
    }
    const std::vector<qint64> &counts = counter.counts();
    for (size_t value = 0; value < counts.size(); ++value)
        m_counts[value / size_t(m_binWidth)] += counts[value];
    m_outside = counter.outside();
    m_total = 0;
    for (qint64 count : counts)
        m_total += count;
}

Histogram Histogram::ofPicture(const QImage &picture, int canvasHeight, const QRect &region)
{
    Histogram histogram(3, 0, 255);
    if (picture.isNull())
        return histogram;
    const QImage rgb = picture.format() == QImage::Format_RGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const int firstRow = std::max(0, canvasHeight - 1 - region.bottom());
    const int lastRow = std::min(rgb.height() - 1, canvasHeight - 1 - region.top());
    const int firstColumn = std::max(0, region.left());
    const int lastColumn = std::min(rgb.width() - 1, region.right());
    qint64 *pRed = histogram.m_counts.data();
    qint64 *pGreen = pRed + histogram.m_bins;
    qint64 *pBlue = pGreen + histogram.m_bins;
    for (int row = firstRow; row <= lastRow; ++row) {
        const auto *pLine = reinterpret_cast<const QRgb *>(rgb.constScanLine(row));
        for (int x = firstColumn; x <= lastColumn; ++x) {
            ++pRed[qRed(pLine[x])];
            ++pGreen[qGreen(pLine[x])];
            ++pBlue[qBlue(pLine[x])];
        }
        histogram.m_total += std::max(0, lastColumn - firstColumn + 1);
    }
    return histogram;
}
