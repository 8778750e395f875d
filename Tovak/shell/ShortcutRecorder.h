#pragma once

#include "Tovak/shell/HotKeyCombo.h"

#include <QObject>

namespace vellicord {

class HotKeyManager;

// Records a new capture shortcut: while recording, every key press of the application is taken
// (an application-wide event filter); Escape cancels, a key without control, option, shift or
// command (or a modifier pressed alone) is ignored, anything else is registered.
class ShortcutRecorder final : public QObject {
    Q_OBJECT
public:
    explicit ShortcutRecorder(HotKeyManager& manager, QObject* parent = nullptr);
    ~ShortcutRecorder() override;

    bool isRecording() const { return recording_; }
    void start();
    void stop();

    // One key press while recording; the event filter calls it. The key is the one at the place
    // pressed (its native scan code), shown by what it types.
    void handleKey(int qtKey, Qt::KeyboardModifiers modifiers, uint32_t nativeScanCode = 0);

    static QString inUseMessage(const HotKeyCombo& combo);

Q_SIGNALS:
    void recordingChanged(bool recording);
    void recorded(const vellicord::HotKeyCombo& combo);
    void failed(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HotKeyManager& manager_;
    bool recording_ = false;
};

} // namespace vellicord
