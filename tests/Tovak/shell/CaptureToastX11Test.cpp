#include "Tovak/shell/CaptureToastController.h"
#include "platform/xdg/XdgDesktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <gtest/gtest.h>

using namespace vellicord;

// Xvfb runs no compositing manager: the panel is cut to its rounded shape instead of being
// drawn on a see-through window, which would show black around it.
TEST(CaptureToastX11, WithoutCompositingThePanelIsCutToShape)
{
    XdgDesktop desktop;
    CaptureToastController toast(desktop);
    toast.present(CaptureToastController::failureContent(QStringLiteral("No frontmost application found.")));
    auto* panel = static_cast<CaptureToastView*>(toast.panel());
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(panel->shadowMargin(), 0);
    EXPECT_FALSE(panel->mask().isEmpty());
    EXPECT_FALSE(panel->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(panel->mask().contains(panel->rect().center()));

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    EXPECT_FALSE(QGuiApplication::focusWindow());
    if (const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR"); !folder.isEmpty()) {
        const QRect area = panel->geometry().adjusted(-20, -8, 20, 20);
        QGuiApplication::primaryScreen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .save(folder + QStringLiteral("/toast-x11.png"));
    }
}
