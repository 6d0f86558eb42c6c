#include "differencecolours.h"

#include <algorithm>
#include <cmath>

#include "differencerendering.h"
#include "graymapping.h"

namespace {

constexpr quint32 Black = 0xff000000u;

inline quint32 grayPixel(int level) { return 0xff000000u | quint32(level) * 0x00010101u; }

// The largest magnitude of the range: white for Absolute.
float largest(const DisplayRange &range)
{
    return std::max(std::fabs(range.minValue), std::fabs(range.maxValue));
}

// The top of the range as the gray mapping takes it: a range of one value counts as
// min .. min + 1.
float top(const DisplayRange &range)
{
    return range.maxValue == range.minValue ? range.minValue + 1.0f : range.maxValue;
}

#if defined(__SSE2__)
template<bool Difference>
__m128 load(const float *pA, const float *pB)
{
    const __m128 value = _mm_loadu_ps(pA);
    return Difference ? _mm_sub_ps(value, _mm_loadu_ps(pB)) : value;
}

// All ones in the lanes that hold a whole number -offset .. offset - 1; whole gets the
// truncation.
__m128 inTable(__m128 value, int offset, __m128i &whole)
{
    // NaN and values beyond the int range truncate to INT_MIN and fail the comparison.
    whole = _mm_cvttps_epi32(value);
    return _mm_and_ps(_mm_cmpeq_ps(_mm_cvtepi32_ps(whole), value),
                      _mm_and_ps(_mm_cmpge_ps(value, _mm_set1_ps(-float(offset))),
                                 _mm_cmplt_ps(value, _mm_set1_ps(float(offset)))));
}
#endif

} // namespace

DifferenceColours::DifferenceColours(Rule rule, const DisplayRange &range)
    : m_rule(rule), m_range(range)
{
    for (int k = -TableOffset; k < TableOffset; ++k)
        m_table[k + TableOffset] = colour(rule, range, float(k));
}

quint32 DifferenceColours::colour(Rule rule, const DisplayRange &range, float value)
{
    switch (rule) {
    case Rule::Absolute:
        return grayPixel(grayLevel(grayOfValue(std::fabs(value), 0.0f, largest(range))));
    case Rule::Heat:
        if (std::isnan(value))
            return Black;
        return DifferenceRendering::heatColour((double(value) - double(range.minValue))
                                               / (double(top(range)) - double(range.minValue)));
    case Rule::Gray:
        break;
    }
    return grayPixel(grayLevel(grayOfValue(value, range.minValue, range.maxValue)));
}

quint32 DifferenceColours::pixel(float value) const
{
    // The range test comes first: converting NaN or a huge value to int is undefined.
    if (value >= -float(TableOffset) && value < float(TableOffset)) {
        const int whole = int(value);
        if (float(whole) == value)
            return m_table[whole + TableOffset];
    }
    return colour(m_rule, m_range, value);
}

#if defined(__SSE2__)
// Four pixels, looked up when all four values are whole numbers of the table.
Q_ALWAYS_INLINE void DifferenceColours::fourPixels(__m128 value, quint32 *pOut) const
{
    __m128i whole;
    if (_mm_movemask_ps(inTable(value, TableOffset, whole)) == 0xf) {
        alignas(16) qint32 index[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(index),
                        _mm_add_epi32(whole, _mm_set1_epi32(TableOffset)));
        for (int k = 0; k < 4; ++k)
            pOut[k] = m_table[index[k]];
    } else {
        alignas(16) float values[4];
        _mm_store_ps(values, value);
        for (int k = 0; k < 4; ++k)
            pOut[k] = pixel(values[k]);
    }
}

// Sixteen pixels, looked up when all sixteen values are whole numbers of the table: one test
// for the sixteen, then plain loads (measured at 1080p, as fast as the gray mapping's arithmetic
// and faster than the heat map's).
template<bool Difference>
Q_ALWAYS_INLINE void DifferenceColours::sixteenPixels(const float *pA, const float *pB,
                                                      quint32 *pOut) const
{
    __m128 values[4];
    __m128 allWhole = _mm_castsi128_ps(_mm_set1_epi32(-1));
    alignas(16) qint32 index[16];
    for (int k = 0; k < 4; ++k) {
        values[k] = load<Difference>(pA + 4 * k, Difference ? pB + 4 * k : nullptr);
        __m128i whole;
        allWhole = _mm_and_ps(allWhole, inTable(values[k], TableOffset, whole));
        _mm_store_si128(reinterpret_cast<__m128i *>(index + 4 * k),
                        _mm_add_epi32(whole, _mm_set1_epi32(TableOffset)));
    }
    if (_mm_movemask_ps(allWhole) == 0xf) {
        for (int k = 0; k < 16; ++k)
            pOut[k] = m_table[index[k]];
    } else {
        for (int k = 0; k < 4; ++k)
            fourPixels(values[k], pOut + 4 * k);
    }
}
#endif

void DifferenceColours::mapDifferences(const float *pA, const float *pB, quint32 *pLine,
                                       int count) const
{
    mapRow<true>(pA, pB, pLine, count);
}

void DifferenceColours::mapValues(const float *pA, quint32 *pLine, int count) const
{
    mapRow<false>(pA, nullptr, pLine, count);
}

template<bool Difference>
void DifferenceColours::mapRow(const float *pA, const float *pB, quint32 *pLine, int count) const
{
    int j = 0;
#if defined(__SSE2__)
    for (; j + 16 <= count; j += 16)
        sixteenPixels<Difference>(pA + j, Difference ? pB + j : nullptr, pLine + j);
    for (; j + 4 <= count; j += 4)
        fourPixels(load<Difference>(pA + j, Difference ? pB + j : nullptr), pLine + j);
#endif
    for (; j < count; ++j)
        pLine[j] = pixel(Difference ? pA[j] - pB[j] : pA[j]);
}

void DifferenceColours::maskRow(const float *pA, const float *pB, float threshold,
                                quint32 highlight, quint32 *pLine, int count) const
{
    int j = 0;
#if defined(__SSE2__)
    const __m128 limit = _mm_set1_ps(threshold);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128i highlighted = _mm_set1_epi32(int(highlight));
    auto above = [&](int k) {
        const __m128 difference = _mm_sub_ps(_mm_loadu_ps(pA + k), _mm_loadu_ps(pB + k));
        return _mm_cmpgt_ps(_mm_and_ps(difference, magnitude), limit);
    };
    // Over four gray pixels already written.
    auto highlightFour = [&](int k, __m128 where) {
        auto *pTarget = reinterpret_cast<__m128i *>(pLine + k);
        const __m128i mask = _mm_castps_si128(where);
        _mm_storeu_si128(pTarget,
                         _mm_or_si128(_mm_and_si128(mask, highlighted),
                                      _mm_andnot_si128(mask, _mm_loadu_si128(pTarget))));
    };
    for (; j + 16 <= count; j += 16) {
        sixteenPixels<false>(pA + j, nullptr, pLine + j);
        const __m128 where[4] = {above(j), above(j + 4), above(j + 8), above(j + 12)};
        // Most runs have nothing to highlight.
        const __m128 any = _mm_or_ps(_mm_or_ps(where[0], where[1]), _mm_or_ps(where[2], where[3]));
        if (_mm_movemask_ps(any) != 0) {
            for (int k = 0; k < 4; ++k)
                highlightFour(j + 4 * k, where[k]);
        }
    }
    for (; j + 4 <= count; j += 4) {
        fourPixels(_mm_loadu_ps(pA + j), pLine + j);
        highlightFour(j, above(j));
    }
#endif
    for (; j < count; ++j)
        pLine[j] = std::fabs(pA[j] - pB[j]) > threshold ? highlight : pixel(pA[j]);
}
