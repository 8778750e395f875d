#pragma once

#include "core/library/StorePersistenceStatus.h"

#include <QWidget>

namespace vellicord {

// The window as it looks when the library cannot be opened: the sidebar's place left blank, a
// divider, and the screen that says what happened. For a library that opened, only the first two.
class StorageFailureSurfaceCanvas final : public QWidget {
    Q_OBJECT
public:
    explicit StorageFailureSurfaceCanvas(StorePersistenceStatus status, QWidget* parent = nullptr);

    static constexpr int sidebarWidth = 220;
};

} // namespace vellicord
