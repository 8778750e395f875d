#include "Tovak/export/RenderEnvironment.h"

#include "Tovak/export/AppScreenshotExporter.h"
#include "Tovak/export/TemporaryFolder.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QRawFont>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace vellicord {
namespace {

// fonts-dejavu-core: TextStyles draws with DejaVu Sans and DejaVu Sans Mono, and rich text that
// asks for a serif gets DejaVu Serif.
const char* const fontFolder = "/usr/share/fonts/truetype/dejavu";
struct PinnedFont {
    const char* file;
    const char* family;
    bool bold;
};
const PinnedFont pinnedFonts[] = {
    {"DejaVuSans.ttf", "DejaVu Sans", false},          {"DejaVuSans-Bold.ttf", "DejaVu Sans", true},
    {"DejaVuSansMono.ttf", "DejaVu Sans Mono", false}, {"DejaVuSansMono-Bold.ttf", "DejaVu Sans Mono", true},
    {"DejaVuSerif.ttf", "DejaVu Serif", false},        {"DejaVuSerif-Bold.ttf", "DejaVu Serif", true},
};

// Each of these changes the size or the look of what Qt draws: scaling, a font resolution, a
// style or platform theme of the user's choice, and the desktop whose settings a theme would read.
const char* const unsetVariables[] = {
    "QT_SCALE_FACTOR",
    "QT_SCREEN_SCALE_FACTORS",
    "QT_AUTO_SCREEN_SCALE_FACTOR",
    "QT_ENABLE_HIGHDPI_SCALING",
    "QT_SCALE_FACTOR_ROUNDING_POLICY",
    "QT_FONT_DPI",
    "QT_USE_PHYSICAL_DPI",
    "QT_QPA_PLATFORMTHEME",
    "QT_STYLE_OVERRIDE",
    "QT_QPA_FONTDIR",
    "FONTCONFIG_PATH",
    "FONTCONFIG_SYSROOT",
    "XDG_CURRENT_DESKTOP",
    "DESKTOP_SESSION",
    "KDE_FULL_SESSION",
    "GNOME_DESKTOP_SESSION_ID",
    "LANGUAGE",
};

} // namespace

QStringList RenderEnvironment::installedFontFiles()
{
    QStringList files;
    for (const PinnedFont& font : pinnedFonts) {
        const QString path = QLatin1String(fontFolder) + u'/' + QLatin1String(font.file);
        if (QFileInfo::exists(path))
            files.append(path);
    }
    return files;
}

QByteArray RenderEnvironment::fontConfig(const QString& fontFolder, const QString& cacheFolder)
{
    const auto escaped = [](const QString& path) { return path.toHtmlEscaped().toUtf8(); };
    QByteArray config = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                        "<fontconfig>\n";
    config += "  <dir>" + escaped(fontFolder) + "</dir>\n";
    config += "  <cachedir>" + escaped(cacheFolder) + "</cachedir>\n";
    for (const auto& [generic, family] : {std::pair{"sans-serif", "DejaVu Sans"}, std::pair{"serif", "DejaVu Serif"},
                                          std::pair{"monospace", "DejaVu Sans Mono"}}) {
        config += QByteArray("  <alias><family>") + generic + "</family><prefer><family>" + family
            + "</family></prefer></alias>\n";
    }
    config += "</fontconfig>\n";
    return config;
}

void RenderEnvironment::checkFonts()
{
    // A missing or unreadable font does not stop Qt from drawing: it draws empty boxes, or another
    // face, and the images would look written when they are not. The environment's fontconfig lists
    // only the pinned folder, and only the files in it that it could read.
    for (const PinnedFont& pinned : pinnedFonts) {
        const QString family = QString::fromLatin1(pinned.family);
        const QStringList styles = QFontDatabase::styles(family);
        const bool found = std::any_of(styles.begin(), styles.end(), [&](const QString& style) {
            return QFontDatabase::bold(family, style) == pinned.bold && !QFontDatabase::italic(family, style);
        });
        QFont font(family);
        font.setBold(pinned.bold);
        if (!found || !QRawFont::fromFont(font).supportsCharacter(u'A'))
            throw AppScreenshotExporter::ExportError(AppScreenshotExporter::ExportError::Kind::fontsMissing);
    }
}

RenderEnvironment::RenderEnvironment()
    : folder_(TemporaryFolder::makePrivate(QStringLiteral("VellicordRender")))
{
    const QString fonts = folder_ + QStringLiteral("/fonts");
    const QString cache = folder_ + QStringLiteral("/cache");
    QDir().mkpath(fonts);
    QDir().mkpath(cache);
    // Qt makes a runtime folder under the temporary folder when the session names none.
    const QString runtime = folder_ + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Links, because a fontconfig lists folders, not files.
    for (const QString& file : installedFontFiles())
        QFile::link(file, fonts + u'/' + QFileInfo(file).fileName());
    const QString configPath = folder_ + QStringLiteral("/fonts.conf");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) || config.write(fontConfig(fonts, cache)) < 0)
        throw FileSystemError(QStringLiteral("Could not write"), configPath, EIO);
    config.close();

    for (const char* name : unsetVariables)
        qunsetenv(name);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("FONTCONFIG_FILE", QFile::encodeName(configPath));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("TZ", "UTC");
    ::tzset();
}

RenderEnvironment::~RenderEnvironment()
{
    QDir(folder_).removeRecursively();
}

} // namespace vellicord
