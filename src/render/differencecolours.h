#pragma once

#include <QtGlobal>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "displayrange.h"

// The pixel of a value under one rule of the difference display modes, and rows of pixels made
// from rows of samples: the loops behind DifferenceRendering. The colours of the whole numbers
// -1024..1023 (every difference of 8- and 10-bit samples) are looked up in a table filled by the
// rule itself, so a row is bit for bit the rule applied to each value.
class DifferenceColours
{
public:
    // Absolute: |d| gray from 0 (black) to max(|min|, |max|) (white). Heat: d on the heat map
    // from min to max. Gray: a main sample's gray under the main view's range.
    enum class Rule { Absolute, Heat, Gray };

    DifferenceColours(Rule rule, const DisplayRange &range);

    // The rule applied to one value (nothing prepared): an opaque pixel, black for NaN.
    static quint32 colour(Rule rule, const DisplayRange &range, float value);
    quint32 pixel(float value) const;

    // Pixels of count values: pA[j] - pB[j] (in float), or pA[j].
    void mapDifferences(const float *pA, const float *pB, quint32 *pLine, int count) const;
    void mapValues(const float *pA, quint32 *pLine, int count) const;
    // Pixels of count main samples pA[j], `highlight` where |pA[j] - pB[j]| > threshold (never
    // for NaN).
    void maskRow(const float *pA, const float *pB, float threshold, quint32 highlight,
                 quint32 *pLine, int count) const;

private:
    static constexpr int TableOffset = 1024;

    template<bool Difference>
    void mapRow(const float *pA, const float *pB, quint32 *pLine, int count) const;
#if defined(__SSE2__)
    void fourPixels(__m128 value, quint32 *pOut) const;
    template<bool Difference>
    void sixteenPixels(const float *pA, const float *pB, quint32 *pOut) const;
#endif
    Rule m_rule;
    DisplayRange m_range;
    quint32 m_table[2 * TableOffset];
};
