#pragma once

#include <QByteArray>
#include <QString>

class FrameSource;
struct FrameBlockErrors;
struct FrameMetrics;
class MetricsSummary;

// The text forms of `rawcompare --metrics`: CSV rows, JSON objects and the summary lines.
// Numbers have 8 significant digits; PSNR of identical planes is inf ("inf" in JSON), SSIM of
// a plane too small for one 8x8 window nan (null in JSON).
class MetricsFormatter
{
public:
    // "frame,ref,mse_y,mse_u,mse_v,psnr_y,psnr_u,psnr_v,ssim_y,ssim_u,ssim_v\n"
    static QByteArray csvHeader();
    // One line; the columns of planes not compared are empty.
    static QByteArray csvRow(const FrameMetrics &metrics);
    // {"frame":0,"ref":1,"mse":{"y":..,"u":..,"v":..},"psnr":{..},"ssim":{..}} without a newline.
    static QByteArray jsonRow(const FrameMetrics &metrics);
    // The summary of one reference's planes as JSON objects separated by commas, one per plane:
    // {"ref":1,"plane":"y","frames":..,"mean_psnr":..,"psnr_of_mean_mse":..,"mean_ssim":..,
    // "worst_frame":..,"worst_psnr":..}
    static QByteArray jsonSummary(const MetricsSummary &summary, int reference, int planes);
    // One line per plane for stderr: "ref 1 y: 200 frames, mean PSNR ... dB, ...".
    static QByteArray textSummary(const MetricsSummary &summary, int reference, int planes);

    // "frame,ref,plane,x,y,width,height,mse,psnr,max_abs_diff\n"
    static QByteArray blockCsvHeader();
    // One line for every block of every plane compared.
    static QByteArray blockCsvRows(const FrameBlockErrors &blocks);
    // {"frame":0,"ref":1,"plane":"y","x":0,"y":0,"width":16,"height":16,"mse":..,"psnr":..,
    // "max_abs_diff":..} for every block, separated by ",\n", without a newline at the end.
    static QByteArray blockJsonRows(const FrameBlockErrors &blocks);

    static QByteArray number(double value); // 8 significant digits, "inf", "-inf", "nan"
    static QByteArray jsonNumber(double value); // as number(), but "inf" quoted and nan null
    static QByteArray jsonString(const QString &text); // quoted, with JSON escapes
    // How a movie's chroma is sampled and its size: "4:2:0 (176x144)"; "none" for gray.
    static QString chromaText(const FrameSource &movie);
};
