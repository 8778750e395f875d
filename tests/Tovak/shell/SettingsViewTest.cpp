#include "Tovak/shell/SettingsView.h"

#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/shell/BundleInfo.h"
#include "Tovak/shell/HotKeyManager.h"
#include "support/FakeHotKeys.h"
#include "support/FakeLoginItem.h"
#include "support/MemoryDefaults.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vellicord;
using Status = LoginItem::Status;

namespace {

class SettingsViewTest : public ::testing::Test {
protected:
    MemoryDefaults defaults;
    FakeHotKeys keys;
    HotKeyManager manager{keys, defaults};
    FakeLoginItem login;
    QStringList logged;

    std::unique_ptr<SettingsView> makeView()
    {
        return std::make_unique<SettingsView>(
            SettingsView::Services{&manager, &login, QStringLiteral("/tmp/Vellicord.json"), QStringLiteral("1.0 (1)"),
                                   [this](const QString& line) { logged.append(line); }});
    }
};

} // namespace

TEST_F(SettingsViewTest, LaunchAtLoginFollowsTheServiceAndExplainsFailures)
{
    struct Case {
        const char* name;
        Status before;
        Status afterRegister;
        std::optional<QString> failure;
        std::optional<QString> earlierNote;
        bool wanted;
        int registers;
        int unregisters;
        std::optional<QString> note;
    };
    const QString failed = QStringLiteral("Vellicord could not update launch at login.");
    const QString earlier = QStringLiteral("earlier note");
    const Case cases[] = {
        {"on from off", Status::notRegistered, Status::enabled, {}, earlier, true, 1, 0, std::nullopt},
        {"on when already enabled keeps the note", Status::enabled, Status::enabled, {}, earlier, true, 0, 0, earlier},
        // The desktop asks no one to approve an autostart entry: nothing speaks of an approval.
        {"on needing approval", Status::notRegistered, Status::requiresApproval, {}, earlier, true, 1, 0, std::nullopt},
        {"on fails", Status::notRegistered, Status::enabled, QStringLiteral("disk full"), {}, true, 1, 0, failed},
        {"off from enabled", Status::enabled, Status::enabled, {}, earlier, false, 0, 1, std::nullopt},
        {"off from approval", Status::requiresApproval, Status::enabled, {}, {}, false, 0, 1, std::nullopt},
        {"off when not registered calls nothing",
         Status::notRegistered,
         Status::enabled,
         {},
         earlier,
         false,
         0,
         0,
         std::nullopt},
        {"off when not found calls nothing", Status::notFound, Status::enabled, {}, {}, false, 0, 0, std::nullopt},
        {"off fails", Status::enabled, Status::enabled, QStringLiteral("read-only"), {}, false, 0, 1, failed},
    };
    for (const Case& c : cases) {
        login = FakeLoginItem();
        login.current = c.before;
        login.afterRegister = c.afterRegister;
        auto view = makeView();
        if (c.earlierNote) {
            // An earlier failure leaves its note behind.
            login.failure = QStringLiteral("first");
            view->applyLaunchAtLogin(c.before != Status::enabled);
            login.registerCalls = login.unregisterCalls = 0;
        }
        login.failure = c.failure;
        logged.clear();
        view->applyLaunchAtLogin(c.wanted);
        EXPECT_EQ(login.registerCalls, c.registers) << c.name;
        EXPECT_EQ(login.unregisterCalls, c.unregisters) << c.name;
        const std::optional<QString> expected = c.note == earlier ? std::optional(failed) : c.note;
        EXPECT_EQ(view->launchAtLoginNote(), expected) << c.name;
        const QStringList expectedLog
            = c.failure ? QStringList{QStringLiteral("Launch at login update failed: ") + *c.failure} : QStringList{};
        EXPECT_EQ(logged, expectedLog) << c.name;
    }
}

TEST_F(SettingsViewTest, RecordingThroughTheButtonChangesTheShownShortcut)
{
    ASSERT_TRUE(manager.registerCombo(HotKeyCombo::defaultCombo()));
    keys.taken.insert({40, 0x100});
    auto view = makeView();
    auto* button = view->findChild<QPushButton*>();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("Ctrl+Alt+Super+C"));

    button->click();
    EXPECT_TRUE(view->isRecording());
    EXPECT_TRUE(button->isHidden());
    if (const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR"); !folder.isEmpty())
        OffscreenRenderer::writePng(*view, QSize(520, 360), 2, folder + QStringLiteral("/settings-recording@2x.png"));
    view->stopRecording();
    EXPECT_FALSE(view->isRecording());

    view->startRecording();
    QKeyEvent taken(QEvent::KeyPress, Qt::Key_K, Qt::MetaModifier);
    QCoreApplication::sendEvent(view.get(), &taken);
    EXPECT_EQ(view->signError(), QStringLiteral("“Super+K” is already in use by another app."));
    EXPECT_EQ(button->text(), QStringLiteral("Ctrl+Alt+Super+C"));

    view->startRecording();
    EXPECT_FALSE(view->signError());
    QKeyEvent accepted(QEvent::KeyPress, Qt::Key_K, Qt::ShiftModifier);
    QCoreApplication::sendEvent(view.get(), &accepted);
    EXPECT_EQ(button->text(), QStringLiteral("Shift+K"));
    EXPECT_EQ(manager.currentCombo(), (HotKeyCombo{40, 0x200}));

    // Shown with its error, for a look at the layout.
    view->startRecording();
    QCoreApplication::sendEvent(view.get(), &taken);
    if (const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR"); !folder.isEmpty())
        OffscreenRenderer::writePng(*view, QSize(520, 360), 2, folder + QStringLiteral("/settings-error@2x.png"));
}

TEST(BundleInfo, VersionStringFillsMissingParts)
{
    BundleInfo bundle;
    EXPECT_EQ(bundle.versionString(), QStringLiteral("1.0 (1)"));
    bundle.shortVersion = QStringLiteral("1.4");
    bundle.buildVersion = QStringLiteral("27");
    EXPECT_EQ(bundle.versionString(), QStringLiteral("1.4 (27)"));
}
