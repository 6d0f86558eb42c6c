#pragma once

#include <QtGlobal>

#include <memory>
#include <string>

#include "framecache.h"
#include "yuvframe.h"

class RawFile;

// The three planes of a movie's frames, read together from its file by one read and kept once,
// as the file stores them, in a frame cache of their own: what the colour views show.
class ColourFrames
{
public:
    // Frames firstFrame .. firstFrame + frames - 1 of a file whose format has chroma planes.
    ColourFrames(std::shared_ptr<const RawFile> pFile, int firstFrame, int frames,
                 qint64 budgetBytes);
    ~ColourFrames();

    // Frame `frame` (counted from firstFrame); a null frame when it doesn't exist or can't be
    // read (getFrameError says why).
    YuvFrame getFrame(int frame) const;
    std::string getFrameError() const;
    // Reads frames after `frame` in direction dir ahead on a worker thread.
    void readAhead(int frame, int dir) const;
    int getNumFrames() const;
    int getWidth() const;
    int getHeight() const;
    // What the file says of the range: 0 nothing, 1 limited, 2 full (a y4m's XCOLORRANGE).
    int getColourRangeTag() const;
    FrameCache &getFrameCache() const { return *m_pCache; }

private:
    std::shared_ptr<const RawFile> m_pFile;
    std::unique_ptr<FrameCache> m_pCache;
};
