#include "imagebufferpool.h"

#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace {
// Buffers from this size on come straight from the kernel with huge pages where offered: a
// new 4K slice then costs a few dozen page faults instead of thousands.
constexpr size_t MappedBytes = size_t(4) << 20;
} // namespace

ImageBufferPool &ImageBufferPool::instance()
{
    static ImageBufferPool *pPool = new ImageBufferPool;
    return *pPool;
}

ImageBufferPool::Buffer *ImageBufferPool::allocate(size_t bytes)
{
    auto *pBuffer = new (std::nothrow) Buffer;
    if (!pBuffer)
        return nullptr;
    pBuffer->bytes = bytes;
    if (bytes >= MappedBytes) {
        void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
#ifdef MADV_HUGEPAGE
            madvise(p, bytes, MADV_HUGEPAGE);
#endif
            pBuffer->pData = p;
            pBuffer->mapped = true;
        }
    } else {
        pBuffer->pData = std::malloc(bytes);
    }
    if (!pBuffer->pData) {
        delete pBuffer;
        return nullptr;
    }
    return pBuffer;
}

void ImageBufferPool::release(Buffer *pBuffer)
{
    if (pBuffer->mapped)
        munmap(pBuffer->pData, pBuffer->bytes);
    else
        std::free(pBuffer->pData);
    delete pBuffer;
}

QImage ImageBufferPool::newImage(int width, int height)
{
    if (width <= 0 || height <= 0)
        return QImage();
    const qint64 bytesPerLine = qint64(width) * 4;
    const size_t bytes = size_t(bytesPerLine * height);

    Buffer *pBuffer = nullptr;
    std::vector<Buffer *> otherSizes;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Buffer *> kept;
        for (Buffer *pHeld : m_free) {
            if (pHeld->bytes != bytes)
                otherSizes.push_back(pHeld);
            else if (!pBuffer)
                pBuffer = pHeld;
            else
                kept.push_back(pHeld);
        }
        m_free.swap(kept);
        m_heldBytes = qint64(m_free.size()) * qint64(bytes);
    }
    for (Buffer *pOther : otherSizes)
        release(pOther);
    if (!pBuffer)
        pBuffer = allocate(bytes);
    if (!pBuffer)
        return QImage();
    QImage image(static_cast<uchar *>(pBuffer->pData), width, height, bytesPerLine,
                 QImage::Format_RGB32, &ImageBufferPool::onImageDestroyed, pBuffer);
    if (image.isNull())
        release(pBuffer);
    return image;
}

void ImageBufferPool::onImageDestroyed(void *pInfo)
{
    instance().give(static_cast<Buffer *>(pInfo));
}

void ImageBufferPool::give(Buffer *pBuffer)
{
    std::vector<Buffer *> dropped;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(pBuffer);
        m_heldBytes += qint64(pBuffer->bytes);
        // The oldest go first; a buffer larger than the whole allowance is not kept at all.
        while (!m_free.empty() && m_heldBytes > MaxBytes) {
            m_heldBytes -= qint64(m_free.front()->bytes);
            dropped.push_back(m_free.front());
            m_free.erase(m_free.begin());
        }
    }
    for (Buffer *pDropped : dropped)
        release(pDropped);
}

qint64 ImageBufferPool::heldBytes() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_heldBytes;
}
