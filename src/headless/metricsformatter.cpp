#include "metricsformatter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <QJsonArray>
#include <QJsonDocument>

#include "frameblockerrors.h"
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

char *copyText(char *pOut, std::string_view text)
{
    std::memcpy(pOut, text.data(), text.size());
    return pOut + text.size();
}

// Whether value lies exactly halfway between two numbers of 8 significant digits: its exact
// decimal digits are 9, the last a 5. A double is m * 2^e with m odd: for e < 0 its digits are
// those of m * 5^-e; for e >= 0 those of the whole number without its trailing zeros, and 9 of
// them ending in 5 need m = digits * 5^e, so e <= 11.
bool isHalfway(double value)
{
    int exponent = 0;
    std::uint64_t digits = std::uint64_t(std::ldexp(std::frexp(std::fabs(value), &exponent), 53));
    exponent -= 53;
    for (; digits != 0 && digits % 2 == 0; digits /= 2)
        ++exponent;
    const std::uint64_t limit = 1000000000;
    if (exponent > 11)
        return false;
    if (exponent >= 0) {
        for (digits <<= exponent; digits != 0 && digits % 10 == 0; digits /= 10) { }
    }
    for (; exponent < 0 && digits < limit; ++exponent)
        digits *= 5;
    return digits >= limit / 10 && digits < limit && digits % 10 == 5;
}

// 10^power as the double nearest to it, for powers -30 to 30.
double tenTo(int power)
{
    static const std::array<double, 61> powers = [] {
        std::array<double, 61> table {};
        for (int i = 0; i < 61; ++i)
            table[size_t(i)] = std::strtod(("1e" + std::to_string(i - 30)).c_str(), nullptr);
        return table;
    }();
    return powers[size_t(power + 30)];
}

// Writes value with 8 significant digits as QByteArray::number(value, 'g', 8) does ("nan",
// "inf", "-inf" as they are), into room for 32 characters; returns the end. Without a
// temporary: a frame's blocks write hundreds of thousands of numbers.
char *writeNumber(char *pOut, double value)
{
    if (std::isnan(value))
        return copyText(pOut, "nan");
    if (std::isinf(value))
        return copyText(pOut, value > 0 ? "inf" : "-inf");
    if (value == 0)
        return copyText(pOut, "0");
    // The usual case, faster than to_chars: value scaled to 8 digits before the point, where
    // the error of scaling (a few units in the 16th digit) can't change how it rounds.
    const double magnitude = std::fabs(value);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    // 10^exponent <= magnitude < 10^(exponent + 1), from magnitude's power of two (a normal
    // number's exponent bits e: 2^(e - 1023) <= magnitude), too small by two at most first.
    const int binaryExponent = int(bits >> 52) - 1023;
    int exponent = (binaryExponent * 78913 >> 18) - (binaryExponent < 0 ? 1 : 0);
    if (binaryExponent >= -70 && binaryExponent <= 70) {
        while (magnitude >= tenTo(exponent + 1))
            ++exponent;
        const double scaled = magnitude * tenTo(7 - exponent);
        const auto whole = std::int64_t(scaled);
        const double fraction = scaled - double(whole);
        if (std::fabs(fraction - 0.5) > 1e-6 && whole >= 10000000 && whole < 100000000) {
            std::int64_t digits = whole + (fraction > 0.5 ? 1 : 0);
            if (digits == 100000000) {
                digits = 10000000;
                ++exponent;
            }
            char text[8];
            std::to_chars(text, text + 8, digits);
            int count = 8;
            while (count > 1 && text[count - 1] == '0')
                --count;
            // As printf's %.8g: plain for exponents -4 to 7, else d.ddde+XX.
            char *p = pOut;
            if (value < 0)
                *p++ = '-';
            if (exponent < -4) {
                *p++ = text[0];
                if (count > 1)
                    *p++ = '.';
                p = std::copy(text + 1, text + count, p);
                p = copyText(p, exponent > -10 ? "e-0" : "e-");
                return std::to_chars(p, p + 4, -exponent).ptr;
            }
            if (exponent < 0) {
                p = std::fill_n(copyText(p, "0."), -exponent - 1, '0');
                return std::copy(text, text + count, p);
            }
            if (exponent < 8) {
                p = std::copy(text, text + exponent + 1, p);
                if (count > exponent + 1)
                    p = std::copy(text + exponent + 1, text + count, copyText(p, "."));
                return p;
            }
        }
    }
    // Qt rounds a value halfway between two 8-digit numbers away from zero, to_chars to even:
    // the numbers stay those Qt always wrote.
    if (isHalfway(value))
        value = std::nextafter(value, 2 * value);
    return std::to_chars(pOut, pOut + 32, value, std::chars_format::general, 8).ptr;
}

// The rows of every block of every plane compared: `start` and the plane's name, then its x, y,
// width, height, mse, psnr and max_abs_diff each after its text in between[], then between[7].
// JSON rows are separated by ",\n", and have no infinity nor nan (jsonNumber()).
QByteArray blockRows(const FrameBlockErrors &blocks, const QByteArray &start,
                     const std::string_view (&between)[8], bool json)
{
    qsizetype count = 0;
    for (int plane = 0; plane < blocks.planeCount; ++plane)
        count += qsizetype(blocks.planes[size_t(plane)].size());
    QByteArray text;
    text.reserve(count * (json ? 160 : 60));
    // A row is at most 8 numbers of 32 characters and the texts around them.
    char row[512];
    for (int plane = 0; plane < blocks.planeCount; ++plane) {
        for (const BlockError &block : blocks.planes[size_t(plane)]) {
            char *p = copyText(row, json && !text.isEmpty() ? ",\n" : "");
            p = copyText(copyText(p, std::string_view(start.data(), size_t(start.size()))),
                         planeNames[plane]);
            const int integers[4] = {block.x, block.y, block.width, block.height};
            for (int i = 0; i < 4; ++i)
                p = std::to_chars(copyText(p, between[i]), p + 64, integers[i]).ptr;
            const double numbers[3] = {block.mse, block.psnr, block.maxAbsDiff};
            for (int i = 0; i < 3; ++i) {
                p = copyText(p, between[4 + i]);
                const bool quoted = json && std::isinf(numbers[i]);
                if (json && std::isnan(numbers[i]))
                    p = copyText(p, "null");
                else
                    p = copyText(writeNumber(copyText(p, quoted ? "\"" : ""), numbers[i]),
                                 quoted ? "\"" : "");
            }
            text.append(row, copyText(p, between[7]) - row);
        }
    }
    return text;
}

} // namespace

QByteArray MetricsFormatter::blockCsvHeader()
{
    return "frame,ref,plane,x,y,width,height,mse,psnr,max_abs_diff\n";
}

QByteArray MetricsFormatter::blockCsvRows(const FrameBlockErrors &blocks)
{
    static const std::string_view between[8] = {",", ",", ",", ",", ",", ",", ",", "\n"};
    return blockRows(blocks,
                     QByteArray::number(blocks.frame) + ',' + QByteArray::number(blocks.reference)
                             + ',',
                     between, false);
}

QByteArray MetricsFormatter::blockJsonRows(const FrameBlockErrors &blocks)
{
    static const std::string_view between[8]
            = {"\",\"x\":", ",\"y\":",    ",\"width\":",        ",\"height\":",
               ",\"mse\":", ",\"psnr\":", ",\"max_abs_diff\":", "}"};
    return blockRows(blocks,
                     "{\"frame\":" + QByteArray::number(blocks.frame)
                             + ",\"ref\":" + QByteArray::number(blocks.reference) + ",\"plane\":\"",
                     between, true);
}

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
    char text[32];
    return QByteArray(text, writeNumber(text, value) - text);
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
