#include "Tovak/shell/CaptureToastController.h"
#include "core/library/Selection.h"
#include "support/FakeDesktop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

Selection capture(std::optional<QString> url, std::optional<QString> path)
{
    return Selection(QUuid::createUuid(), QStringLiteral("\n  First line  \nsecond"), std::nullopt,
                     QStringLiteral("Notes"), std::nullopt, url, std::nullopt, path, {},
                     QDateTime::currentDateTimeUtc());
}

} // namespace

TEST(CaptureToast, SavedContentNamesTheAppTheHeadlineAndTheSource)
{
    const QString url = QStringLiteral("https://example.com/a");
    const QString path = QStringLiteral("/home/ada/notes.md");
    struct Case {
        const char* name;
        Selection selection;
        bool added;
        std::optional<QString> source;
    };
    const Case cases[] = {
        {"address, not added", capture(url, std::nullopt), false, url},
        {"path, not added", capture(std::nullopt, path), false, path},
        {"address wins over path", capture(url, path), false, url},
        {"nothing, not added", capture(std::nullopt, std::nullopt), false, std::nullopt},
        {"added, no detail", capture(std::nullopt, std::nullopt), true, QStringLiteral("added to Prompt")},
        {"added with address", capture(url, std::nullopt), true, QStringLiteral("added to Prompt · ") + url},
    };
    for (const Case& c : cases) {
        const CaptureToastView::Content content = CaptureToastController::savedContent(c.selection, c.added);
        EXPECT_TRUE(content.success) << c.name;
        EXPECT_EQ(content.title, QStringLiteral("Saved · Notes")) << c.name;
        EXPECT_EQ(content.snippet, QStringLiteral("First line  ")) << c.name; // Selection::headline
        EXPECT_EQ(content.source, c.source) << c.name;
    }
    const auto failure = CaptureToastController::failureContent(QStringLiteral("No frontmost application found."));
    EXPECT_FALSE(failure.success);
    EXPECT_EQ(failure.title, QStringLiteral("Nothing saved"));
    EXPECT_EQ(failure.snippet, QStringLiteral("No frontmost application found."));
    EXPECT_FALSE(failure.source);
}

TEST(CaptureToast, ANewPanelReplacesTheOldOneAtOnce)
{
    FakeDesktop desktop;
    CaptureToastController toast(desktop);
    toast.present(CaptureToastController::failureContent(QStringLiteral("first")));
    QPointer<QWidget> first = toast.panel();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(first->windowFlags() & Qt::WindowDoesNotAcceptFocus);

    toast.present(CaptureToastController::failureContent(QStringLiteral("second")));
    QPointer<QWidget> second = toast.panel();
    EXPECT_NE(first, second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_TRUE(second && second->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
}

TEST(CaptureToast, PanelFadesAwayAfterItsTime)
{
    FakeDesktop desktop;
    CaptureToastController toast(desktop);
    toast.present(CaptureToastController::failureContent(QStringLiteral("gone soon")));
    QPointer<QWidget> panel = toast.panel();
    QElapsedTimer clock;
    clock.start();
    while (panel && clock.elapsed() < 4000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(10);
    }
    EXPECT_FALSE(panel);
    EXPECT_GE(clock.elapsed(), CaptureToastController::visibleMs);
    EXPECT_EQ(toast.panel(), nullptr);
}

TEST(CaptureToast, PanelSitsAtTheTopCentreOfTheScreen)
{
    FakeDesktop desktop;
    CaptureToastController toast(desktop);
    toast.present(CaptureToastController::failureContent(QStringLiteral("placed")));
    QWidget* panel = toast.panel();
    ASSERT_TRUE(panel);
    const QRect visible = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = panel->geometry();
    EXPECT_LE(std::abs(frame.center().x() - visible.center().x()), 1);
    // The drawn panel (inside the shadow margin, raised 4 for the shadow's offset) is 8 below the top.
    EXPECT_EQ(frame.top() + int(static_cast<CaptureToastView*>(panel)->panelRect().top()), visible.top() + 8);
}
