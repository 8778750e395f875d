#include "platform/atspi/AtspiAccessibility.h"

#include "core/foundation/Address.h"
#include "core/foundation/Text.h"
#include "platform/x11/X11SelectionReader.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <atspi/atspi.h>

// After atspi.h, which brings the GLib and D-Bus types it uses.
#include <atspi/atspi-gmain.h>

namespace vellicord {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int maxSearchedElements = 4000;
// Elements inside a selected text read for their own selections, and how deep they may be nested.
constexpr int maxEmbeddedElements = 200;
constexpr int maxEmbeddingDepth = 8;

// libatspi is not made for use from several threads at once; every call goes through this lock.
std::recursive_mutex atspiMutex;

GMainContext* atspiContext = nullptr;
DBusConnection* accessibilityBus = nullptr;

bool isGuiThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return !application || QThread::currentThread() == application->thread();
}

// Work that a thread holding the lock waits for the GUI thread to do. A wait is given up when the
// object goes: the GUI thread may be the one waiting for us then.
struct GuiWork {
    std::function<void()> work;
    bool done = false;
};
std::mutex guiWorkMutex;
std::condition_variable guiWorkDone;
std::vector<std::shared_ptr<GuiWork>> guiWork;
bool guiWaitsAbandoned = false;

void doGuiWork()
{
    std::lock_guard lock(guiWorkMutex);
    for (const std::shared_ptr<GuiWork>& call : guiWork) {
        call->work();
        call->done = true;
    }
    guiWork.clear();
    guiWorkDone.notify_all();
}

// Runs the work on the GUI thread and waits for it; false when the wait was given up. libatspi first
// hands its connections to GLib's default context, which the GUI thread's event loop dispatches;
// moving one to our context from another thread while that loop handles it crashes, so the set-up
// and the moves run there, between two turns of its loop.
bool onGuiThread(std::function<void()> work)
{
    if (isGuiThread()) {
        work();
        return true;
    }
    const auto call = std::make_shared<GuiWork>(GuiWork{std::move(work)});
    std::unique_lock lock(guiWorkMutex);
    guiWork.push_back(call);
    QMetaObject::invokeMethod(QCoreApplication::instance(), doGuiWork, Qt::QueuedConnection);
    guiWorkDone.wait(lock, [&] { return call->done || guiWaitsAbandoned; });
    std::erase(guiWork, call);
    return call->done;
}

// The lock of every libatspi call. A reader on the GUI thread (a test's) may wait for it while the
// thread that holds it waits for the GUI thread: it does that work meanwhile.
class AtspiLock {
public:
    AtspiLock()
    {
        if (!isGuiThread()) {
            atspiMutex.lock();
            return;
        }
        while (!atspiMutex.try_lock()) {
            doGuiWork();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~AtspiLock() { atspiMutex.unlock(); }
    AtspiLock(const AtspiLock&) = delete;
    AtspiLock& operator=(const AtspiLock&) = delete;
};

bool setUpAtspi()
{
    if (atspi_init() > 1)
        return false;
    accessibilityBus = atspi_get_a11y_bus();
    if (!accessibilityBus)
        return false;
    // AT-SPI's messages are handled on a context of our own, under the lock (by the capture's
    // thread and the dispatching one), never by the GUI thread's GLib loop while a capture reads
    // the library's caches.
    atspiContext = g_main_context_new();
    atspi_set_main_context(atspiContext);
    const int longest = int(AtspiAccessibility::longestCall.count());
    atspi_set_timeout(longest, longest);
    return true;
}

void keepApplicationConnectionsOurs();

// The time the calls since the last grant may wait; one that fails after all of it did not get its
// answer in time. (Under the lock, like the calls.)
Clock::time_point grantedAt;
std::chrono::milliseconds granted{0};
bool callTimedOut = false;

// Lets the next calls wait for their answers until the deadline, a busy application being slow,
// but each no longer than the longest call; false when the deadline has passed.
bool allowCallsUntil(Clock::time_point deadline)
{
    keepApplicationConnectionsOurs();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= std::chrono::milliseconds::zero()) {
        callTimedOut = true;
        return false;
    }
    granted = std::min(left, AtspiAccessibility::longestCall);
    grantedAt = Clock::now();
    atspi_set_timeout(int(granted.count()), int(granted.count()));
    return true;
}

bool atspiAvailable()
{
    static const bool available = [] {
        bool result = false;
        onGuiThread([&result] { result = setUpAtspi(); });
        return result;
    }();
    return available;
}

struct Ref {
    AtspiAccessible* object = nullptr;
    explicit Ref(AtspiAccessible* o = nullptr)
        : object(o)
    {
    }
    Ref(const Ref&) = delete;
    Ref(Ref&& other) noexcept
        : object(std::exchange(other.object, nullptr))
    {
    }
    Ref& operator=(Ref&& other) noexcept
    {
        std::swap(object, other.object);
        return *this;
    }
    ~Ref()
    {
        if (object)
            g_object_unref(object);
    }
};

// Whether the desktop's list of applications was asked for, by the look-up of an application and
// within its time.
bool desktopKnown = false;

// Applications whose toolkit offers a connection of its own (GTK's, Firefox's) are asked over it,
// and libatspi hands each such connection to GLib's default context, that is to the GUI thread's
// event loop. That loop would then read and dispatch the answers while a capture's call waits for
// them on the same connection: the call waits out its whole time and fails, though the answer came
// in a few milliseconds, and libatspi's caches change on two threads at once. So each of them is
// moved to our context as soon as it appears. (Under the lock, like the calls.)
void keepApplicationConnectionsOurs()
{
    static std::vector<DBusConnection*> ours;
    if (!desktopKnown)
        return;
    Ref desktop(atspi_get_desktop(0));
    if (!desktop.object || !desktop.object->children)
        return;
    for (guint i = 0; i < desktop.object->children->len; ++i) {
        const auto* app = static_cast<AtspiAccessible*>(g_ptr_array_index(desktop.object->children, i));
        DBusConnection* connection = app && app->parent.app ? app->parent.app->bus : nullptr;
        if (!connection || connection == accessibilityBus
            || std::find(ours.begin(), ours.end(), connection) != ours.end())
            continue;
        if (!onGuiThread([connection] { atspi_dbus_connection_setup_with_g_main(connection, atspiContext); }))
            return;
        // Held, so that a later connection is never taken for this one.
        ours.push_back(dbus_connection_ref(connection));
    }
}

bool grantRanOut()
{
    return Clock::now() - grantedAt >= granted;
}

bool ok(GError*& error)
{
    if (!error)
        return true;
    callTimedOut = callTimedOut || grantRanOut();
    g_clear_error(&error);
    return false;
}

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    AtspiStateSet* states = atspi_accessible_get_state_set(object);
    if (!states)
        return false;
    const bool result = atspi_state_set_contains(states, state);
    g_object_unref(states);
    return result;
}

QString takeString(gchar* text)
{
    QString result = QString::fromUtf8(text ? text : "");
    g_free(text);
    return result;
}

// One of an element's interfaces; null when it has none, or when libatspi could not ask which it has,
// which it tells only by taking the whole time granted.
template<typename Interface> Interface* interfaceOf(AtspiAccessible* object, Interface* (*get)(AtspiAccessible*))
{
    Interface* found = get(object);
    callTimedOut = callTimedOut || (!found && grantRanOut());
    return found;
}

// Whether the element is a password field; nullopt when it did not say.
std::optional<bool> isPasswordText(AtspiAccessible* object)
{
    GError* error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(object, &error);
    if (!ok(error))
        return std::nullopt;
    return role == ATSPI_ROLE_PASSWORD_TEXT;
}

class AtspiElement final : public AccessibilityElement {
public:
    AtspiElement(Ref object, Clock::time_point deadline)
        : object_(std::move(object))
        , deadline_(deadline)
    {
    }

    std::optional<QString> stringAttribute(QStringView name) override
    {
        const AtspiLock lock;
        callTimedOut = false;
        std::optional<QString> value = read(name);
        timedOut_ = !value && callTimedOut;
        return value;
    }

    std::unique_ptr<AccessibilityElement> parent() override
    {
        const AtspiLock lock;
        callTimedOut = false;
        std::unique_ptr<AccessibilityElement> up = readParent();
        timedOut_ = !up && callTimedOut;
        return up;
    }

    bool lastReadTimedOut() const override { return timedOut_; }

private:
    std::optional<QString> read(QStringView name)
    {
        if (!allowCallsUntil(deadline_))
            return std::nullopt;
        if (name == u"AXSelectedText") {
            embeddedRead_ = 0;
            return selectionOf(object_.object, 0);
        }
        if (name == u"AXSubrole")
            return isPasswordText(object_.object) == true ? std::optional<QString>(QStringLiteral("AXSecureTextField"))
                                                          : std::nullopt;
        if (name == u"AXTitle")
            return documentName();
        const std::optional<QString> address = documentAddress();
        if (!address)
            return std::nullopt;
        // A browser's window is a document too, of its own pages (chrome:, about:): neither the
        // page's address nor a file the user opened.
        const Address::DocumentKind kind = Address::documentKind(*address);
        if (name == u"AXURL" && kind == Address::DocumentKind::webPage)
            return address;
        if (name == u"AXDocument" && kind == Address::DocumentKind::localFile)
            return address;
        return std::nullopt;
    }

    std::unique_ptr<AccessibilityElement> readParent()
    {
        if (!allowCallsUntil(deadline_))
            return nullptr;
        // A web page's document is as far as a capture reads: above it stands the browser's own
        // interface, which holds neither the page's selection nor a file of the user's. Walking it
        // would only cost calls, each of which a busy browser may take its time to answer.
        if (const std::optional<QString> address = documentAddress();
            address && Address::documentKind(*address) == Address::DocumentKind::webPage)
            return nullptr;
        GError* error = nullptr;
        Ref up(atspi_accessible_get_parent(object_.object, &error));
        if (!ok(error) || !up.object)
            return nullptr;
        if (atspi_accessible_get_role(up.object, nullptr) == ATSPI_ROLE_DESKTOP_FRAME)
            return nullptr;
        return std::make_unique<AtspiElement>(std::move(up), deadline_);
    }

    // What is selected in an element's text: empty when it tells that nothing is, nullopt when it
    // has no text or did not answer. Nothing of a password field is read, not even its mask: it has
    // nothing selected; nor of an element that does not tell whether it is one: it did not answer.
    std::optional<QString> selectionOf(AtspiAccessible* object, int depth)
    {
        const std::optional<bool> secret = isPasswordText(object);
        if (!secret)
            return std::nullopt;
        if (*secret) {
            ++passwordsLeftOut_;
            return QString();
        }
        AtspiText* text = interfaceOf(object, atspi_accessible_get_text_iface);
        if (!text)
            return std::nullopt;
        const int passwordsBefore = passwordsLeftOut_;
        GError* error = nullptr;
        const gint count = atspi_text_get_n_selections(text, &error);
        bool answered = ok(error);
        bool spansText = false;
        QStringList parts;
        for (gint i = 0; answered && i < count; ++i) {
            AtspiRange* range = allowCallsUntil(deadline_) ? atspi_text_get_selection(text, i, &error) : nullptr;
            answered = ok(error) && range;
            if (answered && range->end_offset > range->start_offset) {
                spansText = true;
                QString part = takeString(atspi_text_get_text(text, range->start_offset, range->end_offset, &error));
                answered = ok(error);
                if (answered)
                    parts.append(withEmbeddedSelections(object, text, range->start_offset, part, depth));
            }
            g_free(range);
        }
        g_object_unref(text);
        const QString selected = parts.join(u'\n');
        // A selection of a password field and the space around it is no selection.
        if (passwordsLeftOut_ > passwordsBefore && Text::isBlank(selected))
            return QString();
        if (!answered)
            return parts.isEmpty() ? std::nullopt : std::optional<QString>(selected);
        // A text that tells it has no selection has nothing selected: an empty value, not none. One
        // that tells of a selected range of which nothing could be read has not told what is selected.
        if (depth == 0 && spansText && selected.isEmpty())
            return std::nullopt;
        return selected;
    }

    // Each element inside a text (a paragraph of a page, a link in a paragraph) stands in it as one
    // object replacement character, in the order of the text's children, and what of it is
    // selected is that element's own selection. One that does not answer keeps its character.
    QString withEmbeddedSelections(AtspiAccessible* object, AtspiText* text, gint start, const QString& part, int depth)
    {
        const QChar placeholder = QChar::ObjectReplacementCharacter;
        if (!part.contains(placeholder) || depth >= maxEmbeddingDepth)
            return part;
        // The child of the part's first placeholder comes after those of the placeholders before it.
        gint child = 0;
        if (start > 0) {
            if (!allowCallsUntil(deadline_))
                return part;
            GError* error = nullptr;
            const QString before = takeString(atspi_text_get_text(text, 0, start, &error));
            if (!ok(error))
                return part;
            child = gint(before.count(placeholder));
        }
        QString result;
        bool afterChild = false;
        for (const QChar c : part) {
            if (c != placeholder) {
                result += c;
                afterChild = false;
                continue;
            }
            const std::optional<QString> inner = childSelection(object, child++, depth);
            if (!inner) {
                result += c;
                afterChild = false;
            } else if (!inner->isEmpty()) {
                // Elements side by side are blocks (paragraphs): a line each.
                if (afterChild)
                    result += u'\n';
                result += *inner;
                afterChild = true;
            }
        }
        return result;
    }

    // Nullopt when the child could not be read; empty when nothing of it is selected text.
    std::optional<QString> childSelection(AtspiAccessible* object, gint index, int depth)
    {
        if (++embeddedRead_ > maxEmbeddedElements || !allowCallsUntil(deadline_))
            return std::nullopt;
        GError* error = nullptr;
        Ref child(atspi_accessible_get_child_at_index(object, index, &error));
        if (!ok(error) || !child.object)
            return std::nullopt;
        // An image, say: nothing of it is text; unless libatspi could not ask.
        AtspiText* text = interfaceOf(child.object, atspi_accessible_get_text_iface);
        if (!text)
            return grantRanOut() ? std::nullopt : std::optional<QString>(QString());
        g_object_unref(text);
        return selectionOf(child.object, depth + 1);
    }

    // The accessible name of a document: a web page's title.
    std::optional<QString> documentName()
    {
        AtspiDocument* document = interfaceOf(object_.object, atspi_accessible_get_document_iface);
        if (!document)
            return std::nullopt;
        g_object_unref(document);
        GError* error = nullptr;
        QString name = takeString(atspi_accessible_get_name(object_.object, &error));
        if (!ok(error) || name.isEmpty())
            return std::nullopt;
        return name;
    }

    // Asked once: the same answer serves the address, the document path and the walk up. One that
    // did not come in time is asked for again.
    std::optional<QString> documentAddress()
    {
        if (address_)
            return *address_;
        std::optional<QString> address = readDocumentAddress();
        if (address || !callTimedOut)
            address_ = address;
        return address;
    }

    std::optional<QString> readDocumentAddress()
    {
        AtspiDocument* document = interfaceOf(object_.object, atspi_accessible_get_document_iface);
        if (!document)
            return std::nullopt;
        std::optional<QString> result;
        for (const char* key : {"DocURL", "URI"}) {
            GError* error = nullptr;
            gchar* value = atspi_document_get_document_attribute_value(document, const_cast<gchar*>(key), &error);
            if (!ok(error)) {
                g_free(value);
                break;
            }
            if (QString text = takeString(value); !text.isEmpty()) {
                result = text;
                break;
            }
        }
        g_object_unref(document);
        return result;
    }

    Ref object_;
    Clock::time_point deadline_;
    std::optional<std::optional<QString>> address_;
    int embeddedRead_ = 0;
    int passwordsLeftOut_ = 0;
    bool timedOut_ = false;
};

Ref applicationOf(qint32 pid, Clock::time_point deadline)
{
    Ref desktop(atspi_get_desktop(0));
    if (!desktop.object)
        return Ref();
    desktopKnown = true;
    GError* error = nullptr;
    const gint count = atspi_accessible_get_child_count(desktop.object, &error);
    for (gint i = 0; ok(error) && i < count && allowCallsUntil(deadline); ++i) {
        Ref app(atspi_accessible_get_child_at_index(desktop.object, i, &error));
        if (!ok(error) || !app.object)
            continue;
        const guint appPid = atspi_accessible_get_process_id(app.object, &error);
        if (ok(error) && qint32(appPid) == pid)
            return app;
    }
    return Ref();
}

Ref focusedByCollection(AtspiAccessible* root)
{
    AtspiCollection* collection = atspi_accessible_get_collection_iface(root);
    if (!collection)
        return Ref();
    AtspiStateSet* states = atspi_state_set_new(nullptr);
    atspi_state_set_add(states, ATSPI_STATE_FOCUSED);
    AtspiMatchRule* rule
        = atspi_match_rule_new(states, ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
                               ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE);
    GError* error = nullptr;
    GArray* matches
        = atspi_collection_get_matches(collection, rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
    Ref found;
    if (ok(error) && matches && matches->len > 0)
        found = Ref(static_cast<AtspiAccessible*>(g_object_ref(g_array_index(matches, AtspiAccessible*, 0))));
    if (matches) {
        for (guint i = 0; i < matches->len; ++i)
            g_object_unref(g_array_index(matches, AtspiAccessible*, i));
        g_array_free(matches, TRUE);
    }
    g_object_unref(rule);
    g_object_unref(states);
    g_object_unref(collection);
    return found;
}

Ref focusedBySearch(AtspiAccessible* root, Clock::time_point deadline)
{
    QList<AtspiAccessible*> queue{static_cast<AtspiAccessible*>(g_object_ref(root))};
    Ref found;
    int visited = 0;
    while (!queue.isEmpty() && !found.object && visited < maxSearchedElements && allowCallsUntil(deadline)) {
        Ref current(queue.takeFirst());
        ++visited;
        if (hasState(current.object, ATSPI_STATE_FOCUSED)) {
            found = std::move(current);
            break;
        }
        if (!hasState(current.object, ATSPI_STATE_SHOWING) && visited > 1)
            continue;
        GError* error = nullptr;
        const gint count = atspi_accessible_get_child_count(current.object, &error);
        for (gint i = 0; ok(error) && i < count; ++i) {
            if (AtspiAccessible* child = atspi_accessible_get_child_at_index(current.object, i, &error);
                ok(error) && child)
                queue.append(child);
        }
    }
    for (AtspiAccessible* left : queue)
        g_object_unref(left);
    return found;
}

// Applications' announcements (a page that loads sends thousands) keep the library's cache
// current. Unread, they pile up on the connection, and the next call would first have to wade
// through all that arrived since the last capture; a browser's can take a second.
void handleAnnouncements()
{
    const AtspiLock lock;
    for (int handled = 0; handled < 100000 && g_main_context_iteration(atspiContext, FALSE); ++handled) {}
    keepApplicationConnectionsOurs();
}

} // namespace

AtspiAccessibility::AtspiAccessibility()
    : primary_(std::make_unique<X11SelectionReader>("PRIMARY"))
{
}

AtspiAccessibility::~AtspiAccessibility()
{
    // The dispatching thread may be waiting for this (the GUI) thread, with its mutex held.
    {
        std::lock_guard lock(guiWorkMutex);
        guiWaitsAbandoned = true;
    }
    guiWorkDone.notify_all();
    {
        std::lock_guard lock(dispatchMutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    if (dispatcher_.joinable())
        dispatcher_.join();
    std::lock_guard lock(guiWorkMutex);
    guiWaitsAbandoned = false;
}

void AtspiAccessibility::startDispatching()
{
    std::call_once(dispatching_, [this] {
        dispatcher_ = std::thread([this] {
            std::unique_lock lock(dispatchMutex_);
            while (!stop_.wait_for(lock, dispatchInterval, [this] { return stopping_; }))
                handleAnnouncements();
        });
    });
}

bool AtspiAccessibility::isProcessTrusted()
{
    return primary_->isValid() && primary_->connection().hasExtension("XTEST");
}

std::unique_ptr<AccessibilityElement> AtspiAccessibility::focusedElement(qint32 pid, Clock::time_point deadline)
{
    if (pid <= 0)
        return nullptr;
    const AtspiLock lock;
    if (!atspiAvailable())
        return nullptr;
    // Once connected, announcements are read as they come; here only those since the last turn.
    startDispatching();
    handleAnnouncements();
    if (!allowCallsUntil(deadline))
        return nullptr;
    Ref app = applicationOf(pid, deadline);
    if (!app.object || !allowCallsUntil(deadline))
        return nullptr;
    Ref element = focusedByCollection(app.object);
    if (!element.object)
        element = focusedBySearch(app.object, deadline);
    if (!element.object)
        return nullptr;
    return std::make_unique<AtspiElement>(std::move(element), deadline);
}

std::optional<Accessibility::SelectionText> AtspiAccessibility::primarySelection(qint32 pid, Clock::time_point end)
{
    const xcb_window_t owner = primary_->owner();
    if (owner == XCB_NONE || pid <= 0 || primary_->connection().windowPid(owner) != pid)
        return std::nullopt;
    const auto deadline = std::min(Clock::now() + primaryTimeout, end);
    const std::optional<QStringList> targets = primary_->targets(deadline, end);
    if (!targets)
        return std::nullopt;
    const auto arrived = [](const PasteboardData& data) {
        return (data.status == PasteboardData::Status::ok || data.status == PasteboardData::Status::partial)
            && !data.bytes.isEmpty();
    };
    for (const QString& target : PasteboardTypes::targets(PasteboardType::string)) {
        if (!targets->contains(target))
            continue;
        const PasteboardData data = primary_->convert(target, deadline, end);
        if (data.status == PasteboardData::Status::partial && arrived(data))
            return SelectionText{Text::fromUtf8Prefix(data.bytes), false};
        if (arrived(data))
            return SelectionText{QString::fromUtf8(data.bytes)};
    }
    if (targets->contains(u"STRING")) {
        const PasteboardData data = primary_->convert(QStringLiteral("STRING"), deadline, end);
        if (arrived(data))
            return SelectionText{QString::fromLatin1(data.bytes), data.status == PasteboardData::Status::ok};
    }
    return std::nullopt;
}

} // namespace vellicord
