#include "ffmpegreference.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <limits>

bool runFfmpeg(const QStringList &arguments, QString *pError)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + arguments);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit
        || ffmpeg.exitCode() != 0) {
        *pError = QStringLiteral("ffmpeg %1 failed: %2 %3")
                          .arg(arguments.join(QLatin1Char(' ')), ffmpeg.errorString(),
                               QString::fromLocal8Bit(ffmpeg.readAllStandardError()));
        return false;
    }
    return true;
}

namespace {

double parseValue(const QString &text)
{
    if (text == QLatin1String("inf"))
        return std::numeric_limits<double>::infinity();
    return text.toDouble();
}

// "key:value" pairs of one stats line.
QHash<QString, double> parseLine(const QString &line)
{
    QHash<QString, double> values;
    static const QRegularExpression pair(QStringLiteral("([A-Za-z_]+):([-0-9.a-z]+)"));
    auto it = pair.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        values.insert(match.captured(1), parseValue(match.captured(2)));
    }
    return values;
}

QStringList readLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

QVector<FfmpegFrameStats> ffmpegStats(const QString &mainFile, const QString &referenceFile,
                                      const QString &pixelFormat, int width, int height,
                                      const QString &workFolder, QString *pError,
                                      const QStringList &ffmpegOptions)
{
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    const QStringList inputs = ffmpegOptions
            + QStringList {"-f", "rawvideo", "-pix_fmt", pixelFormat,  "-s",       size,
                           "-i", mainFile,   "-f",       "rawvideo",   "-pix_fmt", pixelFormat,
                           "-s", size,       "-i",       referenceFile};
    const QString psnrLog = workFolder + QStringLiteral("/psnr.log");
    const QString ssimLog = workFolder + QStringLiteral("/ssim.log");
    if (!runFfmpeg(inputs + QStringList {"-lavfi", "psnr=stats_file=" + psnrLog, "-f", "null", "-"},
                   pError)
        || !runFfmpeg(
                inputs + QStringList {"-lavfi", "ssim=stats_file=" + ssimLog, "-f", "null", "-"},
                pError))
        return {};

    const QStringList psnrLines = readLines(psnrLog);
    const QStringList ssimLines = readLines(ssimLog);
    if (psnrLines.isEmpty() || psnrLines.size() != ssimLines.size()) {
        *pError = QStringLiteral("ffmpeg wrote %1 psnr and %2 ssim lines")
                          .arg(psnrLines.size())
                          .arg(ssimLines.size());
        return {};
    }
    QVector<FfmpegFrameStats> frames;
    const char *const lower[3] = {"y", "u", "v"};
    const char *const upper[3] = {"Y", "U", "V"};
    for (int i = 0; i < psnrLines.size(); ++i) {
        const QHash<QString, double> psnr = parseLine(psnrLines[i]);
        const QHash<QString, double> ssim = parseLine(ssimLines[i]);
        FfmpegFrameStats stats;
        stats.planes = psnr.contains(QStringLiteral("mse_u")) ? 3 : 1;
        for (int p = 0; p < stats.planes; ++p) {
            stats.mse[p] = psnr.value(QStringLiteral("mse_") + lower[p], -1);
            stats.psnr[p] = psnr.value(QStringLiteral("psnr_") + lower[p], -1);
            stats.ssim[p] = ssim.value(QString::fromLatin1(upper[p]), -1);
        }
        frames.append(stats);
    }
    return frames;
}
