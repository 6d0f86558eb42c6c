#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>

class QTemporaryDir;

// A file in a private temporary folder that a fuzz target rewrites for every input. Its name has
// blanks, quotes and non-ASCII characters, as users' file names do.
class ScratchFile
{
public:
    ScratchFile();
    ~ScratchFile();

    // Replaces the file's contents; the name ends in suffix (for example ".png", or nothing).
    // Returns the path in UTF-8, or an empty string when the file can't be written.
    std::string write(const QByteArray &bytes, const QString &suffix);
    QString folder() const;

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
};
