#pragma once

#include <QString>

#include <optional>

namespace vellicord {

class ProcessRunner;

// Asks a known browser for its front tab's address and title through the system's script runner.
// Every failure, and every browser it does not know, gives no answer.
namespace BrowserURLProvider {

inline constexpr auto scriptRunnerPath = u"/usr/bin/osascript";

std::optional<QString> currentURL(const QString& bundleID, ProcessRunner& runner);
std::optional<QString> currentPageTitle(const QString& bundleID, ProcessRunner& runner);

// Runs one script; its standard output, or nothing when it could not run or ran too long.
std::optional<QString> runOSAScript(const QString& source, ProcessRunner& runner);

// The address and title scripts for a browser; nullopt for any other application. They are made
// only where the script runner exists (on Linux it does not, so no browser is asked).
std::optional<QString> script(const QString& bundleID, ProcessRunner& runner);
std::optional<QString> titleScript(const QString& bundleID, ProcessRunner& runner);

// The same scripts, whether or not the runner exists.
std::optional<QString> addressScriptSource(const QString& bundleID);
std::optional<QString> titleScriptSource(const QString& bundleID);

bool isChromiumFamily(const QString& bundleID);
// The line that makes a script speak to the browser: by name, or by bundle identifier.
std::optional<QString> tellLine(const QString& bundleID);
// The nine-line front-window script around one statement (Chromium and Firefox).
QString frontWindowScript(const QString& tell, const QString& statement);

} // namespace BrowserURLProvider
} // namespace vellicord
