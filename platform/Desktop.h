#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QIcon;

namespace vellicord {

enum class Appearance { light, dark };

// What the views ask of the desktop they run on: its look, opening addresses and files for the
// user, and applications' icons.
class Desktop : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The desktop's light or dark preference, now.
    virtual Appearance appearance() const = 0;
    // Whether windows can be see-through (a compositing manager runs).
    virtual bool isCompositing() const = 0;
    // Opens a web or mail address in the user's application for it: http, https and mailto only;
    // any other address (file:, javascript:, a relative or malformed one) is refused and logged. True when handed on.
    virtual bool openURL(const QString& address) = 0;
    // Shows the file selected in the file manager (org.freedesktop.FileManager1.ShowItems over the
    // session D-Bus), else opens its folder; never opens the file itself. A file that is gone opens
    // the nearest folder on its path that is still there. Absolute paths only: a relative one would
    // be resolved against wherever the program was started. False, and the path logged, when there
    // is nothing to show.
    virtual bool revealFile(const QString& path) = 0;
    // The icon of an application, by its desktop-file id (the bundle identifier: the id without ".desktop")
    // when given, else by its display name; a null QIcon when there is none.
    virtual QIcon applicationIcon(const std::optional<QString>& bundleID, const QString& appName) = 0;
    // Opens the desktop's own accessibility settings, where it has a settings tool we know;
    // otherwise nothing happens.
    virtual void openAccessibilitySettings() = 0;
    // The native window that has the keyboard now, as the window system has it; 0 when none has.
    // The application learns of a change only when it reads the event, and a busy one reads it
    // late. Nothing where the window system does not say (offscreen, and desktops that never do).
    virtual std::optional<quintptr> keyboardFocusWindow() const { return std::nullopt; }

    // The address rule, shared by the backend and the fake so both refuse alike: true for http, https and
    // mailto addresses that parse (QUrl in StrictMode) and, for http(s), have a host.
    static bool isOpenable(const QString& address);
    // The path rule, shared alike: an absolute path ("/..."); never "~", a relative path or an address.
    static bool isRevealable(const QString& path);

Q_SIGNALS:
    void appearanceChanged();
};

} // namespace vellicord
