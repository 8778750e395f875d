#include "Tovak/library/IconCache.h"
#include "Tovak/library/SelectionRowDelegate.h"
#include "core/library/LibrarySamples.h"
#include "core/library/StorePersistence.h"
#include "support/FakeDesktop.h"
#include "support/KeyboardFocus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atspi/atspi.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>

#include <sys/mount.h>

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace vellicord;

namespace {

constexpr int librarySize = 100000;

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// An accessible object we hold a reference to.
struct Accessible {
    AtspiAccessible* object = nullptr;
    explicit Accessible(AtspiAccessible* o = nullptr)
        : object(o)
    {
    }
    Accessible(Accessible&& other) noexcept
        : object(std::exchange(other.object, nullptr))
    {
    }
    Accessible& operator=(Accessible&& other) noexcept
    {
        std::swap(object, other.object);
        return *this;
    }
    ~Accessible()
    {
        if (object)
            g_object_unref(object);
    }
    explicit operator bool() const { return object; }

    QString name() const
    {
        gchar* text = atspi_accessible_get_name(object, nullptr);
        const QString name = QString::fromUtf8(text);
        g_free(text);
        return name;
    }
    AtspiRole role() const { return atspi_accessible_get_role(object, nullptr); }
    int childCount() const { return atspi_accessible_get_child_count(object, nullptr); }
    Accessible child(int index) const
    {
        return Accessible(atspi_accessible_get_child_at_index(object, index, nullptr));
    }
};

Accessible application(qint64 pid)
{
    Accessible desktop(atspi_get_desktop(0));
    for (int i = 0; desktop && i < desktop.childCount(); ++i) {
        Accessible app = desktop.child(i);
        if (app && qint64(atspi_accessible_get_process_id(app.object, nullptr)) == pid)
            return app;
    }
    return Accessible();
}

// The first element with the role and name, breadth first; lists are not entered (they may hold
// a row for every capture).
Accessible find(const Accessible& root, AtspiRole role, const QString& name)
{
    std::deque<Accessible> queue; // grows while its elements are read: a deque keeps them in place
    for (int i = 0; i < root.childCount(); ++i)
        queue.push_back(root.child(i));
    for (size_t next = 0; next < queue.size() && next < 2000; ++next) {
        const Accessible& element = queue[next];
        if (!element)
            continue;
        if (element.role() == role && element.name() == name)
            return Accessible(static_cast<AtspiAccessible*>(g_object_ref(element.object)));
        if (element.role() == ATSPI_ROLE_LIST || element.role() == ATSPI_ROLE_TABLE)
            continue;
        for (int i = 0; i < element.childCount(); ++i)
            queue.push_back(element.child(i));
    }
    return Accessible();
}

// The program's folders, all in the temporary home; accessibility on without a desktop session.
QProcessEnvironment environmentIn(const QTemporaryDir& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("VELLICORD_LOG_DIR"), home.filePath(QStringLiteral("logs")));
    // A SIGBUS goes to the program's own handler, as it does without the address checker.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":handle_sigbus=0"));
    return environment;
}

// The real program over the library in `home`, and the accessibility bus to read it by.
bool start(QProcess& program, const QTemporaryDir& home, const QStringList& arguments)
{
    program.setProcessEnvironment(environmentIn(home));
    program.start(QStringLiteral(VELLICORD_BINARY), arguments);
    return program.waitForStarted(5000) && atspi_init() <= 1;
}

// An element of the program once it shows it, none before; the application is found on the way.
Accessible shown(const QProcess& program, Accessible& app, AtspiRole role, const QString& name)
{
    if (!app)
        app = application(program.processId());
    return app ? find(app, role, name) : Accessible();
}

QStringList childNames(const Accessible& parent)
{
    QStringList names;
    for (int i = 0; i < parent.childCount(); ++i) {
        if (const Accessible child = parent.child(i))
            names.append(child.name());
    }
    return names;
}

template<typename Condition> bool waitFor(Condition condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QThread::msleep(50);
    }
    return true;
}

QRect extentsOf(const Accessible& element)
{
    AtspiComponent* component = atspi_accessible_get_component_iface(element.object);
    if (!component)
        return {};
    AtspiRect* extents = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
    g_object_unref(component);
    if (!extents)
        return {};
    const QRect rect(extents->x, extents->y, extents->width, extents->height);
    g_free(extents);
    return rect;
}

Accessible childNamed(const Accessible& parent, const QString& name)
{
    for (int i = 0; i < parent.childCount(); ++i) {
        if (Accessible child = parent.child(i); child && child.name() == name)
            return child;
    }
    return Accessible();
}

bool hasState(const Accessible& element, AtspiStateType state)
{
    AtspiStateSet* states = atspi_accessible_get_state_set(element.object);
    const bool is = states && atspi_state_set_contains(states, state);
    if (states)
        g_object_unref(states);
    return is;
}

QStringList selectedNames(const Accessible& list)
{
    QStringList names;
    for (int i = 0; i < list.childCount(); ++i) {
        if (const Accessible child = list.child(i); child && hasState(child, ATSPI_STATE_SELECTED))
            names.append(child.name());
    }
    return names;
}

QStringList actionNames(const Accessible& element)
{
    QStringList names;
    AtspiAction* action = atspi_accessible_get_action_iface(element.object);
    for (int i = 0; action && i < atspi_action_get_n_actions(action, nullptr); ++i) {
        gchar* name = atspi_action_get_action_name(action, i, nullptr);
        names.append(QString::fromUtf8(name));
        g_free(name);
    }
    if (action)
        g_object_unref(action);
    return names;
}

bool doAction(const Accessible& element, const QString& name)
{
    const int index = int(actionNames(element).indexOf(name));
    AtspiAction* action = atspi_accessible_get_action_iface(element.object);
    const bool done = action && index >= 0 && atspi_action_do_action(action, index, nullptr);
    if (action)
        g_object_unref(action);
    return done;
}

QString textOf(const Accessible& element)
{
    AtspiText* text = atspi_accessible_get_text_iface(element.object);
    if (!text)
        return {};
    gchar* content = atspi_text_get_text(text, 0, -1, nullptr);
    const QString read = QString::fromUtf8(content);
    g_free(content);
    g_object_unref(text);
    return read;
}

StoreSnapshot storedLibrary(const QString& file)
{
    QFile saved(file);
    if (!saved.open(QIODevice::ReadOnly))
        return {};
    try {
        return StorePersistence::decode(saved.readAll());
    } catch (const std::exception&) {
        return {};
    }
}

QString xdotool(const QStringList& arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

QString clipboard()
{
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
}

// The pointer pressed at `from`, moved in small steps through each of `through`, and let go at the
// last: a drag as a hand makes it, slow enough for the drag to see every step.
void dragAlong(const QPoint& from, const QList<QPoint>& through)
{
    QStringList steps{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                      QStringLiteral("mousedown"), QStringLiteral("1")};
    QPoint at = from;
    for (const QPoint& to : through) {
        for (int step = 1; step <= 6; ++step) {
            const QPoint next = at + (to - at) * step / 6;
            steps << QStringLiteral("mousemove") << QString::number(next.x()) << QString::number(next.y())
                  << QStringLiteral("sleep") << QStringLiteral("0.04");
        }
        at = to;
    }
    steps << QStringLiteral("sleep") << QStringLiteral("0.1") << QStringLiteral("mouseup") << QStringLiteral("1");
    xdotool(steps);
}

// The real program over a library of 100,000 captures, worked as a user works it (the keyboard
// and the mouse through XTest) and read as a screen reader reads it (AT-SPI): Control-F, a query,
// the rows it leaves named by their headlines, and a double click that copies a row's text.
TEST(LibraryBrowserX11, SearchTheLibraryAndCopyARowByDoubleClick)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus and xdotool";
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("data"));
    StoreSnapshot library;
    library.selections.reserve(librarySize);
    for (int n = 0; n < librarySize; ++n) {
        Selection s = LibrarySamples::selection(n);
        if (n % 25000 == 7)
            s.text = s.markdown = QStringLiteral("Zebra crossing %1\nand the rest of it").arg(n);
        library.selections.append(s);
    }
    QDir().mkpath(data + QStringLiteral("/Vellicord"));
    LibrarySamples::writeFile(data + QStringLiteral("/Vellicord/Vellicord.json"), StorePersistence::encode(library));
    QDir().mkpath(home.filePath(QStringLiteral("run")));

    QProcess program;
    ASSERT_TRUE(start(program, home, {QStringLiteral("-showWindowOnLaunch")}));
    Accessible app;
    Accessible list;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!app)
                app = application(program.processId());
            if (app && !list)
                list = find(app, ATSPI_ROLE_LIST, QStringLiteral("Captures"));
            return bool(list) && list.childCount() == librarySize;
        },
        60000))
        << "the window over the whole library, read through the accessibility interface";

    // The window on screen: the program has unmapped windows of its own too.
    const QString window
        = run(QStringLiteral("xdotool"),
              {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
               QString::number(program.processId()), QStringLiteral("--name"), QStringLiteral("^Vellicord")})
              .section(u'\n', 0, 0);
    ASSERT_FALSE(window.isEmpty());
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(test::awaitKeyboard(window));
    // The letters typed right after Control-F are the query.
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+f")});
    run(QStringLiteral("xdotool"),
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("zebra")});
    ASSERT_TRUE(waitFor([&] { return list.childCount() == 4; }, 20000)) << "rows: " << list.childCount();
    QStringList names;
    for (int i = 0; i < 4; ++i)
        names.append(list.child(i).name());
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("Zebra crossing 75007"), QStringLiteral("Zebra crossing 50007"),
                           QStringLiteral("Zebra crossing 25007"), QStringLiteral("Zebra crossing 7")}));

    // A double click on the second row puts its text on the clipboard.
    Accessible row = list.child(1);
    AtspiComponent* component = atspi_accessible_get_component_iface(row.object);
    ASSERT_TRUE(component);
    AtspiRect* extents = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
    g_object_unref(component);
    ASSERT_TRUE(extents);
    const int x = extents->x + extents->width / 3;
    const int y = extents->y + extents->height / 2;
    g_free(extents);
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("click"),
         QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("80"),
         QStringLiteral("1")});
    EXPECT_TRUE(waitFor(
        [&] {
            return run(QStringLiteral("xclip"),
                       {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")})
                == QStringLiteral("Zebra crossing 50007\nand the rest of it");
        },
        5000));

    // A SIGBUS another process sends is no fault in the mapped library: it ends the program at once.
    ::kill(pid_t(program.processId()), SIGBUS);
    EXPECT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(program.exitCode(), SIGBUS);
}

// The real program: Control-N makes the first prompt and shows it (the window is titled after
// it), the prompt is in the library file after the save's delay, and the sidebar's rows are read
// as a screen reader reads them.
TEST(LibraryBrowserX11, NewPromptFromTheKeyboardIsShownAndSaved)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus and xdotool";
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("data/Vellicord/Vellicord.json"));
    StoreSnapshot library;
    for (int n = 0; n < 3; ++n)
        library.selections.append(LibrarySamples::selection(n));
    library.groups.append(
        {LibrarySamples::id(900), QStringLiteral("Reading"), QStringLiteral("#3366FF"), LibrarySamples::date(0)});
    library.selections[1].groupIDs = {LibrarySamples::id(900)};
    QDir().mkpath(QFileInfo(file).path());
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    LibrarySamples::writeFile(file, StorePersistence::encode(library));

    QProcess program;
    ASSERT_TRUE(start(program, home, {QStringLiteral("-showWindowOnLaunch")}));
    Accessible app;
    Accessible sidebar;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!app)
                app = application(program.processId());
            if (app && !sidebar)
                sidebar = find(app, ATSPI_ROLE_LIST, QStringLiteral("Sidebar"));
            return bool(sidebar) && childNames(sidebar).contains(QStringLiteral("All Selections"));
        },
        30000))
        << "the sidebar, read through the accessibility interface";
    EXPECT_TRUE(childNames(sidebar).contains(QStringLiteral("Reading"))) << qPrintable(childNames(sidebar).join(u','));
    EXPECT_FALSE(childNames(sidebar).contains(QStringLiteral("Prompt 1")));

    // The window on screen: the program has unmapped windows of its own too.
    const QString window
        = run(QStringLiteral("xdotool"),
              {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
               QString::number(program.processId()), QStringLiteral("--name"), QStringLiteral("^Vellicord")})
              .section(u'\n', 0, 0);
    ASSERT_FALSE(window.isEmpty());
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(test::awaitKeyboard(window));
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+n")});
    EXPECT_TRUE(waitFor(
        [&] {
            return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window})
                == QStringLiteral("Vellicord \u2014 Prompt 1");
        },
        10000))
        << qPrintable(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window}));
    EXPECT_TRUE(waitFor([&] { return childNames(sidebar).contains(QStringLiteral("Prompt 1")); }, 5000));
    const auto saved = [&] {
        QFile stored(file);
        if (!stored.open(QIODevice::ReadOnly))
            return false;
        try {
            const StoreSnapshot now = StorePersistence::decode(stored.readAll());
            return now.drafts && now.drafts->size() == 1 && now.drafts->first().name == QStringLiteral("Prompt 1")
                && now.activeDraftID == now.drafts->first().id;
        } catch (const std::exception&) {
            return false;
        }
    };
    EXPECT_TRUE(waitFor(saved, 5000)) << "the prompt in the library file";

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000));
}

// The real program: a search, Control-A in the list, then "Delete" in the toolbar. Only the rows
// the search left are selected and deleted, and after the save the library file no longer holds
// them while it still holds the capture the search hid.
TEST(LibraryBrowserX11, ControlAThenDeleteFromTheToolbar)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus and xdotool";
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("data/Vellicord/Vellicord.json"));
    StoreSnapshot library;
    for (int n = 0; n < 3; ++n)
        library.selections.append(LibrarySamples::selection(n));
    library.selections[0].text = library.selections[0].markdown = QStringLiteral("Zebra one");
    library.selections[2].text = library.selections[2].markdown = QStringLiteral("Zebra two");
    QDir().mkpath(QFileInfo(file).path());
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    LibrarySamples::writeFile(file, StorePersistence::encode(library));

    QProcess program;
    ASSERT_TRUE(start(program, home, {QStringLiteral("-showWindowOnLaunch")}));
    Accessible app, list, toolbar;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!app)
                app = application(program.processId());
            if (app && !list)
                list = find(app, ATSPI_ROLE_LIST, QStringLiteral("Captures"));
            if (app && !toolbar)
                toolbar = find(app, ATSPI_ROLE_TOOL_BAR, QStringLiteral("Library"));
            return bool(list) && bool(toolbar) && list.childCount() == 3;
        },
        30000))
        << "the list and the toolbar, read through the accessibility interface";

    const QString window
        = run(QStringLiteral("xdotool"),
              {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
               QString::number(program.processId()), QStringLiteral("--name"), QStringLiteral("^Vellicord")})
              .section(u'\n', 0, 0);
    ASSERT_FALSE(window.isEmpty());
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(test::awaitKeyboard(window));
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+f")});
    run(QStringLiteral("xdotool"),
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("zebra")});
    ASSERT_TRUE(waitFor([&] { return list.childCount() == 2; }, 10000)) << "rows: " << list.childCount();

    const auto clickOn = [](const Accessible& element) {
        AtspiComponent* component = atspi_accessible_get_component_iface(element.object);
        if (!component)
            return false;
        AtspiRect* extents = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
        g_object_unref(component);
        if (!extents)
            return false;
        const int x = extents->x + extents->width / 2;
        const int y = extents->y + extents->height / 2;
        g_free(extents);
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("click"),
             QStringLiteral("1")});
        return true;
    };
    // A click on a row puts the keys in the list; Control-A there selects every row shown.
    ASSERT_TRUE(clickOn(list.child(0)));
    ASSERT_TRUE(waitFor([&] { return hasState(list, ATSPI_STATE_FOCUSED); }, 5000));
    ASSERT_TRUE(test::awaitKeyboard(window));
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+a")});
    const auto showing = [](const Accessible& element) {
        AtspiStateSet* states = atspi_accessible_get_state_set(element.object);
        const bool shown = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        if (states)
            g_object_unref(states);
        return shown;
    };
    Accessible remove;
    ASSERT_TRUE(waitFor(
        [&] {
            remove = find(toolbar, ATSPI_ROLE_PUSH_BUTTON, QStringLiteral("Delete"));
            if (!remove || !showing(remove))
                return false;
            gchar* description = atspi_accessible_get_description(remove.object, nullptr);
            const QString help = QString::fromUtf8(description);
            g_free(description);
            return help == QStringLiteral("Delete 2 selection(s)");
        },
        10000))
        << "the toolbar's Delete for the two rows shown";
    ASSERT_TRUE(clickOn(remove));

    const auto stored = [&] {
        QFile saved(file);
        if (!saved.open(QIODevice::ReadOnly))
            return QList<QUuid>{};
        try {
            QList<QUuid> ids;
            for (const Selection& s : StorePersistence::decode(saved.readAll()).selections)
                ids.append(s.id);
            return ids;
        } catch (const std::exception&) {
            return QList<QUuid>{};
        }
    };
    EXPECT_TRUE(waitFor([&] { return stored() == QList<QUuid>{LibrarySamples::id(1)}; }, 5000))
        << "the library file holds only the capture the search hid";

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000));
}

} // namespace

namespace {

QString launchWindow(const QProcess& program, const QString& title)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(program.processId()), QStringLiteral("--name"), title})
        .section(u'\n', 0, 0);
}

// The real program over five captures, a group and an active prompt, worked by hand and read as a
// screen reader reads it: drags from a row's grip that come into the sidebar over a header before
// they reach a group or the prompt, a right-click over several selected rows, the rows' own
// actions, and Control-F with the query typed at once while the sidebar has the keys.
TEST(LibraryBrowserX11, RowsByHandAndByScreenReader)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus and xdotool";
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("data/Vellicord/Vellicord.json"));
    QDir().mkpath(QFileInfo(file).path());
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    StoreSnapshot library = LibrarySamples::library(5); // the newest first; the group "Reading"
    // A terminal's text (plain: its Markdown is its text), and two passages of Markdown.
    library.selections[2].text = library.selections[2].markdown
        = u"Rain all day\nprint(__name__)\n# x\n1. x\n<b>x</b>\n*x*"_qs;
    library.selections[3].text = u"Passage 3\n\nabout the weather"_qs;
    library.selections[3].markdown = u"Passage 3\nabout the weather"_qs;
    library.selections[4].markdown = u"**Passage 4** about [the weather](https://example.org/)"_qs;
    const QString longAddress = u"https://example.org/"_qs + QString(3000, u'a') + u"/end"_qs;
    library.selections[1].sourceURL = longAddress;
    LibrarySamples::writeFile(file, StorePersistence::encode(library));
    const QUuid reading = library.groups.first().id;
    const auto passage = [&library](int n) { return library.selections[n].headline(); };

    // One order of its hashes each run: where the program may take any member of a set, it takes
    // the same one every time, and a wrong pick shows every time.
    qputenv("QT_HASH_SEED", "0");
    QProcess program;
    ASSERT_TRUE(start(program, home, {QStringLiteral("-showWindowOnLaunch")}));
    Accessible app, list, sidebar, search;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!list)
                list = shown(program, app, ATSPI_ROLE_LIST, QStringLiteral("Captures"));
            if (!sidebar)
                sidebar = shown(program, app, ATSPI_ROLE_LIST, QStringLiteral("Sidebar"));
            if (!search)
                search = shown(program, app, ATSPI_ROLE_TEXT, QStringLiteral("Search all selections"));
            return list && sidebar && search && list.childCount() == 5
                && childNamed(sidebar, QStringLiteral("Reading"));
        },
        30000))
        << "the list, the sidebar and the search field, read through the accessibility interface";
    const QString window = launchWindow(program, QStringLiteral("^Vellicord"));
    ASSERT_FALSE(window.isEmpty());
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});

    // Drags from two rows' grips, each coming into the sidebar over a section's header first.
    FakeDesktop desktop;
    IconCache icons(desktop);
    const SelectionRowDelegate rows(icons);
    const auto grip = [&](int n) { return rows.gripRect(extentsOf(childNamed(list, passage(n)))).center(); };
    const auto centre = [&](const QString& row) { return extentsOf(childNamed(sidebar, row)).center(); };
    dragAlong(grip(4), {centre(QStringLiteral("Groups")), centre(QStringLiteral("Reading"))});
    dragAlong(grip(3), {centre(QStringLiteral("Prompt")), centre(QStringLiteral("Draft"))});
    EXPECT_TRUE(waitFor(
        [&] {
            const StoreSnapshot now = storedLibrary(file);
            QList<QUuid> inReading, inPrompt;
            for (const Selection& s : now.selections) {
                if (s.groupIDs.contains(reading))
                    inReading.append(s.id);
            }
            for (const ContextDraftEntry& entry : now.drafts.value_or(QList<ContextDraft>{}).value(0).entries)
                inPrompt.append(entry.selectionID);
            return inReading == QList<QUuid>{LibrarySamples::id(4)}
            && inPrompt == (QList<QUuid>{LibrarySamples::id(0), LibrarySamples::id(3)});
        },
        5000))
        << "the library file: the first capture in the group, the second in the prompt";

    // A right-click on a third row leaves the two selected rows selected.
    const auto clickRow = [&](int n, const QString& button, const QStringList& held = {}) {
        const QRect row = extentsOf(childNamed(list, passage(n)));
        QStringList steps{QStringLiteral("mousemove"), QString::number(row.left() + row.width() / 3),
                          QString::number(row.center().y())};
        for (const QString& key : held)
            steps << QStringLiteral("keydown") << key;
        steps << QStringLiteral("click") << button;
        for (const QString& key : held)
            steps << QStringLiteral("keyup") << key;
        xdotool(steps);
    };
    // The inspector as a screen reader reads it: the terminal's text as captured, line by line; the
    // Markdown rendered, each of its lines a line.
    Accessible passageView;
    const QList<std::pair<int, QString>> passages{
        {2, library.selections[2].text}, {3, u"Passage 3\nabout the weather"_qs}, {4, passage(4)}};
    for (const auto& [n, text] : passages) {
        clickRow(n, QStringLiteral("1"));
        EXPECT_TRUE(waitFor(
            [&] {
                if (!passageView)
                    passageView = shown(program, app, ATSPI_ROLE_TEXT, QStringLiteral("Captured Passage"));
                return passageView && textOf(passageView) == text;
            },
            5000))
            << qPrintable(passageView ? textOf(passageView) : passage(n));
    }
    // An address the inspector draws cut short, dragged across: the primary selection gets all
    // of it, and so does Control-C.
    clickRow(1, QStringLiteral("1"));
    Accessible address;
    ASSERT_TRUE(waitFor([&] { return bool(address = shown(program, app, ATSPI_ROLE_LABEL, longAddress)); }, 5000));
    const QRect drawn = extentsOf(address);
    xdotool({QStringLiteral("mousemove"), QString::number(drawn.left() + 4), QString::number(drawn.center().y()),
             QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(drawn.center().x()), QString::number(drawn.center().y()), QStringLiteral("mouseup"),
             QStringLiteral("1")});
    EXPECT_TRUE(waitFor(
        [&] {
            return run(QStringLiteral("xclip"),
                       {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")})
                == longAddress;
        },
        5000));
    ASSERT_TRUE(test::awaitKeyboard(window));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")});
    EXPECT_TRUE(waitFor([&] { return clipboard() == longAddress; }, 5000));
    clickRow(2, QStringLiteral("1"));
    clickRow(1, QStringLiteral("1"), {QStringLiteral("ctrl")});
    ASSERT_TRUE(waitFor([&] { return selectedNames(list) == QStringList{passage(2), passage(1)}; }, 5000));
    // Control-C copies their text, in the order shown.
    ASSERT_TRUE(test::awaitKeyboard(window));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")});
    EXPECT_TRUE(waitFor(
        [&] {
            return clipboard()
                == library.selections[2].text + QStringLiteral("\n\n---\n\n") + library.selections[1].text;
        },
        5000));
    {
        test::KeyboardGrabWatch menu(window);
        clickRow(0, QStringLiteral("3"));
        ASSERT_TRUE(menu.awaitGrab()) << "the row's menu has the keyboard; Escape closes it";
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_EQ(selectedNames(list), (QStringList{passage(2), passage(1)}));

    // A row's actions, as a screen reader offers them.
    const Accessible last = childNamed(list, passage(0));
    EXPECT_EQ(actionNames(last),
              (QStringList{QStringLiteral("Toggle"), QStringLiteral("Copy plain text"),
                           QStringLiteral("Add to active prompt")}));
    ASSERT_TRUE(doAction(last, QStringLiteral("Copy plain text")));
    EXPECT_TRUE(waitFor(
        [&] {
            return run(QStringLiteral("xclip"),
                       {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")})
                == passage(0);
        },
        5000));
    ASSERT_TRUE(doAction(childNamed(list, passage(1)), QStringLiteral("Add to active prompt")));
    EXPECT_TRUE(waitFor(
        [&] {
            const std::optional<QList<ContextDraft>> drafts = storedLibrary(file).drafts;
            return drafts && !drafts->isEmpty() && drafts->first().entries.size() == 3
                && drafts->first().entries.last().selectionID == LibrarySamples::id(1);
        },
        5000))
        << "the prompt in the library file";

    // A third row Control-clicked is inspected, and stays so when another of the three is deleted
    // from its menu.
    clickRow(3, QStringLiteral("1"), {QStringLiteral("ctrl")});
    ASSERT_TRUE(waitFor([&] { return selectedNames(list).size() == 3; }, 5000));
    const Accessible inspected = find(app, ATSPI_ROLE_TEXT, QStringLiteral("Captured Passage"));
    const QString thirdPassage = passages[1].second;
    ASSERT_TRUE(waitFor([&] { return textOf(inspected) == thirdPassage; }, 5000)) << qPrintable(textOf(inspected));
    {
        test::KeyboardGrabWatch menu(window);
        clickRow(1, QStringLiteral("3"));
        ASSERT_TRUE(menu.awaitGrab()) << "the row's menu has the keyboard; its last item is Delete";
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")});
    ASSERT_TRUE(waitFor([&] { return list.childCount() == 4; }, 5000));
    QThread::msleep(300);
    EXPECT_EQ(textOf(inspected), thirdPassage);

    // Pressing a sidebar row shows it, that row alone chosen.
    ASSERT_TRUE(doAction(childNamed(sidebar, QStringLiteral("Reading")), QStringLiteral("Press")));
    EXPECT_TRUE(waitFor([&] { return list.childCount() == 1; }, 5000)) << "rows: " << list.childCount();
    EXPECT_EQ(selectedNames(sidebar), QStringList{QStringLiteral("Reading")});

    // Control-F while the sidebar has the keys, and the query typed at once: the sidebar's
    // type-ahead gets none of it (its "r" would choose "Reading").
    const QPoint all = centre(QStringLiteral("All Selections"));
    xdotool({QStringLiteral("mousemove"), QString::number(all.x()), QString::number(all.y()), QStringLiteral("click"),
             QStringLiteral("1")});
    ASSERT_TRUE(waitFor([&] { return list.childCount() == 4; }, 5000));
    ASSERT_TRUE(test::awaitKeyboard(window));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+f"), QStringLiteral("type"), QStringLiteral("--delay"),
             QStringLiteral("15"), QStringLiteral("rain")});
    EXPECT_TRUE(waitFor([&] { return textOf(search) == QStringLiteral("rain"); }, 5000)) << qPrintable(textOf(search));
    EXPECT_TRUE(waitFor([&] { return childNames(list) == QStringList{passage(2)}; }, 5000))
        << qPrintable(childNames(list).join(u','));
    EXPECT_EQ(selectedNames(sidebar), QStringList{QStringLiteral("All Selections")});

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000));
}

// A window manager, for what only one decides (the windows' stacking, which one is active):
// openbox, started when the display has none, and stopped after. It leaves its properties on the
// root window (the active window among them, which a capture reads), so they go with it.
struct WindowManager {
    QProcess process;
    QStringList rootProperties;
    static QStringList propertiesOfRoot()
    {
        QStringList names;
        for (const QString& line : run(QStringLiteral("xprop"), {QStringLiteral("-root")}).split(u'\n')) {
            if (!line.startsWith(u' ') && !line.startsWith(u'\t') && line.contains(u'('))
                names.append(line.section(u'(', 0, 0));
        }
        return names;
    }
    static bool running() { return propertiesOfRoot().contains(QStringLiteral("_NET_SUPPORTING_WM_CHECK")); }
    bool start()
    {
        rootProperties = propertiesOfRoot();
        if (rootProperties.contains(QStringLiteral("_NET_SUPPORTING_WM_CHECK")))
            return true;
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
            return false;
        process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        return process.waitForStarted(5000) && waitFor(running, 5000);
    }
    ~WindowManager()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        process.waitForFinished(5000);
        for (const QString& name : propertiesOfRoot()) {
            if (!rootProperties.contains(name))
                run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-remove"), name});
        }
    }
};

// The windows the window manager stacks, bottom first, by their decimal ids (as xdotool names them).
QStringList stacking()
{
    QStringList ids;
    const QString listed
        = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    for (const QString& id : listed.section(u'#', 1).split(u',', Qt::SkipEmptyParts))
        ids.append(QString::number(id.trimmed().toULongLong(nullptr, 16)));
    return ids;
}

// The real program over an empty library under a window manager: the welcome sheet stays above the
// window when a second launch brings the window forward, it has the keys, Return dismisses it, and
// then the window takes the keys in its search field.
TEST(LibraryBrowserX11, WelcomeSheetStaysAboveTheWindowOnASecondLaunch)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty()
        || QStandardPaths::findExecutable("xprop").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus, xdotool and xprop";
    WindowManager manager;
    if (!manager.start())
        GTEST_SKIP() << "needs a window manager (openbox)";
    QTemporaryDir home;
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    QProcess first;
    ASSERT_TRUE(start(first, home, {}));
    QString window, sheet;
    ASSERT_TRUE(waitFor(
        [&] {
            window = launchWindow(first, QStringLiteral("^Vellicord$"));
            sheet = launchWindow(first, QStringLiteral("^Welcome to Vellicord$"));
            return !window.isEmpty() && !sheet.isEmpty();
        },
        30000))
        << "the window and its welcome sheet (there is no tray here, so the window opens at launch)";

    QProcess second;
    second.setProcessEnvironment(environmentIn(home));
    second.start(QStringLiteral(VELLICORD_BINARY), QStringList{});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0) << "the second launch hands over";
    const QString log = home.filePath(QStringLiteral("logs/vellicord.log"));
    ASSERT_TRUE(waitFor(
        [&] {
            QFile lines(log);
            return lines.open(QIODevice::ReadOnly)
                && lines.readAll().contains("Show-window request from another instance");
        },
        10000));
    // What the window manager does with the window coming forward takes it a moment.
    QThread::msleep(500);
    const QStringList stacked = stacking();
    EXPECT_GT(stacked.indexOf(sheet), stacked.indexOf(window)) << qPrintable(stacked.join(u','));
    EXPECT_EQ(xdotool({QStringLiteral("getactivewindow")}), sheet);

    ASSERT_TRUE(test::awaitKeyboard(sheet));
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(waitFor([&] { return launchWindow(first, QStringLiteral("^Welcome to Vellicord$")).isEmpty(); }, 5000))
        << "Return dismisses the sheet";
    Accessible app, search;
    ASSERT_TRUE(waitFor(
        [&] { return bool(search = shown(first, app, ATSPI_ROLE_TEXT, QStringLiteral("Search all selections"))); },
        10000));
    ASSERT_TRUE(test::awaitKeyboard(window));
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("abc")});
    EXPECT_TRUE(waitFor([&] { return textOf(search) == QStringLiteral("abc"); }, 5000))
        << "the keys start in the search field of an empty list: " << qPrintable(textOf(search));

    first.terminate();
    EXPECT_TRUE(first.waitForFinished(20000));
}

// The program's windows that are on screen, by their decimal ids.
QStringList windowsShown(const QProcess& program)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(program.processId()), QStringLiteral("--name"), QString()})
        .split(u'\n', Qt::SkipEmptyParts);
}

// Under a tray host, with Control-Alt-J held by another client: recording that combination in the
// settings says it is taken (the recorder has the keyboard, so the keys reach it), and "Hide
// Vellicord" (Control-H) then takes both windows off the screen and leaves the tray icon.
TEST(ShellX11, ShortcutTakenElsewhereIsReportedAndHideLeavesTheTrayIcon)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty()
        || QStandardPaths::findExecutable("trayer").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus, xdotool and a tray host (trayer)";
    WindowManager manager;
    if (!manager.start())
        GTEST_SKIP() << "needs a window manager (openbox)";
    QProcess tray;
    tray.start(QStringLiteral("trayer"), {});
    ASSERT_TRUE(waitFor(
        [] {
            return !xdotool({QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("trayer")}).isEmpty();
        },
        5000));
    const std::unique_ptr<Display, int (*)(Display*)> other(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(other);
    XGrabKey(other.get(), XKeysymToKeycode(other.get(), XK_j), ControlMask | Mod1Mask, DefaultRootWindow(other.get()),
             1, GrabModeAsync, GrabModeAsync);
    XSync(other.get(), 0);
    QTemporaryDir home;
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    QProcess program;
    ASSERT_TRUE(start(program, home, {QStringLiteral("-showWindowOnLaunch")}));
    QString window;
    QStringList trayIcon;
    ASSERT_TRUE(waitFor(
        [&] {
            window = launchWindow(program, QStringLiteral("^Vellicord$"));
            return (trayIcon = windowsShown(program)).size() == 2 && trayIcon.removeOne(window);
        },
        30000))
        << "the window and the tray icon";

    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(test::awaitKeyboard(window));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+comma")});
    Accessible app, button;
    ASSERT_TRUE(waitFor(
        [&] { return bool(button = shown(program, app, ATSPI_ROLE_PUSH_BUTTON, QStringLiteral("Ctrl+Alt+Super+C"))); },
        10000));
    ASSERT_TRUE(doAction(button, QStringLiteral("Press")));
    ASSERT_TRUE(waitFor([&] { return !hasState(button, ATSPI_STATE_SHOWING); }, 5000)) << "recording";
    ASSERT_TRUE(test::awaitKeyboard(launchWindow(program, QStringLiteral("^Settings$"))));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
    EXPECT_TRUE(waitFor(
        [&] {
            return bool(find(app, ATSPI_ROLE_LABEL, QStringLiteral("“Ctrl+Alt+J” is already in use by another app.")));
        },
        5000));

    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(test::awaitKeyboard(window));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+h")});
    EXPECT_TRUE(waitFor([&] { return windowsShown(program) == trayIcon; }, 5000))
        << qPrintable(windowsShown(program).join(u','));

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000));
    tray.terminate();
    tray.waitForFinished(5000);
}

} // namespace

// The real program on a full disk: six captures it could not save, and Control-Q. The alert says
// what would be lost and keeps the program open on Return; with room again, Control-Q saves and quits.
TEST(LibraryBrowserX11, QuitWithChangesTheDiskCannotTakeAsksFirst)
{
    WindowManager manager;
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !manager.start())
        GTEST_SKIP() << "needs a D-Bus session bus and a window manager (openbox)";
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("data"));
    QDir().mkpath(data);
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    if (::mount("tmpfs", QFile::encodeName(data).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small disk of its own needs root to mount: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(data).constData(), MNT_DETACH); });
    LibrarySamples::writeFile(data + QStringLiteral("/filler"), QByteArray(64 << 10, 'x'));
    QProcess program;
    ASSERT_TRUE(start(program, home, {QStringLiteral("-showWindowOnLaunch")}));
    QString window;
    ASSERT_TRUE(waitFor(
        [&] {
            window = launchWindow(program, QStringLiteral("^Vellicord$"));
            return !window.isEmpty()
                && LibrarySamples::readFile(home.filePath(QStringLiteral("logs/vellicord.log")))
                       .contains("save failed");
        },
        20000));
    // Not sent to the window by its id: it is gone before the keys are let go of.
    const auto quit = [&] {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        const bool held = test::awaitKeyboard(window);
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")});
        return held;
    };
    ASSERT_TRUE(quit());
    Accessible app;
    const QString text
        = QStringLiteral("Vellicord could not write 6 changes to the library file. If you quit now, they "
                         "will be lost.\n\nMake room on the disk that holds the library, then quit again.");
    ASSERT_TRUE(waitFor([&] { return bool(shown(program, app, ATSPI_ROLE_LABEL, text)); }, 10000));
    EXPECT_TRUE(shown(program, app, ATSPI_ROLE_PUSH_BUTTON, QStringLiteral("Quit Anyway")));
    ASSERT_TRUE(test::awaitKeyboard(launchWindow(program, QStringLiteral("^Your latest changes are not saved$"))));
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor([&] { return !shown(program, app, ATSPI_ROLE_LABEL, text); }, 5000));
    EXPECT_FALSE(program.waitForFinished(1000)) << "Return keeps Vellicord open";
    QFile::remove(data + QStringLiteral("/filler"));
    ASSERT_TRUE(quit());
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(storedLibrary(data + QStringLiteral("/Vellicord/Vellicord.json")).selections.size(), 6);
}
