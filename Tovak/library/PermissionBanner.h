#pragma once

#include <QWidget>

namespace vellicord {

// Sits above the list while Vellicord may not read other applications' selections, with the way
// to the setting that allows it.
class PermissionBanner final : public QWidget {
    Q_OBJECT
public:
    explicit PermissionBanner(QWidget* parent = nullptr);

Q_SIGNALS:
    void openSettingsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellicord
