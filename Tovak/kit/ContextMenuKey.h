#pragma once

#include <QObject>

namespace vellicord {

// Shift+F10 opens a context menu wherever the Menu key does: this desktop's second key for it, which
// the toolkit leaves unanswered. The menu is asked of the window with the keyboard, as for the Menu
// key, so it opens for the widget that holds the keyboard, at the spot that key would open it.
// Watches the application's keys for as long as it lives.
class ContextMenuKey final : public QObject {
public:
    explicit ContextMenuKey(QObject* parent = nullptr);
    ~ContextMenuKey() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vellicord
