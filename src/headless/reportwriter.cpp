#include "reportwriter.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include "exportrunner.h"
#include "framesource.h"
#include "metricschart.h"
#include "metricsformatter.h"
#include "movieset.h"
#include "savefile.h"
#include "sequencecomparison.h"
#include "viewrenderer.h"
#include "viewtype.h"

namespace {

const char *const planeNames[3] = {"Y", "U", "V"};
const QSize chartSize(760, 260);
const QSize smallChartSize(760, 200);

QByteArray html(const QString &text) { return ReportWriter::escaped(text).toUtf8(); }

QByteArray number(double value) { return MetricsFormatter::number(value); }

const char *const style = R"(<style>
body { font-family: sans-serif; margin: 1.5em; color: #222; max-width: 80em; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.5em; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.6em; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
th { background: #f0f0f0; }
figure { margin: 0.5em 0; } figcaption { font-size: 0.9em; color: #555; }
.frames { display: flex; gap: 0.8em; }
.frames figure { margin: 0; flex: 1 1 0; min-width: 0; }
.frames img { width: 100%; height: auto; image-rendering: pixelated; border: 1px solid #ccc; }
p.note { color: #555; font-size: 0.9em; }
</style>
)";

} // namespace

QString ReportWriter::escaped(const QString &text)
{
    return text.toHtmlEscaped().replace('\'', "&#39;");
}

QString ReportWriter::pictureName(int frame, const QString &what)
{
    return QStringLiteral("frame_%1_%2.png").arg(frame + 1, 4, 10, QLatin1Char('0')).arg(what);
}

QString ReportWriter::getPagePath() const { return QDir(m_directory).filePath("index.html"); }

bool ReportWriter::failed(const QString &error)
{
    m_error = error;
    return false;
}

void ReportWriter::addMovie(const QString &role, const QString &fileName, const FrameSource &movie)
{
    const int depth = movie.getDepth();
    QString format = QStringLiteral("%1x%2, %3-bit, ")
                             .arg(movie.getPlaneWidth(0))
                             .arg(movie.getPlaneHeight(0))
                             .arg(depth);
    format += movie.getPlaneCount() >= 3
            ? QStringLiteral("YUV, chroma %1").arg(MetricsFormatter::chromaText(movie))
            : QStringLiteral("one plane");
    format += movie.getNumFrames() == 1 ? QStringLiteral(", 1 frame")
                                        : QStringLiteral(", %1 frames").arg(movie.getNumFrames());
    m_movies.append({role, fileName, format});
}

bool ReportWriter::prepareDirectory()
{
    const QFileInfo info(m_directory);
    if (info.exists() && !info.isDir())
        return failed(QStringLiteral("%1: a file, not a folder").arg(m_directory));
    if (!QDir().mkpath(m_directory))
        return failed(QStringLiteral("%1: the folder can't be created").arg(m_directory));
    if (!QFileInfo(m_directory).isWritable())
        return failed(QStringLiteral("%1: the folder can't be written").arg(m_directory));
    return true;
}

bool ReportWriter::compare(SequenceComparison &comparison, int depth,
                           const ProgressCallback &progress)
{
    m_frames.clear();
    m_summary = MetricsSummary(depth);
    m_frameCount = comparison.getEndFrame();
    // For the heat maps of the worst frames.
    comparison.setMeasuresLargestDifference(true);
    for (int r = 1; r <= 2; ++r)
        m_planes[r - 1]
                = comparison.getComparedFrameCount(r) > 0 ? comparison.getComparedPlaneCount(r) : 0;
    const int first = comparison.getFirstFrame();
    const int frames = comparison.getEndFrame() - first;
    bool cancelled = false;
    const bool ok = comparison.run([&](const FrameMetrics &metrics) {
        m_frames.push_back(metrics);
        m_summary.add(metrics);
        if (progress && !progress(metrics.frame - first + 1, frames)) {
            cancelled = true;
            return false;
        }
        return true;
    });
    if (cancelled)
        return failed(QString());
    if (!ok)
        return failed(QString::fromStdString(comparison.getErrorString()));
    return true;
}

int ReportWriter::getWorstReference() const { return m_planes[0] > 0 ? 1 : 2; }

QVector<int> ReportWriter::worstFrames(int count) const
{
    QVector<double> psnr(m_frameCount, std::nan(""));
    const int reference = getWorstReference();
    for (const FrameMetrics &metrics : m_frames) {
        if (metrics.reference == reference && metrics.frame < m_frameCount)
            psnr[metrics.frame] = metrics.planes[0].psnr;
    }
    return MetricsChart::lowest(psnr, count);
}

bool ReportWriter::writePictures(const MovieSet &movies, const ViewRenderer &renderer,
                                 const QVector<int> &frames)
{
    const int reference = getWorstReference();
    // Pictures of the main movie's and the reference's size, whatever the other reference's.
    const MovieSet pair(movies.getMain(), reference == 1 ? movies.getReference(1) : nullptr,
                        reference == 2 ? movies.getReference(2) : nullptr, movies.getOffset(1),
                        movies.getOffset(2));
    ViewRenderer heat = renderer;
    DifferenceDisplay display = heat.getDifferenceDisplay(reference);
    display.mode = DifferenceDisplay::Mode::Heat;
    heat.setDifferenceDisplay(reference, display);
    const QDir directory(m_directory);
    const int views[3] = {ViewType::Main, reference == 1 ? ViewType::Ref1 : ViewType::Ref2,
                          reference == 1 ? ViewType::Diff1 : ViewType::Diff2};
    const QString names[3] = {QStringLiteral("main"), QStringLiteral("ref%1").arg(reference),
                              QStringLiteral("diff%1").arg(reference)};
    m_worst.clear();
    for (int frame : frames) {
        Worst worst;
        worst.frame = frame;
        // The heat map spans the frame's own largest difference, so that small errors show.
        for (const FrameMetrics &metrics : m_frames) {
            if (metrics.frame == frame && metrics.reference == reference)
                worst.largest = std::max(1.0, metrics.planes[0].maxAbsDiff);
        }
        heat.setRange(views[2], {float(-worst.largest), float(worst.largest)});
        for (int k = 0; k < 3; ++k) {
            const QString name = pictureName(frame, names[k]);
            QString error;
            if (!ExportRunner::writeView(pair, heat, views[k], frame, directory.filePath(name),
                                         error))
                return failed(error);
            worst.pictures[k] = name;
        }
        m_worst.append(worst);
    }
    return true;
}

QByteArray ReportWriter::chartSvg(const MetricsChart &chart, const QSize &size,
                                  const QString &title)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    {
        QPainter painter(&generator);
        chart.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    const QString svg = QString::fromUtf8(buffer.data());
    // Inline in the page: no XML declaration, no namespaces (HTML knows the element), a size in
    // pixels, and the browser's own sans-serif font.
    const qsizetype start = svg.indexOf(QLatin1String("<svg"));
    const qsizetype end = svg.indexOf(QLatin1Char('>'), start);
    if (start < 0 || end < 0)
        return {};
    static const QRegularExpression family(QStringLiteral("font-family=\"[^\"]*\""));
    return (QStringLiteral("<svg width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\">")
                    .arg(size.width())
                    .arg(size.height())
            + svg.mid(end + 1).replace(family, QStringLiteral("font-family=\"sans-serif\"")))
            .toUtf8();
}

QByteArray ReportWriter::summaryTable() const
{
    QByteArray text = "<table>\n<tr><th>reference</th><th>plane</th><th>frames</th>"
                      "<th>mean PSNR (dB)</th><th>PSNR of mean MSE (dB)</th><th>mean MSE</th>"
                      "<th>mean SSIM</th><th>worst frame</th><th>worst PSNR (dB)</th></tr>\n";
    for (int r = 1; r <= 2; ++r) {
        for (int p = 0; p < m_planes[r - 1]; ++p) {
            if (m_summary.getFrameCount(r, p) == 0)
                continue;
            text += "<tr><td>" + QByteArray::number(r) + "</td><td>" + planeNames[p]
                    + "</td><td class=\"n\">" + QByteArray::number(m_summary.getFrameCount(r, p))
                    + "</td><td class=\"n\">" + number(m_summary.getMeanPsnr(r, p))
                    + "</td><td class=\"n\">" + number(m_summary.getPsnrOfMeanMse(r, p))
                    + "</td><td class=\"n\">" + number(m_summary.getMeanMse(r, p))
                    + "</td><td class=\"n\">" + number(m_summary.getMeanSsim(r, p))
                    + "</td><td class=\"n\">"
                    + QByteArray::number(m_summary.getWorstFrame(r, p) + 1)
                    + "</td><td class=\"n\">" + number(m_summary.getWorstPsnr(r, p))
                    + "</td></tr>\n";
        }
    }
    return text + "</table>\n";
}

QByteArray ReportWriter::plots() const
{
    const int planes = std::max(m_planes[0], m_planes[1]);
    const QVector<int> worst = [this] {
        QVector<int> frames;
        for (const Worst &w : m_worst)
            frames.append(w.frame);
        return frames;
    }();
    QByteArray text;
    for (int p = 0; p < planes; ++p) {
        MetricsChart chart;
        for (const FrameMetrics &metrics : m_frames) {
            if (p >= metrics.planeCount)
                continue;
            chart.setPsnrValue(metrics.reference, metrics.frame, metrics.planes[size_t(p)].psnr);
            chart.setSsimValue(metrics.reference, metrics.frame, metrics.planes[size_t(p)].ssim);
        }
        chart.setWorstFrames(worst);
        text += "<figure>\n"
                + chartSvg(chart, p == 0 ? chartSize : smallChartSize,
                           QStringLiteral("PSNR and SSIM per frame, plane %1")
                                   .arg(QLatin1String(planeNames[p])))
                + "<figcaption>PSNR (solid, left axis, dB) and SSIM (dashed, right axis) of plane "
                + planeNames[p]
                + " per frame; identical frames on the line marked inf; the "
                  "worst frames marked in red.</figcaption>\n</figure>\n";
    }
    return text;
}

QByteArray ReportWriter::worstSection() const
{
    if (m_worst.isEmpty())
        return {};
    const int reference = getWorstReference();
    QByteArray text = "<h2>Worst frames</h2>\n<p>The " + QByteArray::number(m_worst.size())
            + " frames with the lowest Y PSNR against reference " + QByteArray::number(reference)
            + ", lowest first: the main picture, reference " + QByteArray::number(reference)
            + " and the difference main &minus; reference as a heat map: white none, blue "
              "negative, red positive, the full colour at the frame's largest difference.</p>\n";
    for (const Worst &worst : m_worst) {
        double psnr = std::nan("");
        double ssim = std::nan("");
        for (const FrameMetrics &metrics : m_frames) {
            if (metrics.frame == worst.frame && metrics.reference == reference) {
                psnr = metrics.planes[0].psnr;
                ssim = metrics.planes[0].ssim;
            }
        }
        text += "<h3>Frame " + QByteArray::number(worst.frame + 1) + ": Y PSNR " + number(psnr)
                + " dB, SSIM " + number(ssim) + "</h3>\n<div class=\"frames\">\n";
        const QByteArray captions[3] = {"main", "reference " + QByteArray::number(reference),
                                        "difference, heat map &plusmn;" + number(worst.largest)};
        for (int k = 0; k < 3; ++k) {
            if (worst.pictures[k].isEmpty())
                continue;
            text += "<figure><img src=\"" + html(worst.pictures[k]) + "\" alt=\"frame "
                    + QByteArray::number(worst.frame + 1) + ", " + captions[k] + "\"><figcaption>"
                    + captions[k] + "</figcaption></figure>\n";
        }
        text += "</div>\n";
    }
    return text;
}

QByteArray ReportWriter::page() const
{
    QByteArray text = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>rawcompare report</title>\n";
    text += style;
    text += "</head>\n<body>\n<h1>rawcompare report</h1>\n<h2>Movies</h2>\n<table>\n"
            "<tr><th></th><th>file</th><th>format</th></tr>\n";
    for (const Movie &movie : m_movies)
        text += "<tr><td>" + html(movie.role) + "</td><td>" + html(movie.fileName) + "</td><td>"
                + html(movie.format) + "</td></tr>\n";
    text += "</table>\n";
    for (const QString &note : m_notes)
        text += "<p class=\"note\">" + html(note) + "</p>\n";
    text += "<h2>Summary</h2>\n<p class=\"note\">Frames are counted from 1, as the window counts "
            "them (frame 1 is the first frame compared). Mean PSNR is +inf when a frame was "
            "identical.</p>\n";
    text += summaryTable();
    text += "<h2>Per frame</h2>\n";
    text += plots();
    text += worstSection();
    text += "</body>\n</html>\n";
    return text;
}

bool ReportWriter::writePage()
{
    SaveFile file(getPagePath());
    if (!file.open())
        return failed(QStringLiteral("%1: %2").arg(getPagePath(),
                                                   QString::fromStdString(file.getErrorString())));
    const QByteArray text = page();
    if (file.device()->write(text) != text.size()) {
        const QString reason = file.device()->errorString();
        file.abandon();
        return failed(QStringLiteral("%1: %2").arg(getPagePath(), reason));
    }
    if (!file.commit())
        return failed(QStringLiteral("%1: %2").arg(getPagePath(),
                                                   QString::fromStdString(file.getErrorString())));
    return true;
}
