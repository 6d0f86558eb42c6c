#include "reportaction.h"

#include <QStringList>

#include "dialogprovider.h"
#include "framesource.h"
#include "image3d.h"
#include "moviesources.h"
#include "playback.h"
#include "reportoptions.h"
#include "reportwriter.h"
#include "sequencecomparison.h"
#include "session.h"
#include "slicewidget.h"

ReportAction::ReportAction(Session &session, const std::unique_ptr<DialogProvider> &dialogs,
                           QWidget *pWindow, SliceWidget *pSliceWidget, Playback *pPlayback)
    : QObject(pWindow)
    , m_session(session)
    , m_dialogs(dialogs)
    , m_pWindow(pWindow)
    , m_pSliceWidget(pSliceWidget)
    , m_pPlayback(pPlayback)
{ }

void ReportAction::writeReport()
{
    // The comparison runs the event loop (its progress dialog): no step meanwhile.
    const bool playing = m_pPlayback->isPlaying();
    m_pPlayback->pause();
    QString error;
    if (!write(error) && !error.isEmpty())
        m_dialogs->warning(m_pWindow, QStringLiteral("Warning"), error);
    if (playing)
        m_pPlayback->play();
}

bool ReportAction::write(QString &error)
{
    const MovieSet movies = m_session.getMovieSet();
    const Image3D *pMain = movies.getMain();
    if (!pMain || (!movies.getReference(1) && !movies.getReference(2))) {
        error = QStringLiteral("Load a main movie and a reference movie to write a report");
        return false;
    }
    for (int r = 1; r <= 2; ++r) {
        const Image3D *pReference = movies.getReference(r);
        if (pReference && pReference->getDepth() != pMain->getDepth()) {
            error = QStringLiteral("Reference %1 has %2-bit samples, the main movie %3-bit: they "
                                   "can't be compared")
                            .arg(r)
                            .arg(pReference->getDepth())
                            .arg(pMain->getDepth());
            return false;
        }
    }
    const QString directory
            = m_dialogs->getExistingDirectory(m_pWindow, QStringLiteral("Write report"), QString());
    if (directory.isNull())
        return false;
    ReportWriter writer(directory);
    if (!writer.prepareDirectory()) {
        error = QStringLiteral("Unable to write the report\n%1").arg(writer.getError());
        return false;
    }
    std::unique_ptr<FrameSource> sources[3];
    MovieSources::make(movies, sources);
    const char *roles[3] = {"Main", "Reference 1", "Reference 2"};
    for (int slot = 0; slot < 3; ++slot) {
        if (sources[slot])
            writer.addMovie(QString::fromLatin1(roles[slot]),
                            m_session.getFileNames(slot).join(QStringLiteral(", ")),
                            *sources[slot]);
    }
    SequenceComparison comparison(sources[0].get(), sources[1].get(), sources[2].get());
    comparison.setMemoryBudget(m_session.getFrameCacheBudget());
    for (int r = 1; r <= 2; ++r)
        comparison.setReferenceOffset(r, movies.getOffset(r));
    const ProgressCallback progress
            = m_dialogs->progress(m_pWindow, QStringLiteral("Writing the report..."));
    if (!writer.compare(comparison, pMain->getDepth(), progress)
        || !writer.writePictures(movies, m_pSliceWidget->getRenderer(),
                                 writer.worstFrames(ReportOptions::defaultWorstCount))
        || !writer.writePage()) {
        if (!writer.getError().isEmpty())
            error = QStringLiteral("Unable to write the report\n%1").arg(writer.getError());
        return false;
    }
    return true;
}
