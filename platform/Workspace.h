#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace vellicord {

// The application that has the user's attention.
struct RunningApplication {
    qint32 pid = 0;
    std::optional<QString> localizedName;
    std::optional<QString> bundleIdentifier;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
};

} // namespace vellicord
