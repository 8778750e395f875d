#include "core/capture/BrowserSelectionProvider.h"

#include "core/capture/BrowserURLProvider.h"
#include "core/foundation/Text.h"
#include "platform/ProcessRunner.h"

#include <QStringList>

namespace vellicord::BrowserSelectionProvider {

std::optional<QString> scriptSource(const QString& bundleID)
{
    if (bundleID == u"com.apple.Safari") {
        return QStringList{
            QStringLiteral("tell application \"Safari\""),
            QStringLiteral("    try"),
            QStringLiteral("        return (do JavaScript \"window.getSelection().toString()\" in front document)"),
            QStringLiteral("    on error"),
            QStringLiteral("        return \"\""),
            QStringLiteral("    end try"),
            QStringLiteral("end tell")}
            .join(u'\n');
    }
    if (!BrowserURLProvider::isChromiumFamily(bundleID))
        return std::nullopt;
    return BrowserURLProvider::frontWindowScript(
        *BrowserURLProvider::tellLine(bundleID),
        QStringLiteral("return (execute active tab of front window javascript \"window.getSelection().toString()\")"));
}

std::optional<QString> script(const QString& bundleID, ProcessRunner& runner)
{
    std::optional<QString> source = scriptSource(bundleID);
    if (!source || !runner.isExecutable(QString::fromUtf16(BrowserURLProvider::scriptRunnerPath)))
        return std::nullopt;
    return source;
}

std::optional<QString> currentSelectionText(const QString& bundleID, ProcessRunner& runner)
{
    const std::optional<QString> source = script(bundleID, runner);
    if (!source)
        return std::nullopt;
    const std::optional<QString> output = BrowserURLProvider::runOSAScript(*source, runner);
    if (!output)
        return std::nullopt;
    QString text = Text::trimmed(*output);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

} // namespace vellicord::BrowserSelectionProvider
