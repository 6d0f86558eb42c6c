#include "memoryinfo.h"

#include <algorithm>
#include <limits>

#include <QFile>
#include <QList>

#include <sys/resource.h>
#include <unistd.h>

qint64 MemoryInfo::parseMemAvailable(const QByteArray &meminfo)
{
    for (const QByteArray &line : meminfo.split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        const QList<QByteArray> fields = line.mid(13).simplified().split(' ');
        bool ok = false;
        const qint64 value = fields.value(0).toLongLong(&ok);
        if (!ok || value < 0 || value > std::numeric_limits<qint64>::max() / 1024)
            return -1;
        if (fields.size() == 1)
            return value;
        if (fields.size() == 2 && fields[1] == "kB")
            return value * 1024;
        return -1;
    }
    return -1;
}

qint64 MemoryInfo::margin(qint64 available)
{
    return std::max<qint64>(available / 20, qint64(256) << 20);
}

qint64 MemoryInfo::availableBytes()
{
    qint64 result = -1;
    QFile file(QStringLiteral("/proc/meminfo"));
    if (file.open(QIODevice::ReadOnly)) {
        const qint64 available = parseMemAvailable(file.readAll());
        if (available >= 0)
            result = std::max<qint64>(available - margin(available), 0);
    }
    // A lowered address-space limit (ulimit -v) bounds the program before memory does.
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        qint64 used = 0;
        QFile status(QStringLiteral("/proc/self/statm"));
        if (status.open(QIODevice::ReadOnly))
            used = status.readAll().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
        const qint64 left = std::max<qint64>(qint64(limit.rlim_cur) - used, 0);
        result = result < 0 ? left : std::min(result, left);
    }
    return result;
}

QByteArray MemoryInfo::formatBytes(qint64 bytes)
{
    const char *units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024)
        return QByteArray::number(bytes) + " bytes";
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QByteArray::number(value, 'f', value < 10 ? 1 : 0) + ' ' + units[unit];
}
