#include "savefile.h"

#include <cerrno>

#include <QFileInfo>
#include <QSaveFile>

SaveFile::SaveFile(const QString &fileName) : m_fileName(fileName) { }

SaveFile::~SaveFile() { abandon(); }

bool SaveFile::open()
{
    abandon();
    // QSaveFile would put a regular file in place of a device or a FIFO (and may, with the
    // rights to do so): those are written as they are. A folder fails to open as a file does.
    const QFileInfo existing(m_fileName);
    m_direct = existing.exists() && !existing.isFile();
    if (m_direct) {
        m_pFile = std::make_unique<QFile>(m_fileName);
    } else {
        // Resolves symbolic links, copies the replaced file's permissions to the temporary file
        // and syncs it to disk before the rename.
        auto pSaveFile = std::make_unique<QSaveFile>(m_fileName);
        pSaveFile->setDirectWriteFallback(true);
        m_pFile = std::move(pSaveFile);
    }
    errno = 0;
    if (!m_pFile->open(QIODevice::WriteOnly)) {
        fail();
        m_pFile.reset();
        return false;
    }
    return true;
}

QFileDevice *SaveFile::device() const { return m_pFile.get(); }

bool SaveFile::commit()
{
    if (!m_pFile)
        return false;
    // A full disk often tells only when the buffered rest is flushed. QSaveFile::commit would
    // flush it too, but puts the file in place even when that flush fails: it is done and
    // judged here first.
    if (!m_pFile->flush() || m_pFile->error() != QFileDevice::NoError) {
        fail();
        abandon();
        return false;
    }
    bool done = true;
    if (auto *pSaveFile = qobject_cast<QSaveFile *>(m_pFile.get())) {
        done = pSaveFile->commit();
        if (!done)
            fail();
    } else {
        m_pFile->close();
    }
    m_pFile.reset();
    return done;
}

void SaveFile::abandon()
{
    if (!m_pFile)
        return;
    const int reason = errno;
    if (auto *pSaveFile = qobject_cast<QSaveFile *>(m_pFile.get()))
        pSaveFile->cancelWriting();
    m_pFile.reset();
    errno = reason;
}

bool SaveFile::fail()
{
    const int reason = errno;
    setErrorString(m_pFile->errorString().toStdString());
    errno = reason;
    return false;
}
