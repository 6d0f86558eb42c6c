#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "progresscallback.h"

class DimensionsDialog;
class QWidget;

// Every dialog and message box that a flow of the window opens goes through here. The default
// implementation runs the real Qt dialogs; tests derive from it to script the answers.
class DialogProvider
{
public:
    // The answer of the file dialog that chooses files to open.
    struct OpenFilesAnswer
    {
        bool accepted = false;
        QString directory; // absolute path of the folder the dialog ended in
        QStringList files; // in the order the dialog delivers them
    };

    DialogProvider();
    virtual ~DialogProvider();

    DialogProvider(const DialogProvider &) = delete;
    DialogProvider &operator=(const DialogProvider &) = delete;

    // One or more existing files, starting in directory, listing what filter allows.
    virtual OpenFilesAnswer getOpenFileNames(QWidget *parent, const QString &directory,
                                             const QString &filter);
    // Runs the dialog modally; 1 when accepted, 0 otherwise.
    virtual int execDimensionsDialog(DimensionsDialog &dialog);
    // A null string when the user cancelled. filter may list several entries separated by
    // ";;"; the one chosen goes to *pSelectedFilter (which may be null), and a non-empty
    // *pSelectedFilter on entry is the one offered first.
    virtual QString getSaveFileName(QWidget *parent, const QString &caption,
                                    const QString &directory, const QString &filter,
                                    QString *pSelectedFilter = nullptr);
    // An existing folder, starting in directory; a null string when the user cancelled.
    virtual QString getExistingDirectory(QWidget *parent, const QString &caption,
                                         const QString &directory);
    // A warning box with a single OK button and no default button.
    virtual void warning(QWidget *parent, const QString &title, const QString &text);
    // Progress of a long operation: the callback returned is told (done, total) as the work goes
    // on; once the work has taken half a second a modal dialog with the label, a bar and
    // Cancel appears, and from the moment the user cancels the callback returns false. The
    // dialog goes when the last copy of the callback does.
    virtual ProgressCallback progress(QWidget *parent, const QString &label);
    // A whole number between minimum and maximum, starting at value; false when cancelled.
    virtual bool getInteger(QWidget *parent, const QString &title, const QString &label, int value,
                            int minimum, int maximum, int &answer);
    virtual QMessageBox::StandardButton question(QWidget *parent, const QString &title,
                                                 const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton);
};
