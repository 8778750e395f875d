#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// Launch at login of the application.
class LoginItem {
public:
    enum class Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    virtual ~LoginItem() = default;
    virtual Status status() const = 0;
    // Each answers the error's description on failure, none on success.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};

} // namespace vellicord
