#include "colourframes.h"

#include "pixelformat.h"
#include "rawfile.h"

ColourFrames::ColourFrames(std::shared_ptr<const RawFile> pFile, int firstFrame, int frames,
                           qint64 budgetBytes)
    : m_pFile(std::move(pFile))
{
    const std::shared_ptr<const RawFile> pShared = m_pFile;
    const std::string name = RawFile::baseName(pShared->getFileName());
    auto loader = [pShared, firstFrame, frames, name](int frame, unsigned char *pBytes,
                                                      std::string &error) {
        if (pShared->readFrame(firstFrame + frame, pBytes))
            return true;
        error = "Unable to read a frame\n" + name + ": frame " + std::to_string(frame + 1) + " of "
                + std::to_string(frames) + " can't be read any more";
        return false;
    };
    m_pCache = std::make_unique<FrameCache>(FrameCache::OfBytes(), std::move(loader),
                                            m_pFile->getFrameBytes(), frames, budgetBytes);
}

ColourFrames::~ColourFrames() = default;

YuvFrame ColourFrames::getFrame(int frame) const
{
    YuvFrame yuv;
    yuv.data = m_pCache->getBytes(frame);
    if (!yuv.data)
        return YuvFrame();
    const PixelFormat &format = m_pFile->getFormat();
    yuv.width = m_pFile->getWidth();
    yuv.height = m_pFile->getHeight();
    yuv.chromaWidth = m_pFile->getPlaneWidth(1);
    yuv.chromaHeight = m_pFile->getPlaneHeight(1);
    yuv.chroma = format.getChroma();
    yuv.depth = format.getDepth();
    const unsigned char *pPlane = yuv.data.get();
    for (int plane = 0; plane < 3; ++plane) {
        yuv.planes[plane] = pPlane;
        yuv.strides[plane]
                = qint64(plane == 0 ? yuv.width : yuv.chromaWidth) * format.getBytesPerSample();
        pPlane += yuv.strides[plane] * (plane == 0 ? yuv.height : yuv.chromaHeight);
    }
    return yuv;
}

std::string ColourFrames::getFrameError() const { return m_pCache->getErrorString(); }

void ColourFrames::readAhead(int frame, int dir) const { m_pCache->readAhead(frame, dir, 8); }

int ColourFrames::getNumFrames() const { return m_pCache->getNumFrames(); }

int ColourFrames::getWidth() const { return m_pFile->getWidth(); }

int ColourFrames::getHeight() const { return m_pFile->getHeight(); }

int ColourFrames::getColourRangeTag() const { return m_pFile->getColourRangeTag(); }
