#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace vellicord {

// What the Edit menu's commands can do in one view, and doing them: the menu enables each item
// exactly when the view with the keys can perform it, and sends nothing to a view that cannot.
// Qt's line and text editors are judged as Qt's own menus judge them; a view of ours says what it
// can do by attaching a target; any other view performs none of the commands.
class EditTarget final : public QObject {
    Q_OBJECT
public:
    enum class Command { undo, redo, cut, copy, paste, selectAll };

    struct Commands {
        // Whether the view can perform the command now.
        std::function<bool(Command)> can;
        std::function<void(Command)> perform;
    };

    // Gives a view of ours its commands; the view owns the target, and says changed() whenever
    // what it can do may have changed. The view takes the commands' keys as its own, as an editor
    // does: Control-C in it copies what it says it copies or nothing, never what the toolkit's
    // view would copy on its own (a list row's display text, an elided label's drawn text).
    static EditTarget& attach(QWidget& view, Commands commands);
    // The commands of a view that only copies what is selected in it and selects all of it.
    static Commands copyAndSelectAll(std::function<bool()> canCopy, std::function<void()> copy,
                                     std::function<bool()> canSelectAll, std::function<void()> selectAll);
    // The view's commands: those attached to it, Qt's own for its line and text editors (made the
    // first time they are asked for), or none.
    static EditTarget* of(QWidget* view);

    bool can(Command command) const;
    // Does nothing when the view cannot perform the command.
    void perform(Command command);

Q_SIGNALS:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    EditTarget(QWidget& view, Commands commands);

    Commands commands_;
};

} // namespace vellicord
