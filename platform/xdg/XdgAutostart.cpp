#include "platform/xdg/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace vellicord {

XdgAutostart::XdgAutostart(QString configHome, QString program)
    : configHome_(std::move(configHome))
    , program_(std::move(program))
{
    if (configHome_.isEmpty())
        configHome_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString XdgAutostart::entryPath() const
{
    return configHome_ + QStringLiteral("/autostart/vellicord.desktop");
}

QString XdgAutostart::execValue(const QString& program)
{
    // Inside a quoted argument ", `, $ and \ take a backslash; then the string rule of every
    // desktop-entry value doubles each backslash again; % stands for field codes, so a literal
    // one is %%. Quoting always is allowed and spares deciding which characters are reserved.
    QString quoted;
    for (QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    QString value = QStringLiteral("\"");
    for (QChar c : quoted) {
        switch (c.unicode()) {
        case u'\\': value += QStringLiteral("\\\\"); break;
        case u'\n': value += QStringLiteral("\\n"); break;
        case u'\t': value += QStringLiteral("\\t"); break;
        case u'\r': value += QStringLiteral("\\r"); break;
        case u'%': value += QStringLiteral("%%"); break;
        default: value += c;
        }
    }
    value += u'"';
    return value;
}

QByteArray XdgAutostart::entry(const QString& program)
{
    return QByteArrayLiteral("[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Vellicord\n"
                             "Comment=Capture selected text and compose prompts\n"
                             "Icon=vellicord\n")
        + "Exec=" + execValue(program).toUtf8() + "\n"
        + QByteArrayLiteral("Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
}

LoginItem::Status XdgAutostart::status() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return Status::notRegistered;
    // The desktop may switch an entry off by marking it hidden rather than removing it.
    const QByteArray text = file.readAll();
    for (const QByteArray& line : text.split('\n')) {
        // Blanks around the "=" are no part of the key or the value.
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return Status::notRegistered;
    }
    return Status::enabled;
}

std::optional<QString> XdgAutostart::registerItem()
{
    const QString folder = QFileInfo(entryPath()).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("The folder %1 could not be created.").arg(folder);
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(entry(program_));
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> XdgAutostart::unregisterItem()
{
    QFile file(entryPath());
    if (file.exists() && !file.remove())
        return file.errorString();
    return std::nullopt;
}

} // namespace vellicord
