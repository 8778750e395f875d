#include "platform/qt/SystemSound.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace vellicord;

// With canberra-gtk-play on the path, each sound is a theme sound played by it.
TEST(SystemSound, PlaysThemeSoundsThroughCanberra)
{
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("played"));
    const QString player = folder.filePath(QStringLiteral("canberra-gtk-play"));
    QFile script(player);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\n").arg(log).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.path().toUtf8() + ':' + path);
    SystemSound sound;
    qputenv("PATH", path);
    sound.playPop();
    sound.beep();

    QElapsedTimer clock;
    clock.start();
    QByteArray played;
    while (clock.elapsed() < 5000) {
        QFile file(log);
        if (file.open(QIODevice::ReadOnly))
            played = file.readAll();
        if (played.count('\n') == 2)
            break;
        QThread::msleep(20);
    }
    EXPECT_TRUE(played.contains("--id=message --description=Vellicord\n"));
    EXPECT_TRUE(played.contains("--id=bell --description=Vellicord\n"));
}
