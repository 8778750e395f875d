#include "platform/xdg/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QStandardPaths>

#include <mutex>

namespace vellicord::DesktopEntries {

namespace {

struct Entry {
    DesktopEntry entry;
    QString startupWMClass;
    QString program; // the file name of Exec's program
};

struct Index {
    QList<Entry> entries; // in the order of precedence: the user's folder first
    QHash<QString, qsizetype> byID;
    QList<std::pair<QString, QDateTime>> folders;
};

QStringList applicationFolders()
{
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& extra : {QDir::homePath() + QStringLiteral("/.local/share/flatpak/exports/share/applications"),
                                 QStringLiteral("/var/lib/flatpak/exports/share/applications")}) {
        if (!folders.contains(extra))
            folders.append(extra);
    }
    return folders;
}

QString localizedName(const QHash<QString, QString>& values)
{
    const QString locale = QLocale().name(); // "de_DE"
    for (const QString& key : {QStringLiteral("Name[%1]").arg(locale),
                               QStringLiteral("Name[%1]").arg(locale.section(u'_', 0, 0)), QStringLiteral("Name")}) {
        if (const QString value = values.value(key); !value.isEmpty())
            return value;
    }
    return {};
}

std::optional<Entry> parse(const QString& path, const QString& id)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QString, QString> values;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            if (inMainGroup)
                break;
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || line.startsWith(u'#') || equals <= 0)
            continue;
        values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    if (values.value(QStringLiteral("Type")) != u"Application" || values.value(QStringLiteral("Hidden")) == u"true")
        return std::nullopt;
    const QString exec = values.value(QStringLiteral("Exec"));
    const QString program = QFileInfo(exec.section(u' ', 0, 0, QString::SectionSkipEmpty)).fileName();
    return Entry{{id, localizedName(values), values.value(QStringLiteral("Icon"))},
                 values.value(QStringLiteral("StartupWMClass")), program};
}

Index build(const QStringList& folders)
{
    Index index;
    for (const QString& folder : folders) {
        index.folders.append({folder, QFileInfo(folder).lastModified()});
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = QDir(folder).relativeFilePath(path);
            id.chop(int(qstrlen(".desktop")));
            id.replace(u'/', u'-');
            if (index.byID.contains(id))
                continue;
            if (std::optional<Entry> entry = parse(path, id)) {
                index.byID.insert(id, index.entries.size());
                index.entries.append(*entry);
            }
        }
    }
    return index;
}

std::mutex indexMutex;

Index current()
{
    static Index index;
    static bool built = false;
    std::lock_guard lock(indexMutex);
    const QStringList folders = applicationFolders();
    bool stale = !built || index.folders.size() != folders.size();
    for (qsizetype i = 0; !stale && i < folders.size(); ++i)
        stale = index.folders[i].first != folders[i] || index.folders[i].second != QFileInfo(folders[i]).lastModified();
    if (stale) {
        index = build(folders);
        built = true;
    }
    return index;
}

QString withoutSuffix(QString id)
{
    if (id.endsWith(u".desktop"))
        id.chop(8);
    return id;
}

} // namespace

std::optional<DesktopEntry> byID(const QString& id)
{
    const Index index = current();
    const auto found = index.byID.constFind(withoutSuffix(id));
    if (found == index.byID.constEnd())
        return std::nullopt;
    return index.entries.at(*found).entry;
}

std::optional<DesktopEntry> byName(const QString& name)
{
    if (name.isEmpty())
        return std::nullopt;
    const Index index = current();
    for (const Entry& entry : index.entries) {
        if (entry.entry.name == name)
            return entry.entry;
    }
    return std::nullopt;
}

std::optional<DesktopEntry> find(const WindowIdentity& window)
{
    const Index index = current();
    auto exact = [&](const QString& id) -> std::optional<DesktopEntry> {
        if (id.isEmpty())
            return std::nullopt;
        const auto found = index.byID.constFind(withoutSuffix(QFileInfo(id).fileName()));
        if (found == index.byID.constEnd())
            return std::nullopt;
        return index.entries.at(*found).entry;
    };
    for (const QString& id : {window.gtkApplicationID, window.kdeDesktopFile, window.flatpakID}) {
        if (std::optional<DesktopEntry> entry = exact(id))
            return entry;
    }
    for (const QString& wmClass : {window.wmClassName, window.wmClassInstance}) {
        if (wmClass.isEmpty())
            continue;
        for (const Entry& entry : index.entries) {
            if (entry.startupWMClass.compare(wmClass, Qt::CaseInsensitive) == 0)
                return entry.entry;
        }
    }
    for (const QString& wmClass : {window.wmClassInstance, window.wmClassName}) {
        if (wmClass.isEmpty())
            continue;
        for (const Entry& entry : index.entries) {
            // "org.gnome.Calculator" for the class "gnome-calculator" is not guessed; the id itself
            // or its last dotted part must match.
            if (entry.startupWMClass.isEmpty() && (entry.entry.id.compare(wmClass, Qt::CaseInsensitive) == 0 ||
                                                   entry.entry.id.section(u'.', -1).compare(wmClass, Qt::CaseInsensitive) == 0))
                return entry.entry;
        }
    }
    // Last, the program: xterm's window is "xterm", its entry "debian-xterm" with Exec=xterm.
    for (const Entry& entry : index.entries) {
        if (!window.wmClassInstance.isEmpty() && entry.startupWMClass.isEmpty() &&
            entry.program.compare(window.wmClassInstance, Qt::CaseInsensitive) == 0)
            return entry.entry;
    }
    return std::nullopt;
}

} // namespace vellicord::DesktopEntries
