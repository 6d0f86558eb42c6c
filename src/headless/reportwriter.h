#pragma once

#include <vector>

#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include "framemetrics.h"
#include "metricssummary.h"
#include "progresscallback.h"

class FrameSource;
class MetricsChart;
class MovieSet;
class SequenceComparison;
class ViewRenderer;

// A comparison written as one self-contained HTML page (inline CSS and SVG, no script, nothing
// fetched) with pictures beside it, for `rawcompare --report` and File > "Write report...":
// the movies and their formats, the summary per reference and plane, PSNR and SSIM per frame
// as plots (MetricsChart), and the worst frames (the lowest Y PSNR against reference 1, or 2
// when there is no reference 1) as the main picture, the reference and their difference as a
// heat map. Frames are counted from 1 in the page, as the window counts them.
class ReportWriter
{
public:
    // The page goes to directory/index.html, the pictures beside it.
    explicit ReportWriter(const QString &directory) : m_directory(directory) { }

    // A line of the table of movies: role ("Main", "Reference 1"), its file and its format.
    void addMovie(const QString &role, const QString &fileName, const FrameSource &movie);
    // A line said under the movies (what is not compared and why).
    void addNote(const QString &text) { m_notes.append(text); }
    // Creates the folder when missing; false with the error (naming it) when it can't be
    // created or written.
    bool prepareDirectory();
    // Runs the comparison and keeps every frame's measures (frames from 0); progress is told
    // (frames done, frames) and may stop it. False with the error when it stopped.
    bool compare(SequenceComparison &comparison, int depth, const ProgressCallback &progress = {});
    // The worst frames by the page's rule: up to count frames, lowest Y PSNR first.
    QVector<int> worstFrames(int count) const;
    int getWorstReference() const;
    // Writes the main picture, the reference's and the heat map of their difference of each
    // frame (renderer's ranges and colour; the difference as a heat map).
    bool writePictures(const MovieSet &movies, const ViewRenderer &renderer,
                       const QVector<int> &frames);
    // Writes directory/index.html.
    bool writePage();

    QString getError() const { return m_error; }
    QString getPagePath() const;
    const MetricsSummary &getSummary() const { return m_summary; }

    // The page of what was gathered so far.
    QByteArray page() const;
    // The chart painted as an <svg> element of size pixels for an HTML page.
    static QByteArray chartSvg(const MetricsChart &chart, const QSize &size, const QString &title);
    // text with &, <, >, " and ' as HTML entities.
    static QString escaped(const QString &text);
    // "frame_0012_main.png", ..._ref1, ..._diff1 (frame counted from 1).
    static QString pictureName(int frame, const QString &what);

private:
    struct Movie
    {
        QString role;
        QString fileName;
        QString format;
    };
    struct Worst
    {
        int frame = 0;
        QString pictures[3]; // main, reference, difference; empty: not written
        double largest = 1.0; // the heat map's full colour: the largest |difference| of Y
    };
    bool failed(const QString &error);
    QByteArray summaryTable() const;
    QByteArray plots() const;
    QByteArray worstSection() const;

    QString m_directory;
    QList<Movie> m_movies;
    QStringList m_notes;
    std::vector<FrameMetrics> m_frames; // in comparison order
    int m_frameCount = 0; // main frames the comparison spans
    int m_planes[2] = {0, 0}; // planes compared with reference 1 and 2
    MetricsSummary m_summary;
    QList<Worst> m_worst;
    QString m_error;
};
