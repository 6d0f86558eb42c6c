#pragma once

#include <memory>

#include <QString>

#include "errorbase.h"

class QFileDevice;

// A file being written that replaces its destination only when complete, the one way movies and
// pictures are saved. The bytes go to a temporary file beside the destination (beside the target
// of a symbolic link, which stays a link), which takes the permission bits of the file it
// replaces; commit() flushes it to disk and only then renames it over the destination. So a
// cancelled or failed save leaves the old file as it was, and a movie read on demand from the
// destination keeps reading its old frames meanwhile. A destination that exists and is no
// regular file (a device such as /dev/null, a FIFO), or whose folder takes no temporary file, is
// written directly.
class SaveFile : public ErrorBase
{
public:
    explicit SaveFile(const QString &fileName);
    ~SaveFile() override; // abandons an uncommitted file

    // False when the file can't be created: the error text says why, and errno is the system's
    // reason.
    bool open();
    // Where the bytes go while open; null otherwise.
    QFileDevice *device() const;
    // Puts the complete file in place. False (error text, errno) when a write, the flush or the
    // rename failed; the destination is then as it was, except for a direct write.
    bool commit();
    // Drops what was written (a direct write can't be taken back).
    void abandon();

private:
    // Takes the device's reason as the error text, keeping errno as the failure left it.
    bool fail();

    QString m_fileName;
    std::unique_ptr<QFileDevice> m_pFile;
    bool m_direct = false;
};
