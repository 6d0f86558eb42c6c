#pragma once

#include <QtGlobal>

// An owned, contiguous array of 32-bit float samples with a 64-bit length. Memory that runs
// out is reported by a false result, never by an exception; a failed call leaves the array as
// it was.
class SampleArray
{
public:
    SampleArray() = default;
    ~SampleArray();

    SampleArray(const SampleArray &) = delete;
    SampleArray &operator=(const SampleArray &) = delete;

    // Replaces the contents by count samples, every one 0.0. count <= 0 gives an empty array.
    bool allocateZeroed(qint64 count);
    // Keeps the first min(old, new) samples; samples beyond the old length are 0.0.
    bool resize(qint64 count);
    void clear();
    void swap(SampleArray &other) noexcept;

    float *data() { return m_pData; }
    const float *data() const { return m_pData; }
    qint64 size() const { return m_size; }

private:
    static float *allocate(qint64 count, bool *mapped);
    static void release(float *pData, qint64 count, bool mapped);

    float *m_pData = nullptr;
    qint64 m_size = 0;
    bool m_mapped = false;
};
