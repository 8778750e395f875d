#include "Tovak/shell/HotKeyManager.h"

#include "Tovak/shell/ShortcutRecorder.h"
#include "platform/CarbonKeys.h"
#include "platform/KeyboardLayout.h"
#include "support/FakeHotKeys.h"
#include "support/MemoryDefaults.h"

#include <QCoreApplication>
#include <QHash>
#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <map>

using namespace vellicord;

namespace {

// AZERTY's 1 and 2 keys and the R key of a Russian group, by their evdev scan codes.
class FakeLayout final : public KeyboardLayout {
public:
    std::optional<uint32_t> keyCode(uint32_t scanCode) const override
    {
        return places.contains(scanCode) ? std::optional(places.at(scanCode)) : std::nullopt;
    }
    QString text(uint32_t keyCode) const override { return typed.value(keyCode); }

    std::map<uint32_t, uint32_t> places{{10, 0x12}, {11, 0x13}, {27, 0x0F}};
    QHash<uint32_t, QString> typed{
        {0x12, QStringLiteral("&")}, {0x13, QStringLiteral("é")}, {0x0F, QStringLiteral("к")}};
};

class HotKeyManagerTest : public ::testing::Test {
protected:
    MemoryDefaults defaults;
    FakeHotKeys keys;
    FakeLayout layout;
    CarbonKeys::LayoutInUse layoutInUse{&layout};

    std::optional<HotKeyCombo> stored() { return HotKeyManager::loadCombo(defaults); }
};

const HotKeyCombo commandK{40, 0x100};
const HotKeyCombo shiftK{40, 0x200};

} // namespace

TEST_F(HotKeyManagerTest, StartsFromTheStoredOrTheDefaultCombination)
{
    EXPECT_EQ(HotKeyManager(keys, defaults).currentCombo(), HotKeyCombo::defaultCombo());
    defaults.setDataValue(HotKeyManager::defaultsKey, QByteArray(R"({"keyCode":8})"));
    EXPECT_EQ(HotKeyManager(keys, defaults).currentCombo(), HotKeyCombo::defaultCombo());
    HotKeyManager::saveCombo(defaults, commandK);
    HotKeyManager manager(keys, defaults);
    EXPECT_EQ(manager.currentCombo(), commandK);
    EXPECT_FALSE(manager.isRegistered());
    EXPECT_EQ(keys.grabCount, 0);
}

TEST_F(HotKeyManagerTest, SuccessfulRegistrationStoresAndPressesReachTheHandler)
{
    HotKeyManager manager(keys, defaults);
    int captures = 0;
    keys.press(); // no handler yet: nothing happens
    manager.onCapture = [&] { ++captures; };
    ASSERT_TRUE(manager.registerCombo(commandK));
    EXPECT_TRUE(manager.isRegistered());
    EXPECT_EQ(manager.currentCombo(), commandK);
    EXPECT_EQ(stored(), commandK);
    keys.press();
    EXPECT_EQ(captures, 1);

    // The same combination again is released and taken again, and stored again.
    defaults.values.remove(HotKeyManager::defaultsKey);
    EXPECT_TRUE(manager.registerCombo(commandK));
    EXPECT_EQ(stored(), commandK);

    manager.release();
    EXPECT_FALSE(manager.isRegistered());
    EXPECT_FALSE(keys.grabbed);
    EXPECT_EQ(stored(), commandK);
}

TEST_F(HotKeyManagerTest, RefusedChangeKeepsThePreviousShortcutInForce)
{
    HotKeyManager manager(keys, defaults);
    ASSERT_TRUE(manager.registerCombo(commandK));
    keys.taken.insert({shiftK.keyCode, shiftK.modsCarbon});

    EXPECT_FALSE(manager.registerCombo(shiftK));
    EXPECT_EQ(manager.currentCombo(), commandK);
    EXPECT_EQ(stored(), commandK);
    EXPECT_TRUE(manager.isRegistered());
    EXPECT_EQ(keys.grabbed, std::pair(commandK.keyCode, commandK.modsCarbon));
}

TEST_F(HotKeyManagerTest, RefusedFirstRegistrationLeavesNothingRegistered)
{
    HotKeyManager manager(keys, defaults);
    keys.taken.insert({8, 0x1900});
    EXPECT_FALSE(manager.registerCombo(HotKeyCombo::defaultCombo()));
    EXPECT_FALSE(manager.isRegistered());
    EXPECT_FALSE(keys.grabbed);
    EXPECT_FALSE(stored());
}

TEST_F(HotKeyManagerTest, WithoutADisplayEveryRegistrationFails)
{
    keys.available = false;
    HotKeyManager manager(keys, defaults);
    EXPECT_FALSE(manager.registerCombo(commandK));
    EXPECT_EQ(keys.grabCount, 0);
    EXPECT_EQ(manager.currentCombo(), HotKeyCombo::defaultCombo());
}

TEST_F(HotKeyManagerTest, RecorderHandlesEscapeModifiersAloneAndKeys)
{
    HotKeyManager manager(keys, defaults);
    ASSERT_TRUE(manager.registerCombo(HotKeyCombo::defaultCombo()));
    ShortcutRecorder recorder(manager);
    std::optional<HotKeyCombo> recorded;
    std::optional<QString> failure;
    QObject::connect(&recorder, &ShortcutRecorder::recorded, [&](const HotKeyCombo& c) { recorded = c; });
    QObject::connect(&recorder, &ShortcutRecorder::failed, [&](const QString& m) { failure = m; });

    struct Step {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        bool stillRecording;
        std::optional<HotKeyCombo> recorded;
        uint32_t scanCode = 0; // 0: the event carries none
        const char16_t* shown = nullptr;
    };
    const auto ctrlAltSuper = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const Step steps[] = {
        {"Escape cancels", Qt::Key_Escape, Qt::NoModifier, false, std::nullopt},
        {"Escape with a modifier cancels too", Qt::Key_Escape, Qt::ControlModifier, false, std::nullopt},
        {"control alone is ignored", Qt::Key_Control, Qt::ControlModifier, true, std::nullopt},
        {"super alone is ignored", Qt::Key_Super_L, Qt::MetaModifier, true, std::nullopt},
        {"K alone is ignored", Qt::Key_K, Qt::NoModifier, true, std::nullopt},
        {"a key outside the table is ignored", Qt::Key_MediaPlay, Qt::ControlModifier, true, std::nullopt},
        {"shift K is accepted", Qt::Key_K, Qt::ShiftModifier, false, shiftK},
        {"without a scan code AZERTY's & is not the 7 key", Qt::Key_Ampersand, ctrlAltSuper, true, std::nullopt},
        {"shifted symbol is the key pressed", Qt::Key_Exclam, Qt::ShiftModifier | Qt::MetaModifier, false,
         HotKeyCombo{0x12, 0x300}, 10, u"Shift+Super+&"},
        {"keypad 1 is not the 1 key", Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier, true, std::nullopt, 87},
        {"AZERTY &/1 key is the 1 key, shown as &", Qt::Key_Ampersand, ctrlAltSuper, false, HotKeyCombo{0x12, 0x1900},
         10, u"Ctrl+Alt+Super+&"},
        {"AZERTY é key is the 2 key", Qt::Key_Eacute, ctrlAltSuper, false, HotKeyCombo{0x13, 0x1900}, 11,
         u"Ctrl+Alt+Super+É"},
        {"Russian К is the R key", 0x41a, Qt::AltModifier | Qt::MetaModifier, false, HotKeyCombo{0x0F, 0x900}, 27,
         u"Alt+Super+К"},
    };
    for (const Step& step : steps) {
        recorded.reset();
        recorder.start();
        recorder.handleKey(step.key, step.modifiers, step.scanCode);
        EXPECT_EQ(recorder.isRecording(), step.stillRecording) << step.name;
        EXPECT_EQ(recorded, step.recorded) << step.name;
        if (step.shown && recorded) {
            EXPECT_EQ(recorded->display(), QString::fromUtf16(step.shown)) << step.name;
        }
        recorder.stop();
    }
    EXPECT_FALSE(failure);
    EXPECT_EQ(stored(), (HotKeyCombo{0x0F, 0x900}));
}

TEST_F(HotKeyManagerTest, RecorderReportsATakenCombinationAndKeepsThePreviousOne)
{
    HotKeyManager manager(keys, defaults);
    ASSERT_TRUE(manager.registerCombo(HotKeyCombo::defaultCombo()));
    keys.taken.insert({commandK.keyCode, commandK.modsCarbon});
    ShortcutRecorder recorder(manager);
    std::optional<QString> failure;
    QObject::connect(&recorder, &ShortcutRecorder::failed, [&](const QString& m) { failure = m; });
    recorder.start();
    recorder.handleKey(Qt::Key_K, Qt::MetaModifier);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(failure, QStringLiteral("“Super+K” is already in use by another app."));
    EXPECT_EQ(manager.currentCombo(), HotKeyCombo::defaultCombo());
    EXPECT_TRUE(manager.isRegistered());
}

TEST_F(HotKeyManagerTest, RecorderTakesKeyPressesSentToTheApplication)
{
    HotKeyManager manager(keys, defaults);
    ShortcutRecorder recorder(manager);
    QWidget window;
    int seenByWindow = 0;
    struct Counter : QObject {
        int* count;
        explicit Counter(int* c)
            : count(c)
        {
        }
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::KeyPress)
                ++*count;
            return false;
        }
    } counter(&seenByWindow);
    window.installEventFilter(&counter);

    recorder.start();
    QKeyEvent control(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QCoreApplication::sendEvent(&window, &control);
    EXPECT_TRUE(recorder.isRecording());
    // AZERTY's &/1 key, as the X server reports it: the key is its place.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Ampersand, Qt::ControlModifier | Qt::AltModifier, 10, 0, 0);
    QCoreApplication::sendEvent(&window, &key);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(manager.currentCombo(), (HotKeyCombo{0x12, 0x1800}));
    EXPECT_EQ(seenByWindow, 0);

    QKeyEvent after(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &after);
    EXPECT_EQ(seenByWindow, 1);
}
