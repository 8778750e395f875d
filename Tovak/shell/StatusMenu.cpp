#include "Tovak/shell/StatusMenu.h"

#include "Tovak/shell/AppActions.h"

namespace vellicord {

StatusMenu::StatusMenu(AppActions& actions, std::function<void()> refresh, QWidget* parent)
    : QMenu(parent)
{
    addActions({actions.openVellicord, actions.captureSelection, actions.newPrompt, actions.openPrompt,
                actions.collectIntoPrompt});
    addSeparator();
    addActions({actions.checkForUpdates, actions.settings});
    addSeparator();
    addAction(actions.quit);
    if (refresh)
        connect(this, &QMenu::aboutToShow, this, std::move(refresh));
}

} // namespace vellicord
