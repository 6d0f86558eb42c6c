#include "keyhandler.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTextEdit>

#include "playback.h"
#include "slicewidget.h"
#include "sliceview.h"

KeyHandler::KeyHandler(QWidget *pWindow, SliceWidget *pSliceWidget, Playback *pPlayback)
    : QObject(pWindow), m_pWindow(pWindow), m_pSliceWidget(pSliceWidget), m_pPlayback(pPlayback)
{
    // Seen before any widget of the window: frame keys work wherever the focus is.
    qApp->installEventFilter(this);
}

bool KeyHandler::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::KeyPress && pWatched->isWidgetType()) {
        auto *pWidget = static_cast<QWidget *>(pWatched);
        if (pWidget->window() == m_pWindow && handleKey(pWidget, *static_cast<QKeyEvent *>(pEvent)))
            return true;
    }
    return QObject::eventFilter(pWatched, pEvent);
}

bool KeyHandler::handleKey(QWidget *pWidget, const QKeyEvent &event)
{
    // The text field the key goes to, if any; a spin box's line edit counts as its spin box.
    QWidget *pField = nullptr;
    for (QWidget *pAt = pWidget; pAt && pAt != m_pWindow; pAt = pAt->parentWidget()) {
        if (qobject_cast<QAbstractSpinBox *>(pAt) || qobject_cast<QLineEdit *>(pAt)
            || qobject_cast<QTextEdit *>(pAt) || qobject_cast<QPlainTextEdit *>(pAt)) {
            pField = pAt;
            break;
        }
    }
    const int key = event.key();
    if (pField && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        auto *pBox = qobject_cast<QAbstractSpinBox *>(pField);
        if (!pBox)
            return false;
        // The value (a range) applies, and the keys go back to the picture.
        pBox->interpretText();
        m_pSliceWidget->getView()->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (pField || (event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QSlider *pSlider = m_pSliceWidget->getSlider();
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_Right:
        m_pSliceWidget->stepSlice(1);
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_Left:
        m_pSliceWidget->stepSlice(-1);
        return true;
    case Qt::Key_Home:
        pSlider->setValue(pSlider->minimum());
        return true;
    case Qt::Key_End:
        pSlider->setValue(pSlider->maximum());
        return true;
    case Qt::Key_Space:
        // A held key plays or pauses once.
        if (!event.isAutoRepeat())
            m_pPlayback->toggle();
        return true;
    default:
        return false;
    }
}
