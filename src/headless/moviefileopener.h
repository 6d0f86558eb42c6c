#pragma once

#include <memory>

#include <QString>
#include <QStringList>

#include "errorbase.h"
#include "filenameguess.h"

class Image2D;
class Image3D;
class PixelFormat;
class RawFile;

// How a file's frames are read, as the command line or the window's remembered answers say.
struct MovieFileOptions
{
    int frameWidth = 0; // pixels; 0: not given (raw files); y4m headers always win
    int frameHeight = 0;
    QString pixelFormat; // an ffmpeg name; empty: not given
    int firstFrame = 0; // raw and y4m files only, counted from 0
    int frameCount = -1; // -1: to the end
    int plane = 0; // 0 = Y, 1 = U, 2 = V; Y for a file without that plane
};

// The one way a movie file is opened, by the window's loading flow and by the modes without a
// window. Only a regular file is opened: a FIFO, a device or a folder is refused before
// anything reads it. A y4m file is read by its header; any other file is a still picture when
// Qt decodes it, else a raw file whose size and format the caller gives to openRaw: from the
// options, from the file's name (answerRaw) or from the dimensions dialog. A frame range holds
// for raw and y4m files; a picture has its one frame. A plane the file lacks is read as Y.
// Failures leave the text and its detail (ErrorBase) and, for the modes without a window, one
// line (getError) with an exit status.
class MovieFileOpener : public ErrorBase
{
public:
    enum class Kind { None, Picture, Y4m, Raw };

    MovieFileOpener();
    ~MovieFileOpener() override;

    // Tells what the file is; a picture is decoded and a y4m file opened. False, with the
    // error set, when it can't be read. Raw: openRaw must follow.
    bool identify(const QString &fileName);
    Kind getKind() const { return m_kind; }
    // What the name of the file identified says.
    const FileNameGuess &getNameGuess() const { return m_guess; }

    // The size and format of a raw file: those the options give, else those its name gives
    // (each taken from the name leaves a note). Width 0: neither gives a size; format null:
    // neither names one.
    struct RawAnswer
    {
        int width = 0;
        int height = 0;
        const PixelFormat *pFormat = nullptr;
    };
    RawAnswer answerRaw(const MovieFileOptions &options);
    // Opens the raw file identified with that size (pixels) and format. With evenSides, 8-bit
    // gray and yuv420p frames must have even sides, as the window's dimensions question asks.
    bool openRaw(int width, int height, const PixelFormat &format, bool evenSides = false);

    // The frames firstFrame .. firstFrame + frameCount - 1 of a raw or y4m file (frameCount < 0:
    // to the end, cut at the end); a picture keeps its one frame. False when firstFrame is not
    // in the file.
    bool selectFrames(int firstFrame, int frameCount);
    // The plane read (0 = Y, 1 = U, 2 = V): Y, with a note, when the file has not that one.
    void selectPlane(int plane);

    // For the modes without a window: identify, answerRaw (a raw file without a size fails
    // with status 2, its format is yuv420p when none is given), openRaw, selectFrames and
    // selectPlane.
    bool open(const QString &fileName, const MovieFileOptions &options);

    // Fills movie with the frames selected: a picture held in memory, a raw or y4m file read on
    // demand through a frame cache of budgetBytes (< 0: the default). The outcome is
    // Image3D::openRaw's: false with frames is usable data with a warning, false without is a
    // failure, the reason on the movie.
    bool readInto(Image3D &movie, qint64 budgetBytes = -1);
    // Bytes of one frame of the selected plane as floats (0 before a file is open).
    qint64 getFrameBytes() const;

    // After a successful open, exactly one of these is non-null until taken.
    std::unique_ptr<RawFile> takeRawFile();
    std::unique_ptr<Image2D> takeImage();
    // The frames selected: getFirstFrame() .. + getFrameCount() - 1 (a picture: 0, 1).
    int getFirstFrame() const { return m_firstFrame; }
    int getFrameCount() const { return m_frameCount; }
    // What was taken from the file's name and planes read as Y, one line each
    // ("note: clip_352x288.yuv: 352x288 taken from the file name").
    QStringList takeNotes();

    // 1: the file can't be read; 2: the options don't say enough.
    int getStatus() const { return m_status; }
    // The failure on one line.
    QString getError() const { return m_error; }

private:
    bool fail(int status, const QString &line, const std::string &text,
              const std::string &detail = std::string());
    // Fails with the reader's text, its detail, and both on one line.
    bool failWith(const ErrorBase &object);
    void reset();

    Kind m_kind = Kind::None;
    QString m_fileName;
    FileNameGuess m_guess;
    std::unique_ptr<RawFile> m_pFile;
    std::unique_ptr<Image2D> m_pImage;
    int m_firstFrame = 0;
    int m_frameCount = 0;
    int m_plane = 0;
    QStringList m_notes;
    int m_status = 0;
    QString m_error;
};
