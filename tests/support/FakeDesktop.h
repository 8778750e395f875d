#pragma once

#include "platform/Desktop.h"

#include <QHash>
#include <QIcon>
#include <QStringList>

namespace vellicord {

// Records what the views ask the desktop for; refuses addresses and paths by the same rules as the real one.
class FakeDesktop final : public Desktop {
public:
    Appearance current = Appearance::light;
    bool compositing = true;
    QStringList opened;
    QStringList revealed;
    QHash<QString, QIcon> icons; // by bundle identifier or by application name
    int accessibilitySettingsOpened = 0;
    int iconRequests = 0;

    void setAppearance(Appearance appearance)
    {
        if (appearance == current)
            return;
        current = appearance;
        Q_EMIT appearanceChanged();
    }

    Appearance appearance() const override { return current; }
    bool isCompositing() const override { return compositing; }

    bool openURL(const QString& address) override
    {
        if (!isOpenable(address))
            return false;
        opened.append(address);
        return true;
    }

    bool revealFile(const QString& path) override
    {
        if (!isRevealable(path))
            return false;
        revealed.append(path);
        return true;
    }

    QIcon applicationIcon(const std::optional<QString>& bundleID, const QString& appName) override
    {
        ++iconRequests;
        if (bundleID && icons.contains(*bundleID))
            return icons.value(*bundleID);
        return icons.value(appName);
    }

    void openAccessibilitySettings() override { ++accessibilitySettingsOpened; }
};

} // namespace vellicord
