#include "Tovak/kit/FrameAutosave.h"

#include "support/MemoryDefaults.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace vellicord;

TEST(FrameAutosave, FrameSavedOnHideAndRestoredNextTime)
{
    MemoryDefaults defaults;
    {
        QWidget window;
        FrameAutosave autosave(window, defaults, QStringLiteral("VellicordSettingsWindow"));
        EXPECT_FALSE(autosave.restored());
        window.setGeometry(40, 50, 520, 360);
        window.show();
        window.resize(600, 400);
        window.hide();
    }
    EXPECT_TRUE(defaults.values.contains(QStringLiteral("VellicordSettingsWindow")));

    QWidget window;
    FrameAutosave autosave(window, defaults, QStringLiteral("VellicordSettingsWindow"));
    EXPECT_TRUE(autosave.restored());
    EXPECT_EQ(window.size(), QSize(600, 400));

    QWidget other;
    EXPECT_FALSE(FrameAutosave(other, defaults, QStringLiteral("VellicordMainWindow")).restored());
}
