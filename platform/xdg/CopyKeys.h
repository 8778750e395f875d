#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// The copy command an application takes: Control-C, or Control-Shift-C in terminals (where
// Control-C interrupts); none for terminals that copy only by selecting.
enum class CopyKeys { controlC, controlShiftC, none };

// By the desktop-file id when it names a known terminal, else by the window's WM_CLASS instance
// (a terminal without a desktop entry still must not get Control-C).
CopyKeys copyKeysFor(const std::optional<QString>& bundleIdentifier, const QString& windowClass);

} // namespace vellicord
