#pragma once

#include <memory>
#include <string>

#include <QStringList>

#include "loadsettings.h"

class DialogProvider;
class Image3D;
class QWidget;

// The road by which a movie enters a slot of the window: choose files, tell still images from
// raw files by trying the image reader, ask frame dimensions for raw files, read, stack several
// files into one movie, report failures, and replace the slot's movie once the new one is
// complete. Reads and updates the remembered answers it is given.
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

    static QString fileFilter();

private:
    bool loadSingleFile(std::unique_ptr<Image3D> &slot, const std::string &fileName,
                        bool askDimensions);
    bool loadSeveralFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                          bool askDimensions);
    // Runs the dimensions dialog filled from the remembered values and stores the answers.
    // False when cancelled.
    bool askFrameDimensions(bool &applyToOthers);
    void showWarning(const std::string &text);

    QWidget *m_pParent;
    DialogProvider &m_dialogs;
    LoadSettings &m_settings;
};
