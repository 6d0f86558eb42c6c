#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>

// The frames of a movie read on demand: a frame is read by the loader when first asked for and
// kept until the least recently used frames must leave to stay within a byte budget. A worker
// thread reads ahead in the direction of travel. Every member is thread-safe; nothing throws.
class FrameCache
{
public:
    // Fills frameSamples floats with frame `frame` (0 <= frame < frames); false when the frame
    // can't be read, with the reason in `error`. Called from the asking thread or the worker.
    using Loader = std::function<bool(int frame, float *pSamples, std::string &error)>;
    // A frame's samples; they stay valid while the pointer is held, cached or not.
    using Frame = std::shared_ptr<const float>;
    // The same for frames of any kind of samples: frameBytes bytes each, aligned for any type.
    using ByteLoader = std::function<bool(int frame, unsigned char *pBytes, std::string &error)>;
    using Bytes = std::shared_ptr<const unsigned char>;
    struct OfBytes
    { };

    FrameCache(Loader loader, qint64 frameSamples, int frames, qint64 budgetBytes);
    FrameCache(OfBytes, ByteLoader loader, qint64 frameBytes, int frames, qint64 budgetBytes);
    ~FrameCache();

    FrameCache(const FrameCache &) = delete;
    FrameCache &operator=(const FrameCache &) = delete;

    // The frame's samples, read now unless cached; null when it can't be read or memory runs
    // out (getErrorString says why). A frame that failed is tried again at the next call.
    Frame getFrame(int frame);
    Bytes getBytes(int frame);
    // Asks the worker to read, after `frame`, up to `count` frames in direction dir (+1 or -1)
    // that aren't cached; returns at once. A newer request replaces one not yet done. Never
    // reads more than fits the budget beside the frame in use.
    void readAhead(int frame, int dir, int count);
    // Waits until the worker has nothing left to do.
    void waitForReadAhead();

    qint64 getBudget() const;
    // Least recently used frames leave until the held bytes are within the new budget; the
    // most recently used frame always stays.
    void setBudget(qint64 bytes);
    qint64 getHeldBytes() const;
    int getNumFrames() const { return m_frames; }
    // The text of the last failure, empty until one.
    std::string getErrorString() const;

    // A quarter of the machine's memory, at most 4 GiB.
    static qint64 defaultBudget();

private:
    struct Entry
    {
        Bytes frame;
        std::list<int>::iterator lruPosition;
    };

    // With the lock held: the cached frame, moved to the front, or null.
    Bytes lookup(int frame);
    // Reads a frame without the lock held, then caches it; `lock` is held on entry and exit.
    // With `report` a failure becomes the error text.
    Bytes load(int frame, std::unique_lock<std::mutex> &lock, bool report);
    // With the lock held: caches the frame as the most recent; false when memory runs out.
    bool insert(int frame, const Bytes &samples);
    void trim();
    qint64 getHeldBytesLocked() const;
    void runWorker();
    qint64 frameBytes() const { return m_frameBytes; }

    const ByteLoader m_loader;
    const qint64 m_frameBytes;
    const int m_frames;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unordered_map<int, Entry> m_entries;
    std::list<int> m_lru; // most recently used first
    std::set<int> m_inFlight; // frames being read right now, by any thread
    qint64 m_budget;
    std::string m_error;

    // Read-ahead request: frames m_aheadNext, m_aheadNext + m_aheadDir, ... m_aheadLeft of them.
    int m_aheadNext = 0;
    int m_aheadDir = 1;
    int m_aheadLeft = 0;
    bool m_workerBusy = false;
    bool m_stopping = false;
    std::thread m_worker;
};
