#pragma once

#include <functional>

#include <QList>
#include <QPair>
#include <QStringList>

#include "dialogprovider.h"

// A DialogProvider that answers from scripts filled by a test and records every dialog and
// message it was asked to show. A call with no scripted answer left is logged as unexpected and
// answered as a cancel.
class ScriptedDialogs : public DialogProvider
{
public:
    struct OpenCall
    {
        QWidget *parent = nullptr;
        QString directory;
        QString filter;
    };
    // What the user puts into the real dimensions dialog before closing it.
    struct DimensionsAnswer
    {
        DimensionsAnswer() = default;
        DimensionsAnswer(int result, const QString &width, const QString &height, bool isYUV,
                         bool applyToOthers, const QString &format = QString(), int plane = 0)
            : result(result)
            , width(width)
            , height(height)
            , isYUV(isYUV)
            , applyToOthers(applyToOthers)
            , format(format)
            , plane(plane)
        { }
        int result = 1;
        QString width;
        QString height;
        bool isYUV = true;
        bool applyToOthers = false;
        QString format; // chosen after the YUV box; empty: left as the box set it
        int plane = 0;
        // Typed into the frame-range boxes; empty: left as the dialog showed them.
        QString firstFrame;
        QString frameCount;
    };
    // What the dimensions dialog showed when it opened.
    struct DimensionsShown
    {
        QString title;
        QString width;
        QString height;
        bool isYUV = false;
        bool applyToOthers = false;
        bool hasParent = false;
        QString format;
        int plane = 0;
        QString fileInfo; // what the file holds under the shown answers
    };
    struct SaveCall
    {
        QWidget *parent = nullptr;
        QString caption;
        QString directory;
        QString filter;
    };
    struct Message
    {
        QWidget *parent = nullptr;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    OpenFilesAnswer getOpenFileNames(QWidget *parent, const QString &directory,
                                     const QString &filter) override;
    int execDimensionsDialog(DimensionsDialog &dialog) override;
    QString getSaveFileName(QWidget *parent, const QString &caption, const QString &directory,
                            const QString &filter, QString *pSelectedFilter = nullptr) override;
    QString getExistingDirectory(QWidget *parent, const QString &caption,
                                 const QString &directory) override;
    void warning(QWidget *parent, const QString &title, const QString &text) override;
    ProgressCallback progress(QWidget *parent, const QString &label) override;
    bool getInteger(QWidget *parent, const QString &title, const QString &label, int value,
                    int minimum, int maximum, int &answer) override;
    QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;

    // Scripts, consumed front first.
    QList<OpenFilesAnswer> openAnswers;
    QList<DimensionsAnswer> dimensionsAnswers;
    QList<QString> saveAnswers;
    // Folders chosen in folder dialogs; none left: cancelled.
    QList<QString> directoryAnswers;
    // The filter the user picks in each save dialog; without one the offered filter stays.
    QList<QString> saveFilterAnswers;
    QList<QMessageBox::StandardButton> questionAnswers;
    // Typed into number dialogs; none left: cancelled.
    QList<int> integerAnswers;

    // Records, in call order.
    // "open", "dimensions", "save", "directory", "warning", "question", "unexpected ..."
    QStringList log;
    QList<OpenCall> openCalls;
    QList<DimensionsShown> dimensionsShown;
    QList<SaveCall> saveCalls;
    QList<Message> warnings;
    QList<Message> questions;
    // (value shown, minimum, maximum) of every number dialog.
    QList<QList<int>> integersShown;

    // The lines of a message that the expected text has, for comparing the described texts of
    // messages that may carry one more line naming the file and the numbers. A message with
    // more than that one extra line keeps them all, so that the comparison fails.
    static QString describedLines(const QString &message, const QString &expected)
    {
        const int lines = int(expected.count(QLatin1Char('\n')));
        if (message.count(QLatin1Char('\n')) > lines + 1)
            return message;
        return message.section(QLatin1Char('\n'), 0, lines);
    }

    // A progress callback cancels once told `done` reaches this; -1 never cancels.
    int cancelProgressAt = -1;
    // Label of every progress callback asked for, and the last (done, total) each was told.
    QStringList progressLabels;
    QList<QPair<int, int>> progressReports;
    // Runs inside every warning, before it returns: lets a test look at the state the user
    // would see behind the box.
    std::function<void()> duringWarning;
};
