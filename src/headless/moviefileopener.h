#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class Image2D;
class RawFile;

// How the modes without a window find a file's frames: given on the command line.
struct MovieFileOptions
{
    int frameWidth = 0; // 0: from the file name (raw files); y4m headers always win
    int frameHeight = 0;
    QString pixelFormat; // empty: from the file name, else yuv420p
    int firstFrame = 0; // counted from 0, in every file
    int frameCount = -1; // -1: to the end
};

// Opens one file of a mode without a window as the window's loading does: a y4m file by its
// header, anything else as a still picture when Qt decodes it, else as a raw file of the size
// and format given or named by the file. Yields either an open RawFile or a loaded picture.
class MovieFileOpener
{
public:
    // False with getStatus() (1: can't be read, 2: the options don't say enough) and getError()
    // set when the file can't be opened or lacks the frames asked for.
    bool open(const QString &fileName, const MovieFileOptions &options);

    // After a successful open, exactly one of these is non-null until taken.
    std::unique_ptr<RawFile> takeRawFile();
    std::unique_ptr<Image2D> takeImage();
    // The frames of the file asked for: getFirstFrame() .. + getFrameCount() - 1 (a picture: 0, 1).
    int getFirstFrame() const { return m_firstFrame; }
    int getFrameCount() const { return m_frameCount; }
    // What was taken from the file's name ("note: clip_352x288.yuv: 352x288 taken from the
    // file name"), one line each.
    QStringList takeNotes();

    int getStatus() const { return m_status; }
    QString getError() const { return m_error; }

private:
    bool fail(int status, const QString &error);

    std::unique_ptr<RawFile> m_pFile;
    std::unique_ptr<Image2D> m_pImage;
    int m_firstFrame = 0;
    int m_frameCount = 0;
    QStringList m_notes;
    int m_status = 0;
    QString m_error;
};
