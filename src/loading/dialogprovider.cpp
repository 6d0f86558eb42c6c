#include "dialogprovider.h"

#include <QDir>
#include <QFileDialog>

#include "dimensionsdialog.h"

DialogProvider::DialogProvider() = default;

DialogProvider::~DialogProvider() = default;

DialogProvider::OpenFilesAnswer
DialogProvider::getOpenFileNames(QWidget *parent, const QString &directory, const QString &filter)
{
    QFileDialog dialog(parent, QString(), QString(), QString());
    dialog.setDirectory(directory);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(filter);

    OpenFilesAnswer answer;
    answer.accepted = dialog.exec() != 0;
    answer.directory = dialog.directory().absolutePath();
    if (answer.accepted)
        answer.files = dialog.selectedFiles();
    return answer;
}

int DialogProvider::execDimensionsDialog(DimensionsDialog &dialog) { return dialog.exec(); }

QString DialogProvider::getSaveFileName(QWidget *parent, const QString &caption,
                                        const QString &directory, const QString &filter,
                                        QString *pSelectedFilter)
{
    return QFileDialog::getSaveFileName(parent, caption, directory, filter, pSelectedFilter);
}

void DialogProvider::warning(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

QMessageBox::StandardButton DialogProvider::question(QWidget *parent, const QString &title,
                                                     const QString &text,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::question(parent, title, text, buttons, defaultButton);
}
