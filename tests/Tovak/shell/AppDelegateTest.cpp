#include "Tovak/shell/AppDelegate.h"

#include "Tovak/export/UISurfaceCanvas.h"
#include "Tovak/kit/AppNotification.h"
#include "Tovak/kit/NotificationCenter.h"
#include "Tovak/kit/ToggleSwitch.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/PersistenceStatusBanner.h"
#include "Tovak/library/RichMarkdownView.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/SidebarView.h"
#include "Tovak/library/UnavailableLibraryView.h"
#include "Tovak/library/WelcomeView.h"
#include "Tovak/shell/AppActions.h"
#include "Tovak/shell/CaptureRequest.h"
#include "Tovak/shell/CaptureToastView.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/MainWindow.h"
#include "Tovak/shell/StatusMenu.h"
#include "Tovak/shell/UpdateController.h"
#include "core/capture/CaptureError.h"
#include "core/capture/Clipboard.h"
#include "core/library/Store.h"
#include "core/library/StorePersistence.h"
#include "platform/CarbonKeys.h"
#include "support/FakeAccessibility.h"
#include "support/FakeHotKeys.h"
#include "support/FakeLoginItem.h"
#include "support/FakeSound.h"
#include "support/FakeWorkspace.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

constexpr qint64 ownPid = 4242;

const QString unreadableMessage = QStringLiteral(
    "Vellicord could not open the library. Restore a valid library or backup file, then relaunch Vellicord.");
const QString incompatibleMessage = QStringLiteral(
    "The library or backup uses a format this version of Vellicord cannot open. Both files are unchanged. Open "
    "them with a compatible version of Vellicord.");

enum class Library { empty, unreadable, incompatible };

CaptureResult notesResult()
{
    return {QStringLiteral("First line\nsecond"),
            std::nullopt,
            QStringLiteral("Notes"),
            QStringLiteral("org.notes"),
            QStringLiteral("https://example.com/a"),
            std::nullopt,
            std::nullopt};
}

QByteArray libraryFile(Library library)
{
    switch (library) {
    case Library::empty: return {};
    case Library::unreadable: return QByteArray("not a library");
    case Library::incompatible: return QByteArray(R"({"version": 3, "selections": []})");
    }
    return {};
}

// One delegate over fakes; the capture answers what the test sets, and can be held until released.
struct Harness : ViewFakes {
    FakeHotKeys keys;
    std::unique_ptr<HotKeyManager> hotKeys;
    FakeWorkspace workspace;
    FakeSound sound;
    FakeLoginItem loginItem;
    UpdateController updates{BundleInfo{}};
    QStringList log;
    QStringList alerts;
    QStringList alertButtons;
    std::atomic<int> captures = 0;
    SelectionCapture::Outcome outcome = notesResult();
    std::mutex mutex;
    std::condition_variable released;
    bool hold = false;
    bool throws = false;
    // The capture needs the main thread once, as putting the clipboard back does.
    bool mainThreadRoundTrip = false;
    std::atomic<bool> roundTripDone = false;
    bool tray;
    std::unique_ptr<AppDelegate> delegate;

    explicit Harness(Library library = Library::empty, bool tray = true)
        : ViewFakes(libraryFile(library))
        , tray(tray)
    {
        workspace.frontmost = RunningApplication{77, QStringLiteral("Notes"), QStringLiteral("org.notes")};
        makeDelegate();
    }

    // A delegate (again) over the same fakes, with the shortcut manager reading the defaults anew.
    void makeDelegate()
    {
        delegate.reset();
        hotKeys = std::make_unique<HotKeyManager>(keys, defaults);
        delegate = std::make_unique<AppDelegate>(AppDelegate::Services{
            .store = *store,
            .pasteboard = pasteboard,
            .scheduler = time,
            .clock = time,
            .defaults = defaults,
            .desktop = desktop,
            .accessibility = accessibility,
            .workspace = workspace,
            .sound = sound,
            .hotKeys = *hotKeys,
            .loginItem = loginItem,
            .updates = updates,
            .fileSystem = files,
            .capture = [this]() -> SelectionCapture::Outcome {
                ++captures;
                std::unique_lock lock(mutex);
                released.wait(lock, [this] { return !hold; });
                if (throws)
                    throw std::runtime_error("unexpected");
                if (mainThreadRoundTrip) {
                    auto done = std::make_shared<std::promise<void>>();
                    QMetaObject::invokeMethod(
                        qApp, [done] { done->set_value(); }, Qt::QueuedConnection);
                    roundTripDone = done->get_future().wait_for(3s) == std::future_status::ready;
                }
                return outcome;
            },
            .bundle = BundleInfo{QStringLiteral("com.ruvo.vellicord"), {}, {}, {}, {}},
            .libraryPath = libraryPath,
            .processId = ownPid,
            .log = [this](const QString& line) { log.append(line); },
            .runModal =
                [this](QMessageBox& box) {
                    alerts.append(box.text() + QStringLiteral(" | ") + box.informativeText());
                    for (QAbstractButton* button : box.buttons())
                        alertButtons.append(button->text());
                    return 0;
                },
            .trayAvailable = tray,
        });
    }

    CaptureRequest& request() { return delegate->captureRequest(); }

    ~Harness()
    {
        release();
        delegate.reset();
    }

    void release()
    {
        std::lock_guard lock(mutex);
        hold = false;
        released.notify_all();
    }

    void finishCapture()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !request().isCapturing(); }));
    }

    std::optional<CaptureToastView::Content> toast()
    {
        QWidget* panel = request().toast().panel();
        if (!panel)
            return std::nullopt;
        auto* view = dynamic_cast<CaptureToastView*>(panel);
        if (!view)
            view = panel->findChild<CaptureToastView*>();
        if (!view)
            return std::nullopt;
        return view->content();
    }
};

} // namespace

TEST(AppDelegate, RefusalsComeInTheirOrderWithTheirFeedback)
{
    struct Case {
        const char* name;
        Library library;
        bool trusted;
        std::optional<RunningApplication> front;
        std::optional<QString> panel; // the failure message, when a panel is shown
        int beeps;
        int alerts;
        bool window;
        bool captures;
    };
    const RunningApplication us{qint32(ownPid), QStringLiteral("Vellicord"), QStringLiteral("com.ruvo.vellicord")};
    const RunningApplication anonymous{91, std::nullopt, std::nullopt};
    const Case cases[] = {
        {"unreadable library wins over missing permission", Library::unreadable, false, us, unreadableMessage, 1, 0,
         true, false},
        {"incompatible library", Library::incompatible, true, anonymous, incompatibleMessage, 1, 0, true, false},
        {"missing permission: the alert only", Library::empty, false, us, std::nullopt, 0, 1, false, false},
        {"our own window in front", Library::empty, true, us, CaptureRequest::ownAppInFrontMessage(), 1, 0, false,
         false},
        {"an application without name or identifier is not us", Library::empty, true, anonymous, std::nullopt, 0, 0,
         false, true},
        {"no frontmost application is left to the capture", Library::empty, true, std::nullopt, std::nullopt, 0, 0,
         false, true},
    };
    for (const Case& c : cases) {
        Harness h(c.library);
        h.accessibility.trusted = c.trusted;
        h.workspace.frontmost = c.front;
        h.request().captureNow();
        if (c.captures)
            h.finishCapture();
        EXPECT_EQ(h.captures.load(), c.captures ? 1 : 0) << c.name;
        EXPECT_EQ(h.sound.beeps, c.beeps) << c.name;
        EXPECT_EQ(h.alerts.size(), c.alerts) << c.name;
        EXPECT_EQ(h.delegate->mainWindow() != nullptr, c.window) << c.name;
        if (c.panel) {
            const auto toast = h.toast();
            ASSERT_TRUE(toast) << c.name;
            EXPECT_FALSE(toast->success) << c.name;
            EXPECT_EQ(toast->title, QStringLiteral("Nothing saved")) << c.name;
            EXPECT_EQ(toast->snippet, *c.panel) << c.name;
            EXPECT_FALSE(toast->source) << c.name;
        }
        if (!c.captures) {
            EXPECT_TRUE(h.log.isEmpty()) << c.name << ": " << qPrintable(h.log.join(u'|'));
        }
        EXPECT_FALSE(h.request().isCapturing()) << c.name;
    }
    Harness h;
    h.accessibility.trusted = false;
    h.request().captureNow();
    ASSERT_EQ(h.alerts.size(), 1);
    EXPECT_EQ(h.alerts.first(),
              QStringLiteral("Vellicord needs Accessibility access | To read your selected text and capture formatted "
                             "copies, Vellicord must have Accessibility permission.\n\nRun Vellicord on an X display "
                             "with the XTEST extension (an X11 session, or XWayland), then try again."));
}

TEST(AppDelegate, CompletedCapturesAreSavedAndConfirmed)
{
    struct Case {
        const char* name;
        bool collect;
        SelectionCapture::Outcome outcome;
        QStringList log;
        std::optional<CaptureToastView::Content> toast;
        int selections;
    };
    const Case cases[] = {
        {"saved",
         false,
         notesResult(),
         {QStringLiteral("Capture started"), QStringLiteral("Saved selection from Notes")},
         CaptureToastView::Content{true, QStringLiteral("Saved · Notes"), QStringLiteral("First line"),
                                   QStringLiteral("https://example.com/a")},
         1},
        {"saved and collected into the prompt",
         true,
         notesResult(),
         {QStringLiteral("Capture started"), QStringLiteral("Saved selection from Notes + prompt")},
         CaptureToastView::Content{true, QStringLiteral("Saved · Notes"), QStringLiteral("First line"),
                                   QStringLiteral("added to Prompt · https://example.com/a")},
         1},
        {"no selection: the detail stays in the log of the capture",
         false,
         CaptureError::noSelection(QStringLiteral("app=Notes pid=77 changed=false")),
         {QStringLiteral("Capture started"),
          QStringLiteral("Capture failed: No text was selected in the frontmost application.")},
         CaptureToastView::Content{false, QStringLiteral("Nothing saved"),
                                   QStringLiteral("No text was selected in the frontmost application."), std::nullopt},
         0},
        {"clipboard not restored",
         false,
         CaptureError::clipboardRestoreFailed(),
         {QStringLiteral("Capture started"),
          QStringLiteral("Capture failed: Capture was not saved because Vellicord could not restore your clipboard. "
                         "Copy the original content again.")},
         CaptureToastView::Content{false, QStringLiteral("Nothing saved"),
                                   QStringLiteral("Capture was not saved because Vellicord could not restore your "
                                                  "clipboard. Copy the original content again."),
                                   std::nullopt},
         0},
    };
    for (const Case& c : cases) {
        Harness h;
        h.store->setCollectIntoActiveDraft(c.collect);
        if (c.collect)
            h.store->ensureActiveDraft();
        h.outcome = c.outcome;
        h.request().captureNow();
        h.finishCapture();
        EXPECT_EQ(h.log, c.log) << c.name;
        ASSERT_EQ(h.store->selections().size(), c.selections) << c.name;
        const bool success = c.selections == 1;
        EXPECT_EQ(h.sound.pops, success ? 1 : 0) << c.name;
        EXPECT_EQ(h.sound.beeps, success ? 0 : 1) << c.name;
        const auto toast = h.toast();
        ASSERT_TRUE(toast) << c.name;
        EXPECT_EQ(toast->success, c.toast->success) << c.name;
        EXPECT_EQ(toast->title, c.toast->title) << c.name;
        EXPECT_EQ(toast->snippet, c.toast->snippet) << c.name;
        EXPECT_EQ(toast->source, c.toast->source) << c.name;
        if (success) {
            const Selection& saved = h.store->selections().first();
            EXPECT_EQ(saved.text, QStringLiteral("First line\nsecond")) << c.name;
            EXPECT_EQ(saved.markdown, saved.text) << c.name;
            EXPECT_EQ(saved.bundleID, QStringLiteral("org.notes")) << c.name;
            EXPECT_TRUE(saved.groupIDs.isEmpty()) << c.name;
            EXPECT_EQ(h.store->activeDraft().has_value() && !h.store->activeDraft()->entries.isEmpty(), c.collect)
                << c.name;
        }
    }
}

// A full disk: the capture is kept in memory and confirmed, and the failed save is published as
// the library's status (the window's storage banner shows it) instead of only being logged.
TEST(AppDelegate, ASaveThatFailsOnAFullDiskIsReported)
{
    using Op = FaultyFileSystem::Operation;
    Harness h;
    QSignalSpy statusChanges(h.store.get(), &Store::persistenceStatusChanged);
    for (const Op operation : {Op::createDirectory, Op::write, Op::syncFile})
        h.files.fail(operation, {}, ENOSPC);
    h.request().captureNow();
    h.finishCapture();
    ASSERT_TRUE(h.toast());
    EXPECT_EQ(h.toast()->title, QStringLiteral("Saved · Notes"));
    // The save that follows fails while the panel is up: it says so.
    h.settle();
    ASSERT_TRUE(h.toast());
    EXPECT_EQ(h.toast()->title, QStringLiteral("Kept, not yet on disk · Notes"));
    h.delegate->showMainWindow();
    h.settle();
    EXPECT_EQ(h.store->persistenceStatus(), StorePersistenceStatus::saveFailed);
    EXPECT_EQ(statusChanges.size(), 1);
    // The window says so above the list.
    const auto shownBanner = [&]() -> PersistenceStatusBanner* {
        for (auto* banner : h.delegate->mainWindow()->findChildren<PersistenceStatusBanner*>())
            if (banner->isVisible())
                return banner;
        return nullptr;
    };
    ASSERT_TRUE(shownBanner());
    EXPECT_EQ(shownBanner()->accessibleName(), QStringLiteral("Changes not saved"));
    EXPECT_TRUE(h.store->canModifyLibrary()) << "captures go on; the next save writes them all";
    EXPECT_FALSE(h.store->saveNow()) << "the save at quit fails too, and says so";
    // The user's Quit asks before losing even one change.
    h.delegate->actions().quit->trigger();
    EXPECT_EQ(h.alerts,
              QStringList{AppDelegate::unsavedChangesTitle()
                          + QStringLiteral(
                              " | Vellicord could not write 1 change to the library file. If you quit now, it will be "
                              "lost.\n\nMake room on the disk that holds the library, then quit again.")});
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(h.libraryPath).path()));
    // A quit that cannot ask (a signal, a logout) says in the log what it lost.
    h.delegate->applicationWillTerminate();
    EXPECT_TRUE(h.log.contains(QStringLiteral("Lost at quit: 1 change to the library could not be written to ")
                               + h.store->storeURL()));

    // A capture while the last save failed is kept, and the panel says it is not yet on disk.
    h.files.clearFailures();
    h.request().captureNow();
    h.finishCapture();
    ASSERT_TRUE(h.toast());
    EXPECT_FALSE(h.toast()->success);
    EXPECT_EQ(h.toast()->title, QStringLiteral("Kept, not yet on disk · Notes"));
    EXPECT_EQ(h.toast()->snippet, QStringLiteral("First line"));
    EXPECT_EQ(h.toast()->source, QStringLiteral("Vellicord could not save the latest changes."));
    EXPECT_EQ(h.log.last(), QStringLiteral("Saved selection from Notes (not yet on disk: the last save failed)"));
    h.settle();
    EXPECT_EQ(h.store->persistenceStatus(), StorePersistenceStatus::ready);
    EXPECT_FALSE(shownBanner());
    EXPECT_EQ(StorePersistence::decode(h.readAll(h.libraryPath)).selections.size(), 2);
    EXPECT_EQ(h.readAll(h.libraryPath), h.readAll(h.backupPath));
}

TEST(AppDelegate, CaptureThatFailsUnexpectedlyGetsTheGeneralMessage)
{
    Harness h;
    h.throws = true;
    h.request().captureNow();
    h.finishCapture();
    EXPECT_EQ(h.log.last(), QStringLiteral("Capture failed: Vellicord could not capture the selected text."));
    EXPECT_EQ(h.sound.beeps, 1);
    ASSERT_TRUE(h.toast());
    EXPECT_EQ(h.toast()->snippet, CaptureRequest::captureFailedMessage());
    EXPECT_TRUE(h.store->selections().isEmpty());
}

TEST(AppDelegate, RequestsDuringACaptureAreIgnoredAndQuitWaitsForIt)
{
    Harness h;
    h.hold = true;
    h.request().captureNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.captures.load() == 1; }));
    h.request().captureNow();
    h.request().captureNow();
    QCoreApplication::processEvents();
    EXPECT_EQ(h.captures.load(), 1);
    EXPECT_EQ(h.log, QStringList{QStringLiteral("Capture started")});
    EXPECT_EQ(h.sound.beeps, 0);
    EXPECT_FALSE(h.toast());

    // Quitting now waits for the capture, serving its clipboard work meanwhile, and keeps what it read.
    h.mainThreadRoundTrip = true;
    QThread* releaser = QThread::create([&] {
        QThread::msleep(50);
        h.release();
    });
    releaser->start();
    EXPECT_TRUE(h.delegate->applicationWillTerminate());
    releaser->wait();
    delete releaser;
    EXPECT_TRUE(h.roundTripDone);
    EXPECT_EQ(h.store->selections().size(), 1);
    EXPECT_EQ(h.log.last(), QStringLiteral("Vellicord terminated"));
    EXPECT_FALSE(h.request().isCapturing());
    // Accepted again once done.
    h.request().captureNow();
    h.finishCapture();
    EXPECT_EQ(h.captures.load(), 2);
}

TEST(AppDelegate, LaunchRegistersTheShortcutAndFollowsTheLaunchOptions)
{
    Harness h;
    h.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord"), QStringLiteral("-showWindowOnLaunch")});
    EXPECT_TRUE(h.hotKeys->isRegistered());
    EXPECT_EQ(h.store->selections().size(), 6);
    // Each is added in turn at the front, so the oldest ends first.
    EXPECT_EQ(h.store->selections().first().appName, QStringLiteral("PDF Expert"));
    h.time.advance(599ms);
    EXPECT_FALSE(h.delegate->mainWindow());
    h.time.advance(1ms);
    ASSERT_TRUE(h.delegate->mainWindow());
    EXPECT_EQ(h.delegate->mainWindow()->windowTitle(), QStringLiteral("Vellicord"));
    EXPECT_EQ(h.delegate->mainWindow()->minimumSize(), QSize(980, 600));
    // The window lists the samples.
    EXPECT_EQ(h.delegate->mainWindow()->contentView()->list()->model()->rowCount(), 6);
    // A shortcut press reaches the capture.
    h.keys.press();
    h.finishCapture();
    EXPECT_EQ(h.store->selections().size(), 7);

    h.delegate->applicationWillTerminate();
    EXPECT_FALSE(h.keys.grabbed);
    EXPECT_FALSE(h.hotKeys->isRegistered());

    // A library with captures gets no samples; without a tray the window is shown at once.
    Harness full(Library::empty, false);
    full.store->add(h.store->selections().first());
    full.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord"), QStringLiteral("-showWindowOnLaunch")});
    EXPECT_EQ(full.store->selections().size(), 1);
    ASSERT_TRUE(full.delegate->mainWindow());
    EXPECT_TRUE(full.delegate->mainWindow()->isVisible());
    EXPECT_FALSE(full.delegate->mainWindow()->contentView()->welcomeSheet());

    // An empty library is greeted; one that cannot be changed is not.
    for (const auto& [library, greeted] : {std::pair{Library::empty, true}, std::pair{Library::unreadable, false}}) {
        Harness fresh(library);
        fresh.delegate->showMainWindow();
        EXPECT_EQ(fresh.delegate->mainWindow()->contentView()->welcomeSheet() != nullptr, greeted);
    }
}

TEST(AppDelegate, TakenShortcutFallsBackToTheDefaultOrToNone)
{
    struct Case {
        const char* name;
        bool defaultTaken;
        QString line;
    };
    const HotKeyCombo chosen{40, CarbonKeys::commandKey};
    const HotKeyCombo fallback = HotKeyCombo::defaultCombo();
    for (const Case& c :
         {Case{"default free", false, QStringLiteral("Chosen hotkey was taken; fell back to ") + fallback.display()},
          Case{"default taken too", true, QStringLiteral("No hotkey could be registered")}}) {
        Harness h;
        h.keys.taken.insert({chosen.keyCode, chosen.modsCarbon});
        if (c.defaultTaken)
            h.keys.taken.insert({fallback.keyCode, fallback.modsCarbon});
        HotKeyManager::saveCombo(h.defaults, chosen);
        h.makeDelegate();
        h.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord")});
        EXPECT_EQ(h.log, QStringList{c.line}) << c.name;
        EXPECT_EQ(h.hotKeys->isRegistered(), !c.defaultTaken) << c.name;
    }
}

TEST(AppDelegate, LaunchAccessibilityPromptOnlyForAUsableLibrary)
{
    for (const auto& [library, expected] : {std::pair{Library::empty, 1}, std::pair{Library::unreadable, 0}}) {
        Harness h(library);
        h.accessibility.trusted = false;
        h.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord")});
        h.time.advance(399ms);
        EXPECT_TRUE(h.alerts.isEmpty());
        h.time.advance(1ms);
        EXPECT_EQ(h.alerts.size(), expected);
    }
}

TEST(AppDelegate, CaptureOnLaunchAsksAfterItsDelay)
{
    // Without a tray the window opens only once the capture has read the application in front.
    for (const bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "with a tray" : "without a tray");
        Harness h(Library::empty, tray);
        h.hold = true;
        h.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord"), QStringLiteral("-captureOnLaunch")});
        h.time.advance(1199ms);
        EXPECT_EQ(h.captures.load(), 0);
        h.time.advance(1ms);
        ASSERT_TRUE(QTest::qWaitFor([&] { return h.captures.load() == 1; }, 2000));
        EXPECT_FALSE(h.delegate->mainWindow());
        h.release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return h.store->selections().size() == 1; }, 2000));
        EXPECT_EQ(h.captures.load(), 1);
        EXPECT_EQ(h.delegate->mainWindow() && h.delegate->mainWindow()->isVisible(), !tray);
    }
    // A launch capture refused before it runs still lets the window open.
    Harness refused(Library::empty, false);
    refused.accessibility.trusted = false;
    refused.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord"), QStringLiteral("-captureOnLaunch")});
    refused.time.advance(1200ms);
    EXPECT_EQ(refused.captures.load(), 0);
    ASSERT_TRUE(refused.delegate->mainWindow());
    EXPECT_TRUE(refused.delegate->mainWindow()->isVisible());
}

// A click on the window while its sheet is up brings the sheet forward with the keys, also where
// the desktop cannot say which window has the keyboard (here, offscreen).
TEST(AppDelegate, ActivatingTheWindowHandsTheKeysToItsSheet)
{
    Harness h;
    h.delegate->showMainWindow();
    MainWindow* window = h.delegate->mainWindow();
    WelcomeView* sheet = window->contentView()->welcomeSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    QSignalSpy activations(qApp, &QGuiApplication::focusWindowChanged);
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations.size() >= 2; }));
    EXPECT_EQ(QApplication::activeWindow(), sheet);
}

// The window starts with the keys in the list, or in the search field while the list shows
// nothing, never on the toolbar's capture button (where the space bar would capture).
TEST(AppDelegate, KeysStartInTheListOrInTheSearchField)
{
    for (const bool captures : {false, true}) {
        Harness h;
        if (captures)
            h.store->add(Selection(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, h.time.now()));
        h.delegate->showMainWindow();
        ContentView* content = h.delegate->mainWindow()->contentView();
        EXPECT_EQ(h.delegate->mainWindow()->focusWidget(),
                  captures ? static_cast<QWidget*>(content->list()) : static_cast<QWidget*>(content->searchField()))
            << (captures ? "captures" : "none");
    }
}

// Control-F in a window on screen focuses the search field at once, so the query typed right after
// it lands there; a window being shown gets the request 0.35 s later, and the letters typed
// meanwhile reach the field, not the list.
TEST(AppDelegate, FocusSearchTakesTheKeysTypedRightAfterIt)
{
    Harness h;
    h.store->add(Selection(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                           std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, h.time.now()));
    QStringList posted;
    QObject::connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, h.delegate.get(),
                     [&](const QString& name) { posted.append(name); });
    h.delegate->actions().focusSearch->trigger();
    MainWindow* window = h.delegate->mainWindow();
    ASSERT_TRUE(window);
    QLineEdit* field = window->contentView()->searchField();
    QTest::keyClicks(window->contentView()->list(), QStringLiteral("ab"));
    h.time.advance(349ms);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(field->text(), QString());
    h.time.advance(1ms);
    EXPECT_EQ(posted, QStringList{AppNotification::vellicordFocusSearch});
    EXPECT_EQ(field->text(), QStringLiteral("ab"));
    EXPECT_EQ(window->focusWidget(), field);

    window->contentView()->list()->setFocus();
    h.delegate->actions().focusSearch->trigger();
    EXPECT_EQ(posted.size(), 2) << "at once";
    QTest::keyClicks(window->focusWidget(), QStringLiteral("c"));
    EXPECT_EQ(field->text(), QStringLiteral("c"));
}

// The application's keys reach every window, as Linux desktops have them: Close Window closes the
// window in front, the settings window as the main one; Quit quits from any window, also while a
// sheet holds the keyboard; Shift+F10 opens the menu of what holds the keyboard, as the Menu key.
TEST(AppDelegate, KeysReachEveryWindow)
{
    Harness h;
    h.store->add(Selection(QUuid::createUuid(), u"A passage"_qs, std::nullopt, u"App"_qs, std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt, {}, h.time.now()));
    const QUuid reading = h.store->addGroup(u"Reading"_qs, u"#FF9500"_qs)->id;
    QAction* quit = h.delegate->actions().quit;
    QObject::disconnect(quit, &QAction::triggered, h.delegate.get(), nullptr); // it would end the test's loops
    h.delegate->showMainWindow();
    ContentView& content = *h.delegate->mainWindow()->contentView();
    // The key pressed in `keys` in its window, brought forward; what came of it: a quit, the window
    // closed, or a menu (its first item).
    const auto press = [&](QWidget* keys, QKeyCombination key) {
        keys->window()->show();
        keys->window()->activateWindow();
        keys->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == keys->window(); }));
        QSignalSpy quits(quit, &QAction::triggered);
        QString came;
        QTimer::singleShot(0, [&came] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                came = u"menu "_qs + menu->actions().value(0)->text(), menu->close();
        });
        QTest::keyClick(keys, key.key(), key.keyboardModifiers());
        QCoreApplication::processEvents();
        if (!quits.isEmpty())
            came = u"quit"_qs;
        if (!keys->window()->isVisible())
            came = u"closed "_qs + keys->window()->windowTitle();
        return came;
    };
    const auto settings = [&] { return h.delegate->showSettings(), h.delegate->settingsWindow(); };
    const auto sheet = [&] { return content.state().requestNewGroup(), content.groupSheet()->focusWidget(); };
    const auto list = [&] { return content.state().setSidebarSelection(SidebarItem::allSelections()), content.list(); };
    const auto sidebar = [&] {
        return content.state().setSidebarSelection(SidebarItem::group(reading)), content.sidebar();
    };
    const struct {
        const char* name;
        std::function<QWidget*()> keys;
        QKeyCombination key;
        const char* came;
    } cases[] = {
        {"the settings window, Control-W", settings, Qt::CTRL | Qt::Key_W, "closed Settings"},
        {"the settings window, Control-Q", settings, Qt::CTRL | Qt::Key_Q, "quit"},
        {"a sheet, Control-Q", sheet, Qt::CTRL | Qt::Key_Q, "quit"},
        {"a sheet, Control-W", sheet, Qt::CTRL | Qt::Key_W, ""},
        {"the list, Control-Q", list, Qt::CTRL | Qt::Key_Q, "quit"},
        {"the list, Shift+F10", list, Qt::SHIFT | Qt::Key_F10, "menu Copy as Markdown"},
        {"the sidebar, Shift+F10", sidebar, Qt::SHIFT | Qt::Key_F10, "menu Add to Prompt"},
        {"the main window, Control-W", list, Qt::CTRL | Qt::Key_W, "closed Vellicord"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(press(c.keys(), c.key), QString::fromUtf8(c.came)) << c.name;
        if (QDialog* up = content.groupSheet())
            up->reject();
    }
}

// Each Edit item is enabled exactly when the view with the window's keys can perform it, as the
// keys move and as what that view can do changes; the keys of a text field stay its own.
TEST(AppDelegate, EditItemsFollowWhatTheViewWithTheKeysCanDo)
{
    Harness h;
    const QString address = u"https://example.com/"_qs + QString(3000, u'a');
    QList<QUuid> ids;
    for (const QString& text : {QStringLiteral("first passage"), QStringLiteral("second passage")}) {
        ids.append(QUuid::createUuid());
        h.store->add(Selection(ids.last(), text, std::nullopt, QStringLiteral("App"), std::nullopt, address,
                               std::nullopt, std::nullopt, {}, h.time.now()));
    }
    h.delegate->showMainWindow();
    MainWindow* window = h.delegate->mainWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ContentView* content = window->contentView();
    QMenu* edit = window->menuBar()->actions().value(1)->menu();
    ASSERT_EQ(edit->title(), QStringLiteral("Edit"));
    // Read as they stand, without opening the menu.
    const auto enabled = [edit] {
        QStringList names;
        for (QAction* item : edit->actions())
            if (!item->isSeparator() && item->isEnabled())
                names.append(item->text());
        return names.join(u", ");
    };
    const auto control = [window](Qt::Key key) { QTest::keyClick(window->focusWidget(), key, Qt::ControlModifier); };
    QLineEdit* field = content->searchField();
    QGuiApplication::clipboard()->setText(QStringLiteral("on the clipboard"));
    const auto select = [&](QList<QUuid> chosen) {
        content->state().setSelection({chosen.begin(), chosen.end()}, chosen[0]);
    };
    const auto doubleClick = [](QWidget* view) { QTest::mouseDClick(view, Qt::LeftButton); };
    struct Case {
        const char* name;
        std::function<void()> act;
        QString enabled;
    };
    const Case cases[] = {
        {"the list", [] {}, u"Select All"_qs},
        {"two rows selected", [&] { select(ids); }, u"Copy, Select All"_qs},
        {"Control-X, V, Z", [&] { control(Qt::Key_X), control(Qt::Key_V), control(Qt::Key_Z); },
         u"Copy, Select All"_qs},
        {"the sidebar", [&] { content->sidebar()->setFocus(); }, QString()},
        {"the search field", [&] { field->setFocus(); }, u"Paste"_qs},
        {"typed into", [&] { QTest::keyClicks(field, QStringLiteral("pa")); }, u"Undo, Paste, Select All"_qs},
        {"Control-A", [&] { control(Qt::Key_A); }, u"Undo, Cut, Copy, Paste"_qs},
        {"a password", [&] { field->setEchoMode(QLineEdit::Password), field->deselect(), control(Qt::Key_A); },
         u"Undo, Paste"_qs},
        {"shown, Control-Z", [&] { field->setEchoMode(QLineEdit::Normal), control(Qt::Key_Z); }, u"Redo, Paste"_qs},
        {"no text to paste", [] { QGuiApplication::clipboard()->clear(); }, u"Redo"_qs},
        {"the passage", [&] { content->inspector()->passage().setFocus(); }, u"Select All"_qs},
        {"Control-A", [&] { control(Qt::Key_A); }, u"Copy, Select All"_qs},
        {"the address", [&] { doubleClick(content->inspector()->findChild<QLabel*>(u"InspectorSource"_qs)); },
         u"Copy, Select All"_qs},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_EQ(enabled(), c.enabled) << c.name;
    }
    EXPECT_EQ(field->text(), QString()) << "Control-Z in the search field undoes";
    EXPECT_EQ(h.store->selections().size(), 2);
    control(Qt::Key_C);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), address);
    select({ids[1]});
    content->list()->setFocus();
    // The Edit menu opened and closed with Escape leaves the keys with the menu bar.
    QTest::mouseClick(window->menuBar(), Qt::LeftButton, {},
                      window->menuBar()->actionGeometry(edit->menuAction()).center());
    QTest::keyClick(edit, Qt::Key_Escape);
    ASSERT_EQ(window->focusWidget(), window->menuBar());
    control(Qt::Key_C);
    EXPECT_EQ(Clipboard::plainText(h.pasteboard).value_or(QString()), u"second passage"_qs);
}

TEST(AppDelegate, MenuCommandsFollowTheLibraryAndReachTheWindowLater)
{
    Harness blocked(Library::unreadable);
    blocked.delegate->menuNewPrompt();
    blocked.delegate->openPromptAction();
    blocked.delegate->toggleCollectingAction();
    EXPECT_FALSE(blocked.delegate->mainWindow());
    EXPECT_TRUE(blocked.log.isEmpty());

    QStringList posted;
    QObject::connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, blocked.delegate.get(),
                     [&](const QString& name) { posted.append(name); });
    blocked.delegate->actions().focusSearch->trigger();
    ASSERT_TRUE(blocked.delegate->mainWindow());
    EXPECT_TRUE(blocked.delegate->mainWindow()->isVisible());
    auto* unavailable = blocked.delegate->mainWindow()->findChild<UnavailableLibraryView*>();
    ASSERT_TRUE(unavailable && unavailable->isVisible());
    EXPECT_EQ(unavailable->accessibleDescription(), unreadableMessage);
    blocked.time.advance(349ms);
    EXPECT_TRUE(posted.isEmpty());
    blocked.time.advance(1ms);
    EXPECT_EQ(posted, QStringList{AppNotification::vellicordFocusSearch});

    // The library's commands are disabled in the window's menus too (the Edit items follow the view
    // with the keys).
    QStringList disabled;
    for (QAction* menu : blocked.delegate->mainWindow()->menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            if (menu->text() != QStringLiteral("Edit") && !item->isSeparator() && !item->isEnabled())
                disabled.append(item->text());
    EXPECT_EQ(disabled, (QStringList{QStringLiteral("New Prompt…"), QStringLiteral("Go to Prompt")}));

    // The same window comes back after it was closed.
    MainWindow* window = blocked.delegate->mainWindow();
    window->close();
    blocked.delegate->showMainWindow();
    EXPECT_EQ(blocked.delegate->mainWindow(), window);
    EXPECT_TRUE(window->isVisible());

    Harness h;
    h.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord")});
    h.log.clear();
    h.delegate->actions().collectIntoPrompt->trigger();
    EXPECT_TRUE(h.store->collectIntoActiveDraft());
    EXPECT_TRUE(h.delegate->actions().collectIntoPrompt->isChecked());
    h.delegate->toggleCollectingAction();
    EXPECT_FALSE(h.store->collectIntoActiveDraft());
    EXPECT_FALSE(h.delegate->actions().collectIntoPrompt->isChecked());
    EXPECT_EQ(h.log,
              (QStringList{QStringLiteral("Collect into Prompt: ON"), QStringLiteral("Collect into Prompt: OFF")}));

    h.delegate->actions().settings->trigger();
    QWidget* settings = h.delegate->settingsWindow();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings->minimumSize(), QSize(440, 300));
    settings->close();
    h.delegate->showSettings();
    EXPECT_EQ(h.delegate->settingsWindow(), settings);
}

namespace {

// Every text a user can read or hear on the widget and what it holds: labels, buttons, fields'
// placeholders, tooltips, accessible names and descriptions, and the items of its menus.
void collectTexts(QObject& object, QStringList& texts)
{
    const auto add = [&](const QString& text) {
        if (!text.isEmpty())
            texts.append(text);
    };
    if (auto* menu = qobject_cast<QMenu*>(&object)) {
        Q_EMIT menu->aboutToShow();
        for (QAction* item : menu->actions()) {
            add(item->text());
            add(item->toolTip());
            if (item->menu())
                collectTexts(*item->menu(), texts);
        }
    }
    if (auto* widget = qobject_cast<QWidget*>(&object)) {
        add(widget->toolTip());
        add(widget->accessibleName());
        add(widget->accessibleDescription());
        if (auto* label = qobject_cast<QLabel*>(widget))
            add(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            add(button->text());
            if (auto* push = qobject_cast<QPushButton*>(widget); push && push->menu())
                collectTexts(*push->menu(), texts);
        }
        if (auto* field = qobject_cast<QLineEdit*>(widget))
            add(field->placeholderText());
        for (QAction* action : widget->actions()) {
            add(action->text());
            add(action->toolTip());
            if (action->menu())
                collectTexts(*action->menu(), texts);
        }
    }
    for (QObject* child : object.children())
        collectTexts(*child, texts);
}

QStringList textsOf(QObject* object)
{
    QStringList texts;
    if (object)
        collectTexts(*object, texts);
    return texts;
}

} // namespace

// What the program says on a Linux desktop names this desktop's things, never the Mac's, and the
// shortcut it shows is the one registered, written as Linux desktops write it.
TEST(AppDelegate, TextsNameThisDesktopAndTheChosenShortcut)
{
    const QRegularExpression macNames(QStringLiteral(
        "\\bMac\\b|macOS|Finder|System Settings|System Preferences|Privacy & Security|Login Items|\\bDock\\b|"
        "\\bin Preview\\b|[⌘⌥⌃⇧↩⌫⎋⇥]"));
    struct Combination {
        const char* name;
        HotKeyCombo combo;
        QString shown;
    };
    const Combination combinations[] = {
        {"the default shortcut", HotKeyCombo::defaultCombo(), QStringLiteral("Ctrl+Alt+Super+C")},
        {"a shortcut chosen in the settings", {0x60, CarbonKeys::shiftKey}, QStringLiteral("Shift+F5")},
    };
    for (const Combination& combination : combinations) {
        Harness h;
        h.accessibility.trusted = false;
        h.loginItem.afterRegister = LoginItem::Status::requiresApproval;
        ASSERT_TRUE(h.hotKeys->registerCombo(combination.combo));
        h.delegate->applicationDidFinishLaunching({QStringLiteral("vellicord")});
        h.delegate->showAccessibilityPrompt();
        h.delegate->showMainWindow();
        MainWindow* window = h.delegate->mainWindow();
        ASSERT_TRUE(window && window->contentView()->welcomeSheet()) << combination.name;
        const QStringList firstRun = textsOf(window);
        window->contentView()->welcomeSheet()->accept();

        // A capture from a page and a file, inspected, and a prompt without sources.
        h.store->add(Selection(QUuid::createUuid(), QStringLiteral("Passage"), std::nullopt, QStringLiteral("Firefox"),
                               QStringLiteral("org.mozilla.firefox"), QStringLiteral("https://example.com/a"),
                               QStringLiteral("A page"), QStringLiteral("/home/ada/a.pdf"), {},
                               QDateTime::currentDateTimeUtc()));
        ContentView& content = *window->contentView();
        content.state().setSelection({h.store->selections().first().id}, h.store->selections().first().id);
        const QStringList library = textsOf(window) + textsOf(content.list()->contextMenu(0, window));
        h.store->ensureActiveDraft();
        content.state().setSidebarSelection(SidebarItem::prompt());

        h.delegate->showSettings();
        ToggleSwitch* launchAtLogin = nullptr;
        for (QAbstractButton* button : h.delegate->settingsWindow()->findChildren<QAbstractButton*>())
            launchAtLogin = launchAtLogin ? launchAtLogin : dynamic_cast<ToggleSwitch*>(button);
        ASSERT_TRUE(launchAtLogin) << combination.name;
        launchAtLogin->click();

        QStringList failures;
        for (const CaptureError& error :
             {CaptureError::noSelection(QString()), CaptureError::notTrusted(), CaptureError::noFrontmostApp(),
              CaptureError::chromePDF(), CaptureError::clipboardRestoreFailed(), CaptureError::unreadableFormat({})})
            failures.append(error.errorDescription());
        const QString hotkey = combination.shown;
        // The canvases the exported images are drawn from.
        UISurfaceCanvas emptyLibraryImage(h.delegate->viewServices(), UISurfaceCanvas::Mode::emptyLibrary());
        UISurfaceCanvas libraryImage(h.delegate->viewServices(),
                                     UISurfaceCanvas::Mode::library(h.store->selections().first().id));
        struct Surface {
            const char* name;
            QStringList texts;
            QStringList withShortcut; // texts of the surface that name the shortcut, exactly
        };
        const Surface surfaces[] = {
            {"tray menu", textsOf(h.delegate->statusMenu()), {QStringLiteral("Capture Selection  (%1)").arg(hotkey)}},
            {"main window at first run: welcome sheet, empty library, permission banner, toolbar",
             firstRun,
             {QStringLiteral("Select text in another app, then press %1 to save it with its source when available.")
                  .arg(hotkey),
              QStringLiteral("Run Vellicord on an X display to read selected text, then select anything on your "
                             "computer and press %1 to save it.")
                  .arg(hotkey),
              QStringLiteral("Capture the current selection (hotkey: %1)").arg(hotkey)}},
            {"main window with a capture: list, row menu, inspector and its menus", library, {}},
            {"main window with an empty prompt",
             textsOf(window),
             {QStringLiteral("No sources yet. Select text anywhere and press %1 with “Collect into Prompt” on (system "
                             "tray) to add it here — or import pasted text below.")
                  .arg(hotkey)}},
            {"settings window, launch at login turned on", textsOf(h.delegate->settingsWindow()), {hotkey}},
            {"accessibility alert", h.alerts + h.alertButtons, {}},
            {"capture failures", failures, {}},
            {"images of the library, whatever the shortcut",
             textsOf(&emptyLibraryImage) + textsOf(&libraryImage),
             {QStringLiteral("Run Vellicord on an X display to read selected text, then select anything on your "
                             "computer and press Alt+Shift+C to save it.")}},
        };
        for (const Surface& surface : surfaces) {
            EXPECT_GT(surface.texts.size(), 1) << combination.name << ", " << surface.name;
            for (const QString& text : surface.texts)
                EXPECT_FALSE(macNames.match(text).hasMatch())
                    << combination.name << ", " << surface.name << ": " << qPrintable(text);
            for (const QString& expected : surface.withShortcut)
                EXPECT_TRUE(surface.texts.contains(expected))
                    << combination.name << ", " << surface.name << ": no " << qPrintable(expected);
        }
        EXPECT_TRUE(h.alertButtons.contains(QStringLiteral("Open Accessibility Settings"))) << combination.name;
        EXPECT_TRUE(firstRun.contains(QStringLiteral("Open Accessibility Settings"))) << combination.name;
        EXPECT_TRUE(library.contains(QStringLiteral("Open Containing Folder"))) << combination.name;
    }
}
