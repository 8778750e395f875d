#include "core/capture/BrowserURLProvider.h"

#include "core/capture/CaptureLog.h"
#include "core/foundation/Address.h"
#include "core/foundation/Text.h"
#include "platform/ProcessRunner.h"

#include <QSet>
#include <QStringList>

#include <chrono>

namespace vellicord::BrowserURLProvider {

namespace {

constexpr std::chrono::milliseconds scriptLimit{1500};

const QString safari = QStringLiteral("com.apple.Safari");
const QString firefox = QStringLiteral("org.mozilla.firefox");

std::optional<QString> trimmedAnswer(const std::optional<QString>& output)
{
    if (!output)
        return std::nullopt;
    QString text = Text::trimmed(*output);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

bool runnerExists(ProcessRunner& runner) { return runner.isExecutable(QString::fromUtf16(scriptRunnerPath)); }

} // namespace

bool isChromiumFamily(const QString& bundleID)
{
    static const QSet<QString> ids{
        QStringLiteral("com.google.Chrome"),         QStringLiteral("com.brave.Browser"),
        QStringLiteral("com.microsoft.edgemac"),     QStringLiteral("com.vivaldi.Vivaldi"),
        QStringLiteral("com.operasoftware.Opera"),   QStringLiteral("com.operasoftware.OperaGX"),
        QStringLiteral("company.thebrowser.Browser"), QStringLiteral("com.github.Electron.Chromium"),
        QStringLiteral("org.chromium.Chromium"),     QStringLiteral("com.naver.Whale")};
    return ids.contains(bundleID);
}

std::optional<QString> tellLine(const QString& bundleID)
{
    if (bundleID == safari)
        return QStringLiteral("tell application \"Safari\"");
    if (bundleID == firefox)
        return QStringLiteral("tell application \"Firefox\"");
    if (isChromiumFamily(bundleID))
        return QStringLiteral("tell application id \"%1\"").arg(bundleID);
    return std::nullopt;
}

QString frontWindowScript(const QString& tell, const QString& statement)
{
    return QStringList{tell,
                       QStringLiteral("    if (count of windows) > 0 then"),
                       QStringLiteral("        try"),
                       QStringLiteral("            ") + statement,
                       QStringLiteral("        on error"),
                       QStringLiteral("            return \"\""),
                       QStringLiteral("        end try"),
                       QStringLiteral("    end if"),
                       QStringLiteral("end tell")}
        .join(u'\n');
}

std::optional<QString> addressScriptSource(const QString& bundleID)
{
    if (bundleID == safari) {
        return QStringList{QStringLiteral("tell application \"Safari\""),
                           QStringLiteral("    if (count of documents) > 0 then"),
                           QStringLiteral("        return URL of front document"), QStringLiteral("    end if"),
                           QStringLiteral("end tell")}
            .join(u'\n');
    }
    const std::optional<QString> tell = tellLine(bundleID);
    if (!tell)
        return std::nullopt;
    return frontWindowScript(*tell, QStringLiteral("return URL of active tab of front window"));
}

std::optional<QString> titleScriptSource(const QString& bundleID)
{
    if (bundleID == safari) {
        return QStringList{QStringLiteral("tell application \"Safari\""),
                           QStringLiteral("    if (count of documents) > 0 then"),
                           QStringLiteral("        try"),
                           QStringLiteral("            return name of front document"),
                           QStringLiteral("        on error"),
                           QStringLiteral("            return \"\""),
                           QStringLiteral("        end try"),
                           QStringLiteral("    end if"),
                           QStringLiteral("end tell")}
            .join(u'\n');
    }
    const std::optional<QString> tell = tellLine(bundleID);
    if (!tell)
        return std::nullopt;
    return frontWindowScript(*tell, QStringLiteral("return title of active tab of front window"));
}

std::optional<QString> script(const QString& bundleID, ProcessRunner& runner)
{
    std::optional<QString> source = addressScriptSource(bundleID);
    if (!source || !runnerExists(runner))
        return std::nullopt;
    return source;
}

std::optional<QString> titleScript(const QString& bundleID, ProcessRunner& runner)
{
    std::optional<QString> source = titleScriptSource(bundleID);
    if (!source || !runnerExists(runner))
        return std::nullopt;
    return source;
}

std::optional<QString> runOSAScript(const QString& source, ProcessRunner& runner)
{
    const ProcessResult result =
        runner.run(QString::fromUtf16(scriptRunnerPath), {QStringLiteral("-e"), source}, scriptLimit);
    switch (result.status) {
    case ProcessResult::Status::launchFailed:
        CaptureLog::capture(CaptureLog::Level::error, QStringLiteral("osascript failed to launch: %1")
                                                          .arg(CaptureLog::sanitized(result.errorDescription)));
        return std::nullopt;
    case ProcessResult::Status::timedOut:
        CaptureLog::capture(CaptureLog::Level::error, QStringLiteral("osascript timed out for browser URL"));
        return std::nullopt;
    case ProcessResult::Status::finished:
        break;
    }
    // Output that is not UTF-8 is no answer, as if the script had printed nothing.
    auto decode = [](const QByteArray& bytes) -> std::optional<QString> {
        QString text = QString::fromUtf8(bytes);
        if (text.toUtf8() != bytes)
            return std::nullopt;
        return text;
    };
    const std::optional<QString> output = decode(result.standardOutput);
    if (output && !output->isEmpty())
        return output;
    // The error text only reaches the log, where bytes that are not UTF-8 show as U+FFFD.
    const QString errorText = Text::trimmed(QString::fromUtf8(result.standardError));
    if (!errorText.isEmpty())
        CaptureLog::capture(CaptureLog::Level::debug, QStringLiteral("osascript: %1").arg(CaptureLog::sanitized(errorText)));
    return output;
}

std::optional<QString> currentURL(const QString& bundleID, ProcessRunner& runner)
{
    const std::optional<QString> source = script(bundleID, runner);
    if (!source)
        return std::nullopt;
    const std::optional<QString> address = trimmedAnswer(runOSAScript(*source, runner));
    if (!address || !Address::isValid(*address))
        return std::nullopt;
    return address;
}

std::optional<QString> currentPageTitle(const QString& bundleID, ProcessRunner& runner)
{
    const std::optional<QString> source = titleScript(bundleID, runner);
    if (!source)
        return std::nullopt;
    return trimmedAnswer(runOSAScript(*source, runner));
}

} // namespace vellicord::BrowserURLProvider
