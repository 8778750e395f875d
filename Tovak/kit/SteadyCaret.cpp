#include "Tovak/kit/SteadyCaret.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace vellicord {

namespace {

// The editors holding their caret steady, and the flash time to give back when the last lets go.
int holders = 0;
int flashTimeGivenBack = 0;

} // namespace

SteadyCaret::SteadyCaret(QWidget& editor, std::function<qsizetype()> caretLineLength)
    : QObject(&editor)
    , editor_(editor)
    , caretLineLength_(std::move(caretLineLength))
{
    editor.installEventFilter(this);
}

SteadyCaret::SteadyCaret(QLineEdit& field)
    : SteadyCaret(field, [&field] { return field.text().size(); })
{
    connect(&field, &QLineEdit::textChanged, this, &SteadyCaret::follow);
}

SteadyCaret::SteadyCaret(QPlainTextEdit& editor)
    : SteadyCaret(editor, [&editor] { return qsizetype(editor.textCursor().block().length()); })
{
    connect(&editor, &QPlainTextEdit::cursorPositionChanged, this, &SteadyCaret::follow);
}

bool SteadyCaret::eventFilter(QObject* watched, QEvent* event)
{
    // An editor that goes loses the focus first, as it goes: losing it reads nothing of the editor.
    if (watched == &editor_ && event->type() == QEvent::FocusIn)
        follow();
    else if (watched == &editor_ && event->type() == QEvent::FocusOut)
        hold(false);
    return QObject::eventFilter(watched, event);
}

void SteadyCaret::follow()
{
    hold(editor_.hasFocus() && caretLineLength_() > blinkingLength);
}

void SteadyCaret::hold(bool steady)
{
    if (steady == steady_)
        return;
    steady_ = steady;
    if (steady && holders++ == 0) {
        flashTimeGivenBack = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);
    } else if (!steady && --holders == 0) {
        QApplication::setCursorFlashTime(flashTimeGivenBack);
    }
}

} // namespace vellicord
