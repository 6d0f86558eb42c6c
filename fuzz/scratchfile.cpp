#include "scratchfile.h"

#include <QFile>
#include <QTemporaryDir>

ScratchFile::ScratchFile() : m_pDir(std::make_unique<QTemporaryDir>()) { }

ScratchFile::~ScratchFile() = default;

std::string ScratchFile::write(const QByteArray &bytes, const QString &suffix)
{
    if (!m_pDir->isValid())
        return {};
    const QString path = m_pDir->filePath(QString::fromUtf8("input «ü» \"q\" 'x'") + suffix);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path.toStdString();
}

QString ScratchFile::folder() const { return m_pDir->path(); }
