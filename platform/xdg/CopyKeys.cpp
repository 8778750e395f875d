#include "platform/xdg/CopyKeys.h"

#include <QSet>

namespace vellicord {

CopyKeys copyKeysFor(const std::optional<QString>& bundleIdentifier, const QString& windowClass)
{
    // clang-format off
    // Terminals whose copy command is Control-Shift-C: desktop-file ids and WM_CLASS instances.
    static const QSet<QString> shiftTerminals{
        QStringLiteral("org.gnome.Terminal"),    QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.Console"),     QStringLiteral("kgx"),
        QStringLiteral("org.gnome.Ptyxis"),      QStringLiteral("ptyxis"),
        QStringLiteral("org.kde.konsole"),       QStringLiteral("konsole"),
        QStringLiteral("org.kde.yakuake"),       QStringLiteral("yakuake"),
        QStringLiteral("xfce4-terminal"),        QStringLiteral("org.xfce.terminal"),
        QStringLiteral("terminator"),            QStringLiteral("com.gexperts.Tilix"),
        QStringLiteral("tilix"),                 QStringLiteral("kitty"),
        QStringLiteral("Alacritty"),             QStringLiteral("alacritty"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("wezterm-gui"),
        QStringLiteral("foot"),                  QStringLiteral("footclient"),
        QStringLiteral("org.codeberg.dnkl.foot"), QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),         QStringLiteral("qterminal"),
        QStringLiteral("io.elementary.terminal"), QStringLiteral("guake"),
        QStringLiteral("sakura"),                QStringLiteral("terminology"),
        QStringLiteral("st"),                    QStringLiteral("st-256color"),
        QStringLiteral("com.mitchellh.ghostty"), QStringLiteral("ghostty"),
        QStringLiteral("deepin-terminal"),       QStringLiteral("cool-retro-term")};
    // Terminals that copy by selecting alone; Control-C there would interrupt the running program.
    static const QSet<QString> selectionOnlyTerminals{
        QStringLiteral("debian-xterm"), QStringLiteral("debian-uxterm"), QStringLiteral("xterm"),
        QStringLiteral("uxterm"),       QStringLiteral("rxvt-unicode"),  QStringLiteral("urxvt"),
        QStringLiteral("urxvtc"),       QStringLiteral("rxvt"),          QStringLiteral("aterm"),
        QStringLiteral("eterm"),        QStringLiteral("Eterm")};
    // clang-format on
    for (const QString& name : {bundleIdentifier.value_or(QString()), windowClass}) {
        if (name.isEmpty())
            continue;
        if (shiftTerminals.contains(name))
            return CopyKeys::controlShiftC;
        if (selectionOnlyTerminals.contains(name))
            return CopyKeys::none;
    }
    return CopyKeys::controlC;
}

} // namespace vellicord
