#include "Tovak/shell/StatusMenu.h"

#include "Tovak/shell/AppActions.h"

#include <QAction>

#include <gtest/gtest.h>

using namespace vellicord;

TEST(StatusMenu, ItemsInOrderAndRefreshedOnEveryOpening)
{
    AppActions actions;
    AppActions::State state{QStringLiteral("Ctrl+Alt+Super+C"), true, false};
    StatusMenu menu(actions, [&] { actions.update(state); });
    Q_EMIT menu.aboutToShow();

    QStringList titles;
    for (QAction* item : menu.actions())
        titles.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(
        titles,
        (QStringList{QStringLiteral("Open Vellicord"), QStringLiteral("Capture Selection  (Ctrl+Alt+Super+C)"),
                     QStringLiteral("New Prompt…"), QStringLiteral("Open Prompt…"),
                     QStringLiteral("Collect into Prompt"), QStringLiteral("-"), QStringLiteral("Check for Updates…"),
                     QStringLiteral("Settings…"), QStringLiteral("-"), QStringLiteral("Quit Vellicord")}));
    // The tray shares its actions with the window's menu bar.
    const QList<QAction*> shared{
        actions.openVellicord,     actions.captureSelection, actions.newPrompt, actions.openPrompt,
        actions.collectIntoPrompt, actions.checkForUpdates,  actions.settings,  actions.quit};
    QList<QAction*> shown;
    for (QAction* item : menu.actions())
        if (!item->isSeparator())
            shown.append(item);
    EXPECT_EQ(shown, shared);

    // The shortcut changed in the settings and the library became read-only: the next opening shows it.
    state = {QStringLiteral("Shift+K"), false, true};
    Q_EMIT menu.aboutToShow();
    EXPECT_EQ(actions.captureSelection->text(), QStringLiteral("Capture Selection  (Shift+K)"));
    for (QAction* item : {actions.captureSelection, actions.newPrompt, actions.goToPrompt, actions.openPrompt,
                          actions.collectIntoPrompt})
        EXPECT_FALSE(item->isEnabled()) << qPrintable(item->text());
    EXPECT_TRUE(actions.collectIntoPrompt->isChecked());
    EXPECT_TRUE(actions.settings->isEnabled());
}
