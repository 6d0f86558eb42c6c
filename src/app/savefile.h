#pragma once

#include <cstdio>
#include <string>

// A file being written that replaces its destination only when complete: the bytes go to a
// temporary file beside the destination, renamed over it by commit(). So a cancelled or failed
// save leaves no partial file and keeps what was there, and a movie read on demand from the
// destination keeps reading its old frames while the new file is written. A destination that
// exists and isn't a regular file (a device), or one whose folder takes no temporary file, is
// written directly.
class SaveFile
{
public:
    explicit SaveFile(std::string fileName);
    ~SaveFile(); // abandons an uncommitted file

    SaveFile(const SaveFile &) = delete;
    SaveFile &operator=(const SaveFile &) = delete;

    // False when the file can't be created; errno says why.
    bool open();
    FILE *get() const { return m_pFile; }
    // Closes and puts the file in place; false (errno set) when that fails, and then nothing
    // is left behind.
    bool commit();
    // Closes and removes what was written (nothing is removed for a direct write).
    void abandon();

private:
    std::string m_fileName;
    std::string m_tempName; // empty for a direct write
    FILE *m_pFile = nullptr;
};
