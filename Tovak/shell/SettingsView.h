#pragma once

#include "Tovak/shell/HotKeyCombo.h"

#include <QWidget>

#include "Tovak/kit/Theme.h"

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

namespace vellicord {

class Defaults;
class HotKeyManager;
class LoginItem;
class ShortcutRecorder;
class SymbolLabel;
class ToggleSwitch;

// The content of the settings window: the capture shortcut and its recorder, launch at login,
// the library's path and the version.
class SettingsView final : public QWidget {
    Q_OBJECT
public:
    // Fixed values, so that an image of the view reads nothing from the live services.
    struct SnapshotValues {
        QString shortcut;
        bool launchAtLogin = false;
        QString libraryPath;
        QString version;
    };

    // What the running view works with.
    struct Services {
        HotKeyManager* hotKeys = nullptr;
        LoginItem* loginItem = nullptr;
        QString libraryPath;
        QString version;
        std::function<void(const QString&)> log;
    };

    explicit SettingsView(SnapshotValues values, QWidget* parent = nullptr);
    explicit SettingsView(Services services, QWidget* parent = nullptr);
    // The settings window: the view in a window of its own, with its frame kept in the defaults
    // under "VellicordSettingsWindow". Not centred; closing it only hides it.
    static SettingsView* makeWindow(Services services, Defaults& defaults);
    ~SettingsView() override;

    QSize sizeHint() const override;

    // View state, for the window and for tests.
    const HotKeyCombo& combo() const { return combo_; }
    bool isRecording() const;
    const std::optional<QString>& signError() const { return signError_; }
    bool launchAtLogin() const { return launchAtLogin_; }
    const std::optional<QString>& launchAtLoginNote() const { return launchAtLoginNote_; }

    void startRecording();
    void stopRecording();
    void applyLaunchAtLogin(bool wanted);

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    SettingsView(std::optional<SnapshotValues> values, Services services, QWidget* parent);
    void build();
    void refresh();
    void applyColors();
    void tint(QWidget* widget, QColor ThemeColors::*color);

    std::optional<SnapshotValues> snapshot_;
    Services services_;
    HotKeyCombo combo_;
    std::optional<QString> signError_;
    bool launchAtLogin_ = false;
    std::optional<QString> launchAtLoginNote_;
    ShortcutRecorder* recorder_ = nullptr;

    QPushButton* shortcutButton_ = nullptr;
    QWidget* recordingRow_ = nullptr;
    QWidget* errorRow_ = nullptr;
    SymbolLabel* errorLabel_ = nullptr;
    ToggleSwitch* loginSwitch_ = nullptr;
    QWidget* noteRow_ = nullptr;
    SymbolLabel* noteLabel_ = nullptr;
    std::vector<std::pair<QWidget*, QColor ThemeColors::*>> tinted_;
};

} // namespace vellicord
