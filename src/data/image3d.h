#pragma once

#include "errorbase.h"
#include "framecache.h"
#include "samplearray.h"

#include <memory>
#include <string>

#include <QString>

class ColourFrames;
class PixelFormat;
class RawFile;

// A movie volume of width x height x frames float samples; sample (x, y, f) at index
// x + width * (y + height * f) (64-bit), row 0 is the bottom row of the picture. Its samples
// are held in memory, or, for a movie opened from a file, read frame by frame on demand.
class Image3D : public ErrorBase
{
public:
    Image3D();
    // Every sample 0.0. When the samples don't fit in memory the volume stays 0 x 0 x 0 and the
    // error text says so.
    Image3D(int width, int height, int frames);
    ~Image3D() override;

    // Resizes to max(0, width * height * frames) samples, keeping the samples below the new
    // size; new samples are 0.0. When a product of the three is not positive the array is
    // empty and the values are kept. False when memory runs out: then the volume is 0 x 0 x 0
    // and the error text says so.
    bool setDimensions(int width, int height, int frames);

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    int getNumFrames() const { return m_frames; }
    // The whole array; null for a movie whose frames are read on demand.
    float *getData() { return m_samples.data(); }
    const float *getData() const { return m_samples.data(); }
    qint64 getSampleCount() const { return m_samples.size(); }

    // Frame `frame`'s width * height samples (row 0 at the bottom), valid while the pointer is
    // held and the movie is neither changed nor destroyed. Null when the frame doesn't exist or
    // can't be read any more (getFrameError says why). Every reader of samples should ask here.
    FrameCache::Frame getFrame(int frame) const;
    // Why the last getFrame of a movie read on demand failed; empty otherwise.
    std::string getFrameError() const;
    // Reads the frames after `frame` in direction dir (+1 or -1) ahead on a worker thread, for a
    // movie read on demand; does nothing for one held in memory.
    void readAhead(int frame, int dir) const;
    // Serves frames from `loader` on demand, through a cache of budgetBytes, instead of holding
    // them: the array becomes empty. False (nothing changed) when a size is not positive.
    bool setFrameSource(int width, int height, int frames, FrameCache::Loader loader,
                        qint64 budgetBytes);
    // The frame cache of a movie read on demand, or null.
    FrameCache *getFrameCache() const { return m_pCache.get(); }
    // The open file a movie read on demand from a raw or y4m file reads (null otherwise), for
    // readers of its other planes: the movie is plane getFilePlane() of the file's frames
    // getFileFirstFrame() .. getFileFirstFrame() + getNumFrames() - 1.
    std::shared_ptr<const RawFile> getRawFile() const { return m_pFile; }
    int getFilePlane() const { return m_filePlane; }
    // The same frames with all three planes, for a movie read on demand from a file that has
    // chroma; null otherwise.
    const ColourFrames *getColourFrames() const { return m_pColour.get(); }
    int getFileFirstFrame() const { return m_fileFirstFrame; }
    // Bits per sample of what was loaded (8 for pictures and 8-bit files): samples lie in
    // 0 .. 2^depth - 1.
    int getDepth() const { return m_depth; }
    void setDepth(int depth) { m_depth = depth; }
    // Frames per second its file gives (a y4m header's F tag); 0 when unknown.
    double getFrameRate() const { return m_frameRate; }
    void setFrameRate(double frameRate) { m_frameRate = frameRate; }
    // What the movie is called on screen (its file's name); empty when it has none.
    const QString &getName() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Reads a headerless raw movie of 8-bit samples (gray, or planar YUV 4:2:0 of which the
    // luma is kept); width and height must be even. True only when every byte of the file was
    // used; after false, 0 frames means nothing was loaded and 1 or more means usable data with
    // a warning.
    bool loadRaw(const std::string &fileName, int width, int height, bool isYUV);
    // The same for any pixel format and plane (0 = Y or gray, 1 = U, 2 = V; a chroma plane
    // loads at its own size). A y4m file takes size and format from its header instead.
    bool loadRaw(const std::string &fileName, const PixelFormat &format, int width, int height,
                 int plane = 0);
    // Every frame of one plane of a file already open.
    bool loadRaw(const RawFile &file, int plane);
    // One plane of a file already open, frames firstFrame .. firstFrame + frameCount - 1
    // (frameCount < 0: to the end), read frame by frame on demand through a cache of
    // budgetBytes (< 0: FrameCache::defaultBudget()) instead of loaded: nothing is read yet.
    // Outcome and messages as loadRaw's for the same file; false with 0 frames when the plane
    // or the frames asked for don't exist.
    bool openRaw(std::unique_ptr<RawFile> pFile, int plane, int firstFrame = 0, int frameCount = -1,
                 qint64 budgetBytes = -1);
    // The same for a file another movie reads too (another plane of it, say).
    bool openRaw(std::shared_ptr<const RawFile> pFile, int plane, int firstFrame = 0,
                 int frameCount = -1, qint64 budgetBytes = -1);
    // The same for a file opened here, with loadRaw's rules for the arguments of the same name.
    bool openRaw(const std::string &fileName, int width, int height, bool isYUV, int firstFrame = 0,
                 int frameCount = -1);
    bool openRaw(const std::string &fileName, const PixelFormat &format, int width, int height,
                 int plane = 0, int firstFrame = 0, int frameCount = -1);

private:
    // 0 x 0 x 0, nothing held, nothing read on demand.
    void makeEmpty();
    // True when the file's format has that plane; otherwise false with the error text set.
    bool hasPlane(const RawFile &file, int plane);

    SampleArray m_samples;
    std::unique_ptr<FrameCache> m_pCache;
    std::shared_ptr<const RawFile> m_pFile; // set with m_pCache by openRaw
    std::unique_ptr<ColourFrames> m_pColour; // set by openRaw for files with chroma
    int m_filePlane = 0;
    int m_fileFirstFrame = 0;
    int m_width = 0;
    int m_height = 0;
    int m_frames = 0;
    int m_depth = 8;
    double m_frameRate = 0;
    QString m_name;
};
