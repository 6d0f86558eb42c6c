#include "scripteddialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "dimensionsdialog.h"

DialogProvider::OpenFilesAnswer
ScriptedDialogs::getOpenFileNames(QWidget *parent, const QString &directory, const QString &filter)
{
    openCalls.append({parent, directory, filter});
    if (openAnswers.isEmpty()) {
        log.append(QStringLiteral("unexpected open"));
        return {};
    }
    log.append(QStringLiteral("open"));
    return openAnswers.takeFirst();
}

int ScriptedDialogs::execDimensionsDialog(DimensionsDialog &dialog)
{
    DimensionsShown shown;
    shown.title = dialog.windowTitle();
    shown.width = dialog.m_pWidth->text();
    shown.height = dialog.m_pHeight->text();
    shown.isYUV = dialog.m_pYUVCheckBox->isChecked();
    shown.applyToOthers = dialog.m_pApplyOtherBox->isChecked();
    shown.hasParent = dialog.parentWidget() != nullptr;
    shown.format = dialog.m_pFormatBox->currentText();
    shown.plane = dialog.getPlane();
    shown.fileInfo
            = dialog.m_pFileInfo->isVisibleTo(&dialog) ? dialog.m_pFileInfo->text() : QString();
    dimensionsShown.append(shown);
    if (dimensionsAnswers.isEmpty()) {
        log.append(QStringLiteral("unexpected dimensions"));
        return 0;
    }
    log.append(QStringLiteral("dimensions"));
    const DimensionsAnswer answer = dimensionsAnswers.takeFirst();
    dialog.m_pWidth->setText(answer.width);
    dialog.m_pHeight->setText(answer.height);
    dialog.m_pYUVCheckBox->setChecked(answer.isYUV);
    dialog.m_pApplyOtherBox->setChecked(answer.applyToOthers);
    if (!answer.format.isEmpty())
        dialog.m_pFormatBox->setCurrentText(answer.format);
    dialog.m_pPlaneBox->setCurrentIndex(answer.plane);
    if (!answer.firstFrame.isEmpty())
        dialog.m_pFirstFrame->setValue(answer.firstFrame.toInt());
    if (!answer.frameCount.isEmpty())
        dialog.m_pFrameCount->setValue(answer.frameCount.toInt());
    return answer.result;
}

QString ScriptedDialogs::getSaveFileName(QWidget *parent, const QString &caption,
                                         const QString &directory, const QString &filter,
                                         QString *pSelectedFilter)
{
    saveCalls.append({parent, caption, directory, filter});
    if (saveAnswers.isEmpty()) {
        log.append(QStringLiteral("unexpected save"));
        return QString();
    }
    log.append(QStringLiteral("save"));
    if (pSelectedFilter && !saveFilterAnswers.isEmpty())
        *pSelectedFilter = saveFilterAnswers.takeFirst();
    return saveAnswers.takeFirst();
}

QString ScriptedDialogs::getExistingDirectory(QWidget *, const QString &, const QString &)
{
    if (directoryAnswers.isEmpty()) {
        log.append(QStringLiteral("unexpected directory"));
        return QString();
    }
    log.append(QStringLiteral("directory"));
    return directoryAnswers.takeFirst();
}

void ScriptedDialogs::warning(QWidget *parent, const QString &title, const QString &text)
{
    log.append(QStringLiteral("warning"));
    warnings.append({parent, title, text, QMessageBox::Ok, QMessageBox::NoButton});
    if (duringWarning)
        duringWarning();
}

QMessageBox::StandardButton ScriptedDialogs::question(QWidget *parent, const QString &title,
                                                      const QString &text,
                                                      QMessageBox::StandardButtons buttons,
                                                      QMessageBox::StandardButton defaultButton)
{
    questions.append({parent, title, text, buttons, defaultButton});
    if (questionAnswers.isEmpty()) {
        log.append(QStringLiteral("unexpected question"));
        return QMessageBox::NoButton;
    }
    log.append(QStringLiteral("question"));
    return questionAnswers.takeFirst();
}

ProgressCallback ScriptedDialogs::progress(QWidget *, const QString &label)
{
    progressLabels.append(label);
    progressReports.append({0, 0});
    const int index = int(progressReports.size()) - 1;
    return [this, index](int done, int total) {
        progressReports[index] = {done, total};
        return cancelProgressAt < 0 || done < cancelProgressAt;
    };
}

bool ScriptedDialogs::getInteger(QWidget *, const QString &, const QString &, int value,
                                 int minimum, int maximum, int &answer)
{
    integersShown.append({value, minimum, maximum});
    if (integerAnswers.isEmpty()) {
        log.append(QStringLiteral("unexpected integer"));
        return false;
    }
    log.append(QStringLiteral("integer"));
    answer = integerAnswers.takeFirst();
    return true;
}
