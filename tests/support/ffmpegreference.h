#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What ffmpeg's own psnr and ssim filters say about one frame (their stats_file lines).
struct FfmpegFrameStats
{
    int planes = 0; // 1 (gray) or 3
    double mse[3] = {0, 0, 0}; // printed with 2 decimals
    double psnr[3] = {0, 0, 0}; // printed with 2 decimals; inf for identical planes
    double ssim[3] = {0, 0, 0}; // printed with 6 decimals
};

// Runs ffmpeg with these arguments (after -nostdin -loglevel error -y). False with ffmpeg's
// message in *pError.
bool runFfmpeg(const QStringList &arguments, QString *pError);

// Runs the psnr and ssim filters of ffmpeg over two raw files of the same format and size and
// returns one entry per frame; empty with *pError set when ffmpeg failed. ffmpegOptions go
// before the inputs (for example -cpuflags 0).
QVector<FfmpegFrameStats> ffmpegStats(const QString &mainFile, const QString &referenceFile,
                                      const QString &pixelFormat, int width, int height,
                                      const QString &workFolder, QString *pError,
                                      const QStringList &ffmpegOptions = {});
