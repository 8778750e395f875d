#include "core/capture/BrowserSelectionProvider.h"
#include "core/capture/BrowserURLProvider.h"

#include "support/FakeProcessRunner.h"
#include "support/LogRecorder.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

TEST(BrowserScriptingTest, ScriptsByBrowser)
{
    EXPECT_EQ(BrowserURLProvider::addressScriptSource(QStringLiteral("com.apple.Safari")),
              QStringLiteral("tell application \"Safari\"\n    if (count of documents) > 0 then\n        return URL of "
                             "front document\n    end if\nend tell"));
    EXPECT_EQ(BrowserURLProvider::addressScriptSource(QStringLiteral("com.brave.Browser")),
              QStringLiteral("tell application id \"com.brave.Browser\"\n    if (count of windows) > 0 then\n        try\n"
                             "            return URL of active tab of front window\n        on error\n            return "
                             "\"\"\n        end try\n    end if\nend tell"));
    EXPECT_EQ(BrowserURLProvider::titleScriptSource(QStringLiteral("org.mozilla.firefox")),
              QStringLiteral("tell application \"Firefox\"\n    if (count of windows) > 0 then\n        try\n"
                             "            return title of active tab of front window\n        on error\n            return "
                             "\"\"\n        end try\n    end if\nend tell"));
    EXPECT_EQ(BrowserURLProvider::titleScriptSource(QStringLiteral("com.apple.Safari"))->split(u'\n').value(3),
              u"            return name of front document");
    EXPECT_EQ(BrowserSelectionProvider::scriptSource(QStringLiteral("com.apple.Safari")),
              QStringLiteral("tell application \"Safari\"\n    try\n        return (do JavaScript "
                             "\"window.getSelection().toString()\" in front document)\n    on error\n        return \"\"\n"
                             "    end try\nend tell"));
    EXPECT_EQ(BrowserSelectionProvider::scriptSource(QStringLiteral("com.naver.Whale"))->split(u'\n').value(3),
              u"            return (execute active tab of front window javascript \"window.getSelection().toString()\")");
    EXPECT_EQ(BrowserSelectionProvider::scriptSource(QStringLiteral("org.mozilla.firefox")), std::nullopt);
    for (const QString& other : {QStringLiteral("com.google.chrome"), QStringLiteral("firefox"), QString()}) {
        EXPECT_EQ(BrowserURLProvider::addressScriptSource(other), std::nullopt) << other.toStdString();
        EXPECT_EQ(BrowserURLProvider::titleScriptSource(other), std::nullopt) << other.toStdString();
        EXPECT_EQ(BrowserSelectionProvider::scriptSource(other), std::nullopt) << other.toStdString();
    }
}

TEST(BrowserScriptingTest, NothingRunsWithoutTheScriptRunner)
{
    FakeProcessRunner runner;
    runner.programExists = false;
    const QString chrome = QStringLiteral("com.google.Chrome");
    EXPECT_EQ(BrowserURLProvider::currentURL(chrome, runner), std::nullopt);
    EXPECT_EQ(BrowserURLProvider::currentPageTitle(chrome, runner), std::nullopt);
    EXPECT_EQ(BrowserSelectionProvider::currentSelectionText(chrome, runner), std::nullopt);
    EXPECT_TRUE(runner.runs.isEmpty());
}

TEST(BrowserScriptingTest, AnswersOfTheScriptRunner)
{
    using Status = ProcessResult::Status;
    struct Case {
        const char* name;
        ProcessResult result;
        std::optional<QString> address;
        std::optional<QString> title;
        QStringList log;
    };
    const Case cases[] = {
        {"address and newline", {Status::finished, "https://a.test/x?y=1\n", {}, {}}, QStringLiteral("https://a.test/x?y=1"),
         QStringLiteral("https://a.test/x?y=1"), {}},
        {"not an address", {Status::finished, "A Title\n", {}, {}}, std::nullopt, QStringLiteral("A Title"), {}},
        {"white space only", {Status::finished, " \n", {}, {}}, std::nullopt, std::nullopt, {}},
        {"error text only", {Status::finished, {}, "execution error\n", {}}, std::nullopt, std::nullopt,
         {QStringLiteral("capture.debug: osascript: execution error"),
          QStringLiteral("capture.debug: osascript: execution error")}},
        {"error text with control characters", {Status::finished, {}, "bad\x1b[31m\xff", {}}, std::nullopt, std::nullopt,
         {QStringLiteral("capture.debug: osascript: bad\uFFFD[31m\uFFFD"),
          QStringLiteral("capture.debug: osascript: bad\uFFFD[31m\uFFFD")}},
        {"output that is not UTF-8", {Status::finished, "\xff\xfe", {}, {}}, std::nullopt, std::nullopt, {}},
        {"timed out", {Status::timedOut, {}, {}, {}}, std::nullopt, std::nullopt,
         {QStringLiteral("capture.error: osascript timed out for browser URL"),
          QStringLiteral("capture.error: osascript timed out for browser URL")}},
        {"launch failed", {Status::launchFailed, {}, {}, QStringLiteral("No such file")}, std::nullopt, std::nullopt,
         {QStringLiteral("capture.error: osascript failed to launch: No such file"),
          QStringLiteral("capture.error: osascript failed to launch: No such file")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogRecorder log;
        FakeProcessRunner runner;
        runner.result = c.result;
        EXPECT_EQ(BrowserURLProvider::currentURL(QStringLiteral("com.apple.Safari"), runner), c.address);
        EXPECT_EQ(BrowserURLProvider::currentPageTitle(QStringLiteral("com.apple.Safari"), runner), c.title);
        EXPECT_EQ(log.lines, c.log);
        ASSERT_EQ(runner.runs.size(), 2);
        EXPECT_EQ(runner.runs[0].value(0), u"-e");
    }
}

} // namespace
} // namespace vellicord
