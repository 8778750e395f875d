#include "Tovak/export/AppScreenshotExporter.h"
#include "Tovak/shell/CommandLine.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace vellicord;

namespace {

struct Outcome {
    std::optional<int> status;
    QString out;
    QString err;
    QStringList exported;
};

QString readAll(std::FILE* file)
{
    std::rewind(file);
    QByteArray bytes;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, file))
        bytes.append(buffer, qsizetype(n));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

Outcome run(QStringList arguments, bool exportsFail = false)
{
    arguments.prepend(QStringLiteral("/usr/bin/vellicord"));
    Outcome outcome;
    CommandLine::Exports exports{
        [&](const QString& directory) {
            if (exportsFail)
                throw AppScreenshotExporter::ExportError(AppScreenshotExporter::ExportError::Kind::encodeFailed);
            outcome.exported.append(QStringLiteral("surfaces ") + directory);
        },
        [&](const QString& file) { outcome.exported.append(QStringLiteral("screenshot ") + file); }};
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    outcome.status = CommandLine::dispatch(arguments, exports, out, err);
    outcome.out = readAll(out);
    outcome.err = readAll(err);
    return outcome;
}

} // namespace

TEST(CommandLine, OptionsDecideInTheirOrder)
{
    const QString cwd = QDir::currentPath();
    struct Case {
        const char* name;
        QStringList arguments;
        std::optional<int> status;
        QString out;
        QString err;
        QStringList exported;
    };
    const QString lists = QStringLiteral("List verification requires a debug build.\n");
    const QString folderError = QStringLiteral("error: Provide a file path after -exportSampleScreenshot, not a folder.\n");
    const Case cases[] = {
        {"verify lists", {QStringLiteral("-verifyLists")}, 1, {}, lists, {}},
        {"verify prompt UX", {QStringLiteral("-verifyPromptUX")}, 1, {}, QStringLiteral("UI verification requires a debug build.\n"), {}},
        {"both verify options", {QStringLiteral("-verifyPromptUX"), QStringLiteral("-verifyLists")}, 1, {}, lists, {}},
        {"verify beats export", {QStringLiteral("-exportUISurfaces"), QStringLiteral("/tmp/x"), QStringLiteral("-verifyLists")}, 1, {}, lists, {}},
        {"prefix is no option", {QStringLiteral("-verifyListsX")}, std::nullopt, {}, {}, {}},
        {"surfaces", {QStringLiteral("-exportUISurfaces"), QStringLiteral("/tmp/out/")}, 0,
         QStringLiteral("==> UI surfaces: /tmp/out\n"), {}, {QStringLiteral("surfaces /tmp/out")}},
        {"storage failure surfaces", {QStringLiteral("-exportStorageFailureSurfaces"), QStringLiteral("/tmp/f")}, 0,
         QStringLiteral("==> UI surfaces: /tmp/f\n"), {}, {QStringLiteral("surfaces /tmp/f")}},
        {"surfaces win over the screenshot",
         {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("/tmp/s.png"), QStringLiteral("-exportUISurfaces"), QStringLiteral("/tmp/d")},
         0, QStringLiteral("==> UI surfaces: /tmp/d\n"), {}, {QStringLiteral("surfaces /tmp/d")}},
        {"screenshot, relative with ..", {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("a/../b/shot.png")}, 0,
         QStringLiteral("==> sample screenshot: ") + cwd + QStringLiteral("/b/shot.png\n"), {},
         {QStringLiteral("screenshot ") + cwd + QStringLiteral("/b/shot.png")}},
        {"next option taken as the directory", {QStringLiteral("-exportUISurfaces"), QStringLiteral("-exportSampleScreenshot")}, 0,
         QStringLiteral("==> UI surfaces: ") + cwd + QStringLiteral("/-exportSampleScreenshot\n"), {},
         {QStringLiteral("surfaces ") + cwd + QStringLiteral("/-exportSampleScreenshot")}},
        {"first occurrence counts", {QStringLiteral("-exportUISurfaces"), QStringLiteral("/a"), QStringLiteral("-exportUISurfaces"), QStringLiteral("/b")}, 0,
         QStringLiteral("==> UI surfaces: /a\n"), {}, {QStringLiteral("surfaces /a")}},
        {"surfaces without directory",
         {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("/tmp/s.png"), QStringLiteral("-exportUISurfaces")}, 1, {},
         QStringLiteral("error: Provide an output directory after -exportUISurfaces.\n"), {}},
        {"storage failure without directory", {QStringLiteral("-exportStorageFailureSurfaces")}, 1, {},
         QStringLiteral("error: Provide an output directory after -exportUISurfaces.\n"), {}},
        {"screenshot without path", {QStringLiteral("-exportSampleScreenshot")}, 1, {},
         QStringLiteral("error: Provide an output path after -exportSampleScreenshot.\n"), {}},
        {"storage failure into an empty name", {QStringLiteral("-exportStorageFailureSurfaces"), QString(), QStringLiteral("/tmp/d")}, 1, {},
         QStringLiteral("error: Provide an output directory after -exportUISurfaces.\n"), {}},
        {"screenshot into an empty name", {QStringLiteral("-exportSampleScreenshot"), QString()}, 1, {},
         QStringLiteral("error: Provide an output path after -exportSampleScreenshot.\n"), {}},
        {"no options start the application", {QStringLiteral("-showWindowOnLaunch")}, std::nullopt, {}, {}, {}},
        // A path's bytes are kept; the result stays one line, its control characters, bytes that are
        // not UTF-8 and backslashes escaped.
        {"a folder name that is not UTF-8", {QStringLiteral("-exportUISurfaces"), NativePath::decode("/tmp/caf\xE9")}, 0,
         QStringLiteral("==> UI surfaces: /tmp/caf\\xE9\n"), {}, {QStringLiteral("surfaces ") + NativePath::decode("/tmp/caf\xE9")}},
        {"control characters in the path", {QStringLiteral("-exportUISurfaces"), QStringLiteral("/tmp/a\nb\\c\t\x1B[31m\u0085\x7F")}, 0,
         QStringLiteral("==> UI surfaces: /tmp/a\\nb\\\\c\\t\\x1B[31m\\u0085\\x7F\n"), {},
         {QStringLiteral("surfaces /tmp/a\nb\\c\t\x1B[31m\u0085\x7F")}},
        {"screenshot into a path written as a folder", {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("shots/")}, 1, {}, folderError, {}},
        {"screenshot into ..", {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("a/..")}, 1, {}, folderError, {}},
        {"screenshot into a folder that is there", {QStringLiteral("-exportSampleScreenshot"), QDir::tempPath()}, 1, {}, folderError, {}},
        {"screenshot over a device", {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("/dev/null")}, 1, {},
         QStringLiteral("error: Provide a file path after -exportSampleScreenshot, not a device, pipe or socket.\n"), {}},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.name;
        EXPECT_EQ(outcome.out, c.out) << c.name;
        EXPECT_EQ(outcome.err, c.err) << c.name;
        EXPECT_EQ(outcome.exported, c.exported) << c.name;
    }
    const Outcome failed = run({QStringLiteral("-exportUISurfaces"), QStringLiteral("/tmp/x")}, true);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, QString());
    EXPECT_EQ(failed.err, QStringLiteral("error: The rendered bitmap could not be encoded as PNG.\n"));
}

// The program itself: the same table through its real streams and exit status.
TEST(CommandLine, ProgramPrintsExactlyAndExits)
{
    struct Case {
        const char* name;
        QStringList arguments;
        int status;
        QByteArray err;
    };
    const Case cases[] = {
        {"verify lists", {QStringLiteral("-verifyLists")}, 1, "List verification requires a debug build.\n"},
        {"verify prompt UX", {QStringLiteral("-verifyPromptUX")}, 1, "UI verification requires a debug build.\n"},
        {"surfaces without directory", {QStringLiteral("-exportUISurfaces")}, 1,
         "error: Provide an output directory after -exportUISurfaces.\n"},
        {"screenshot without path", {QStringLiteral("-exportSampleScreenshot")}, 1,
         "error: Provide an output path after -exportSampleScreenshot.\n"},
        // An empty argument is no place: the current folder is never written over.
        {"surfaces into an empty name", {QStringLiteral("-exportUISurfaces"), QString()}, 1,
         "error: Provide an output directory after -exportUISurfaces.\n"},
        {"screenshot into an empty name", {QStringLiteral("-exportSampleScreenshot"), QString()}, 1,
         "error: Provide an output path after -exportSampleScreenshot.\n"},
    };
    for (const Case& c : cases) {
        QProcess program;
        program.start(QStringLiteral(VELLICORD_BINARY), c.arguments);
        ASSERT_TRUE(program.waitForFinished(20000)) << c.name;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.name;
        EXPECT_EQ(program.exitCode(), c.status) << c.name;
        EXPECT_EQ(program.readAllStandardOutput(), QByteArray()) << c.name;
        EXPECT_EQ(program.readAllStandardError(), c.err) << c.name;
    }
}

TEST(CommandLine, ProgramWithoutADisplaySaysSoAndExits)
{
    QTemporaryDir runtime;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELLICORD_BINARY), {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(program.readAllStandardError().startsWith("error: "));
}

// The predecessor's library cannot be copied (a file stands where the folder must go): without a
// display the alert cannot be shown, so one error line, status 1, and nothing was changed.
TEST(CommandLine, FailedAdoptionWithoutADisplaySaysSoAndExits)
{
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("data"));
    QDir().mkpath(data + QStringLiteral("/Tovak"));
    for (const auto& [path, content] : {std::pair{data + QStringLiteral("/Tovak/Tovak.json"), QByteArray("{}")},
                                        std::pair{data + QStringLiteral("/Vellicord"), QByteArray("in the way")}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // A folder of its own, so that no other test's copy of the program is taken for a running one.
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("VELLICORD_LOG_DIR"), home.filePath(QStringLiteral("logs")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELLICORD_BINARY), {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(program.readAllStandardError(),
              "error: Vellicord could not copy your existing Tovak data. Your data was not changed, and Vellicord "
              "did not start. Resolve the local storage problem, then open Vellicord again.\n");
    QFile blocker(data + QStringLiteral("/Vellicord"));
    ASSERT_TRUE(blocker.open(QIODevice::ReadOnly));
    EXPECT_EQ(blocker.readAll(), "in the way");
}
