#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "Tovak/export/AppScreenshotExporter.h"
#include "Tovak/export/SampleData.h"
#include "Tovak/export/SnapshotFixture.h"
#include "Tovak/export/StorageFailureSurfaceCanvas.h"
#include "Tovak/export/UISurfaceCanvas.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/NameSheet.h"
#include "Tovak/library/UnavailableLibraryView.h"
#include "Tovak/library/WelcomeView.h"
#include "core/library/ModelProfile.h"
#include "core/library/PromptTemplates.h"
#include "support/FaultyFileSystem.h"
#include "support/ManualClock.h"
#include "support/ManualScheduler.h"
#include "support/ManualSerialQueue.h"
#include "support/MemoryDefaults.h"
#include "support/ViewFakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

#include <csignal>

#include <sys/stat.h>

using namespace vellicord;

namespace {

const QStringList xdgFolders = {QStringLiteral("XDG_DATA_HOME"), QStringLiteral("XDG_CONFIG_HOME"),
                                QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("XDG_STATE_HOME")};

// Every file under the folder, relative to it.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// A home of its own for one run of the program: empty data, settings, cache, state and
// temporary folders, no display.
struct Home {
    QTemporaryDir root;

    QString path(const QString& name) const { return root.filePath(name); }

    QProcessEnvironment environment(const std::map<QString, QString>& extra = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("HOME"), path(QStringLiteral("user")));
        environment.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
        for (const QString& name : xdgFolders)
            environment.insert(name, path(QStringLiteral("user/") + name));
        for (const auto& [name, value] : extra)
            environment.insert(name, value);
        return environment;
    }

    Home()
    {
        QDir().mkpath(path(QStringLiteral("tmp")));
        for (const QString& name : xdgFolders)
            QDir().mkpath(path(QStringLiteral("user/") + name));
    }
};

struct Outcome {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Outcome run(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELLICORD_BINARY), arguments);
    if (!program.waitForFinished(120000))
        return {};
    return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
}

// The sizes in points, which at scale 1 are the sizes in pixels.
const std::map<QString, QSize> catalogueSizes = {
    {QStringLiteral("library-wide.png"), QSize(1120, 660)},
    {QStringLiteral("library-compact.png"), QSize(980, 600)},
    {QStringLiteral("library-dark.png"), QSize(1120, 660)},
    {QStringLiteral("compose-wide.png"), QSize(1280, 760)},
    {QStringLiteral("compose-compact.png"), QSize(980, 600)},
    {QStringLiteral("compose-dark.png"), QSize(1280, 760)},
    {QStringLiteral("detail.png"), QSize(420, 660)},
    {QStringLiteral("empty-compose.png"), QSize(980, 600)},
    {QStringLiteral("compose-edited-compact.png"), QSize(980, 600)},
    {QStringLiteral("compose-edited-empty.png"), QSize(980, 600)},
    {QStringLiteral("sheet-trim.png"), QSize(520, 380)},
    {QStringLiteral("sheet-import.png"), QSize(540, 420)},
    {QStringLiteral("sheet-save-template.png"), QSize(340, 180)},
    {QStringLiteral("settings.png"), QSize(520, 380)},
    {QStringLiteral("welcome.png"), QSize(520, 520)},
    {QStringLiteral("empty-library.png"), QSize(980, 600)},
    {QStringLiteral("empty-search.png"), QSize(500, 360)},
    {QStringLiteral("empty-scope.png"), QSize(500, 360)},
    {QStringLiteral("sheet-new-group.png"), QSize(360, 190)},
    {QStringLiteral("library-unreadable-light.png"), QSize(980, 600)},
    {QStringLiteral("library-unreadable-dark.png"), QSize(980, 600)},
    {QStringLiteral("library-incompatible-light.png"), QSize(980, 600)},
    {QStringLiteral("library-incompatible-dark.png"), QSize(980, 600)},
};

std::map<QString, QSize> storageFailureSizes()
{
    std::map<QString, QSize> sizes;
    for (const auto& [file, size] : catalogueSizes) {
        if (file.startsWith(u"library-unreadable") || file.startsWith(u"library-incompatible"))
            sizes.emplace(file, size);
    }
    return sizes;
}

// How many distinct colours a sample of the image holds: a blank image has one.
int colours(const QImage& image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            seen.insert(image.pixel(x, y));
    }
    return int(seen.size());
}

// The image's mean luminance from 0 (black) to 255 (white), by the weights of Rec. 709.
double meanLuminance(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            sum += 0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel);
        }
    }
    return image.isNull() ? 0 : sum / (double(image.width()) * image.height());
}

std::map<QString, QByteArray> contents(const QString& folder)
{
    std::map<QString, QByteArray> files;
    for (const QString& name : filesUnder(folder))
        files.emplace(name, TemporaryLibrary::readAll(folder + u'/' + name));
    return files;
}

// What a library's fixtures need, over fakes.
struct FixtureServices {
    FaultyFileSystem files;
    ManualScheduler time;
    ExportServices services{
        .fileSystem = files,
        .scheduler = time,
        .makeSaveQueue = [] { return std::make_unique<ManualSerialQueue>(); },
        .makeDefaults = [](const QString&, const QString&) { return std::make_unique<MemoryDefaults>(); },
    };
};

} // namespace

// The program itself, as a user runs it on a machine without a display: each mode writes exactly
// its files at their sizes, says so in one line, and leaves nothing in the temporary folder or in
// the user's folders.
TEST(SurfaceExport, ProgramWritesEachModeWithoutADisplay)
{
    struct Case {
        const char* name;
        QStringList arguments; // "OUT" stands for the output folder
        QString written; // the folder or file named by the result line, under OUT
        std::map<QString, QSize> files;
        bool outIsAFile = false; // so nothing can be written: the run fails after its libraries exist
    };
    const QString shot = QStringLiteral("shots/sample.png");
    const Case cases[] = {
        {"catalogue", {QStringLiteral("-exportUISurfaces"), QStringLiteral("OUT")}, QString(), catalogueSizes},
        {"storage failures only, wherever the option stands",
         {QStringLiteral("-exportUISurfaces"), QStringLiteral("OUT"), QStringLiteral("-exportStorageFailureSurfaces")},
         QString(),
         storageFailureSizes()},
        {"sample screenshot at twice the points, its folder made",
         {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("OUT/") + shot},
         shot,
         {{shot, QSize(2240, 1320)}}},
        {"catalogue into a file", {QStringLiteral("-exportUISurfaces"), QStringLiteral("OUT/images")}, {}, {}, true},
        {"sample screenshot into a file",
         {QStringLiteral("-exportSampleScreenshot"), QStringLiteral("OUT/a.png")},
         {},
         {},
         true},
    };
    for (const Case& c : cases) {
        Home home;
        const QString out = home.path(QStringLiteral("out"));
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(QStringLiteral("OUT"), out);
        if (c.outIsAFile)
            TemporaryLibrary::writeAll(out, "in the way");
        const Outcome result = run(arguments, home.environment());
        QStringList untouched = xdgFolders;
        untouched.sort();
        EXPECT_EQ(filesUnder(home.path(QStringLiteral("tmp"))), QStringList()) << c.name;
        EXPECT_EQ(filesUnder(home.path(QStringLiteral("user"))), untouched) << c.name;
        if (c.outIsAFile) {
            EXPECT_EQ(result.status, 1) << c.name;
            EXPECT_EQ(result.out, QByteArray()) << c.name;
            EXPECT_TRUE(result.err.startsWith("error: ") && result.err.count('\n') == 1)
                << c.name << ": " << result.err.constData();
            EXPECT_EQ(TemporaryLibrary::readAll(out), "in the way") << c.name;
            continue;
        }
        ASSERT_EQ(result.status, 0) << c.name << ": " << result.err.constData();
        const QString named = c.written.isEmpty() ? out : out + u'/' + c.written;
        const QByteArray line = c.written.isEmpty() ? "==> UI surfaces: " : "==> sample screenshot: ";
        EXPECT_EQ(result.out, line + named.toUtf8() + '\n') << c.name;
        EXPECT_EQ(result.err, QByteArray()) << c.name;

        QStringList expected;
        for (const auto& [file, size] : c.files) {
            expected.append(file);
            const QImage image(out + u'/' + file);
            EXPECT_EQ(image.size(), size) << c.name << ": " << qPrintable(file);
            EXPECT_GT(colours(image), 8) << c.name << ": " << qPrintable(file) << " is blank";
            // Images a user asked for are readable by others, as any document they save.
            EXPECT_TRUE(QFileInfo(out + u'/' + file).permissions() & QFileDevice::ReadOther)
                << c.name << ": " << qPrintable(file);
        }
        // Images that show different states of the same view must differ.
        for (const auto& [one, other] : {std::pair{"compose-compact.png", "compose-edited-compact.png"},
                                         std::pair{"compose-edited-compact.png", "compose-edited-empty.png"}}) {
            if (c.files.count(QLatin1String(one)) && c.files.count(QLatin1String(other))) {
                EXPECT_NE(QImage(out + u'/' + QLatin1String(one)), QImage(out + u'/' + QLatin1String(other)))
                    << c.name << ": " << one << " and " << other;
            }
        }
        // A light image is mostly light and its dark twin mostly dark (a light window is about 235
        // of 255, a dark one about 45): a pair drawn in one appearance, or with their names swapped,
        // fails here.
        for (const auto& [light, dark] :
             {std::pair{"library-wide.png", "library-dark.png"}, std::pair{"compose-wide.png", "compose-dark.png"},
              std::pair{"library-unreadable-light.png", "library-unreadable-dark.png"},
              std::pair{"library-incompatible-light.png", "library-incompatible-dark.png"}}) {
            if (!c.files.count(QLatin1String(light)) || !c.files.count(QLatin1String(dark)))
                continue;
            EXPECT_GT(meanLuminance(QImage(out + u'/' + QLatin1String(light))), 170) << c.name << ": " << light;
            EXPECT_LT(meanLuminance(QImage(out + u'/' + QLatin1String(dark))), 85) << c.name << ": " << dark;
        }
        if (!c.written.isEmpty())
            expected.prepend(c.written.section(u'/', 0, 0));
        expected.sort();
        EXPECT_EQ(filesUnder(out), expected) << c.name;
    }
}

// Where the export finds its fonts; a test can put another folder in their place for one run.
const QString fontFolder = QStringLiteral("/usr/share/fonts/truetype/dejavu");

// The program run by the shell, so that its arguments can hold any bytes: in `arguments`, "$OUT"
// is the output folder, and printf's escapes make the bytes that are not text. With `fonts`, that
// folder is mounted in place of the fonts, in a mount namespace of the program's own, as on a
// machine without them.
struct Started {
    QProcess program;

    Started(const Home& home, const QByteArray& arguments, const std::map<QString, QString>& environment = {},
            const QString& fonts = {})
    {
        QProcessEnvironment variables = home.environment(environment);
        variables.insert(QStringLiteral("OUT"), home.path(QStringLiteral("out")));
        variables.insert(QStringLiteral("PROGRAM"), QStringLiteral(VELLICORD_BINARY));
        variables.insert(QStringLiteral("FONTS"), fonts);
        program.setProcessEnvironment(variables);
        const QString run = QStringLiteral("exec \"$PROGRAM\" ") + QString::fromUtf8(arguments);
        if (fonts.isEmpty()) {
            program.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), run});
            return;
        }
        program.start(QStringLiteral("unshare"),
                      {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                       QStringLiteral("mount --bind \"$FONTS\" %1 && %2").arg(fontFolder, run)});
    }

    Outcome finish()
    {
        if (!program.waitForFinished(120000))
            return {};
        return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
    }
};

bool existsAsBytes(const QByteArray& path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0;
}

// Whatever a path holds, the program writes where it was told and says so in one line; without a
// temporary folder to work in it stops, and never makes its folders at the root instead.
TEST(SurfaceExport, PathsKeepTheirBytesAndNothingIsWrittenElsewhere)
{
    struct Case {
        const char* name;
        QByteArray arguments;
        int status;
        QByteArray out; // "OUT" stands for the output folder, "HOME" for the run's own folder
        QByteArray err;
        QList<QByteArray> written; // under OUT, as bytes
        std::map<QString, QString> environment = {}; // "HOME" as above
    };
    const QByteArray folderError = "error: Provide a file path after -exportSampleScreenshot, not a folder.\n";
    const Case cases[] = {
        {"a folder name that is not UTF-8",
         "-exportStorageFailureSurfaces \"$OUT/$(printf 'caf\\351')\"",
         0,
         "==> UI surfaces: OUT/caf\\xE9\n",
         "",
         {"caf\xE9/library-unreadable-dark.png"}},
        {"a line feed and a terminal escape in the folder's name",
         "-exportStorageFailureSurfaces \"$OUT/$(printf 'a\\nb\\033[31m')\"",
         0,
         "==> UI surfaces: OUT/a\\nb\\x1B[31m\n",
         "",
         {"a\nb\x1B[31m/library-incompatible-light.png"}},
        {"a screenshot in a folder that is not UTF-8",
         "-exportSampleScreenshot \"$OUT/$(printf 'x\\351')/s.png\"",
         0,
         "==> sample screenshot: OUT/x\\xE9/s.png\n",
         "",
         {"x\xE9/s.png"}},
        {"a screenshot into a path written as a folder",
         "-exportSampleScreenshot \"$OUT/shots/\"",
         1,
         "",
         folderError,
         {}},
        {"a screenshot into a folder that is there", "-exportSampleScreenshot \"$OUT\"", 1, "", folderError, {}},
        {"a temporary folder that is not there",
         "-exportUISurfaces \"$OUT\"",
         1,
         "",
         "error: Could not create a folder in the temporary folder HOME/missing: No such file or directory\n",
         {},
         {{QStringLiteral("TMPDIR"), QStringLiteral("HOME/missing")}}},
        {"a temporary folder that is a file",
         "-exportSampleScreenshot \"$OUT/s.png\"",
         1,
         "",
         "error: Could not create a folder in the temporary folder HOME/tmp/file: Not a directory\n",
         {},
         {{QStringLiteral("TMPDIR"), QStringLiteral("HOME/tmp/file")}}},
    };
    const auto atTheRoot = [] {
        return QDir(QStringLiteral("/")).entryList({QStringLiteral("Vellicord*")}, QDir::AllEntries | QDir::Hidden);
    };
    const QStringList rootBefore = atTheRoot();
    for (const Case& c : cases) {
        Home home;
        const QByteArray homeBytes = QFile::encodeName(home.root.path());
        const QByteArray out = QFile::encodeName(home.path(QStringLiteral("out")));
        QDir().mkpath(home.path(QStringLiteral("out")));
        TemporaryLibrary::writeAll(home.path(QStringLiteral("tmp/file")), "in the way");
        std::map<QString, QString> environment;
        for (const auto& [name, value] : c.environment)
            environment.emplace(name, QString(value).replace(QStringLiteral("HOME"), home.root.path()));
        const Outcome result = Started(home, c.arguments, environment).finish();
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err.constData();
        EXPECT_EQ(result.out, QByteArray(c.out).replace("OUT", out)) << c.name;
        EXPECT_EQ(result.err, QByteArray(c.err).replace("HOME", homeBytes)) << c.name;
        for (const QByteArray& file : c.written)
            EXPECT_TRUE(existsAsBytes(out + '/' + file)) << c.name << ": " << file.constData();
        if (c.written.isEmpty()) {
            EXPECT_EQ(filesUnder(home.path(QStringLiteral("out"))), QStringList()) << c.name;
        }
        EXPECT_EQ(filesUnder(home.path(QStringLiteral("tmp"))), QStringList({QStringLiteral("file")})) << c.name;
        EXPECT_EQ(atTheRoot(), rootBefore) << c.name;
        // Qt's own removal reads names as UTF-8 and would leave these.
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), QStringLiteral("--"), home.path(QStringLiteral("out"))});
    }
}

// Interrupted midway (Control-C or Control-\, a kill, a closed terminal), the export removes its throwaway
// libraries and fonts before it ends, by the same signal; the images it finished stay whole.
TEST(SurfaceExport, InterruptedItLeavesNothingBehindAndEndsByTheSignal)
{
    struct Case {
        const char* name;
        QByteArray arguments;
        int signal;
        std::function<bool(const Home&)> midway; // when the signal is sent
    };
    const auto imageWritten = [](const Home& home) { return !filesUnder(home.path(QStringLiteral("out"))).isEmpty(); };
    const auto started = [](const Home& home) { return !filesUnder(home.path(QStringLiteral("tmp"))).isEmpty(); };
    // The catalogue has 22 images to go after its first, the screenshot all its work after the
    // first temporary folder: the signal comes well before the end.
    const Case cases[] = {
        {"catalogue, Control-C after its first image", "-exportUISurfaces \"$OUT\"", SIGINT, imageWritten},
        {"catalogue, killed after its first image", "-exportUISurfaces \"$OUT\"", SIGTERM, imageWritten},
        {"catalogue, its terminal closed after its first image", "-exportUISurfaces \"$OUT\"", SIGHUP, imageWritten},
        {"sample screenshot, Control-C as it starts", "-exportSampleScreenshot \"$OUT/s.png\"", SIGINT, started},
        {"sample screenshot, Control-\\ as it starts", "-exportSampleScreenshot \"$OUT/s.png\"", SIGQUIT, started},
    };
    for (const Case& c : cases) {
        Home home;
        Started run(home, c.arguments);
        ASSERT_TRUE(run.program.waitForStarted()) << c.name;
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.midway(home); }, 60000)) << c.name;
        ::kill(pid_t(run.program.processId()), c.signal);
        ASSERT_TRUE(run.program.waitForFinished(60000)) << c.name;
        EXPECT_EQ(run.program.exitStatus(), QProcess::CrashExit) << c.name;
        EXPECT_EQ(run.program.exitCode(), c.signal) << c.name;
        EXPECT_EQ(run.program.readAllStandardOutput(), QByteArray()) << c.name;
        EXPECT_EQ(run.program.readAllStandardError(), "error: The export was interrupted.\n") << c.name;
        EXPECT_EQ(filesUnder(home.path(QStringLiteral("tmp"))), QStringList()) << c.name;
        for (const QString& file : filesUnder(home.path(QStringLiteral("out")))) {
            EXPECT_TRUE(file.endsWith(u".png") && !file.startsWith(u'.')) << c.name << ": " << qPrintable(file);
            EXPECT_FALSE(QImage(home.path(QStringLiteral("out/")) + file).isNull())
                << c.name << ": " << qPrintable(file);
        }
    }
}

// Without its fonts the export would draw empty boxes: it says so and draws nothing.
TEST(SurfaceExport, MissingOrUnreadableFontsStopItBeforeAnyImage)
{
    if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "this machine allows no mount namespace (unshare -rm), so its fonts cannot be hidden";
    const QStringList present = QDir(fontFolder).entryList(QDir::Files);
    struct Case {
        const char* name;
        std::function<bool(const QString& file)> kept; // which of the font files stay
        bool damaged = false; // the kept files are cut short
    };
    const Case cases[] = {
        {"no fonts at all", [](const QString&) { return false; }},
        {"no bold face of the sans", [](const QString& file) { return file != u"DejaVuSans-Bold.ttf"; }},
        {"no monospaced face", [](const QString& file) { return !file.startsWith(u"DejaVuSansMono"); }},
        {"every font unreadable", [](const QString&) { return true; }, true},
    };
    for (const Case& c : cases) {
        Home home;
        const QString fonts = home.path(QStringLiteral("fonts"));
        QDir().mkpath(fonts);
        for (const QString& file : present) {
            if (!c.kept(file))
                continue;
            QByteArray bytes = TemporaryLibrary::readAll(fontFolder + u'/' + file);
            TemporaryLibrary::writeAll(fonts + u'/' + file, c.damaged ? bytes.left(100) : bytes);
        }
        for (const QByteArray arguments : {"-exportUISurfaces \"$OUT\"", "-exportSampleScreenshot \"$OUT/s.png\""}) {
            const Outcome result = Started(home, arguments, {}, fonts).finish();
            EXPECT_EQ(result.status, 1) << c.name;
            EXPECT_EQ(result.out, QByteArray()) << c.name;
            EXPECT_EQ(result.err,
                      "error: The fonts the images are drawn with are missing or unreadable: DejaVu Sans, DejaVu Sans "
                      "Mono and DejaVu Serif, regular and bold (the package fonts-dejavu-core).\n")
                << c.name;
            EXPECT_FALSE(QFileInfo::exists(home.path(QStringLiteral("out")))) << c.name;
            EXPECT_EQ(filesUnder(home.path(QStringLiteral("tmp"))), QStringList()) << c.name;
        }
    }
}

// The same bytes on every run, whatever scaling, font resolution or fonts the user has chosen.
TEST(SurfaceExport, SameBytesOnEveryRunWhateverTheUserChose)
{
    Home plain;
    Home chosen;
    const QString userFonts = chosen.path(QStringLiteral("user/XDG_CONFIG_HOME/fontconfig/fonts.conf"));
    QDir().mkpath(QFileInfo(userFonts).absolutePath());
    TemporaryLibrary::writeAll(userFonts,
                               "<?xml version=\"1.0\"?><fontconfig><match target=\"font\"><edit "
                               "name=\"antialias\" mode=\"assign\"><bool>false</bool></edit></match>"
                               "</fontconfig>");
    struct Case {
        const char* name;
        const Home& home;
        std::map<QString, QString> environment;
    };
    const Case cases[] = {
        {"first run", plain, {}},
        {"second run into the same folder", plain, {}},
        {"scaled, another font resolution, the user's fonts",
         chosen,
         {{QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2")},
          {QStringLiteral("QT_FONT_DPI"), QStringLiteral("144")},
          {QStringLiteral("FONTCONFIG_FILE"), userFonts},
          {QStringLiteral("TZ"), QStringLiteral("Asia/Tokyo")},
          {QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8")}}},
    };
    std::map<QString, QByteArray> first;
    for (const Case& c : cases) {
        const QString out = c.home.path(QStringLiteral("out"));
        const QProcessEnvironment environment = c.home.environment(c.environment);
        ASSERT_EQ(run({QStringLiteral("-exportUISurfaces"), out}, environment).status, 0) << c.name;
        ASSERT_EQ(
            run({QStringLiteral("-exportSampleScreenshot"), out + QStringLiteral("/sample.png")}, environment).status,
            0)
            << c.name;
        const std::map<QString, QByteArray> images = contents(out);
        ASSERT_EQ(images.size(), catalogueSizes.size() + 1) << c.name;
        if (first.empty()) {
            first = images;
            continue;
        }
        for (const auto& [file, bytes] : images)
            EXPECT_TRUE(bytes == first[file]) << c.name << ": " << qPrintable(file) << " differs";
    }
}

TEST(SnapshotFixture, StagesTheLibraryAndLeavesNothingBehind)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> contents;
        StorePersistenceStatus status;
        std::optional<FaultyFileSystem::Operation> failure;
    };
    const Case cases[] = {
        {"no file: an empty library", std::nullopt, StorePersistenceStatus::ready, std::nullopt},
        {"not JSON, no backup", QByteArrayLiteral("unreadable fixture"), StorePersistenceStatus::unreadablePrimary,
         std::nullopt},
        {"a newer format", QByteArrayLiteral("{\"version\":999}"), StorePersistenceStatus::incompatibleVersion,
         std::nullopt},
        {"the library file cannot be written", QByteArrayLiteral("{}"), StorePersistenceStatus::ready,
         FaultyFileSystem::Operation::write},
    };
    QTemporaryDir temporary;
    const QByteArray formerTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    ManualClock clock;
    QSet<QString> folders;
    for (const Case& c : cases) {
        FixtureServices fakes;
        if (c.failure) {
            fakes.files.fail(*c.failure);
            EXPECT_THROW(SnapshotFixture(fakes.services, clock, c.contents), FileSystemError) << c.name;
        } else {
            SnapshotFixture fixture(fakes.services, clock, c.contents);
            EXPECT_EQ(fixture.store().persistenceStatus(), c.status) << c.name;
            EXPECT_TRUE(fixture.store().selections().isEmpty()) << c.name;
            EXPECT_FALSE(fixture.defaults().boolValue(QString::fromLatin1(Store::collectIntoActiveDraftKey))) << c.name;
            EXPECT_TRUE(fixture.defaults().value(QStringLiteral("Vellicord.customPromptTemplates"))) << c.name;
            EXPECT_TRUE(PromptTemplates::loadCustom(fixture.defaults()).isEmpty()) << c.name;
            EXPECT_TRUE(fixture.suiteName().startsWith(u"VellicordSnapshot.")) << c.name;
            folders.insert(fixture.directory());
            const QString folder = fixture.directory();
            fixture.store().ensureActiveDraft();
            fixture.cleanUp();
            EXPECT_FALSE(QFileInfo::exists(folder)) << c.name;
            fixture.cleanUp(); // a second time, with the folder gone
        }
        EXPECT_EQ(filesUnder(temporary.path()), QStringList()) << c.name;
    }
    EXPECT_EQ(folders.size(), 3);
    qputenv("TMPDIR", formerTemporary);
}

// Encoded in memory, then written atomically: a failure leaves no file, and an earlier image as it was.
TEST(SurfaceExport, RenderWritesWholeImagesOrNothing)
{
    struct Case {
        const char* name;
        QSize size;
        int scale;
        std::optional<FaultyFileSystem::Operation> failure;
        const char* folder;
        QSize pixels; // empty: the write fails
    };
    const Case cases[] = {
        {"scale 1", QSize(500, 360), 1, std::nullopt, "", QSize(500, 360)},
        {"scale 2: twice the pixels of the points", QSize(1120, 660), 2, std::nullopt, "", QSize(2240, 1320)},
        {"the disk fills half-way", QSize(500, 360), 1, FaultyFileSystem::Operation::write, "", QSize()},
        {"the rename fails", QSize(500, 360), 1, FaultyFileSystem::Operation::rename, "", QSize()},
        {"no such folder", QSize(500, 360), 1, std::nullopt, "/missing", QSize()},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        FaultyFileSystem files;
        const QString path = folder.path() + QLatin1String(c.folder) + QStringLiteral("/image.png");
        const QByteArray earlier = "an earlier image";
        if (!*c.folder)
            TemporaryLibrary::writeAll(path, earlier);
        if (c.failure)
            files.fail(*c.failure);
        QLabel view(QStringLiteral("Drawn"));
        if (c.pixels.isEmpty()) {
            EXPECT_THROW(AppScreenshotExporter::render(view, c.size, c.scale, Appearance::dark, path, files),
                         FileSystemError)
                << c.name;
            EXPECT_EQ(QFileInfo::exists(path) ? TemporaryLibrary::readAll(path) : QByteArray(),
                      *c.folder ? QByteArray() : earlier)
                << c.name;
            EXPECT_EQ(filesUnder(folder.path()), QStringList({QStringLiteral("image.png")}).mid(*c.folder ? 1 : 0))
                << c.name;
            continue;
        }
        AppScreenshotExporter::render(view, c.size, c.scale, Appearance::dark, path, files);
        const QImage image(path);
        EXPECT_EQ(image.size(), c.pixels) << c.name;
        // 72 points per inch, so the image is read back at its size in points.
        EXPECT_EQ(qRound(image.width() / (image.dotsPerMeterX() * 0.0254) * 72), c.size.width()) << c.name;
    }
}

TEST(SurfaceExport, SampleLibraryHoldsItsGroupAndPrompt)
{
    ViewFakes fakes;
    AppScreenshotExporter::populateSampleStore(*fakes.store);
    const Store& store = *fakes.store;
    const QList<Selection> samples = SampleData::sampleSelections(SampleData::screenshotReferenceDate());
    QStringList texts;
    for (const Selection& s : store.selections())
        texts.append(s.text);
    QStringList sampleTexts;
    for (const Selection& s : samples)
        sampleTexts.append(s.text);
    EXPECT_EQ(texts, sampleTexts);
    ASSERT_EQ(store.groups().size(), 1);
    const SelectionGroup& group = store.groups().first();
    EXPECT_EQ(group.name, QStringLiteral("Swift research"));
    EXPECT_EQ(group.colorHex, QStringLiteral("#245BD7"));
    QStringList members;
    for (const Selection& s : store.selections(group.id))
        members.append(s.appName);
    members.sort();
    EXPECT_EQ(members, QStringList({QStringLiteral("Safari"), QStringLiteral("Terminal")}));
    const std::optional<ContextDraft> prompt = store.activeDraft();
    ASSERT_TRUE(prompt);
    QStringList sources;
    for (const ContextDraftEntry& entry : prompt->entries) {
        EXPECT_TRUE(entry.include);
        sources.append(store.findByID(entry.selectionID)->appName);
    }
    EXPECT_EQ(sources,
              QStringList({QStringLiteral("Safari"), QStringLiteral("Terminal"), QStringLiteral("Notes"),
                           QStringLiteral("Google Chrome")}));
}

TEST(StorageFailureSurfaceCanvas, ShowsTheUnavailableLibraryOnlyWhenItIs)
{
    const std::pair<StorePersistenceStatus, bool> cases[] = {
        {StorePersistenceStatus::ready, false},
        {StorePersistenceStatus::recoveredFromBackup, false},
        {StorePersistenceStatus::unreadablePrimary, true},
        {StorePersistenceStatus::incompatibleVersion, true},
        {StorePersistenceStatus::backupUnavailable, false},
        {StorePersistenceStatus::saveFailed, false},
    };
    for (const auto& [status, shown] : cases) {
        StorageFailureSurfaceCanvas canvas(status);
        EXPECT_EQ(canvas.findChild<UnavailableLibraryView*>() != nullptr, shown) << status.name();
    }
}

// A sheet's image is the sheet as it shows over its window: drawn at the size it opens at, centred
// in the image's frame, pixel for pixel what the open sheet shows.
TEST(SurfaceExport, SheetsAreDrawnAsTheyOpen)
{
    struct Case {
        const char* file;
        std::function<std::unique_ptr<QDialog>()> make;
        QSize frame;
    };
    const Case cases[] = {
        {"welcome.png", [] { return std::make_unique<WelcomeView>(true, UISurfaceCanvas::hotkeyDisplay()); },
         QSize(520, 520)},
        {"sheet-trim.png",
         [] {
             return std::make_unique<EntryTrimSheet>(ModelProfile::gpt4o(), QStringLiteral("Swift concurrency."),
                                                     nullptr);
         },
         QSize(520, 380)},
        {"sheet-import.png",
         [] {
             return std::make_unique<ImportSheet>(
                 QStringLiteral("First imported paragraph.\n\nSecond imported paragraph."), nullptr);
         },
         QSize(540, 420)},
        {"sheet-save-template.png",
         [] { return std::make_unique<SaveTemplateSheet>(QStringLiteral("Research summary"), nullptr); },
         QSize(340, 180)},
        {"sheet-new-group.png",
         [] {
             return std::make_unique<NameSheet>(QStringLiteral("New Group"), QStringLiteral("Create"),
                                                QStringLiteral("Research"));
         },
         QSize(360, 190)},
    };
    QTemporaryDir folder;
    const QString kept = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    for (const Case& c : cases) {
        // Opened as a dialog opens: as wide as it asks, or as the frame when it asks for more (a user
        // may narrow it so far), and as tall as its texts need at that width. Not the active window,
        // as no image is: no focus ring.
        const std::unique_ptr<QDialog> open = c.make();
        Theme::apply(*open, Appearance::light);
        open->setAttribute(Qt::WA_DontShowOnScreen);
        open->show();
        const int width = std::min(open->sizeHint().width(), c.frame.width());
        open->resize(width, open->hasHeightForWidth() ? open->heightForWidth(width) : open->sizeHint().height());
        QCoreApplication::processEvents();
        const QImage shown = open->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        open->hide();

        FaultyFileSystem files;
        const QString path = folder.filePath(QLatin1String(c.file));
        const std::unique_ptr<QDialog> drawn = c.make();
        AppScreenshotExporter::render(*drawn, c.frame, 1, Appearance::light, path, files);
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), c.frame) << c.file;
        ASSERT_TRUE(shown.width() <= c.frame.width() && shown.height() <= c.frame.height())
            << c.file << ": opens at " << shown.width() << "×" << shown.height();
        const QPoint corner((c.frame.width() - shown.width()) / 2, (c.frame.height() - shown.height()) / 2);
        EXPECT_EQ(image.copy(QRect(corner, shown.size())), shown) << c.file << " is not the sheet as it opens";
        if (!kept.isEmpty()) {
            QDir().mkpath(kept);
            shown.save(kept + QStringLiteral("/open-") + QLatin1String(c.file));
            image.save(kept + QStringLiteral("/drawn-") + QLatin1String(c.file));
        }
    }
}
