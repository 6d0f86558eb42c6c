#include "statustexts.h"

#include <algorithm>

#include <QStringList>

#include "colourrendering.h"
#include "differencerendering.h"
#include "viewrenderer.h"
#include "viewtype.h"
#include "image3d.h"
#include "movieset.h"

namespace StatusTexts {

namespace {

QString number(float value) { return QString::number(double(value), 'g', 7); }

QString nameOf(const Image3D *pMovie, const char *fallback)
{
    const QString name = pMovie ? pMovie->getName() : QString();
    return name.isEmpty() ? QString::fromUtf8(fallback) : name;
}

} // namespace

bool sampleAt(const Image3D *pMovie, int frame, int x, int row, float &value)
{
    if (!pMovie || x < 0 || row < 0 || frame < 0 || x >= pMovie->getWidth()
        || row >= pMovie->getHeight() || frame >= pMovie->getNumFrames())
        return false;
    const FrameCache::Frame samples = pMovie->getFrame(frame);
    if (!samples)
        return false;
    value = samples.get()[qint64(row) * pMovie->getWidth() + x];
    return true;
}

QString readout(const MovieSet &movies, int frame, int x, int row, int canvasHeight)
{
    if (x < 0 || row < 0)
        return QString();
    float values[3] = {};
    bool present[3] = {};
    present[0] = sampleAt(movies.getMain(), frame, x, row, values[0]);
    for (int i = 1; i < 3; ++i)
        present[i] = sampleAt(movies.getReference(i), movies.referenceFrame(i, frame), x, row,
                              values[i]);

    QStringList parts;
    parts << QStringLiteral("x %1").arg(x) << QStringLiteral("y %1").arg(canvasHeight - 1 - row);
    const char *labels[3] = {"main", "ref1", "ref2"};
    for (int i = 0; i < 3; ++i)
        parts << QString::fromUtf8(labels[i]) + ' ' + (present[i] ? number(values[i]) : QString());
    for (int i = 1; i < 3; ++i) {
        // The same difference as the view renders: main - reference, as a float.
        const float difference = values[0] - values[i];
        parts << QStringLiteral("diff%1 ").arg(i)
                        + (present[0] && present[i] ? number(difference) : QString());
    }
    return parts.join(QStringLiteral("  "));
}

QString colourReadout(const ColourRendering &rendering, const Image3D *pMovie, int frame, int x,
                      int row)
{
    ColourRendering::Pixel pixel;
    if (!rendering.pixelAt(pMovie, frame, x, row, pixel))
        return QString();
    QString text = QStringLiteral("YUV %1 %2 %3  RGB %4 %5 %6")
                           .arg(pixel.y)
                           .arg(pixel.u)
                           .arg(pixel.v)
                           .arg(qRed(pixel.rgb))
                           .arg(qGreen(pixel.rgb))
                           .arg(qBlue(pixel.rgb));
    if (pixel.luminance >= 0)
        text += QStringLiteral("  %1 cd/m²").arg(pixel.luminance, 0, 'f', 1);
    return text;
}

QString blockReadout(const ViewRenderer &renderer, const MovieSet &movies, int viewType, int frame,
                     int x, int row)
{
    if (viewType != ViewType::Diff1 && viewType != ViewType::Diff2)
        return QString();
    const DifferenceDisplay display
            = renderer.getDifferenceDisplay(viewType == ViewType::Diff2 ? 2 : 1);
    const MovieSet::ViewSources sources = movies.sources(viewType, frame);
    BlockError block;
    if (display.mode != DifferenceDisplay::Mode::Blocks || !sources.pA || !sources.pB
        || !DifferenceRendering::blockAt(sources,
                                         std::max(sources.pA->getDepth(), sources.pB->getDepth()),
                                         display.blockSize, x, row, block))
        return QString();
    return QStringLiteral("block %1,%2 %3x%4  MSE %5  PSNR %6 dB  max |d| %7")
            .arg(block.x)
            .arg(block.y)
            .arg(block.width)
            .arg(block.height)
            .arg(block.mse, 0, 'g', 6)
            .arg(block.psnr, 0, 'f', 2)
            .arg(block.maxAbsDiff, 0, 'g', 6);
}

QString mismatch(const MovieSet &movies)
{
    const Image3D *pMain = movies.getMain();
    if (!pMain)
        return QString();
    QStringList notes;
    for (int i = 0; i < 2; ++i) {
        const Image3D *pRef = movies.getReference(i + 1);
        if (!pRef)
            continue;
        QStringList ways;
        const int offset = movies.getOffset(i + 1);
        // The main frames with a partner: first .. end - 1, 64-bit so that no offset wraps.
        const qint64 first = std::max<qint64>(0, offset);
        const qint64 end
                = std::min<qint64>(pMain->getNumFrames(), qint64(pRef->getNumFrames()) + offset);
        if (offset == 0 && pRef->getNumFrames() < pMain->getNumFrames())
            ways << QStringLiteral("shorter (%1 of %2 frames)")
                            .arg(pRef->getNumFrames())
                            .arg(pMain->getNumFrames());
        else if (offset != 0 && end <= first)
            ways << QStringLiteral("shorter (offset %1: no main frame has a partner)").arg(offset);
        else if (offset != 0 && end - first < pMain->getNumFrames())
            ways << QStringLiteral("shorter (offset %1: main frames %2 to %3 of %4 have a "
                                   "partner)")
                            .arg(offset)
                            .arg(first + 1)
                            .arg(end)
                            .arg(pMain->getNumFrames());
        if (pRef->getWidth() < pMain->getWidth() || pRef->getHeight() < pMain->getHeight())
            ways << QStringLiteral("smaller (%1x%2 of %3x%4)")
                            .arg(pRef->getWidth())
                            .arg(pRef->getHeight())
                            .arg(pMain->getWidth())
                            .arg(pMain->getHeight());
        if (!ways.isEmpty())
            notes << QStringLiteral("Reference %1 %2").arg(i + 1).arg(ways.join(" and "));
    }
    return notes.join(QStringLiteral("; "));
}

QString windowTitle(const Image3D *pMain, const Image3D *pRef1, const Image3D *pRef2)
{
    QString title = QStringLiteral("rawcompare — ") + nameOf(pMain, "(no main movie)");
    if (pRef1)
        title += QStringLiteral(" vs ") + nameOf(pRef1, "reference 1");
    if (pRef2)
        title += QStringLiteral(" vs ") + nameOf(pRef2, "reference 2");
    return title;
}

} // namespace StatusTexts
