#pragma once

#include <QtGlobal>

// Memory for whole frames. Large blocks are asked for in huge pages where the system offers
// them, so that touching a newly read 1080p or 4K frame costs a few page faults instead of one
// per 4 KiB page.
class LargeBuffer
{
public:
    // Null when the memory can't be had; give it back with release().
    static void *allocate(qint64 bytes);
    static void release(void *p);
};
