#include "offsetfinder.h"

#include "dialogprovider.h"
#include "image3d.h"
#include "offsetsearch.h"
#include "rawfilesource.h"
#include "session.h"
#include "volumesource.h"

namespace {

// Y of a movie read from a file (whatever plane the views show), else the plane it holds.
std::unique_ptr<FrameSource> lumaOf(const Image3D &movie)
{
    if (const std::shared_ptr<const RawFile> pFile = movie.getRawFile())
        return std::make_unique<RawFileSource>(pFile, movie.getFileFirstFrame(),
                                               movie.getNumFrames());
    return std::make_unique<VolumeSource>(&movie);
}

} // namespace

OffsetFinder::OffsetFinder(Session &session, const std::unique_ptr<DialogProvider> &dialogs,
                           QWidget *pWindow)
    : QObject(pWindow), m_session(session), m_dialogs(dialogs), m_pWindow(pWindow)
{ }

void OffsetFinder::find(int ref)
{
    const Image3D *pMain = m_session.getMovie(Session::Main);
    const Image3D *pReference = m_session.getMovie(ref);
    if (!pMain || !pReference)
        return;
    if (pMain->getDepth() != pReference->getDepth()) {
        emit noted(QStringLiteral("Reference %1 has %2-bit samples, the main movie %3-bit: no "
                                  "offset is looked for")
                           .arg(ref)
                           .arg(pReference->getDepth())
                           .arg(pMain->getDepth()));
        return;
    }
    const std::unique_ptr<FrameSource> pMainSource = lumaOf(*pMain);
    const std::unique_ptr<FrameSource> pReferenceSource = lumaOf(*pReference);
    OffsetSearch::Result result;
    std::string error;
    const bool ok = OffsetSearch::find(
            *pMainSource, *pReferenceSource, Range, m_session.getFrameCacheBudget(), result, error,
            m_dialogs->progress(
                    m_pWindow,
                    QStringLiteral("Looking for the offset of reference %1...").arg(ref)));
    if (!ok) {
        if (!error.empty())
            m_dialogs->warning(m_pWindow, QStringLiteral("Warning"), QString::fromStdString(error));
        return;
    }
    if (result.found && result.isClear())
        m_session.setOffset(ref, result.offset);
    emit noted(OffsetSearch::describe(result, ref, Range));
}
