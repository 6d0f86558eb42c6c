#include "colourrendering.h"

#include <QStringList>

#include "colourconverter.h"
#include "colourframes.h"
#include "image3d.h"
#include "yuvframe.h"

ColourRendering::ColourRendering(const ColourOptions &options) : m_options(options) { }

ColourRendering::~ColourRendering() = default;

ColourRendering::ColourRendering(const ColourRendering &other) = default;

ColourRendering &ColourRendering::operator=(const ColourRendering &other) = default;

void ColourRendering::setOptions(const ColourOptions &options)
{
    if (options == m_options)
        return;
    m_options = options;
    m_converters.clear();
}

bool ColourRendering::hasColour(const Image3D *pMovie)
{
    return pMovie && pMovie->getColourFrames();
}

bool ColourRendering::inColour(const MovieSet::ViewSources &sources)
{
    return !sources.difference && hasColour(sources.pA) && sources.frameA >= 0
            && sources.frameA < sources.pA->getNumFrames();
}

ColourOptions ColourRendering::settledFor(const Image3D *pMovie) const
{
    const ColourFrames *pFrames = pMovie ? pMovie->getColourFrames() : nullptr;
    if (!pFrames)
        return m_options.resolve(pMovie ? pMovie->getWidth() : 0, pMovie ? pMovie->getHeight() : 0,
                                 false, false);
    const int tag = pFrames->getColourRangeTag();
    return m_options.resolve(pFrames->getWidth(), pFrames->getHeight(), tag != 0, tag == 2);
}

QString ColourRendering::describe(const ColourOptions &settled)
{
    using O = ColourOptions;
    QStringList parts;
    parts << (settled.matrix == O::Matrix::Bt601            ? QStringLiteral("BT.601")
                      : settled.matrix == O::Matrix::Bt2020 ? QStringLiteral("BT.2020")
                                                            : QStringLiteral("BT.709"));
    parts << (settled.range == O::Range::Full ? QStringLiteral("full range")
                                              : QStringLiteral("limited range"));
    parts << (settled.chroma == O::Chroma::Bilinear ? QStringLiteral("bilinear chroma")
                                                    : QStringLiteral("nearest chroma"));
    parts << (settled.transfer == O::Transfer::Pq            ? QStringLiteral("PQ")
                      : settled.transfer == O::Transfer::Hlg ? QStringLiteral("HLG")
                                                             : QStringLiteral("SDR"));
    return parts.join(QStringLiteral(", "));
}

QString ColourRendering::describe(const Image3D *pMovie) const
{
    return describe(settledFor(pMovie));
}

const ColourConverter &ColourRendering::converterFor(const ColourOptions &settled, int depth) const
{
    const Key key(int(settled.matrix), int(settled.range), int(settled.chroma),
                  int(settled.transfer), depth);
    std::shared_ptr<const ColourConverter> &pConverter = m_converters[key];
    if (!pConverter)
        pConverter = std::make_shared<const ColourConverter>(settled, depth);
    return *pConverter;
}

QImage ColourRendering::render(const Image3D *pMovie, int frame, int width, int height) const
{
    const ColourFrames *pFrames = pMovie ? pMovie->getColourFrames() : nullptr;
    if (!pFrames || frame < 0 || frame >= pFrames->getNumFrames())
        return QImage();
    const YuvFrame yuv = pFrames->getFrame(frame);
    if (yuv.isNull())
        return QImage();
    return converterFor(settledFor(pMovie), yuv.depth).render(yuv, width, height);
}

bool ColourRendering::pixelAt(const Image3D *pMovie, int frame, int x, int row, Pixel &pixel) const
{
    const ColourFrames *pFrames = pMovie ? pMovie->getColourFrames() : nullptr;
    if (!pFrames || frame < 0 || frame >= pFrames->getNumFrames() || x < 0 || row < 0
        || x >= pFrames->getWidth() || row >= pFrames->getHeight())
        return false;
    const YuvFrame yuv = pFrames->getFrame(frame);
    if (yuv.isNull())
        return false;
    // Rows of the frame count from the top.
    const int y = yuv.height - 1 - row;
    const ColourOptions settled = settledFor(pMovie);
    const ColourConverter &converter = converterFor(settled, yuv.depth);
    pixel.y = yuv.sample(0, x, y);
    pixel.u = yuv.coveringChroma(1, x, y);
    pixel.v = yuv.coveringChroma(2, x, y);
    pixel.rgb = converter.rgbAt(yuv, x, y);
    pixel.luminance = settled.transfer == ColourOptions::Transfer::Pq
            ? converter.luminanceAt(yuv, x, y)
            : -1;
    return true;
}
