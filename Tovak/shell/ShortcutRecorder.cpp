#include "Tovak/shell/ShortcutRecorder.h"

#include "Tovak/shell/HotKeyManager.h"
#include "platform/CarbonKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace vellicord {

ShortcutRecorder::ShortcutRecorder(HotKeyManager& manager, QObject* parent)
    : QObject(parent)
    , manager_(manager)
{
}

ShortcutRecorder::~ShortcutRecorder()
{
    stop();
}

void ShortcutRecorder::start()
{
    if (recording_)
        return;
    recording_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    Q_EMIT recordingChanged(true);
}

void ShortcutRecorder::stop()
{
    if (!recording_)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    recording_ = false;
    Q_EMIT recordingChanged(false);
}

QString ShortcutRecorder::inUseMessage(const HotKeyCombo& combo)
{
    return u'“' + combo.display() + QStringLiteral("” is already in use by another app.");
}

void ShortcutRecorder::handleKey(int qtKey, Qt::KeyboardModifiers modifiers, uint32_t nativeScanCode)
{
    if (!recording_)
        return;
    const std::optional<uint32_t> keyCode = CarbonKeys::fromKeyEvent(nativeScanCode, qtKey);
    // The key that types Escape cancels too where the layout put it elsewhere.
    if (keyCode == CarbonKeys::escapeKeyCode || qtKey == Qt::Key_Escape) {
        stop();
        return;
    }
    // A modifier pressed alone has no key code yet: wait for the key that completes it.
    if (!keyCode)
        return;
    const uint32_t mask = HotKeyCombo::carbonMods(modifiers);
    if ((mask & CarbonKeys::modifierMask) == 0)
        return;
    const HotKeyCombo combo{*keyCode, mask};
    if (manager_.registerCombo(combo))
        Q_EMIT recorded(combo);
    else
        Q_EMIT failed(inUseMessage(combo));
    stop();
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Keeps menu shortcuts from firing while a shortcut is being recorded.
        event->accept();
        return true;
    case QEvent::KeyPress: {
        // Taken at its first receiver (the window), so it never reaches a widget as well.
        auto* key = static_cast<QKeyEvent*>(event);
        handleKey(key->key(), key->modifiers(), key->nativeScanCode());
        return true;
    }
    case QEvent::KeyRelease:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace vellicord
