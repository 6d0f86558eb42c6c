#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>

// The program (RAWCOMPARE_PATH, which the test's target defines) as users run it, with no
// display of any kind, in `folder`; its exit status (-1 when it did not end normally) and
// output.
struct ProgramRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;

    static ProgramRun run(const QStringList &arguments, const QString &folder)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.start(RAWCOMPARE_PATH, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }
};

inline bool writeFile(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
