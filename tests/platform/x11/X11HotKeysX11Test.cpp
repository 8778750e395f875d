#include "Tovak/shell/HotKeyManager.h"
#include "platform/CarbonKeys.h"
#include "platform/KeyboardLayout.h"
#include "platform/x11/X11HotKeys.h"
#include "support/MemoryDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool, ...) would break its templates.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
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
    void grab(KeySym keysym, unsigned modifiers) { grabKeycode(XKeysymToKeycode(display_, keysym), modifiers); }
    void grabKeycode(unsigned keycode, unsigned modifiers)
    {
        XGrabKey(display_, int(keycode), modifiers, DefaultRootWindow(display_), True, GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
    }
    bool connected() const { return display_ != nullptr; }
    Display* display() const { return display_; }

private:
    Display* display_;
};

bool setxkbmap(const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral("setxkbmap"), arguments);
    const bool done = tool.waitForFinished(5000) && tool.exitCode() == 0;
    if (output)
        *output = tool.readAllStandardOutput();
    spin(500); // for the keymap change to reach the program
    return done;
}

// Puts back the keyboard map in use before the test, whatever its outcome: later tests type on
// the keyboard they expect.
class KeymapRestorer {
public:
    KeymapRestorer()
    {
        QByteArray query; // "layout:     us" and so on; options add to those set, so clear them first
        setxkbmap({QStringLiteral("-query")}, &query);
        for (const QString& line : QString::fromUtf8(query).split(u'\n', Qt::SkipEmptyParts)) {
            const QString name = line.section(u':', 0, 0), value = line.section(u':', 1).trimmed();
            original << (name == u"options" ? QStringList{QStringLiteral("-option"), {}, QStringLiteral("-option"), value}
                                            : QStringList{u'-' + name, value});
        }
    }
    ~KeymapRestorer() { setxkbmap(original); }
    QStringList original;
};

// The user's fingers on the modifiers and the key at this X key code, through XTEST; each time
// on a connection of its own, since Xlib's copy of the keyboard map goes stale at a layout change.
bool firesOnce(int& presses, uint32_t carbonModifiers, unsigned keycode)
{
    Display* display = XOpenDisplay(nullptr);
    std::vector<unsigned> keys;
    for (const auto& [bit, keysym] : {std::pair{CarbonKeys::controlKey, XK_Control_L}, {CarbonKeys::optionKey, XK_Alt_L},
                                      {CarbonKeys::shiftKey, XK_Shift_L}, {CarbonKeys::commandKey, XK_Super_L}}) {
        if (carbonModifiers & bit)
            keys.push_back(XKeysymToKeycode(display, keysym));
    }
    keys.push_back(keycode);
    const int before = presses;
    for (unsigned key : keys)
        XTestFakeKeyEvent(display, key, True, CurrentTime);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        XTestFakeKeyEvent(display, *key, False, CurrentTime);
    XCloseDisplay(display);
    spin(2000, [&] { return presses > before; });
    spin(100);
    return presses == before + 1;
}

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

// A shortcut is a place on the keyboard: recorded from the key pressed, shown by what that key
// types in the layout and group in use, and grabbed there again at every keymap change (a German
// layout swaps Y and Z; a Russian one has no Latin letters; a server may number its keys anew),
// also when another client held the key during one change.
TEST(X11HotKeys, ShortcutStaysOnItsKeyThroughKeymapChanges)
{
    struct Step {
        QStringList keymap;
        unsigned keycode; // the key pressed, as the server numbers it
        bool fires;
        const char16_t* shown = nullptr; // and the key pressed is the shortcut's
        unsigned group = 0;
        bool heldByOtherClient = false;
    };
    struct Case {
        const char* name;
        HotKeyCombo combo;
        std::vector<Step> steps;
    };
    const auto keymap = [](const char* arguments) { return QString::fromLatin1(arguments).split(u' '); };
    const Case cases[] = {
        {"through ru and back", {8, 0x1900}, {{keymap("ru"), 54, true}, {keymap("us"), 54, true, u"Ctrl+Alt+Super+C"}}},
        {"German Y", {0x10, 0x100}, {{keymap("de"), 29, true, u"Super+Z"}, {keymap("de"), 52, false}}},
        {"AZERTY &/1", {0x12, 0x1900}, {{keymap("fr"), 10, true, u"Ctrl+Alt+Super+&"}}},
        {"AZERTY é", {0x13, 0x1900}, {{keymap("fr"), 11, true, u"Ctrl+Alt+Super+É"}}},
        {"Russian К", {0x0F, 0x900}, {{keymap("ru"), 27, true, u"Alt+Super+К"}}},
        {"Russian group of us,ru", {0x0F, 0x900}, {{keymap("us,ru"), 27, true, u"Alt+Super+К", 1}}},
        {"Latin group of ru,us", {0x0F, 0x900}, {{keymap("ru,us"), 27, true, u"Alt+Super+R", 1}}},
        {"Hebrew", {8, 0x1900}, {{keymap("il"), 54, true, u"Ctrl+Alt+Super+ב"}}},
        {"Thai", {8, 0x1900}, {{keymap("th"), 54, true, u"Ctrl+Alt+Super+แ"}}},
        {"Devanagari", {8, 0x1900}, {{keymap("in"), 54, true, u"Ctrl+Alt+Super+म"}}},
        {"no character", {0x24, 0x1000}, {{keymap("us"), 36, true, u"Ctrl+Return"}}},
        {"keys numbered anew",
         {0x7E, 0x1800},
         {{keymap("us -keycodes xfree86"), 98, true, u"Ctrl+Alt+Up"}, {keymap("us"), 111, true}}},
        {"held by another client once",
         {0x7E, 0x1800},
         {{keymap("-keycodes xfree86"), 98, false, nullptr, 0, true}, {keymap("-keycodes xfree86"), 98, true}}},
    };
    const KeymapRestorer restorer;
    X11HotKeys keys;
    const CarbonKeys::LayoutInUse layoutInUse(keys.layout());
    int presses = 0;
    keys.setPressedHandler([&] { ++presses; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(setxkbmap(restorer.original));
        ASSERT_EQ(keys.grab(c.combo.keyCode, c.combo.modsCarbon), HotKeys::noError);
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.keymap.join(u' ').toStdString());
            OtherClient other; // its grab ends with it
            if (step.heldByOtherClient)
                other.grabKeycode(step.keycode, ControlMask | Mod1Mask);
            ASSERT_TRUE(setxkbmap(step.keymap));
            if (step.group != 0) {
                XkbLockGroup(other.display(), XkbUseCoreKbd, step.group);
                XSync(other.display(), False);
            }
            if (step.shown) {
                EXPECT_EQ(keys.layout()->keyCode(step.keycode), c.combo.keyCode);
                EXPECT_EQ(c.combo.display().toStdString(), QString::fromUtf16(step.shown).toStdString());
            }
            EXPECT_EQ(firesOnce(presses, c.combo.modsCarbon, step.keycode), step.fires);
        }
        keys.release();
    }
}
