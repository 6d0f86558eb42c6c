#pragma once

#include <QImage>

#include <mutex>
#include <vector>

// Memory for slice images, recycled. When the last copy of an image made here is destroyed
// (its pixmap left the slice cache), the buffer waits in the pool for the next image of the
// same size, so that re-rendering after a range change, or browsing with a full cache, doesn't
// keep asking the system for fresh, zero-filled pages. The pool keeps at most MaxBytes, the
// slice cache's default budget, and buffers of one size only: asking for another size lets the
// others go.
class ImageBufferPool
{
public:
    static constexpr qint64 MaxBytes = qint64(256) << 20;

    // The one pool of the process (never destroyed, so images may outlive everything else).
    static ImageBufferPool &instance();

    // A Format_RGB32 image of width x height pixels, bytesPerLine = 4 * width; its pixels are
    // undefined (the caller writes every one). A null image for an empty size or when memory
    // runs out.
    QImage newImage(int width, int height);

    // Bytes waiting for reuse.
    qint64 heldBytes() const;

private:
    struct Buffer
    {
        void *pData = nullptr;
        size_t bytes = 0;
        bool mapped = false;
    };

    ImageBufferPool() = default;
    static Buffer *allocate(size_t bytes);
    static void release(Buffer *pBuffer);
    static void onImageDestroyed(void *pInfo);
    void give(Buffer *pBuffer);

    mutable std::mutex m_mutex;
    std::vector<Buffer *> m_free; // oldest first
    qint64 m_heldBytes = 0;
};
