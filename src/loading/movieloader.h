#pragma once

#include <memory>
#include <string>

#include <QStringList>

#include "loadsettings.h"

class DialogProvider;
class FileNameGuess;
class Image3D;
class PixelFormat;
class QWidget;

// The road by which a movie enters a slot of the window: choose files, tell still images from
// raw files by trying the image reader, ask frame dimensions for raw files, read, stack several
// files into one movie, report failures, and replace the slot's movie once the new one is
// complete. y4m files carry their own size and format; for the other raw files the dimensions
// dialog starts from what the file's name says, else from the remembered answers. Reads and
// updates the remembered answers it is given.
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
    // The files the last loadMovie or loadFiles was given, in their order; kept whether or not
    // they loaded.
    const QStringList &getFileNames() const { return m_fileNames; }
    // "clip_1920x1080.yuv: 1920x1080 yuv420p, from the file name", one per guess taken.
    QStringList takeNotes();

    static QString fileFilter();
    // A movie's name on screen: its file's name, or the first file's name and "+N" more.
    static QString movieName(const QStringList &fileNames);
    // The format the settings name (yuv420p or gray by isYUV when they name none).
    static const PixelFormat &formatOf(const LoadSettings &settings);

private:
    enum class RawRead { Complete, Partial, Failed, Cancelled };
    // Reads a raw or y4m file into movie, asking the dimensions first when askDimensions and
    // not applyToAll (which the dialog may then set). Partial: frames with a warning on the
    // movie; Failed: no frames, the reason on the movie.
    RawRead readRaw(const std::string &fileName, bool askDimensions, bool &applyToAll,
                    Image3D &movie);
    bool loadSingleFile(std::unique_ptr<Image3D> &slot, const std::string &fileName,
                        bool askDimensions);
    bool loadSeveralFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                          bool askDimensions);
    // Runs the dimensions dialog filled from the remembered values and stores the answers.
    // False when cancelled.
    bool askFrameDimensions(const std::string &fileName, const FileNameGuess &guess,
                            bool &applyToOthers);
    // The text, the reader's error text and, when there is one, its second line.
    void showWarning(const std::string &text, const Image3D *pMovie = nullptr);

    QWidget *m_pParent;
    DialogProvider &m_dialogs;
    LoadSettings &m_settings;
    bool m_sizeFromNames = false;
    QStringList m_notes;
    QStringList m_fileNames;
};
