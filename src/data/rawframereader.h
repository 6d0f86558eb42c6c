#pragma once

#include <QtGlobal>

// Reads the frames of an open raw movie file into a volume. Frame f of the file starts at byte
// f * frameBytes; its first width * height bytes (the gray or luma plane, rows top-down) become
// frame f of the volume as floats 0.0 to 255.0, with the file's top row in row height - 1.
// The other bytes of a frame are not looked at.
class RawFrameReader
{
public:
    // fd stays owned by the caller; width and height > 0; frameBytes >= width * height.
    RawFrameReader(int fd, int width, int height, qint64 frameBytes);
    virtual ~RawFrameReader();

    RawFrameReader(const RawFrameReader &) = delete;
    RawFrameReader &operator=(const RawFrameReader &) = delete;

    // Fills frames 0 .. frames - 1 of pVolume (all 0.0 on entry), sharing independent frames
    // among up to `workers` threads, and returns how many frames from the first on were read
    // completely: afterwards every frame from that number on is 0.0, exactly as if the frames
    // had been read one after the other until the first that could not be read. -1 when not
    // even one frame buffer can be allocated (the volume is then untouched).
    int read(float *pVolume, int frames, int workers) const;

    // The workers read() uses for a movie of that many samples on this machine: one for small
    // movies, where a thread costs more than it saves, at most two otherwise.
    static int workersFor(qint64 samples);

    // One frame: the width * height bytes of pBytes, rows top-down, to the floats of pFrame,
    // row 0 at the bottom.
    static void convertFrame(const unsigned char *pBytes, float *pFrame, int width, int height);

protected:
    // Reads the width * height bytes of the gray or luma plane of one frame into pBuffer;
    // false when the frame's frameBytes bytes can't all be read. Called from several threads
    // at once for different frames.
    virtual bool readFrame(unsigned char *pBuffer, int frame) const;
    // count bytes from offset; false when the file ends before.
    bool readBytes(unsigned char *pBuffer, qint64 count, qint64 offset) const;

private:
    struct Worker;
    struct Progress;
    void runWorker(Worker &worker, float *pVolume, int frames, Progress *pProgress) const;

    int m_fd;
    int m_width;
    int m_height;
    qint64 m_frameBytes;
};
