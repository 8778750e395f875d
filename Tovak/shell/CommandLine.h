#pragma once

#include <QStringList>

#include <cstdio>
#include <functional>
#include <optional>

namespace vellicord {

// The first look at the command line: the debug-build-only options and the exports, each of
// which ends the process before the application starts.
namespace CommandLine {

struct Exports {
    std::function<void(const QString& directory)> surfaces;
    std::function<void(const QString& file)> sampleScreenshot;
};

// The exit status when the process should end here; none when the application should start.
// Result lines go to out, messages and errors to err.
std::optional<int> dispatch(const QStringList& arguments, const Exports& exports, std::FILE* out, std::FILE* err);

} // namespace CommandLine
} // namespace vellicord
