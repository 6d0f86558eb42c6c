#include "framecache.h"

#include <algorithm>
#include <new>
#include <system_error>

#include <unistd.h>

FrameCache::FrameCache(Loader loader, qint64 frameSamples, int frames, qint64 budgetBytes)
    : FrameCache(
            OfBytes(),
            [loader = std::move(loader)](int frame, unsigned char *pBytes, std::string &error) {
                return loader(frame, reinterpret_cast<float *>(pBytes), error);
            },
            std::max<qint64>(frameSamples, 0) * qint64(sizeof(float)), frames, budgetBytes)
{ }

FrameCache::FrameCache(OfBytes, ByteLoader loader, qint64 frameBytes, int frames,
                       qint64 budgetBytes)
    : m_loader(std::move(loader))
    , m_frameBytes(std::max<qint64>(frameBytes, 0))
    , m_frames(std::max(frames, 0))
    , m_budget(budgetBytes)
{ }

FrameCache::~FrameCache()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

qint64 FrameCache::defaultBudget()
{
    const qint64 pages = sysconf(_SC_PHYS_PAGES);
    const qint64 pageSize = sysconf(_SC_PAGE_SIZE);
    const qint64 limit = qint64(4) << 30;
    if (pages <= 0 || pageSize <= 0)
        return limit / 4;
    return std::min(pages / 4 * pageSize, limit);
}

FrameCache::Frame FrameCache::getFrame(int frame)
{
    const Bytes bytes = getBytes(frame);
    return Frame(bytes, reinterpret_cast<const float *>(bytes.get()));
}

FrameCache::Bytes FrameCache::getBytes(int frame)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (frame < 0 || frame >= m_frames) {
        m_error = "Frame " + std::to_string(frame) + " is outside the movie";
        return nullptr;
    }
    for (;;) {
        if (Bytes samples = lookup(frame))
            return samples;
        // The worker is reading it: wait rather than read the same frame twice.
        if (m_inFlight.count(frame) == 0)
            break;
        m_changed.wait(lock);
    }
    return load(frame, lock, true);
}

FrameCache::Bytes FrameCache::lookup(int frame)
{
    const auto it = m_entries.find(frame);
    if (it == m_entries.end())
        return nullptr;
    m_lru.splice(m_lru.begin(), m_lru, it->second.lruPosition);
    return it->second.frame;
}

FrameCache::Bytes FrameCache::load(int frame, std::unique_lock<std::mutex> &lock, bool report)
{
    Bytes samples;
    std::string error;
    try {
        m_inFlight.insert(frame);
    } catch (const std::exception &) {
        m_error = "Not enough memory to read a frame";
        return nullptr;
    }
    lock.unlock();
    try {
        // shared_ptr frees the array itself if its own bookkeeping can't be allocated.
        // Raw storage, aligned for any kind of sample.
        if (auto *pSamples
            = static_cast<unsigned char *>(::operator new(size_t(m_frameBytes), std::nothrow))) {
            samples = Bytes(pSamples, [](const unsigned char *p) {
                ::operator delete(const_cast<unsigned char *>(p));
            });
            if (!m_loader(frame, pSamples, error))
                samples.reset();
        } else {
            error = "Not enough memory to read a frame";
        }
    } catch (const std::exception &) {
        samples.reset();
        error = "Not enough memory to read a frame";
    }
    lock.lock();
    m_inFlight.erase(frame);
    if (samples && !insert(frame, samples)) {
        samples.reset();
        error = "Not enough memory to read a frame";
    }
    if (!samples && report)
        m_error = error;
    m_changed.notify_all();
    return samples;
}

bool FrameCache::insert(int frame, const Bytes &samples)
{
    try {
        m_lru.push_front(frame);
    } catch (const std::exception &) {
        return false;
    }
    try {
        m_entries[frame] = Entry {samples, m_lru.begin()};
    } catch (const std::exception &) {
        m_lru.pop_front();
        return false;
    }
    trim();
    return true;
}

void FrameCache::trim()
{
    // The most recently used frame stays, even when it alone exceeds the budget.
    while (m_lru.size() > 1 && getHeldBytesLocked() > m_budget) {
        m_entries.erase(m_lru.back());
        m_lru.pop_back();
    }
}

qint64 FrameCache::getHeldBytesLocked() const { return qint64(m_entries.size()) * frameBytes(); }

void FrameCache::readAhead(int frame, int dir, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // The frame in use and one more stay cached beside what is read ahead.
    const qint64 fits = frameBytes() > 0 ? m_budget / frameBytes() - 2 : 0;
    m_aheadNext = frame + (dir < 0 ? -1 : 1);
    m_aheadDir = dir < 0 ? -1 : 1;
    m_aheadLeft = int(std::clamp<qint64>(std::min<qint64>(count, fits), 0, m_frames));
    if (m_aheadLeft == 0)
        return;
    if (!m_worker.joinable()) {
        try {
            m_worker = std::thread(&FrameCache::runWorker, this);
        } catch (const std::system_error &) {
            m_aheadLeft = 0; // no thread: frames are read when asked for
            return;
        }
    }
    m_changed.notify_all();
}

void FrameCache::runWorker()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_aheadLeft > 0; });
        if (m_stopping)
            return;
        const int frame = m_aheadNext;
        m_aheadNext += m_aheadDir;
        --m_aheadLeft;
        if (frame < 0 || frame >= m_frames) {
            m_aheadLeft = 0;
        } else if (m_entries.count(frame) == 0 && m_inFlight.count(frame) == 0) {
            m_workerBusy = true;
            // A frame that can't be read ends the read-ahead; the frame is reported when the
            // user gets there.
            if (!load(frame, lock, false))
                m_aheadLeft = 0;
            m_workerBusy = false;
        }
        m_changed.notify_all();
    }
}

void FrameCache::waitForReadAhead()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopping || (m_aheadLeft == 0 && !m_workerBusy); });
}

qint64 FrameCache::getBudget() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_budget;
}

void FrameCache::setBudget(qint64 bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_budget = bytes;
    trim();
}

qint64 FrameCache::getHeldBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return getHeldBytesLocked();
}

std::string FrameCache::getErrorString() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}
