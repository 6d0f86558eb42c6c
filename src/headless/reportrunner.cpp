#include "reportrunner.h"

#include <QDir>

#include "colourrendering.h"
#include "exportrunner.h"
#include "framesource.h"
#include "reportwriter.h"
#include "sequencecomparison.h"
#include "session.h"
#include "viewrenderer.h"
#include "viewtype.h"

int ReportRunner::compare(SequenceComparison &comparison, const FrameSource &main,
                          const MetricsOptions &options)
{
    ReportWriter writer(m_options.directory);
    // Before the long pass: a folder that can't take the report fails at once.
    if (!writer.prepareDirectory())
        return fail(1, writer.getError());
    writer.addMovie(QStringLiteral("Main"), options.mainFile, main);
    const QString references[2] = {options.reference1File, options.reference2File};
    for (int r = 1; r <= 2; ++r) {
        if (const FrameSource *pReference = comparison.getReference(r))
            writer.addMovie(QStringLiteral("Reference %1").arg(r), references[r - 1], *pReference);
        const int offset = comparison.getReferenceOffset(r);
        if (comparison.getReference(r) && offset != 0)
            writer.addNote(QStringLiteral("Reference %1 starts at main frame %2: its frame f - %3 "
                                          "is compared with main frame f.")
                                   .arg(r)
                                   .arg(offset + 1)
                                   .arg(offset));
    }
    if (options.files.firstFrame > 0 || options.files.frameCount >= 0)
        writer.addNote(QStringLiteral("Frames %1 .. of the files are compared: frame 1 here is "
                                      "their frame %1 (counted from 0).")
                               .arg(options.files.firstFrame));
    if (!writer.compare(comparison, main.getDepth()))
        return fail(1, writer.getError());

    // Only the worst frames are read again, as the window opens the files.
    const QVector<int> worst = writer.worstFrames(m_options.worstCount);
    ExportOptions exportOptions;
    exportOptions.mainFile = options.mainFile;
    exportOptions.reference1File = options.reference1File;
    exportOptions.reference2File = options.reference2File;
    exportOptions.files = options.files;
    exportOptions.referenceFiles[0] = options.referenceFiles[0];
    exportOptions.referenceFiles[1] = options.referenceFiles[1];
    exportOptions.colour = true;
    exportOptions.reference1Offset = options.reference1Offset;
    exportOptions.reference2Offset = options.reference2Offset;
    Session session;
    ExportRunner opener(m_pErr);
    if (const int status = opener.openMovies(exportOptions, session, false); status != 0)
        return status;
    ViewRenderer renderer;
    for (int view = ViewType::Main; view <= ViewType::Diff2; ++view)
        renderer.setRange(view, session.getRange(view));
    renderer.setColour(true, ColourRendering(exportOptions.colourOptions));
    if (!writer.writePictures(session.getMovieSet(), renderer, worst) || !writer.writePage())
        return fail(1, writer.getError());
    note(QStringLiteral("report written to %1 (%2 worst frames as pictures)")
                 .arg(QDir::toNativeSeparators(writer.getPagePath()))
                 .arg(worst.size()));
    return finish();
}
