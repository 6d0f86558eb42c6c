#pragma once

#include <QtGlobal>

#include <mutex>
#include <vector>

// Frame buffers kept for the next frame instead of being freed. A frame read into newly
// allocated memory pays a page fault for every page it writes, which on a 1080p frame costs
// more than reading and converting the frame; a buffer kept from an evicted frame, or prepared
// while nothing else runs, has its pages mapped already. Thread-safe; nothing throws.
class BufferPool
{
public:
    // Buffers of bufferFloats floats; at most `capacity` are kept at a time.
    BufferPool(qint64 bufferFloats, int capacity);
    ~BufferPool();

    BufferPool(const BufferPool &) = delete;
    BufferPool &operator=(const BufferPool &) = delete;

    // A kept buffer when there is one, else a newly allocated one; null when memory runs out.
    // Its contents are undefined.
    float *take();
    // Keeps the buffer (one of take()'s) while fewer than the capacity are kept, else frees it.
    void give(float *pBuffer);
    // Allocates a buffer and writes every page of it, then keeps it; false when the pool is
    // full already or memory runs out.
    bool prepare();
    // Frees the kept buffers.
    void clear();
    int getKept() const;
    qint64 getBufferBytes() const { return m_bufferFloats * qint64(sizeof(float)); }

private:
    const qint64 m_bufferFloats;
    int m_capacity; // 0 when the room for the kept buffers couldn't be reserved
    mutable std::mutex m_mutex;
    std::vector<float *> m_kept; // never grows beyond m_capacity: reserved at construction
};
