#pragma once

#include <QObject>
#include <QString>

class QAction;

namespace vellicord {

// The application's commands as one set of actions, shown by both the window's menu bar and the
// tray icon's menu: a title, a key, an enabled state and a check mark are decided here once. The
// delegate connects each action's triggered signal to its operation, and gives the keys of Quit
// and Close Window to the windows the menu bar is not in. Commands that act on the focused widget
// (Edit) are the menu bar's own.
class AppActions final : public QObject {
    Q_OBJECT
public:
    explicit AppActions(QObject* parent = nullptr);

    // What the titles, enabled states and check mark follow.
    struct State {
        QString shortcutDisplay;
        bool canModifyLibrary = true;
        bool collectIntoActiveDraft = false;
    };
    void update(const State& state);

    static QString captureTitle(const QString& shortcutDisplay);

    QAction* const about;
    QAction* const settings;
    QAction* const checkForUpdates;
    QAction* const hide;
    QAction* const quit;
    QAction* const openVellicord;
    QAction* const captureSelection;
    QAction* const newPrompt;
    QAction* const goToPrompt; // the menu bar's way to the prompt
    QAction* const openPrompt; // the tray menu's way to the same prompt
    QAction* const collectIntoPrompt;
    QAction* const focusSearch;
    QAction* const closeWindow; // the menu bar's and the settings window's
};

} // namespace vellicord
