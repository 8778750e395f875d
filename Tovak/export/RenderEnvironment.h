#pragma once

#include <QString>
#include <QStringList>

namespace vellicord {

// Fixes, before the export's QApplication exists, what would otherwise make its pixels differ
// from one machine, session or user to another: the offscreen platform without any scaling, the
// fonts (a fontconfig of its own that knows only the fonts the project installs, so neither the
// machine's other fonts nor the user's font settings are consulted), en_US and UTC. The
// fontconfig and its cache live in a private temporary folder, removed when this is destroyed.
class RenderEnvironment {
public:
    // Throws FileSystemError when the folder cannot be made.
    RenderEnvironment();
    ~RenderEnvironment();
    RenderEnvironment(const RenderEnvironment&) = delete;
    RenderEnvironment& operator=(const RenderEnvironment&) = delete;

    const QString& folder() const { return folder_; }

    // The fonts of the project's font package, those of them that are on this machine.
    static QStringList installedFontFiles();
    // Throws ExportError fontsMissing unless every font the environment pins (each family in its
    // regular and bold face) is there and draws. Needs the QApplication made under the environment.
    static void checkFonts();
    // The fontconfig that lists those fonts only, with its cache in the cache folder.
    static QByteArray fontConfig(const QString& fontFolder, const QString& cacheFolder);

private:
    QString folder_;
};

} // namespace vellicord
