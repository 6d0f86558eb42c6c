#pragma once

#include <QByteArray>
#include <QtGlobal>

// What memory a load may still take, so that a movie too large for the machine is refused with
// a message instead of being answered by the system's out-of-memory killer.
class MemoryInfo
{
public:
    // Bytes that can be allocated now: MemAvailable of /proc/meminfo less a margin, and no more
    // than what the address-space limit (RLIMIT_AS) leaves. -1 when neither can be read.
    static qint64 availableBytes();
    // MemAvailable of a /proc/meminfo text, in bytes; -1 when absent or malformed.
    static qint64 parseMemAvailable(const QByteArray &meminfo);
    // What is kept free for the rest of the system and the program: 5 % of the available
    // memory, at least 256 MiB.
    static qint64 margin(qint64 available);
    // "1.5 GiB", "300 MiB", "12 KiB", "17 bytes": sizes as messages give them.
    static QByteArray formatBytes(qint64 bytes);
};
