#include "savefile.h"

#include <cerrno>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

SaveFile::SaveFile(std::string fileName) : m_fileName(std::move(fileName)) { }

SaveFile::~SaveFile() { abandon(); }

bool SaveFile::open()
{
    struct stat info;
    if (stat(m_fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        m_pFile = std::fopen(m_fileName.c_str(), "wb");
        return m_pFile != nullptr;
    }
    std::string pattern = m_fileName + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        // No temporary file beside it (a folder the user may not add to, say): written
        // directly, and a missing folder is reported for the name the user chose.
        m_pFile = std::fopen(m_fileName.c_str(), "wb");
        return m_pFile != nullptr;
    }
    // mkstemp creates 0600; a saved movie gets the mode a new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    m_pFile = fdopen(fd, "wb");
    if (!m_pFile) {
        const int reason = errno;
        ::close(fd);
        unlink(name.data());
        errno = reason;
        return false;
    }
    m_tempName = name.data();
    return true;
}

bool SaveFile::commit()
{
    if (!m_pFile)
        return false;
    const bool closed = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    if (m_tempName.empty())
        return closed;
    if (!closed || std::rename(m_tempName.c_str(), m_fileName.c_str()) != 0) {
        const int reason = errno;
        unlink(m_tempName.c_str());
        m_tempName.clear();
        errno = reason;
        return false;
    }
    m_tempName.clear();
    return true;
}

void SaveFile::abandon()
{
    if (m_pFile) {
        const int reason = errno;
        std::fclose(m_pFile);
        m_pFile = nullptr;
        errno = reason;
    }
    if (!m_tempName.empty()) {
        unlink(m_tempName.c_str());
        m_tempName.clear();
    }
}
