#pragma once

#include "framesource.h"

#include <memory>

class RawFile;

// Frames first .. first + count - 1 of an open raw or y4m file, as a FrameSource: frame 0 of
// the source is frame `first` of the file.
class RawFileSource : public FrameSource
{
public:
    RawFileSource(std::unique_ptr<RawFile> pFile, int first, int count);
    ~RawFileSource() override;

    int getNumFrames() const override { return m_count; }
    int getDepth() const override;
    int getPlaneCount() const override;
    int getPlaneWidth(int plane) const override;
    int getPlaneHeight(int plane) const override;
    bool readPlane(int frame, int plane, float *pSamples, std::string &error) const override;

    const RawFile &getFile() const { return *m_pFile; }

private:
    std::unique_ptr<RawFile> m_pFile;
    int m_first = 0;
    int m_count = 0;
};
