#include "samplearray.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <sys/mman.h>

namespace {
// Arrays from this size on come straight from the kernel: already zero, and eligible for huge
// pages, which makes filling a large movie volume much cheaper.
constexpr qint64 MappedThresholdBytes = qint64(4) << 20;
} // namespace

SampleArray::~SampleArray() { clear(); }

float *SampleArray::allocate(qint64 count, bool *mapped)
{
    *mapped = false;
    if (count <= 0 || count > qint64(PTRDIFF_MAX / sizeof(float)))
        return nullptr;
    const qint64 bytes = count * qint64(sizeof(float));
    if (bytes >= MappedThresholdBytes) {
        void *p = mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
#ifdef MADV_HUGEPAGE
        madvise(p, size_t(bytes), MADV_HUGEPAGE);
#endif
        *mapped = true;
        return static_cast<float *>(p);
    }
    return static_cast<float *>(std::calloc(size_t(count), sizeof(float)));
}

void SampleArray::release(float *pData, qint64 count, bool mapped)
{
    if (!pData)
        return;
    if (mapped)
        munmap(pData, size_t(count * qint64(sizeof(float))));
    else
        std::free(pData);
}

bool SampleArray::allocateZeroed(qint64 count)
{
    if (count <= 0) {
        clear();
        return true;
    }
    bool mapped = false;
    float *pData = allocate(count, &mapped);
    if (!pData)
        return false;
    clear();
    m_pData = pData;
    m_size = count;
    m_mapped = mapped;
    return true;
}

bool SampleArray::resize(qint64 count)
{
    if (count <= 0) {
        clear();
        return true;
    }
    if (count == m_size)
        return true;
    bool mapped = false;
    float *pData = allocate(count, &mapped);
    if (!pData)
        return false;
    if (m_pData)
        std::memcpy(pData, m_pData, size_t(qMin(count, m_size)) * sizeof(float));
    clear();
    m_pData = pData;
    m_size = count;
    m_mapped = mapped;
    return true;
}

void SampleArray::clear()
{
    release(m_pData, m_size, m_mapped);
    m_pData = nullptr;
    m_size = 0;
    m_mapped = false;
}

void SampleArray::swap(SampleArray &other) noexcept
{
    std::swap(m_pData, other.m_pData);
    std::swap(m_size, other.m_size);
    std::swap(m_mapped, other.m_mapped);
}
