#include "Tovak/shell/HotKeyManager.h"

#include "platform/Defaults.h"
#include "platform/HotKeys.h"

#include <QLoggingCategory>

namespace vellicord {

Q_LOGGING_CATEGORY(hotkeyLog, "com.ruvo.vellicord.hotkey")

HotKeyManager::HotKeyManager(HotKeys& hotKeys, Defaults& defaults)
    : hotKeys_(hotKeys)
    , defaults_(defaults)
    , current_(loadCombo(defaults).value_or(HotKeyCombo::defaultCombo()))
{
    if (!hotKeys_.isAvailable())
        qCCritical(hotkeyLog, "InstallEventHandler failed with status %d", HotKeys::unavailable);
    hotKeys_.setPressedHandler([this] {
        if (onCapture)
            onCapture();
    });
}

HotKeyManager::~HotKeyManager()
{
    hotKeys_.setPressedHandler({});
}

bool HotKeyManager::registerCombo(const HotKeyCombo& combo)
{
    const bool hadRegistration = registered_;
    hotKeys_.release();
    registered_ = false;
    if (!hotKeys_.isAvailable())
        return false;

    const int status = hotKeys_.grab(combo.keyCode, combo.modsCarbon);
    if (status != HotKeys::noError) {
        qCCritical(hotkeyLog, "RegisterEventHotKey failed with status %d", status);
        if (hadRegistration && hotKeys_.grab(current_.keyCode, current_.modsCarbon) == HotKeys::noError)
            registered_ = true;
        return false;
    }
    current_ = combo;
    registered_ = true;
    saveCombo(defaults_, combo);
    qCDebug(hotkeyLog, "Registered hotkey %s", qUtf8Printable(combo.display()));
    return true;
}

void HotKeyManager::release()
{
    hotKeys_.release();
    registered_ = false;
}

std::optional<HotKeyCombo> HotKeyManager::loadCombo(const Defaults& defaults)
{
    // Read as bytes whatever its type: an adopted preference may arrive as text.
    const std::optional<QVariant> stored = defaults.value(defaultsKey);
    if (!stored || !stored->isValid())
        return std::nullopt;
    return HotKeyCombo::fromJson(stored->toByteArray());
}

void HotKeyManager::saveCombo(Defaults& defaults, const HotKeyCombo& combo)
{
    defaults.setDataValue(defaultsKey, combo.json());
}

} // namespace vellicord
