#include "bufferpool.h"

#include <algorithm>
#include <new>

BufferPool::BufferPool(qint64 bufferFloats, int capacity)
    : m_bufferFloats(std::max<qint64>(bufferFloats, 1)), m_capacity(std::max(capacity, 0))
{
    try {
        m_kept.reserve(size_t(m_capacity));
    } catch (const std::exception &) {
        // Without the reserved room nothing is kept (give() then frees): push_back never
        // allocates.
        m_capacity = 0;
    }
}

BufferPool::~BufferPool() { clear(); }

float *BufferPool::take()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_kept.empty()) {
            float *pBuffer = m_kept.back();
            m_kept.pop_back();
            return pBuffer;
        }
    }
    return new (std::nothrow) float[size_t(m_bufferFloats)];
}

void BufferPool::give(float *pBuffer)
{
    if (!pBuffer)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (int(m_kept.size()) < m_capacity) {
            m_kept.push_back(pBuffer);
            return;
        }
    }
    delete[] pBuffer;
}

bool BufferPool::prepare()
{
    if (getKept() >= m_capacity)
        return false;
    float *pBuffer = new (std::nothrow) float[size_t(m_bufferFloats)];
    if (!pBuffer)
        return false;
    std::fill(pBuffer, pBuffer + m_bufferFloats, 0.0f);
    give(pBuffer);
    return true;
}

void BufferPool::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (float *pBuffer : m_kept)
        delete[] pBuffer;
    m_kept.clear(); // keeps the reserved room
}

int BufferPool::getKept() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_kept.size());
}
