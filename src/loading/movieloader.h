#pragma once

#include <memory>
#include <string>

#include <QStringList>

#include "loadsettings.h"

class DialogProvider;
class FileNameGuess;
class Image3D;
class MovieFileOpener;
class PixelFormat;
class QWidget;

// The road by which a movie enters a slot of the window: choose files, open each as the modes
// without a window do (MovieFileOpener: only regular files, y4m by its header, still pictures,
// else raw), ask frame dimensions for raw files, read, stack several files into one movie,
// report failures, and replace the slot's movie once the new one is complete. For raw files the
// dimensions dialog starts from what the file's name says, else from the remembered answers.
// Reads and updates the remembered answers it is given.
class MovieLoader
{
public:
    // The settings stay the caller's and are updated as the user answers.
    MovieLoader(QWidget *pParent, DialogProvider &dialogs, LoadSettings &settings);

    // Asks for files with the file dialog and loads them. True exactly when the slot holds a
    // new movie; on false the slot and its movie are untouched.
    bool loadMovie(std::unique_ptr<Image3D> &slot);

    // The same roads for files chosen without the file dialog. With askDimensions false the
    // remembered values answer the dimensions question for every raw file.
    bool loadFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                   bool askDimensions = true);

    // With this on, a raw file whose name gives a frame size ("clip_1920x1080.yuv") is read
    // with that size and the format the name gives (unless LoadSettings::formatGiven), without
    // the dimensions dialog; each such guess leaves a note.
    void setSizeFromNames(bool on) { m_sizeFromNames = on; }
    // The frames taken from every raw or y4m file that loads through this loader read: from
    // firstFrame (counted from 0), frameCount of them (-1: to the end); pictures keep their one
    // frame. Not remembered: a loader made later reads every frame. A dimensions dialog's range
    // replaces it for the rest of the load it was answered in.
    void setFrameRange(int firstFrame, int frameCount);
    // The range the last load used: the one given, or the dialog's answer.
    int getFirstFrame() const { return m_firstFrame; }
    int getFrameCount() const { return m_frameCount; }
    // The files the last loadMovie or loadFiles was given, in their order; kept whether or not
    // they loaded.
    const QStringList &getFileNames() const { return m_fileNames; }
    // What the user should know of the loads made since the last call, one line each, for the
    // status bar or stderr, as the modes without a window print them: what was taken from a
    // file's name ("note: clip_1920x1080.yuv: 1920x1080 taken from the file name"), a plane a
    // file lacks ("note: still.png has no U plane (a picture): Y is used").
    QStringList takeNotes();

    static QString fileFilter();
    // A movie's name on screen: its file's name, or the first file's name and "+N" more.
    static QString movieName(const QStringList &fileNames);
    // The format the settings name (yuv420p or gray by isYUV when they name none).
    static const PixelFormat &formatOf(const LoadSettings &settings);

private:
    enum class Open { Opened, Failed, Cancelled };
    // Opens the file, asking the dimensions of a raw file first when askDimensions and not
    // applyToAll (which the dialog may then set), and selects the frames and the plane. Failed:
    // the reason on the opener. Keeps the opener's notes.
    Open openFile(const QString &fileName, bool askDimensions, bool &applyToAll,
                  MovieFileOpener &opener);
    Open openWith(const QString &fileName, bool askDimensions, bool &applyToAll,
                  MovieFileOpener &opener);
    bool loadSingleFile(std::unique_ptr<Image3D> &slot, const QString &fileName,
                        bool askDimensions);
    bool loadSeveralFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                          bool askDimensions);
    // Runs the dimensions dialog filled from the remembered values and stores the answers.
    // False when cancelled.
    bool askFrameDimensions(const QString &fileName, const FileNameGuess &guess,
                            bool &applyToOthers);
    // The text, the reader's error text and, when there is one, its second line.
    void showWarning(const std::string &text, const Image3D *pMovie = nullptr);

    QWidget *m_pParent;
    DialogProvider &m_dialogs;
    LoadSettings &m_settings;
    bool m_sizeFromNames = false;
    QStringList m_notes;
    QStringList m_fileNames;
    int m_givenFirstFrame = 0;
    int m_givenFrameCount = -1;
    int m_firstFrame = 0;
    int m_frameCount = -1;
};
