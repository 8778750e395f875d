#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// What one capture read from the frontmost application.
struct CaptureResult {
    QString text;
    std::optional<QString> markdown;
    QString appName;
    std::optional<QString> bundleID;
    std::optional<QString> sourceURL; // the page address, exactly as read
    std::optional<QString> sourceTitle;
    std::optional<QString> filePath;

    friend bool operator==(const CaptureResult&, const CaptureResult&) = default;
};

} // namespace vellicord
