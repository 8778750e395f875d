#include "Tovak/shell/HotKeyManager.h"
#include "platform/x11/X11HotKeys.h"
#include "support/MemoryDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool, ...) would break its templates.
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace vellicord;

namespace {

void xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(tool.waitForFinished(5000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
}

// Runs the event loop for a while, or until the condition holds.
void spin(int ms, const std::function<bool()>& done = {})
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !(done && done())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Another X client, holding a key grab of its own.
class OtherClient {
public:
    OtherClient() : display_(XOpenDisplay(nullptr)) {}
    ~OtherClient()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    void grab(KeySym keysym, unsigned modifiers)
    {
        XGrabKey(display_, XKeysymToKeycode(display_, keysym), modifiers, DefaultRootWindow(display_),
                 True, GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
    }
    bool connected() const { return display_ != nullptr; }

private:
    Display* display_;
};

} // namespace

TEST(X11HotKeys, EachPressCallsOnceAlsoWithNumLockAndWhileHeld)
{
    X11HotKeys keys;
    ASSERT_TRUE(keys.isAvailable());
    int presses = 0;
    keys.setPressedHandler([&] { ++presses; });
    ASSERT_EQ(keys.grab(8, 0x1900), HotKeys::noError); // control, option, command and C

    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
    spin(3000, [&] { return presses == 1; });
    spin(200);
    EXPECT_EQ(presses, 1) << "plain press";

    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    spin(3000, [&] { return presses == 2; });
    spin(200);
    EXPECT_EQ(presses, 2) << "with NumLock on";

    // Held past the auto-repeat delay: still one press.
    xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+super+c")});
    spin(1200);
    xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+super+c")});
    spin(300);
    EXPECT_EQ(presses, 3) << "held down";

    // Other modifiers are another combination.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+c")});
    spin(300);
    EXPECT_EQ(presses, 3) << "without super";

    keys.release();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
    spin(300);
    EXPECT_EQ(presses, 3) << "after release";
}

TEST(X11HotKeys, CombinationHeldByAnotherClientIsRefusedAndThePreviousStays)
{
    OtherClient other;
    ASSERT_TRUE(other.connected());
    other.grab(XK_k, Mod4Mask);

    X11HotKeys keys;
    EXPECT_EQ(keys.grab(40, 0x100), HotKeys::keyTaken); // command K

    MemoryDefaults defaults;
    HotKeyManager manager(keys, defaults);
    int captures = 0;
    manager.onCapture = [&] { ++captures; };
    ASSERT_TRUE(manager.registerCombo(HotKeyCombo{8, 0x1900}));
    EXPECT_FALSE(manager.registerCombo(HotKeyCombo{40, 0x100}));
    EXPECT_TRUE(manager.isRegistered());
    EXPECT_EQ(manager.currentCombo(), (HotKeyCombo{8, 0x1900}));
    EXPECT_EQ(HotKeyManager::loadCombo(defaults), (HotKeyCombo{8, 0x1900}));

    // The previous shortcut still works after the refused change.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
    spin(3000, [&] { return captures == 1; });
    EXPECT_EQ(captures, 1);
    manager.release();
}

// A German layout swaps Y and Z: after the change the shortcut follows the letter, not the key.
TEST(X11HotKeys, ShortcutFollowsItsLetterWhenTheLayoutChanges)
{
    X11HotKeys keys;
    int presses = 0;
    keys.setPressedHandler([&] { ++presses; });
    ASSERT_EQ(keys.grab(0x10, 0x100), HotKeys::noError); // command Y
    auto layout = [](const char* name) {
        QProcess tool;
        tool.start(QStringLiteral("setxkbmap"), {QString::fromLatin1(name)});
        return tool.waitForFinished(5000) && tool.exitCode() == 0;
    };
    ASSERT_TRUE(layout("de"));
    spin(500);
    xdotool({QStringLiteral("key"), QStringLiteral("super+y")});
    spin(3000, [&] { return presses == 1; });
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(layout("us"));
    spin(300);
    keys.release();
}
