#pragma once

#include "platform/Desktop.h"

#include <QObject>
#include <QString>

#include <functional>

class QDBusVariant;
class QUrl;
Q_MOC_INCLUDE(<QDBusVariant>)

namespace vellicord {

// The freedesktop desktop under X11: the appearance from the settings portal (or the environment),
// compositing from the X server, addresses handed to the user's applications, files shown by the
// file manager over D-Bus, icons from desktop entries and the icon theme.
class XdgDesktop final : public Desktop {
    Q_OBJECT
public:
    // Hands a URL to the user's application for it; true when handed on.
    using Opener = std::function<bool(const QUrl& url)>;
    // Asks the file manager to show a file (a file: URL) selected; true when it answered.
    using ItemsShower = std::function<bool(const QUrl& file)>;

    // Empty functions mean the real ones: QDesktopServices::openUrl, and
    // org.freedesktop.FileManager1.ShowItems on the session bus.
    explicit XdgDesktop(Opener opener = {}, ItemsShower showItems = {}, QObject* parent = nullptr);

    Appearance appearance() const override;
    bool isCompositing() const override;
    bool openURL(const QString& address) override;
    bool revealFile(const QString& path) override;
    QIcon applicationIcon(const std::optional<QString>& bundleID, const QString& appName) override;
    void openAccessibilitySettings() override;
    std::optional<quintptr> keyboardFocusWindow() const override;

private Q_SLOTS:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    bool reveal(const QString& path);

    Opener opener_;
    ItemsShower showItems_;
    Appearance appearance_;
};

} // namespace vellicord
