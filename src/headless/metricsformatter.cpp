#include "metricsformatter.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>

#include "framemetrics.h"
#include "framesource.h"
#include "metricssummary.h"

namespace {

const char *const planeNames[3] = {"y", "u", "v"};

// The values of one measure for every plane: "{"y":..,"u":..,"v":..}".
template<typename Measure>
QByteArray jsonPlanes(const FrameMetrics &metrics, Measure measure)
{
    QByteArray text("{");
    for (int plane = 0; plane < metrics.planeCount; ++plane) {
        if (plane > 0)
            text += ',';
        text += '"';
        text += planeNames[plane];
        text += "\":" + MetricsFormatter::jsonNumber(measure(metrics.planes[size_t(plane)]));
    }
    return text + '}';
}

} // namespace

QByteArray MetricsFormatter::csvHeader()
{
    return "frame,ref,mse_y,mse_u,mse_v,psnr_y,psnr_u,psnr_v,ssim_y,ssim_u,ssim_v\n";
}

QByteArray MetricsFormatter::csvRow(const FrameMetrics &metrics)
{
    QByteArray line
            = QByteArray::number(metrics.frame) + ',' + QByteArray::number(metrics.reference);
    for (int measure = 0; measure < 3; ++measure) {
        for (int plane = 0; plane < 3; ++plane) {
            line += ',';
            if (plane >= metrics.planeCount)
                continue;
            const PlaneMetrics &values = metrics.planes[size_t(plane)];
            line += number(measure == 0 ? values.mse : measure == 1 ? values.psnr : values.ssim);
        }
    }
    return line + '\n';
}

QByteArray MetricsFormatter::jsonRow(const FrameMetrics &metrics)
{
    return "{\"frame\":" + QByteArray::number(metrics.frame)
            + ",\"ref\":" + QByteArray::number(metrics.reference)
            + ",\"mse\":" + jsonPlanes(metrics, [](const PlaneMetrics &p) { return p.mse; })
            + ",\"psnr\":" + jsonPlanes(metrics, [](const PlaneMetrics &p) { return p.psnr; })
            + ",\"ssim\":" + jsonPlanes(metrics, [](const PlaneMetrics &p) { return p.ssim; })
            + '}';
}

QByteArray MetricsFormatter::jsonSummary(const MetricsSummary &summary, int reference, int planes)
{
    QByteArray text;
    for (int plane = 0; plane < planes; ++plane) {
        if (plane > 0)
            text += ',';
        text += "{\"ref\":" + QByteArray::number(reference) + ",\"plane\":\"" + planeNames[plane]
                + "\",\"frames\":" + QByteArray::number(summary.getFrameCount(reference, plane))
                + ",\"mean_psnr\":" + jsonNumber(summary.getMeanPsnr(reference, plane))
                + ",\"psnr_of_mean_mse\":" + jsonNumber(summary.getPsnrOfMeanMse(reference, plane))
                + ",\"mean_mse\":" + jsonNumber(summary.getMeanMse(reference, plane))
                + ",\"mean_ssim\":" + jsonNumber(summary.getMeanSsim(reference, plane))
                + ",\"worst_frame\":" + QByteArray::number(summary.getWorstFrame(reference, plane))
                + ",\"worst_psnr\":" + jsonNumber(summary.getWorstPsnr(reference, plane)) + '}';
    }
    return text;
}

QByteArray MetricsFormatter::textSummary(const MetricsSummary &summary, int reference, int planes)
{
    QByteArray text;
    for (int plane = 0; plane < planes; ++plane) {
        text += "ref " + QByteArray::number(reference) + ' ' + planeNames[plane] + ": "
                + QByteArray::number(summary.getFrameCount(reference, plane))
                + " frames, mean PSNR " + number(summary.getMeanPsnr(reference, plane))
                + " dB, PSNR of mean MSE " + number(summary.getPsnrOfMeanMse(reference, plane))
                + " dB, mean SSIM " + number(summary.getMeanSsim(reference, plane))
                + ", worst frame " + QByteArray::number(summary.getWorstFrame(reference, plane))
                + " (PSNR " + number(summary.getWorstPsnr(reference, plane)) + " dB)\n";
    }
    return text;
}

QByteArray MetricsFormatter::number(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    return QByteArray::number(value, 'g', 8);
}

QByteArray MetricsFormatter::jsonNumber(double value)
{
    if (std::isnan(value))
        return "null";
    if (std::isinf(value))
        return '"' + number(value) + '"';
    return number(value);
}

QByteArray MetricsFormatter::jsonString(const QString &text)
{
    // ["text"] without its brackets.
    const QByteArray array = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QString MetricsFormatter::chromaText(const FrameSource &movie)
{
    const int chroma = movie.getChroma();
    if (movie.getPlaneCount() < 3 || chroma <= 0)
        return QStringLiteral("none");
    return QStringLiteral("%1:%2:%3 (%4x%5)")
            .arg(chroma / 100)
            .arg(chroma / 10 % 10)
            .arg(chroma % 10)
            .arg(movie.getPlaneWidth(1))
            .arg(movie.getPlaneHeight(1));
}
