#pragma once

#include <QString>

#include <optional>

namespace vellicord {

class ProcessRunner;

// Asks a known browser for the text selected in its front tab, by running a line of JavaScript in
// the page through the system's script runner.
namespace BrowserSelectionProvider {

std::optional<QString> currentSelectionText(const QString& bundleID, ProcessRunner& runner);

// The selection script for a browser, made only where the script runner exists.
std::optional<QString> script(const QString& bundleID, ProcessRunner& runner);
// The same script, whether or not the runner exists.
std::optional<QString> scriptSource(const QString& bundleID);

} // namespace BrowserSelectionProvider
} // namespace vellicord
