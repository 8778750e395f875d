#include "core/library/LibrarySamples.h"
#include "core/library/StorePersistence.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atspi/atspi.h>

#include <deque>

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
    return environment;
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
    program.setProcessEnvironment(environmentIn(home));
    program.start(QStringLiteral(VELLICORD_BINARY), {QStringLiteral("-showWindowOnLaunch")});
    ASSERT_TRUE(program.waitForStarted(5000));

    ASSERT_EQ(atspi_init() <= 1, true);
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
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+f")});
    // The search field takes the focus a moment after the menu command.
    QThread::msleep(600);
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

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000));
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
    program.setProcessEnvironment(environmentIn(home));
    program.start(QStringLiteral(VELLICORD_BINARY), {QStringLiteral("-showWindowOnLaunch")});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_EQ(atspi_init() <= 1, true);
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
    program.setProcessEnvironment(environmentIn(home));
    program.start(QStringLiteral(VELLICORD_BINARY), {QStringLiteral("-showWindowOnLaunch")});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_EQ(atspi_init() <= 1, true);
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
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+f")});
    QThread::msleep(600);
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
    QThread::msleep(300);
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
