#pragma once

#include "platform/Sound.h"

#include <QString>

namespace vellicord {

// Sounds from the desktop's sound theme through canberra-gtk-play when it is installed;
// otherwise the display's bell.
class SystemSound final : public Sound {
public:
    SystemSound();

    void playPop() override;
    void beep() override;

private:
    void play(const QString& soundId);

    QString player_;
};

} // namespace vellicord
