#pragma once

#include "platform/Desktop.h"

#include <QIcon>

namespace vellicord {

// The desktop the export's views see: light (each image sets its own appearance), opening
// nothing, and knowing no application, so that every capture shows the same symbol on every
// machine instead of whatever icons its installed applications bring.
class SnapshotDesktop final : public Desktop {
public:
    Appearance appearance() const override { return Appearance::light; }
    bool isCompositing() const override { return false; }
    bool openURL(const QString&) override { return false; }
    bool revealFile(const QString&) override { return false; }
    QIcon applicationIcon(const std::optional<QString>&, const QString&) override { return {}; }
    void openAccessibilitySettings() override {}
};

} // namespace vellicord
