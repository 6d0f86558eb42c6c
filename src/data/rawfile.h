#pragma once

#include <QtGlobal>

#include <string>
#include <vector>

#include "errorbase.h"

class PixelFormat;

// A raw (headerless) or y4m movie file, opened; reads any plane of any frame on request.
// Opening looks at the file's size (and a y4m's headers) only. Thread-safe for concurrent
// readPlane calls (pread on one descriptor, no shared buffer), never throws.
class RawFile : public ErrorBase
{
public:
    RawFile();
    ~RawFile() override;

    // Headerless raw file of that format and frame size (pixels, > 0). y4m files (magic
    // "YUV4MPEG2 ") take format and size from their header instead. True when the file holds
    // at least one whole frame; bytes after the last whole frame are counted by
    // getUnusedBytes. On false the error text says why and nothing is open.
    bool open(const std::string &fileName, const PixelFormat &format, int width, int height);
    bool openY4m(const std::string &fileName);
    void close();

    const std::string &getFileName() const { return m_fileName; }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    int getNumFrames() const { return m_frames; } // whole frames
    const PixelFormat &getFormat() const { return *m_pFormat; }
    int getPlaneWidth(int plane) const;
    int getPlaneHeight(int plane) const;
    qint64 getFrameBytes() const { return m_frameBytes; } // samples only, no FRAME header
    qint64 getUnusedBytes() const { return m_unusedBytes; } // after the last whole frame
    // Frames per second a y4m header gives; 0 for a headerless file or a y4m without one.
    double getFrameRate() const { return m_frameRate; }
    // The range a y4m header's XCOLORRANGE tag gives: 0 none (and for headerless files),
    // 1 limited, 2 full.
    int getColourRangeTag() const { return m_colourRangeTag; }
    // Why there are unused bytes ("clip.yuv: 1000 bytes = ..."); empty when there are none.
    std::string describeUnusedBytes() const;

    // Tells the system that the frames will be read front to back (it reads ahead further).
    void adviseSequential() const;

    // Frame `frame`, plane 0 = Y (or gray), 1 = U, 2 = V, as floats holding the integer sample
    // values, ROW 0 = BOTTOM ROW of the picture (as Image3D stores frames): the file's top row
    // lands in row planeHeight - 1. pSamples holds planeWidth * planeHeight floats. False when
    // the frame can't be read completely (the file shrank, a read error, no memory for the
    // read buffer); pSamples may then be partly written.
    bool readPlane(int frame, int plane, float *pSamples) const;
    // Rows top .. top + rows - 1 of that plane (row 0 the picture's top row), read alone and
    // written top row first: pSamples holds planeWidth * rows floats. False as for readPlane,
    // and for rows outside the plane.
    bool readRows(int frame, int plane, int top, int rows, float *pSamples) const;
    // The smallest and largest sample of that plane of that frame, read as readPlane reads it
    // (the same integers that readPlane turns into floats). False as for readPlane.
    bool sampleRange(int frame, int plane, int &minValue, int &maxValue) const;
    // Frame `frame` as the samples lie in a planar file: Y, then U and V (each plane's rows top
    // row first, one byte per sample up to 8 bits, else one 16-bit word in the machine's order;
    // an nv12 or nv21 plane of pairs is split into U and V). pBytes holds getFrameBytes().
    // False as for readPlane.
    bool readFrame(int frame, unsigned char *pBytes) const;

    // True when the file can be read and starts with the y4m magic "YUV4MPEG2 ".
    static bool hasY4mMagic(const std::string &fileName);
    // The name without its folder, as messages show it.
    static std::string baseName(const std::string &fileName);

private:
    // How one row of a plane lies in the file: one byte per sample, every other byte (a plane
    // of U and V pairs), or 16-bit little-endian words.
    enum class RowLayout { Bytes, EveryOtherByte, Words };
    // Reads the plane (or its rows top .. top + rows - 1; rows < 0: to the bottom) band by band
    // and hands each row to `visit`, top row (row 0) first.
    // visit(const unsigned char *pBytes, int row, RowLayout layout); defined in rawfile.cpp.
    template<typename RowVisitor>
    bool walkPlane(int frame, int plane, const RowVisitor &visit, int top = 0, int rows = -1) const;
    // Rows top .. top + rows - 1 (rows < 0: to the bottom) as floats: row top at pTop, each
    // next row rowStep floats on.
    bool readRowsTo(int frame, int plane, int top, int rows, float *pTop, qint64 rowStep) const;
    bool openFile(const std::string &fileName);
    bool fail(const std::string &text, const std::string &detail);
    bool indexY4mFrames(qint64 offset);
    qint64 frameOffset(int frame) const;
    bool readBytes(unsigned char *pBuffer, qint64 count, qint64 offset) const;

    int m_fd = -1;
    bool m_isY4m = false;
    std::string m_fileName;
    const PixelFormat *m_pFormat;
    int m_width = 0;
    int m_height = 0;
    int m_frames = 0;
    qint64 m_fileSize = 0;
    qint64 m_frameBytes = 0;
    qint64 m_unusedBytes = 0;
    double m_frameRate = 0;
    int m_colourRangeTag = 0;
    std::string m_unusedReason;
    // y4m: where the samples of each frame start (after its FRAME header).
    std::vector<qint64> m_frameOffsets;
};
