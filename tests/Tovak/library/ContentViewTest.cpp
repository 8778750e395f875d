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

#include "Tovak/export/SampleData.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/shell/AppActions.h"
#include "Tovak/shell/MainWindow.h"
#include <QLineEdit>

// The window over the sample library, and over the library's states, in both appearances and at
// both scales, for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(ContentView, RendersTheLibraryAndItsStates)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    struct Case {
        const char* name;
        QByteArray library;
        bool samples;
        bool trusted;
        QString search;
    };
    const Case cases[] = {
        {"library", {}, true, true, {}},
        {"library-search", {}, true, true, QStringLiteral("the")},
        {"no-results", {}, true, true, QStringLiteral("<b>nothing</b> like this")},
        {"welcome", {}, false, false, {}},
        {"unreadable", "not a library", false, true, {}},
    };
    for (const Case& c : cases) {
        ViewFakes fakes(c.library);
        fakes.accessibility.trusted = c.trusted;
        fakes.time.advance(std::chrono::hours(24 * 400));
        if (c.samples) {
            for (const Selection& s : SampleData::sampleSelections(fakes.time.now()))
                fakes.store->add(s);
            const auto group = fakes.store->createGroup(QStringLiteral("Reading"), QStringLiteral("#FF9500"),
                                                        {fakes.store->selections().first().id});
            fakes.store->createGroup(QStringLiteral("Work & <i>notes</i>"), QStringLiteral("#34C759"),
                                     {fakes.store->selections().first().id, fakes.store->selections()[1].id});
            fakes.store->createGroup(QStringLiteral("Later"), QStringLiteral("nope"),
                                     {fakes.store->selections().first().id});
            (void)group;
        }
        AppActions actions;
        MainWindow window(fakes.services(), actions);
        window.contentView()->searchField()->setText(c.search);
        if (c.samples && c.search.isEmpty())
            window.contentView()->state().selectInList({fakes.store->selections()[1].id});
        EXPECT_FALSE(window.contentView()->searchField()->text() != c.search);
        if (folder.isEmpty())
            continue;
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            Theme::apply(window, appearance);
            for (qreal scale : {1.0, 2.0}) {
                const QString name
                    = QStringLiteral("%1/window-%2-%3@%4x.png")
                          .arg(folder, QString::fromLatin1(c.name),
                               appearance == Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light"))
                          .arg(int(scale));
                EXPECT_FALSE(OffscreenRenderer::writePng(window, QSize(1120, 660), scale, name)) << c.name;
            }
        }
    }
}
