#include "Tovak/shell/StatusMenu.h"

#include <gtest/gtest.h>

using namespace vellicord;

TEST(StatusMenu, ItemsInOrderAndRefreshedOnEveryOpening)
{
    QString shortcut = QStringLiteral("⌃⌥⌘C");
    bool canModify = true;
    bool collecting = false;
    QStringList called;
    auto record = [&](const char* name) { return [&called, name] { called.append(QString::fromLatin1(name)); }; };
    StatusMenu menu({record("show"), record("capture"), record("new"), record("open"), record("collect"),
                     record("updates"), record("settings"), record("quit"), [&] { return shortcut; },
                     [&] { return canModify; }, [&] { return collecting; }});

    QStringList titles;
    for (QAction* item : menu.actions())
        titles.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Open Vellicord"), QStringLiteral("Capture Selection  (⌃⌥⌘C)"),
                                   QStringLiteral("New Prompt…"), QStringLiteral("Open Prompt…"),
                                   QStringLiteral("Collect into Prompt"), QStringLiteral("-"),
                                   QStringLiteral("Check for Updates…"), QStringLiteral("Settings…"),
                                   QStringLiteral("-"), QStringLiteral("Quit Vellicord")}));
    for (QAction* item : menu.actions()) {
        if (!item->isSeparator())
            item->trigger();
    }
    EXPECT_EQ(called, (QStringList{QStringLiteral("show"), QStringLiteral("capture"), QStringLiteral("new"),
                                   QStringLiteral("open"), QStringLiteral("collect"), QStringLiteral("updates"),
                                   QStringLiteral("settings"), QStringLiteral("quit")}));

    // The shortcut changed in the settings and the library became read-only: the next opening shows it.
    shortcut = QStringLiteral("⇧K");
    canModify = false;
    collecting = true;
    Q_EMIT menu.aboutToShow();
    EXPECT_EQ(menu.captureItem()->text(), QStringLiteral("Capture Selection  (⇧K)"));
    EXPECT_FALSE(menu.captureItem()->isEnabled());
    EXPECT_FALSE(menu.collectItem()->isEnabled());
    EXPECT_TRUE(menu.collectItem()->isChecked());
}
