#include "comparisonrunner.h"

#include "framecache.h"
#include "image2d.h"
#include "metricsformatter.h"
#include "moviefileopener.h"
#include "rawfile.h"
#include "rawfilesource.h"
#include "sequencecomparison.h"
#include "stillsource.h"

#include <algorithm>

namespace {

QString sizeText(int width, int height) { return QStringLiteral("%1x%2").arg(width).arg(height); }

QString describe(const FrameSource &movie)
{
    return sizeText(movie.getPlaneWidth(0), movie.getPlaneHeight(0));
}

} // namespace

void ComparisonRunner::note(const QString &text)
{
    std::fputs(("rawcompare: " + text + '\n').toLocal8Bit().constData(), m_pErr);
}

int ComparisonRunner::fail(int status, const QString &text)
{
    note(text);
    m_status = status;
    return status;
}

void ComparisonRunner::write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_pOut);
}

std::unique_ptr<FrameSource> ComparisonRunner::openMovie(const QString &fileName,
                                                         const MovieFileOptions &files)
{
    MovieFileOpener opener;
    const bool opened = opener.open(fileName, files);
    for (const QString &text : opener.takeNotes())
        note(text);
    if (!opened) {
        fail(opener.getStatus(), opener.getError());
        return nullptr;
    }
    if (std::unique_ptr<Image2D> pImage = opener.takeImage())
        return std::make_unique<StillSource>(std::move(pImage));
    std::unique_ptr<RawFile> pFile = opener.takeRawFile();
    if (pFile->getUnusedBytes() > 0)
        note(QStringLiteral("note: %1: they are not compared")
                     .arg(QString::fromStdString(pFile->describeUnusedBytes())));
    return std::make_unique<RawFileSource>(std::move(pFile), opener.getFirstFrame(),
                                           opener.getFrameCount());
}

int ComparisonRunner::run(const MetricsOptions &options)
{
    m_status = 0;
    const std::unique_ptr<FrameSource> pMain = openMovie(options.mainFile, options.files);
    if (!pMain)
        return m_status;
    std::unique_ptr<FrameSource> pReferences[2];
    const QString referenceFiles[2] = {options.reference1File, options.reference2File};
    for (int r = 0; r < 2; ++r) {
        if (referenceFiles[r].isEmpty())
            continue;
        pReferences[r] = openMovie(referenceFiles[r], options.referenceFileOptions(r + 1));
        if (!pReferences[r])
            return m_status;
        const FrameSource &reference = *pReferences[r];
        const QString which = QStringLiteral("reference %1 (%2)").arg(r + 1).arg(referenceFiles[r]);
        if (reference.getDepth() != pMain->getDepth()) {
            return fail(1,
                        QStringLiteral("%1 has %2-bit samples, the main movie %3-bit: they can't "
                                       "be compared")
                                .arg(which)
                                .arg(reference.getDepth())
                                .arg(pMain->getDepth()));
        }
        if (describe(reference) != describe(*pMain)) {
            note(QStringLiteral("note: main %1, %2 %3: compared over the top-left %4x%5")
                         .arg(describe(*pMain), which, describe(reference))
                         .arg(std::min(pMain->getPlaneWidth(0), reference.getPlaneWidth(0)))
                         .arg(std::min(pMain->getPlaneHeight(0), reference.getPlaneHeight(0))));
        }
        if (pMain->getPlaneCount() != reference.getPlaneCount()) {
            note(QStringLiteral("note: %1 is %2 and the main movie %3: only Y is compared")
                         .arg(which,
                              reference.getPlaneCount() > 1 ? QStringLiteral("YUV")
                                                            : QStringLiteral("gray"),
                              pMain->getPlaneCount() > 1 ? QStringLiteral("YUV")
                                                         : QStringLiteral("gray")));
        } else if (SequenceComparison::chromaDiffers(*pMain, reference)) {
            note(QStringLiteral("note: %1 has %2 chroma, the main movie %3: U and V are not "
                                "compared, only Y")
                         .arg(which, MetricsFormatter::chromaText(reference),
                              MetricsFormatter::chromaText(*pMain)));
        }
        const int offset = r == 0 ? options.reference1Offset : options.reference2Offset;
        if (offset == 0 && reference.getNumFrames() != pMain->getNumFrames()) {
            const int compared = std::min(reference.getNumFrames(), pMain->getNumFrames());
            note(QStringLiteral("note: main %1 frames, %2 %3: frames %4 to %5 are not compared "
                                "with reference %6")
                         .arg(pMain->getNumFrames())
                         .arg(which)
                         .arg(reference.getNumFrames())
                         .arg(options.files.firstFrame + compared)
                         .arg(options.files.firstFrame
                              + std::max(reference.getNumFrames(), pMain->getNumFrames()) - 1)
                         .arg(r + 1));
        }
    }

    SequenceComparison comparison(pMain.get(), pReferences[0].get(), pReferences[1].get());
    comparison.setThreadCount(options.threads);
    comparison.setMemoryBudget(options.memoryBudget >= 0 ? options.memoryBudget
                                                         : FrameCache::defaultBudget());
    comparison.setReferenceOffset(1, options.reference1Offset);
    comparison.setReferenceOffset(2, options.reference2Offset);
    for (int r = 1; r <= 2; ++r) {
        const int offset = comparison.getReferenceOffset(r);
        if (!pReferences[r - 1] || offset == 0)
            continue;
        const int first = comparison.getFirstComparedFrame(r);
        const int end = comparison.getEndComparedFrame(r);
        const QString which = QStringLiteral("reference %1 (%2)").arg(r).arg(referenceFiles[r - 1]);
        if (first >= end) {
            note(QStringLiteral("note: %1 starts at main frame %2: no frame of it meets a frame of "
                                "the main movie, it is not compared")
                         .arg(which)
                         .arg(qint64(options.files.firstFrame) + offset));
            continue;
        }
        // Frame numbers as the rows print them: the files' own, the reference's from where its
        // own options start it.
        const int referenceFirst = options.referenceFileOptions(r).firstFrame;
        note(QStringLiteral("note: %1 starts at main frame %2: main frames %3 to %4 are compared "
                            "with its frames %5 to %6; frames without a partner are not compared")
                     .arg(which)
                     .arg(qint64(options.files.firstFrame) + offset)
                     .arg(options.files.firstFrame + first)
                     .arg(options.files.firstFrame + end - 1)
                     .arg(qint64(referenceFirst) + first - offset)
                     .arg(qint64(referenceFirst) + end - 1 - offset));
    }
    return compare(comparison, *pMain, options);
}

int ComparisonRunner::stopped(const SequenceComparison &comparison, bool isJson)
{
    const QString error = QString::fromStdString(comparison.getErrorString());
    // What is printed stays a whole JSON document: the rows so far and why it stopped.
    if (isJson)
        write("\n], \"error\": " + MetricsFormatter::jsonString(error) + "}\n");
    std::fflush(m_pOut);
    return fail(1, error);
}

int ComparisonRunner::finish()
{
    if (std::fflush(m_pOut) != 0 || std::ferror(m_pOut))
        return fail(1, QStringLiteral("the results could not be written"));
    return 0;
}
