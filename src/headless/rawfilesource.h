#pragma once

#include "framesource.h"

#include <memory>

class RawFile;

// Frames first .. first + count - 1 of an open raw or y4m file, as a FrameSource: frame 0 of
// the source is frame `first` of the file. The file may be shared with a movie that reads it
// (Image3D::getRawFile).
class RawFileSource : public FrameSource
{
public:
    RawFileSource(std::shared_ptr<const RawFile> pFile, int first, int count);
    ~RawFileSource() override;

    int getNumFrames() const override { return m_count; }
    int getDepth() const override;
    int getPlaneCount() const override;
    int getChroma() const override;
    int getPlaneWidth(int plane) const override;
    int getPlaneHeight(int plane) const override;
    bool readPlane(int frame, int plane, float *pSamples, std::string &error) const override;
    bool readRows(int frame, int plane, int top, int rows, float *pSamples,
                  std::string &error) const override;

private:
    // Why frame `frame` (counted from the first one read) of a plane can't be read.
    std::string unreadable(int frame, int plane) const;

    std::shared_ptr<const RawFile> m_pFile;
    int m_first = 0;
    int m_count = 0;
};
