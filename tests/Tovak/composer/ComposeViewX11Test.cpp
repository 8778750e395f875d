#include "core/composition/ContextComposer.h"
#include "core/library/LibrarySamples.h"
#include "core/library/StorePersistence.h"
#include "support/KeyboardFocus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atspi/atspi.h>

#include <functional>

using namespace vellicord;

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool waitFor(const std::function<bool()>& condition, int milliseconds)
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

// The screen rectangle of the program's first accessible element of that name (depth first; the
// composer's few hundred elements are all looked at), or an empty one.
QRect extentsOf(qint64 pid, const QString& name)
{
    const std::function<QRect(AtspiAccessible*)> search = [&](AtspiAccessible* element) -> QRect {
        gchar* text = atspi_accessible_get_name(element, nullptr);
        const bool named = QString::fromUtf8(text) == name;
        g_free(text);
        if (named) {
            AtspiComponent* component = atspi_accessible_get_component_iface(element);
            AtspiRect* box
                = component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr;
            const QRect found = box ? QRect(box->x, box->y, box->width, box->height) : QRect();
            g_free(box);
            if (component)
                g_object_unref(component);
            return found;
        }
        QRect found;
        const int count = atspi_accessible_get_child_count(element, nullptr);
        for (int i = 0; i < count && found.isEmpty(); ++i) {
            if (AtspiAccessible* child = atspi_accessible_get_child_at_index(element, i, nullptr)) {
                found = search(child);
                g_object_unref(child);
            }
        }
        return found;
    };
    AtspiAccessible* desktop = atspi_get_desktop(0);
    QRect found;
    for (int i = 0; desktop && i < atspi_accessible_get_child_count(desktop, nullptr) && found.isEmpty(); ++i) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (app && qint64(atspi_accessible_get_process_id(app, nullptr)) == pid)
            found = search(app);
        if (app)
            g_object_unref(app);
    }
    if (desktop)
        g_object_unref(desktop);
    return found;
}

// The real program, worked as a user works it: Control-Shift-P shows the prompt of two sources, a
// task is typed into its field, and Control-Shift-C leaves on the clipboard exactly the prompt the
// composer makes of what was saved.
TEST(ComposeViewX11, TypeATaskAndCopyThePromptWithControlShiftC)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || QStandardPaths::findExecutable("xdotool").isEmpty()
        || QStandardPaths::findExecutable("xclip").isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus, xdotool and xclip";
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("data/Vellicord/Vellicord.json"));
    StoreSnapshot library;
    ContextDraft draft;
    draft.id = LibrarySamples::id(800);
    draft.name = QStringLiteral("Reading list");
    draft.templateName = QStringLiteral("Sections");
    draft.modelProfileID = QStringLiteral("gpt-4o");
    draft.createdAt = draft.updatedAt = LibrarySamples::date(0);
    for (int n = 0; n < 2; ++n) {
        library.selections.append(LibrarySamples::selection(n));
        draft.entries.append({LibrarySamples::id(810 + n), library.selections.last().id, true, false, false,
                              std::nullopt, std::nullopt});
    }
    library.drafts = QList<ContextDraft>{draft};
    library.activeDraftID = draft.id;
    QDir().mkpath(QFileInfo(file).path());
    QDir().mkpath(home.filePath(QStringLiteral("runtime")));
    LibrarySamples::writeFile(file, StorePersistence::encode(library));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    // Every folder of the program in the temporary home.
    const std::pair<const char*, const char*> folders[] = {{"XDG_DATA_HOME", "data"},
                                                           {"XDG_CONFIG_HOME", "config"},
                                                           {"XDG_STATE_HOME", "state"},
                                                           {"XDG_RUNTIME_DIR", "runtime"},
                                                           {"VELLICORD_LOG_DIR", "logs"}};
    for (const auto& [variable, folder] : folders)
        environment.insert(QString::fromUtf8(variable), home.filePath(QString::fromUtf8(folder)));
    QDir().mkpath(home.filePath(QStringLiteral("runtime")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELLICORD_BINARY), {QStringLiteral("-showWindowOnLaunch")});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_LE(atspi_init(), 1);

    const QString pid = QString::number(program.processId());
    QString window;
    ASSERT_TRUE(waitFor(
        [&] {
            window = run(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), pid,
                          QStringLiteral("--name"), QStringLiteral("^Vellicord")})
                         .section(u'\n', 0, 0);
            return !window.isEmpty();
        },
        30000));
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(test::awaitKeyboard(window));
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+shift+p")});
    QRect task;
    ASSERT_TRUE(waitFor(
        [&] {
            task = extentsOf(program.processId(), QStringLiteral("Task or instructions for the model"));
            return task.width() > 0;
        },
        20000))
        << "the composer's task field, read through the accessibility interface";

    const QString typed = QStringLiteral("Compare the two sources.");
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(task.center().x()), QString::number(task.center().y()),
         QStringLiteral("click"), QStringLiteral("1")});
    QThread::msleep(300);
    ASSERT_TRUE(test::awaitKeyboard(window));
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), typed});
    std::optional<StoreSnapshot> saved;
    ASSERT_TRUE(waitFor(
        [&] {
            QFile stored(file);
            if (!stored.open(QIODevice::ReadOnly))
                return false;
            try {
                saved = StorePersistence::decode(stored.readAll());
            } catch (const std::exception&) {
                return false;
            }
            return saved->drafts && saved->drafts->size() == 1 && saved->drafts->first().task == typed;
        },
        10000))
        << "the task in the library file";

    ASSERT_TRUE(test::awaitKeyboard(window));
    run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+shift+c")});
    const ContextDraft& stored = saved->drafts->first();
    const QString expected
        = ContextComposer::compose(stored, saved->selections.toList(), ContextComposer::defaultPreamble(),
                                   stored.modelProfile(), std::nullopt, true)
              .text;
    ASSERT_TRUE(expected.contains(typed));
    QString clipboard;
    EXPECT_TRUE(waitFor(
        [&] {
            clipboard = run(QStringLiteral("xclip"),
                            {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
            return clipboard == expected;
        },
        5000))
        << clipboard.toStdString();

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000));
}

} // namespace
