#include "platform/qt/SystemSound.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>

namespace vellicord {

SystemSound::SystemSound()
    : player_(QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play")))
{
}

void SystemSound::playPop()
{
    play(QStringLiteral("message"));
}

void SystemSound::beep()
{
    play(QStringLiteral("bell"));
}

void SystemSound::play(const QString& soundId)
{
    // Started detached: a sound never holds up the main thread, and nothing waits for it.
    if (!player_.isEmpty()
        && QProcess::startDetached(player_, {QStringLiteral("--id=") + soundId,
                                             QStringLiteral("--description=Vellicord")}))
        return;
    QApplication::beep();
}

} // namespace vellicord
