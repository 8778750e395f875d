#include "platform/x11/X11Pasteboard.h"

#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/X11SelectionReader.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

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

// How a saved item is handed to Qt, which offers each format again under the same target name.
// Qt offers its "text/plain" as UTF8_STRING, STRING, TEXT and text/plain, so those four travel as
// one "text/plain" in UTF-8, taken from the best of them the item had.
QMimeData* mimeDataFor(const PasteboardItem& item)
{
    static const QStringList plainTargets{QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain"),
                                          QStringLiteral("STRING"), QStringLiteral("TEXT")};
    auto* mime = new QMimeData;
    QByteArray plain;
    qsizetype plainRank = plainTargets.size();
    for (const auto& [target, bytes] : item) {
        const qsizetype rank = plainTargets.indexOf(target);
        if (rank < 0) {
            mime->setData(target, bytes);
        } else if (rank < plainRank) {
            plainRank = rank;
            // STRING and TEXT are Latin-1 where they are not UTF-8 already.
            plain
                = rank >= 2 && QString::fromUtf8(bytes).toUtf8() != bytes ? QString::fromLatin1(bytes).toUtf8() : bytes;
        }
    }
    if (plainRank < plainTargets.size())
        mime->setData(QStringLiteral("text/plain"), plain);
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

} // namespace

X11Pasteboard::X11Pasteboard()
    : reader_(std::make_unique<X11SelectionReader>("CLIPBOARD"))
{
}

X11Pasteboard::~X11Pasteboard() = default;

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
    if (QThread::currentThread() == app->thread())
        return writeOnMainThread(items);
    // Waits for the main thread a bounded time: a main thread that is blocked (or already gone)
    // must not hold the capture forever. The write then still happens when it gets there.
    auto done = std::make_shared<std::promise<bool>>();
    std::future<bool> written = done->get_future();
    QMetaObject::invokeMethod(
        app, [this, done, items] { done->set_value(writeOnMainThread(items)); }, Qt::QueuedConnection);
    if (written.wait_for(mainThreadTimeout) != std::future_status::ready)
        return false;
    return written.get();
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
    // claim older than the current owner's. So Qt first catches up with the events that announced
    // that owner (the round trip makes sure they have arrived), and tries again if it was still behind.
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    for (int attempt = 0; attempt < claimAttempts; ++attempt) {
        if (native && native->connection()) {
            xcb_connection_t* qtConnection = native->connection();
            std::free(xcb_get_input_focus_reply(qtConnection, xcb_get_input_focus(qtConnection), nullptr));
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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
        QThread::msleep(10);
    }
    return false;
}

X11Pasteboard::Handover X11Pasteboard::keepAfterExit(const QString& keeperProgram)
{
    auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    const xcb_window_t owner = reader_->owner();
    if (owner == XCB_NONE || !ownedByQt(native, owner))
        return Handover::notOurs;
    X11Connection& x11 = reader_->connection();
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> manager(
        xcb_get_selection_owner_reply(x11.get(), xcb_get_selection_owner(x11.get(), x11.atom("CLIPBOARD_MANAGER")),
                                      nullptr),
        &std::free);
    if (manager && manager->owner != XCB_NONE)
        return Handover::manager;
    const QMimeData* held = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    const PasteboardItem item = held && held == lastMime_ ? lastWritten_ : itemFrom(held);
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
