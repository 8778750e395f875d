#include "Tovak/library/WelcomeView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vellicord;

TEST(WelcomeView, SettingsButtonOnlyWhenAccessIsMissing)
{
    int opened = 0;
    WelcomeView needing(true, QStringLiteral("Ctrl+Alt+Super+C"), [&] { ++opened; });
    ASSERT_TRUE(needing.settingsButton());
    needing.settingsButton()->click();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(needing.findChildren<QPushButton*>().size(), 2);

    WelcomeView granted(false, QStringLiteral("Ctrl+Alt+Super+C"));
    EXPECT_EQ(granted.settingsButton(), nullptr);
    EXPECT_EQ(granted.findChildren<QPushButton*>().size(), 1);

    // Without an action the button does nothing.
    WelcomeView unwired(true, QStringLiteral("Super+K"));
    unwired.settingsButton()->click();
}

TEST(WelcomeView, CaptureStepEmbedsTheShortcutAsPassed)
{
    EXPECT_EQ(
        WelcomeView::captureStepText(QStringLiteral("Ctrl+Alt+Super+C")),
        QStringLiteral(
            "Select text in another app, then press Ctrl+Alt+Super+C to save it with its source when available."));
    WelcomeView view(false, QStringLiteral("Shift+F5"));
    bool found = false;
    for (QLabel* label : view.findChildren<QLabel*>())
        found |= label->text() == WelcomeView::captureStepText(QStringLiteral("Shift+F5"));
    EXPECT_TRUE(found);
}

TEST(WelcomeView, ReturnGetsStarted)
{
    WelcomeView view(true, QStringLiteral("Ctrl+Alt+Super+C"));
    view.show();
    EXPECT_TRUE(view.getStartedButton()->isDefault());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_EQ(view.result(), QDialog::Accepted);
    EXPECT_FALSE(view.isVisible());
}
