#include "dialogprovider.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QPointer>
#include <QProgressDialog>

#include <memory>

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

QString DialogProvider::getExistingDirectory(QWidget *parent, const QString &caption,
                                             const QString &directory)
{
    return QFileDialog::getExistingDirectory(parent, caption, directory);
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

ProgressCallback DialogProvider::progress(QWidget *parent, const QString &label)
{
    // Shared by the copies of the callback; the dialog is made only when the work turns out
    // to be long.
    struct State
    {
        QElapsedTimer clock;
        std::unique_ptr<QProgressDialog> pDialog;
        bool cancelled = false;
    };
    auto pState = std::make_shared<State>();
    pState->clock.start();
    QPointer<QWidget> pParent(parent);
    return [pState, pParent, label](int done, int total) {
        if (pState->cancelled)
            return false;
        if (!pState->pDialog && pState->clock.elapsed() >= 500) {
            pState->pDialog = std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0,
                                                                total, pParent.data());
            pState->pDialog->setWindowModality(Qt::WindowModal);
            pState->pDialog->setMinimumDuration(0);
        }
        if (pState->pDialog) {
            pState->pDialog->setMaximum(total);
            // A window-modal dialog's setValue lets events through, Cancel among them.
            pState->pDialog->setValue(done);
            pState->cancelled = pState->pDialog->wasCanceled();
        }
        return !pState->cancelled;
    };
}

bool DialogProvider::getInteger(QWidget *parent, const QString &title, const QString &label,
                                int value, int minimum, int maximum, int &answer)
{
    bool ok = false;
    const int chosen = QInputDialog::getInt(parent, title, label, value, minimum, maximum, 1, &ok);
    if (ok)
        answer = chosen;
    return ok;
}
