#pragma once

#include <QObject>

#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace vellicord {

// Keeps an editor's caret lit, without blinking, while it stands in a line too long to draw twice a
// second. Each blink repaints the editor, and Qt shapes and draws the caret's whole line again for
// it (a field's whole text, an editor's whole paragraph): a note or a paragraph of a megabyte,
// pasted by mistake, would keep the main thread busy for as long as the caret stays there, and a
// screen reader's questions would wait. Qt shows a steady caret when the cursor flash time is 0;
// that setting is the application's, so it is made only while such an editor has the focus, and
// given back as the focus leaves, the line becomes short or the editor goes.
class SteadyCaret final : public QObject {
public:
    // The longest line whose caret blinks: drawing it twice a second takes a few percent of a processor.
    static constexpr qsizetype blinkingLength = 100'000;

    // The helper belongs to the editor and goes with it.
    explicit SteadyCaret(QLineEdit& field);
    // The caret's line is its paragraph: Qt lays a paragraph out, and draws it, as one.
    explicit SteadyCaret(QPlainTextEdit& editor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SteadyCaret(QWidget& editor, std::function<qsizetype()> caretLineLength);
    void follow();
    void hold(bool steady);

    QWidget& editor_;
    std::function<qsizetype()> caretLineLength_;
    bool steady_ = false;
};

} // namespace vellicord
