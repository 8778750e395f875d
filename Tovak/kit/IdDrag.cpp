#include "Tovak/kit/IdDrag.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace vellicord {

namespace {

// Offered beside the text, also to other applications, which know nothing of it.
const QString markFormat = QStringLiteral("application/x-vellicord-id-drag");

// Where a drop would become typed text: a line edit, or the viewport of a text editor (a text
// editor takes its drags there).
bool takesText(QObject* target)
{
    if (qobject_cast<QLineEdit*>(target))
        return true;
    const auto* editor = qobject_cast<QAbstractScrollArea*>(target->parent());
    return editor && editor->viewport() == target
        && (qobject_cast<const QPlainTextEdit*>(editor) || qobject_cast<const QTextEdit*>(editor));
}

class TextFieldGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    // Refused as it enters, a drag never reaches the field again: Qt sends its moves and its drop
    // to whichever widget took it in, and offers it to the field's parents next (a source row
    // still takes its grip's drag over its note).
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::DragEnter)
            return false;
        const QMimeData* data = static_cast<QDragEnterEvent*>(event)->mimeData();
        if (!data || !data->hasFormat(markFormat) || !takesText(watched))
            return false;
        event->ignore();
        return true;
    }
};

} // namespace

QMimeData* IdDrag::mimeData(const QString& text)
{
    static QPointer<TextFieldGuard> guard;
    if (QCoreApplication* application = QCoreApplication::instance(); application && !guard) {
        guard = new TextFieldGuard(application);
        application->installEventFilter(guard);
    }
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(markFormat, QByteArrayLiteral("1"));
    return data;
}

} // namespace vellicord
