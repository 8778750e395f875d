#pragma once

#include <QMenu>

#include <functional>

namespace vellicord {

// The menu of the status (tray) icon. Its capture item names the shortcut in force and its
// enabled states follow the library: both are read again each time the menu opens, so it never
// offers a shortcut that is not registered.
class StatusMenu final : public QMenu {
public:
    struct Actions {
        std::function<void()> showMainWindow;
        std::function<void()> captureNow;
        std::function<void()> newPrompt;
        std::function<void()> openPrompt;
        std::function<void()> toggleCollecting;
        std::function<void()> checkForUpdates;
        std::function<void()> showSettings;
        std::function<void()> quit;
        std::function<QString()> shortcutDisplay;
        std::function<bool()> canModifyLibrary;
        std::function<bool()> collectIntoActiveDraft;
    };

    explicit StatusMenu(Actions actions, QWidget* parent = nullptr);

    static QString captureTitle(const QString& shortcutDisplay);

    QAction* captureItem() const { return capture_; }
    QAction* collectItem() const { return collect_; }
    // Reads the shortcut and the library state again (done on every opening).
    void refresh();

private:
    Actions actions_;
    QAction* capture_;
    QAction* newPrompt_;
    QAction* openPrompt_;
    QAction* collect_;
};

} // namespace vellicord
