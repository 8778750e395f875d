#include "platform/x11/X11Pasteboard.h"

#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/X11SelectionReader.h"
#include "platform/x11/X11SelectionServer.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include <unistd.h>
#include <xcb/xcb.h>

namespace vellicord {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int claimAttempts = 5;
constexpr std::chrono::milliseconds claimRetryDelay{10};

// Whether Qt offers each of the item's targets again with exactly its bytes. Qt makes STRING and
// TEXT in Latin-1 from its text, which it also gives for both UTF8_STRING and text/plain;
// text/x-moz-url from the first line of text/uri-list; application/x-color from a colour; PIXMAP
// and BITMAP from an image.
bool qtOffersExactly(const PasteboardItem& item)
{
    static const QStringList remade{QStringLiteral("STRING"),         QStringLiteral("TEXT"),
                                    QStringLiteral("text/x-moz-url"), QStringLiteral("application/x-color"),
                                    QStringLiteral("PIXMAP"),         QStringLiteral("BITMAP")};
    const QByteArray* plain = nullptr;
    for (const auto& [target, bytes] : item) {
        if (remade.contains(target))
            return false;
        if (target == u"UTF8_STRING" || target == u"text/plain") {
            if (plain && *plain != bytes)
                return false;
            plain = &bytes;
        }
    }
    return true;
}

// How an item Qt offers exactly is handed to it: UTF8_STRING travels as Qt's text, "text/plain".
QMimeData* mimeDataFor(const PasteboardItem& item)
{
    auto* mime = new QMimeData;
    for (const auto& [target, bytes] : item)
        mime->setData(target == u"UTF8_STRING" ? QStringLiteral("text/plain") : target, bytes);
    return mime;
}

// What Qt offers for content another part of the application (a text field's copy) gave it.
PasteboardItem itemFrom(const QMimeData* mime)
{
    PasteboardItem item;
    if (!mime)
        return item;
    for (const QString& format : mime->formats()) {
        if (format == u"text/plain") {
            const QString text = mime->text();
            for (const char* target : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain"})
                item.append({QString::fromLatin1(target), text.toUtf8()});
            item.append({QStringLiteral("STRING"), text.toLatin1()});
        } else if (!format.startsWith(u"application/x-qt")) {
            item.append({format, mime->data(format)});
        }
    }
    return item;
}

// Whether the window was made on Qt's own X connection (its id lies in the connection's range).
bool ownedByQt(QNativeInterface::QX11Application* native, xcb_window_t window)
{
    if (!native || !native->connection())
        return false;
    const xcb_setup_t* setup = xcb_get_setup(native->connection());
    return (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

// Asks the clipboard manager to save the clipboard's content now, as Qt does for what it owns as it
// closes its connection; whether it answered. Our own server answers it meanwhile.
bool askManagerToSave()
{
    const PasteboardData answer
        = X11SelectionReader("CLIPBOARD_MANAGER")
              .convert(QStringLiteral("SAVE_TARGETS"), Clock::now() + X11Pasteboard::managerWait);
    return answer.status != PasteboardData::Status::noAnswer;
}

} // namespace

X11Pasteboard::X11Pasteboard()
    : reader_(std::make_unique<X11SelectionReader>("CLIPBOARD"))
{
}

X11Pasteboard::~X11Pasteboard()
{
    std::lock_guard lock(servingMutex_);
    stopServing();
}

Clock::time_point X11Pasteboard::deadline() const
{
    const auto now = Clock::now();
    const auto perTarget = std::min(now + targetTimeout, readLimit_);
    return budgetEnd_ > now ? std::min(perTarget, budgetEnd_) : perTarget;
}

void X11Pasteboard::limitReads(std::optional<Clock::time_point> end)
{
    readLimit_ = end.value_or(Clock::time_point::max());
}

qint64 X11Pasteboard::changeCount()
{
    return reader_->changeCount();
}

std::optional<QList<QStringList>> X11Pasteboard::itemTargets()
{
    budgetEnd_ = Clock::now() + snapshotBudget;
    const std::optional<QStringList> targets = reader_->targets(deadline(), readLimit_);
    if (!targets)
        return std::nullopt;
    if (targets->isEmpty())
        return QList<QStringList>{};
    return QList<QStringList>{*targets};
}

PasteboardData X11Pasteboard::data(int item, const QString& target)
{
    if (item != 0)
        return {};
    if (budgetEnd_ <= Clock::now())
        return {PasteboardData::Status::noAnswer, {}};
    return reader_->convert(target, deadline(), readLimit_);
}

PasteboardData X11Pasteboard::dataForType(PasteboardType type)
{
    budgetEnd_ = {};
    const std::optional<QStringList> offered = reader_->targets(deadline(), readLimit_);
    if (!offered)
        return {};
    return PasteboardTypes::read(
        type, *offered, [this](const QString& target) { return reader_->convert(target, deadline(), readLimit_); });
}

bool X11Pasteboard::write(const QList<PasteboardItem>& items)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!reader_->isValid() || !qobject_cast<QGuiApplication*>(app))
        return false;
    if (!items.isEmpty() && !qtOffersExactly(items.first()))
        return serveExactly(items.first());
    {
        // Our own server's window would pass for Qt's where Qt's claim is checked.
        std::lock_guard lock(servingMutex_);
        stopServing();
    }
    if (QThread::currentThread() == app->thread())
        return writeOnMainThread(items);
    // Waits for the main thread a bounded time: a main thread that is blocked (or already gone)
    // must not hold the capture forever. The write then still happens when it gets there.
    auto done = std::make_shared<std::promise<bool>>();
    std::future<bool> written = done->get_future();
    QMetaObject::invokeMethod(
        app, [this, done, items] { writeAtTurnsOfTheLoop(items, done, claimAttempts); }, Qt::QueuedConnection);
    if (written.wait_for(mainThreadTimeout) != std::future_status::ready)
        return false;
    return written.get();
}

// Another thread's write comes right after another client took the clipboard (the capture puts
// back what the copy it sent replaced), when Qt may not have read that owner's events yet. Each
// try is a turn of the event loop of its own, so Qt reads them in between as it always does.
void X11Pasteboard::writeAtTurnsOfTheLoop(const QList<PasteboardItem>& items,
                                          const std::shared_ptr<std::promise<bool>>& done, int attempts)
{
    const bool written = writeOnMainThread(items);
    if (written || attempts <= 1) {
        done->set_value(written);
        return;
    }
    QTimer::singleShot(claimRetryDelay, QCoreApplication::instance(),
                       [this, done, items, attempts] { writeAtTurnsOfTheLoop(items, done, attempts - 1); });
}

bool X11Pasteboard::writeOnMainThread(const QList<PasteboardItem>& items)
{
    X11Connection& x11 = reader_->connection();
    if (items.isEmpty()) {
        // QClipboard can only give up content it owns; an empty clipboard is one without an owner.
        xcb_set_selection_owner(x11.get(), XCB_NONE, x11.atom("CLIPBOARD"), XCB_CURRENT_TIME);
        x11.roundTrip();
        return reader_->owner() == XCB_NONE;
    }
    // Qt claims the clipboard with the time of the last event it handled; the server refuses a
    // claim older than the current owner's. Nothing here runs the event loop to catch Qt up: a
    // write on the main thread is made inside the handler of a click or a key (a menu's item, whose
    // menu is deleted once it has closed), right after Qt handled that input, so Qt's time is the
    // user's; an owner that took the clipboard after it is newer than this copy, which fails.
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    QMimeData* mime = mimeDataFor(items.first());
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
    // Qt only warns when the server refused it the ownership; the owner tells. Qt's clipboard
    // window is one of its connection's resources; a display reached over TCP cannot name
    // the process behind a window, so the process id serves only as a second check.
    const xcb_window_t owner = reader_->owner();
    if (owner != XCB_NONE && (ownedByQt(native, owner) || x11.windowPid(owner) == qint32(::getpid()))) {
        lastWritten_ = items.first();
        lastMime_ = mime;
        return true;
    }
    return false;
}

bool X11Pasteboard::serveExactly(const PasteboardItem& item)
{
    std::lock_guard lock(servingMutex_);
    auto server = std::make_unique<X11SelectionServer>("CLIPBOARD");
    if (!server->take(item, reader_->owner()))
        return false;
    stopServing();
    X11SelectionServer* serving = server.get();
    serving_ = std::make_unique<Serving>(std::move(server), std::thread([serving] { serving->serve(); }), item);
    return true;
}

void X11Pasteboard::stopServing()
{
    if (!serving_)
        return;
    serving_->server->stop();
    serving_->thread.join();
    serving_.reset();
}

X11Pasteboard::Handover X11Pasteboard::keepAfterExit(const QString& keeperProgram)
{
    auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    const xcb_window_t owner = reader_->owner();
    std::lock_guard lock(servingMutex_);
    const bool served = serving_ && owner == serving_->server->window();
    if (owner == XCB_NONE || (!served && !ownedByQt(native, owner)))
        return Handover::notOurs;
    X11Connection& x11 = reader_->connection();
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> manager(
        xcb_get_selection_owner_reply(x11.get(), xcb_get_selection_owner(x11.get(), x11.atom("CLIPBOARD_MANAGER")),
                                      nullptr),
        &std::free);
    if (manager && manager->owner != XCB_NONE && (!served || askManagerToSave()))
        return Handover::manager;
    const QMimeData* held = served ? nullptr : QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    const PasteboardItem item = served ? serving_->item : held && held == lastMime_ ? lastWritten_ : itemFrom(held);
    if (item.isEmpty())
        return Handover::notOurs;
    if (!ClipboardKeeper::start(keeperProgram, item, owner))
        return Handover::failed;
    const auto deadline = Clock::now() + keeperWait;
    while (reader_->owner() == owner) {
        if (Clock::now() >= deadline)
            return Handover::keeperStarting;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return Handover::keeper;
}

} // namespace vellicord
