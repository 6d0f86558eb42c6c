#include "graymapping.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image3d.h"

namespace {

// The mapping of one value with the range prepared once: the top (min + 1 when min = max), then
// the denominator in double.
class RangeMap
{
public:
    RangeMap(float minValue, float maxValue) : m_minValue(minValue)
    {
        const float top = maxValue == minValue ? minValue + 1.0f : maxValue;
        m_denominator = double(top) - double(minValue);
    }

    float gray(float value) const
    {
        const float a = value - m_minValue;
        const float q = float(double(a) / m_denominator);
        const float g = q * 255.0f;
        // Written so that NaN (a NaN sample, inf - inf, 0 / 0) lands on 0 and never reaches
        // the conversion to int.
        if (!(g > 0.0f))
            return 0.0f;
        if (g > 255.0f)
            return 255.0f;
        return g;
    }

    int level(float value) const { return grayLevel(gray(value)); }

private:
    float m_minValue;
    double m_denominator;
};

inline quint32 grayPixel(int level) { return 0xff000000u | quint32(level) * 0x00010101u; }

// Pixel of a value, with the pixels of the whole numbers -512..511 looked up: the readers
// deliver whole byte values, and their differences are whole too. Table entries come from the
// same RangeMap, so the result is bit for bit the same as without the table.
class PixelMap
{
public:
    PixelMap(float minValue, float maxValue) : m_map(minValue, maxValue)
    {
        for (int k = -TableOffset; k < TableOffset; ++k)
            m_table[k + TableOffset] = grayPixel(m_map.level(float(k)));
    }

    quint32 pixel(float value) const
    {
        // The range test comes first: converting NaN or a huge value to int is undefined.
        if (value >= -float(TableOffset) && value < float(TableOffset)) {
            const int whole = int(value);
            if (float(whole) == value)
                return m_table[whole + TableOffset];
        }
        return grayPixel(m_map.level(value));
    }

    // Pixels of count values: pA[j], or pA[j] - pB[j] (in float) when Difference.
    template<bool Difference>
    void mapRow(const float *pA, const float *pB, quint32 *pLine, int count) const
    {
        int j = 0;
#if defined(__SSE2__)
        // Four values at a time through the table when all four are whole numbers of it; any
        // other value goes through pixel(). The float subtraction is the same IEEE operation
        // as the scalar one, so both ways give the same bits.
        for (; j + 4 <= count; j += 4)
            tablePixels<Difference>(pA + j, pB + j, pLine + j);
#endif
        for (; j < count; ++j)
            pLine[j] = pixel(Difference ? pA[j] - pB[j] : pA[j]);
    }

private:
    static constexpr int TableOffset = 512;

#if defined(__SSE2__)
    template<bool Difference>
    static __m128 load(const float *pA, const float *pB)
    {
        const __m128 value = _mm_loadu_ps(pA);
        return Difference ? _mm_sub_ps(value, _mm_loadu_ps(pB)) : value;
    }

    // All ones in the lanes that hold a whole number of the table (not NaN, not -512.5).
    static __m128 wholeInTable(__m128 value)
    {
        // NaN and values beyond the int range truncate to INT_MIN and fail the comparison.
        const __m128 whole = _mm_cmpeq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(value)), value);
        const __m128 inside = _mm_and_ps(_mm_cmpge_ps(value, _mm_set1_ps(-float(TableOffset))),
                                         _mm_cmplt_ps(value, _mm_set1_ps(float(TableOffset))));
        return _mm_and_ps(whole, inside);
    }

    // Four pixels: looked up when all four values are whole numbers of the table.
    template<bool Difference>
    void tablePixels(const float *pA, const float *pB, quint32 *pOut) const
    {
        const __m128 value = load<Difference>(pA, pB);
        if (_mm_movemask_ps(wholeInTable(value)) == 0xf) {
            alignas(16) qint32 index[4];
            _mm_store_si128(reinterpret_cast<__m128i *>(index),
                            _mm_add_epi32(_mm_cvttps_epi32(value), _mm_set1_epi32(TableOffset)));
            for (int k = 0; k < 4; ++k)
                pOut[k] = m_table[index[k]];
        } else {
            for (int k = 0; k < 4; ++k)
                pOut[k] = pixel(Difference ? pA[k] - pB[k] : pA[k]);
        }
    }
#endif

    RangeMap m_map;
    quint32 m_table[2 * TableOffset];
};

// The sample at (x, y, frame), or nullptr when the volume is null or the position outside it.
const float *samplePointer(const Image3D *pVolume, int x, int y, int frame)
{
    if (!pVolume || x < 0 || x >= pVolume->getWidth() || y < 0 || y >= pVolume->getHeight()
        || frame < 0 || frame >= pVolume->getNumFrames())
        return nullptr;
    const qint64 width = pVolume->getWidth();
    return pVolume->getData() + x + width * (y + qint64(pVolume->getHeight()) * frame);
}

// Row y of `frame` clipped to `width` columns; *pCount gets the number of samples of the row
// that the image shows (0 with nullptr when the row lies outside the volume).
const float *rowPointer(const Image3D *pVolume, int y, int frame, int width, int *pCount)
{
    const float *pRow = samplePointer(pVolume, 0, y, frame);
    *pCount = pRow ? std::min(pVolume->getWidth(), width) : 0;
    return pRow;
}

} // namespace

float grayOfValue(float value, float minValue, float maxValue)
{
    return RangeMap(minValue, maxValue).gray(value);
}

float grayValue(const Image3D *pVolume, float minValue, float maxValue, int x, int y, int frame)
{
    const float *pSample = samplePointer(pVolume, x, y, frame);
    if (!pSample)
        return 0.0f;
    return grayOfValue(*pSample, minValue, maxValue);
}

float grayDifference(const Image3D *pVolumeA, const Image3D *pVolumeB, float minValue,
                     float maxValue, int x, int y, int frame)
{
    const float *pA = samplePointer(pVolumeA, x, y, frame);
    const float *pB = samplePointer(pVolumeB, x, y, frame);
    const float sampleA = pA ? *pA : 0.0f;
    const float sampleB = pB ? *pB : 0.0f;
    return grayOfValue(sampleA - sampleB, minValue, maxValue);
}

int grayLevel(float gray)
{
    if (!(gray > 0.0f))
        return 0;
    if (gray >= 255.0f)
        return 255;
    return int(double(gray) + 0.5);
}

QImage renderValueSlice(const Image3D *pVolume, float minValue, float maxValue, int frame,
                        int width, int height)
{
    // Every pixel is written below.
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const PixelMap map(minValue, maxValue);
    const quint32 black = grayPixel(0);
    uchar *pBits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    for (int i = 0; i < height; ++i) {
        auto *pLine = reinterpret_cast<quint32 *>(pBits + i * bytesPerLine);
        int count = 0;
        const float *pRow = rowPointer(pVolume, i, frame, width, &count);
        map.mapRow<false>(pRow, nullptr, pLine, count);
        std::fill(pLine + count, pLine + width, black);
    }
    return image;
}

QImage renderDifferenceSlice(const Image3D *pVolumeA, const Image3D *pVolumeB, float minValue,
                             float maxValue, int frame, int width, int height)
{
    // Every pixel is written below.
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const PixelMap map(minValue, maxValue);
    // Where neither volume has a sample the difference is 0.0 - 0.0.
    const quint32 neither = map.pixel(0.0f - 0.0f);
    uchar *pBits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    for (int i = 0; i < height; ++i) {
        auto *pLine = reinterpret_cast<quint32 *>(pBits + i * bytesPerLine);
        int countA = 0;
        int countB = 0;
        const float *pRowA = rowPointer(pVolumeA, i, frame, width, &countA);
        const float *pRowB = rowPointer(pVolumeB, i, frame, width, &countB);
        const int both = std::min(countA, countB);
        map.mapRow<true>(pRowA, pRowB, pLine, both);
        // x - 0.0f is x, bit for bit, -0.0 and NaN included.
        if (countA > both)
            map.mapRow<false>(pRowA + both, nullptr, pLine + both, countA - both);
        for (int j = both; j < countB; ++j)
            pLine[j] = map.pixel(0.0f - pRowB[j]);
        std::fill(pLine + std::max(countA, countB), pLine + width, neither);
    }
    return image;
}
