#include "Tovak/library/ContentView.h"

#include "Tovak/library/WelcomeView.h"
#include "core/library/Store.h"
#include "support/ViewFakes.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vellicord;

// The welcome sheet greets an empty library that can be changed, each time the content comes on
// screen, with the shortcut and the accessibility state as they are then.
TEST(ContentView, WelcomesAnEmptyLibraryEachTimeItIsShown)
{
    struct Case {
        const char* name;
        QByteArray library;
        bool addCapture;
        bool welcomed;
    };
    const Case cases[] = {
        {"empty", {}, false, true},
        {"with a capture", {}, true, false},
        {"unreadable", "not a library", false, false},
    };
    for (const Case& c : cases) {
        ViewFakes fakes(c.library);
        if (c.addCapture) {
            fakes.store->add(Selection(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                                       std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, fakes.time.now()));
        }
        QWidget window;
        auto* content = new ContentView(fakes.services(), &window);
        window.show();
        EXPECT_EQ(content->welcomeSheet() != nullptr, c.welcomed) << c.name;
    }

    ViewFakes fakes;
    fakes.accessibility.trusted = false;
    fakes.shortcut = QStringLiteral("⇧F5");
    QWidget window;
    auto* content = new ContentView(fakes.services(), &window);
    window.show();
    WelcomeView* welcome = content->welcomeSheet();
    ASSERT_TRUE(welcome);
    bool namesShortcut = false;
    for (QLabel* label : welcome->findChildren<QLabel*>())
        namesShortcut |= label->text() == WelcomeView::captureStepText(QStringLiteral("⇧F5"));
    EXPECT_TRUE(namesShortcut);
    ASSERT_TRUE(welcome->settingsButton());
    welcome->settingsButton()->click();
    EXPECT_EQ(fakes.desktop.accessibilitySettingsOpened, 1);

    // Dismissed, it comes back the next time the window is shown.
    welcome->getStartedButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(content->welcomeSheet());
    window.hide();
    window.show();
    EXPECT_TRUE(content->welcomeSheet());
}
