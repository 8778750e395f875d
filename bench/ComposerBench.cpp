// The composer on the main thread of an X server. Over a prompt of 500 sources: the draft pane
// opened until it is painted, a keystroke in the task and in a source's note (the store update,
// the pane's refresh and the repaint of what changed), and a keystroke in the task of the whole
// composer in the main window over a larger library, whose sidebar and title follow the prompt.
// The whole composer over 2 MB of sources: a keystroke in its edited preview and in its task,
// Reduce to Fit and Copy Split with the view brought up to date. Importing 1 MB of pasted text
// until its rows are shown; Remove Duplicates over 500 sources of 5 KB. Over a prompt of 3,000 short
// sources, the longest the window does not answer while a command removes many of them at once
// (Remove Duplicates, Remove Excluded Sources, Reduce to Fit, their captures deleted) or 1,700 are
// added to 1,300 of them (captures added from the library, pasted text imported), with
// --accessibility_listener while an accessibility client listens to its events. Every figure has
// the machine's load beside it. Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/composer/DraftSession.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/TokenBudgetMeter.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarView.h"
#include "Tovak/shell/AppActions.h"
#include "Tovak/shell/MainWindow.h"
#include "bench/X11BenchMain.h"
#include "core/composition/ContextComposer.h"
#include "core/library/Store.h"
#include "support/ViewFakes.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <atspi/atspi.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

using namespace vellicord;

constexpr int sourceCount = 500;

QString words(QRandomGenerator& random, int approximateLength)
{
    static const QStringList vocabulary
        = QStringLiteral("the of and to in is that for it as was with be by on not this are or from at which but "
                         "prompt context model token capture library selection source markdown budget layout draft")
              .split(u' ');
    QString text;
    while (text.size() < approximateLength) {
        text.append(vocabulary[int(random.bounded(vocabulary.size()))]);
        text.append(random.bounded(12) == 0 ? QChar(u'\n') : QChar(u' '));
    }
    return text;
}

// A library of 500 captures from a few dozen pages and documents, and one prompt of them all:
// about 450 kB of sources, or 2 MB.
struct Library {
    ViewFakes fakes;
    QUuid draftID;
    qsizetype characters = 0;

    explicit Library(int sourceLength = 900)
    {
        QRandomGenerator random(5);
        ContextDraft draft = *fakes.store->newDraft(QStringLiteral("Literature review"));
        for (int i = 0; i < sourceCount; ++i) {
            std::optional<QString> url;
            if (i % 2 == 0)
                url = QStringLiteral("https://site%1.example/article/%2").arg(i % 37).arg(i);
            const Selection s(QUuid::createUuid(), words(random, sourceLength), std::nullopt, QStringLiteral("Firefox"),
                              std::nullopt, url, QStringLiteral("Article %1").arg(i), std::nullopt, {},
                              QDateTime::fromSecsSinceEpoch(1'700'000'000 + i * 60, Qt::UTC));
            fakes.store->add(s);
            characters += s.text.toString().size();
            draft.entries.append({QUuid::createUuid(), s.id, i % 7 != 0, i % 11 == 0, false,
                                  i == 0 ? std::optional<QString>(QStringLiteral("Cite")) : std::nullopt,
                                  std::nullopt});
        }
        draft.task = QStringLiteral("Write a literature review of the sources below.");
        fakes.store->updateDraft(draft);
        draftID = draft.id;
    }
};

Library& library()
{
    return bench::sharedFixture<Library>();
}

struct LargeLibrary : Library {
    LargeLibrary()
        : Library(4700)
    {
    }
};

Library& largeLibrary()
{
    return bench::sharedFixture<LargeLibrary>();
}

double elapsed(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Median and worst, with the machine's load over the last minute beside them: a worst case on a
// busy machine is the scheduler's as much as the composer's.
void report(benchmark::State& state, const std::vector<double>& milliseconds)
{
    bench::reportLatencies(state, milliseconds);
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        state.counters["load"] = load[0];
}

// The draft pane over its session, as the composer makes them.
struct DraftPane {
    explicit DraftPane(ViewFakes& fakes, const QUuid& draftID)
        : session(fakes.services(), draftID)
        , pane(fakes.services(), session)
    {
        pane.resize(420, 760);
        pane.show();
    }
    DraftSession session;
    ComposeDraftPane pane;
};

std::unique_ptr<DraftPane> openPane()
{
    auto opened = std::make_unique<DraftPane>(library().fakes, library().draftID);
    opened->pane.repaint();
    return opened;
}

ComposeEntryRow* firstRow(const ComposeDraftPane& pane)
{
    ComposeEntryRow* first = nullptr;
    for (ComposeEntryRow* row : pane.findChildren<ComposeEntryRow*>()) {
        if (!first || row->y() < first->y())
            first = row;
    }
    return first;
}

void OpenDraft(benchmark::State& state)
{
    std::vector<double> opens;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<DraftPane> pane = openPane();
        opens.push_back(elapsed(timer));
        pane.reset();
        QCoreApplication::processEvents();
    }
    report(state, opens);
    state.SetLabel("a prompt of 500 sources: the pane made, shown and painted");
}
BENCHMARK(OpenDraft)->Unit(benchmark::kMillisecond)->Iterations(10);

// The keystrokes' times and the main thread's processor time in each: a worst time far above its
// processor time waited (for the scheduler, for other threads, for the X server).
struct Keystrokes {
    std::vector<double> milliseconds;
    std::vector<double> processor;
};

double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Types into the widget: each key pressed and released, then the turn of the event loop that
// refreshes the pane and paints what changed.
Keystrokes typeInto(QWidget& widget, const QString& text)
{
    Keystrokes keystrokes;
    for (const QChar c : text) {
        const double processor = threadMilliseconds();
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&widget, &release);
        QCoreApplication::processEvents();
        keystrokes.milliseconds.push_back(elapsed(timer));
        keystrokes.processor.push_back(threadMilliseconds() - processor);
    }
    return keystrokes;
}

// The text typed into the widget once per iteration: every keystroke's times. What showing the
// window left for its next turns (a scroll bar shown once the list is laid out is painted on the
// turn after) is done first, so that the first keystroke measured is only a keystroke.
Keystrokes typeEachIteration(benchmark::State& state, QWidget& widget, const QString& text)
{
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Keystrokes keystrokes;
    for (auto _ : state) {
        const Keystrokes typed = typeInto(widget, text);
        keystrokes.milliseconds.insert(keystrokes.milliseconds.end(), typed.milliseconds.begin(),
                                       typed.milliseconds.end());
        keystrokes.processor.insert(keystrokes.processor.end(), typed.processor.begin(), typed.processor.end());
    }
    return keystrokes;
}

// The times with the machine's load, and the processor time of the slowest keystroke and the most
// any keystroke took.
void report(benchmark::State& state, const Keystrokes& keystrokes)
{
    report(state, keystrokes.milliseconds);
    const auto slowest = std::max_element(keystrokes.milliseconds.begin(), keystrokes.milliseconds.end());
    state.counters["slowest_cpu_ms"] = keystrokes.processor[size_t(slowest - keystrokes.milliseconds.begin())];
    state.counters["max_cpu_ms"] = *std::max_element(keystrokes.processor.begin(), keystrokes.processor.end());
}

void KeystrokeInTask(benchmark::State& state)
{
    std::unique_ptr<DraftPane> opened = openPane();
    ComposeDraftPane* pane = &opened->pane;
    QCoreApplication::processEvents();
    pane->taskField()->setFocus();
    pane->taskField()->moveCursor(QTextCursor::End);
    report(state, typeEachIteration(state, *pane->taskField(), QStringLiteral(" and their methods")));
    state.SetLabel("a keystroke in the task of a 500-source prompt: stored, refreshed, repainted");
}
BENCHMARK(KeystrokeInTask)->Unit(benchmark::kMillisecond)->Iterations(5);

void KeystrokeInNote(benchmark::State& state)
{
    std::unique_ptr<DraftPane> opened = openPane();
    QCoreApplication::processEvents();
    QLineEdit* note = firstRow(opened->pane)->noteField();
    note->setFocus();
    note->end(false);
    report(state, typeEachIteration(state, *note, QStringLiteral(" the abstract and section 2")));
    state.SetLabel("a keystroke in a source's note of a 500-source prompt: stored, refreshed, repainted");
}
BENCHMARK(KeystrokeInNote)->Unit(benchmark::kMillisecond)->Iterations(5);

// The main window showing the prompt, over a library of 20,000 more captures from 2,000 sources:
// the sidebar, the list and the title follow every change of the prompt as well.
struct Window {
    Library library;
    std::unique_ptr<AppActions> actions;
    std::unique_ptr<MainWindow> window;

    Window()
    {
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i) {
            const Selection s(QUuid::createUuid(), words(random, 600), std::nullopt, QStringLiteral("Firefox"),
                              std::nullopt, QStringLiteral("https://other%1.example/").arg(i % 2000), std::nullopt,
                              std::nullopt, {}, QDateTime::fromSecsSinceEpoch(1'600'000'000 + i * 60, Qt::UTC));
            library.fakes.store->add(s);
        }
        actions = std::make_unique<AppActions>();
        window = std::make_unique<MainWindow>(library.fakes.services(), *actions);
        window->resize(1280, 760);
        window->show();
        window->repaint();
        // What the window makes on other threads once it has painted (the search index, the
        // sources' counts) is done before the figure: a search is shown once the index is made.
        ContentView& content = *window->contentView();
        content.searchField()->setText(QStringLiteral("budget"));
        while (content.state().model().isWaitingForSearch())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        content.searchField()->clear();
        const auto* sidebar = static_cast<const SidebarModel*>(content.sidebar()->model());
        QElapsedTimer counting;
        counting.start();
        while (!sidebar->isCounted() && counting.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        content.state().selectDraft(library.draftID);
        QCoreApplication::processEvents();
        window->repaint();
    }
};

void KeystrokeInTaskInWindow(benchmark::State& state)
{
    Window& w = bench::sharedFixture<Window>();
    QPlainTextEdit* task = w.window->contentView()->composer()->draftPane()->taskField();
    task->setFocus();
    task->moveCursor(QTextCursor::End);
    report(state, typeEachIteration(state, *task, QStringLiteral(" and their methods")));
    state.SetLabel("a keystroke in the task of a 500-source prompt in the main window over 20,500 captures");
}
BENCHMARK(KeystrokeInTaskInWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

// The composer over the 2 MB prompt, shown and painted, with the draft as the library had it.
std::unique_ptr<ComposeView> openComposer(const ContextDraft& draft)
{
    Library& large = largeLibrary();
    large.fakes.store->updateDraft(draft);
    auto view = std::make_unique<ComposeView>(large.fakes.services(), large.draftID);
    view->resize(1100, 760);
    view->show();
    QCoreApplication::processEvents();
    view->repaint();
    return view;
}

ContextDraft largeDraft()
{
    static const ContextDraft draft = *largeLibrary().fakes.store->findDraft(largeLibrary().draftID);
    return draft;
}

void KeystrokeInEditedPreview(benchmark::State& state)
{
    ContextDraft draft = largeDraft();
    draft.previewText
        = ContextComposer::compose(draft, largeLibrary().fakes.store->draftSelections(draft),
                                   ContextComposer::defaultPreamble(), draft.modelProfile(), std::nullopt, true)
              .text;
    std::unique_ptr<ComposeView> view = openComposer(draft);
    QPlainTextEdit* editor = view->previewPane()->editor();
    editor->setFocus();
    editor->moveCursor(QTextCursor::Start);
    report(state, typeEachIteration(state, *editor, QStringLiteral("Read these first. ")));
    state.counters["prompt_chars"] = double(editor->document()->characterCount());
    state.counters["meter_tokens"] = double(view->session().composed().tokens);
    state.SetLabel("a keystroke in the edited preview of a 2 MB prompt: stored, counted, meter shown, repainted");
}
BENCHMARK(KeystrokeInEditedPreview)->Unit(benchmark::kMillisecond)->Iterations(3);

void KeystrokeInTaskRecomposes(benchmark::State& state)
{
    std::unique_ptr<ComposeView> view = openComposer(largeDraft());
    QPlainTextEdit* task = view->draftPane()->taskField();
    task->setFocus();
    task->moveCursor(QTextCursor::End);
    report(state, typeEachIteration(state, *task, QStringLiteral(" and their methods")));
    state.counters["prompt_chars"] = double(view->previewPane()->editor()->document()->characterCount());
    state.SetLabel("a keystroke in the task of a 2 MB prompt: stored, composed anew, preview and meter shown, "
                   "repainted");
}
BENCHMARK(KeystrokeInTaskRecomposes)->Unit(benchmark::kMillisecond)->Iterations(3);

// A budget action on the 2 MB prompt against a 16k budget, until the view shows its outcome; the
// prompt is put back and the alert closed between runs, outside the time measured.
void budgetAction(benchmark::State& state, QPushButton* (TokenBudgetMeter::*button)() const, const char* label)
{
    ContextDraft draft = largeDraft();
    draft.modelProfileID = QStringLiteral("local-16k");
    std::unique_ptr<ComposeView> view = openComposer(draft);
    ComposePreviewPane& pane = *view->previewPane();
    std::vector<double> runs;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        (pane.meter()->*button)()->click();
        QCoreApplication::processEvents();
        view->repaint();
        runs.push_back(elapsed(timer));
        state.PauseTiming();
        if (QMessageBox* alert = pane.budgetAlert())
            alert->accept();
        largeLibrary().fakes.store->updateDraft(draft);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    report(state, runs);
    state.SetLabel(label);
}

void ReduceToFitLarge(benchmark::State& state)
{
    budgetAction(state, &TokenBudgetMeter::reduceButton,
                 "Reduce to Fit on a 500-source 2 MB prompt against 16k tokens: reduced, stored, view updated");
}
BENCHMARK(ReduceToFitLarge)->Unit(benchmark::kMillisecond)->Iterations(5);

void CopySplitLarge(benchmark::State& state)
{
    budgetAction(state, &TokenBudgetMeter::splitButton,
                 "Copy Split of a 500-source 2 MB prompt into 16k-token messages: planned, copied, alert shown");
}
BENCHMARK(CopySplitLarge)->Unit(benchmark::kMillisecond)->Iterations(5);

// About 1 MB of pasted text: paragraphs of a few lines to a few thousand characters, some longer
// than a chunk, some with hard line breaks.
QString pastedText(QRandomGenerator& random)
{
    QString text;
    while (text.size() < 1'000'000) {
        const int length = random.bounded(10) == 0 ? 6000 + int(random.bounded(4000)) : 200 + int(random.bounded(1500));
        text.append(words(random, length));
        text.append(QStringLiteral("\n\n"));
    }
    return text;
}

// From "Split & Add" until the new sources are shown: the captures made, the prompt stored, the
// pane refreshed, laid out and painted. The paste into the sheet (its chunk count included) is
// measured apart.
void ImportPastedText(benchmark::State& state)
{
    QRandomGenerator random(11);
    const QString text = pastedText(random);
    std::vector<double> pastes, imports;
    qsizetype chunks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ViewFakes fakes;
        const ContextDraft draft = *fakes.store->newDraft(QStringLiteral("Imported"));
        DraftPane opened(fakes, draft.id);
        ComposeDraftPane& pane = opened.pane;
        QCoreApplication::processEvents();
        pane.showImportSheet();
        ImportSheet& sheet = *pane.importSheet();
        QCoreApplication::processEvents();
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        sheet.editor()->insertPlainText(text);
        QCoreApplication::processEvents();
        sheet.repaint();
        pastes.push_back(elapsed(timer));

        timer.restart();
        sheet.mainButton()->click();
        QCoreApplication::processEvents();
        pane.repaint();
        imports.push_back(elapsed(timer));
        chunks = fakes.store->findDraft(draft.id)->entries.size();
    }
    std::vector<double> totals(pastes.size());
    for (size_t i = 0; i < totals.size(); ++i)
        totals[i] = pastes[i] + imports[i];
    report(state, imports);
    std::sort(pastes.begin(), pastes.end());
    std::sort(totals.begin(), totals.end());
    state.counters["paste_median_ms"] = pastes[pastes.size() / 2];
    state.counters["with_paste_median_ms"] = totals[totals.size() / 2];
    state.counters["with_paste_max_ms"] = totals.back();
    state.counters["chunks"] = double(chunks);
    state.SetLabel("1 MB of pasted text: Split & Add until its rows are painted (and the paste before it)");
}
BENCHMARK(ImportPastedText)->Unit(benchmark::kMillisecond)->Iterations(5);

// Text of made-up words from a vocabulary of thousands: unlike the few dozen words above, two
// such texts share only part of their trigrams, as two different passages do.
QString prose(QRandomGenerator& random, int approximateLength)
{
    static const QStringList vocabulary = [] {
        QRandomGenerator letters(23);
        QStringList list;
        for (int i = 0; i < 4000; ++i) {
            QString word;
            for (int n = 2 + int(letters.bounded(9)); n > 0; --n)
                word.append(QChar(u'a' + int(letters.bounded(26))));
            list.append(word);
        }
        return list;
    }();
    QString text;
    while (text.size() < approximateLength) {
        text.append(vocabulary[int(random.bounded(vocabulary.size()))]);
        text.append(random.bounded(12) == 0 ? QStringLiteral(".\n") : QStringLiteral(" "));
    }
    return text;
}

// 500 sources of about 5 KB, every tenth a near copy of an earlier one.
struct DuplicatesLibrary {
    ViewFakes fakes;
    ContextDraft draft;

    DuplicatesLibrary()
    {
        QRandomGenerator random(17);
        draft = *fakes.store->newDraft(QStringLiteral("Duplicates"));
        QStringList texts;
        for (int i = 0; i < sourceCount; ++i) {
            QString text = prose(random, 5000);
            if (i % 10 == 9) {
                text = texts[int(random.bounded(texts.size()))];
                text.insert(int(random.bounded(text.size())), QStringLiteral(" an extra sentence here. "));
            }
            texts.append(text);
            const Selection s(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Firefox"), std::nullopt,
                              QStringLiteral("https://site%1.example/").arg(i % 29), std::nullopt, std::nullopt, {},
                              QDateTime::fromSecsSinceEpoch(1'700'000'000 + i, Qt::UTC));
            fakes.store->add(s);
            draft.entries.append({QUuid::createUuid(), s.id, true, i % 13 == 0, false, std::nullopt, std::nullopt});
        }
        fakes.store->updateDraft(draft);
    }
};

// From the command until the pane shows the shorter prompt: the bodies composed, compared, the
// prompt stored, the pane refreshed and painted.
void RemoveDuplicates(benchmark::State& state)
{
    DuplicatesLibrary* library = &bench::sharedFixture<DuplicatesLibrary>();
    DraftPane opened(library->fakes, library->draft.id);
    ComposeDraftPane& pane = opened.pane;
    QCoreApplication::processEvents();
    std::vector<double> runs;
    qsizetype removed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        library->fakes.store->updateDraft(library->draft);
        QCoreApplication::processEvents();
        pane.repaint();
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        opened.session.removeDuplicates();
        QCoreApplication::processEvents();
        pane.repaint();
        runs.push_back(elapsed(timer));
        removed = library->draft.entries.size() - library->fakes.store->findDraft(library->draft.id)->entries.size();
    }
    report(state, runs);
    state.counters["removed"] = double(removed);
    state.SetLabel("Remove Duplicates over 500 sources of 5 KB, until the pane is painted");
}
BENCHMARK(RemoveDuplicates)->Unit(benchmark::kMillisecond)->Iterations(5);

// A prompt of 3,000 short sources (about 100 characters, the length of a quoted sentence), 2,769
// of them included, of which about two in three nearly repeat an earlier one: a word changed or
// one more. The model's budget is 16k tokens, a quarter of the prompt.
struct BulkPrompt {
    static constexpr int entryCount = 3000;
    ViewFakes fakes;
    ContextDraft draft;
    QList<Selection> captures;

    BulkPrompt()
    {
        QRandomGenerator random(29);
        draft = *fakes.store->newDraft(QStringLiteral("Quotes"));
        draft.modelProfileID = QStringLiteral("local-16k");
        QStringList texts;
        for (int i = 0; i < entryCount; ++i) {
            QString text;
            if (i > 0 && random.bounded(100) < 66) {
                QStringList words = texts[int(random.bounded(texts.size()))].split(u' ');
                const QString word = prose(random, 1).trimmed();
                if (random.bounded(2) == 0)
                    words[int(random.bounded(words.size()))] = word;
                else
                    words.insert(int(random.bounded(words.size() + 1)), word);
                text = words.join(u' ');
            } else {
                text = prose(random, 100).simplified();
            }
            texts.append(text);
            const Selection s(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Firefox"), std::nullopt,
                              QStringLiteral("https://site%1.example/quotes/%2").arg(i % 41).arg(i), std::nullopt,
                              std::nullopt, {}, QDateTime::fromSecsSinceEpoch(1'700'000'000 + i, Qt::UTC));
            fakes.store->add(s);
            captures.append(s);
            draft.entries.append({QUuid::createUuid(), s.id, i % 13 != 0, i % 97 == 0, false, std::nullopt,
                                  std::nullopt});
        }
        fakes.store->updateDraft(draft);
    }
};

// The longest the main thread kept the window from answering, and how long after the command it
// answered steadily again, seen by a timer that asks for a turn of the event loop every 2 ms: the
// gap between two of its turns is the wait an input event or a screen reader's question had.
struct Responsiveness {
    double stallMs = 0;
    double settledMs = 0;
};

Responsiveness measureResponsiveness(const std::function<void()>& command)
{
    constexpr double steadyGapMs = 50; // answering within this counts as answering steadily
    constexpr qint64 quietMs = 1000; // steady for this long after the last longer gap: settled
    QEventLoop loop;
    QElapsedTimer clock;
    Responsiveness seen;
    double last = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(2);
    QObject::connect(&heartbeat, &QTimer::timeout, &loop, [&] {
        const double now = elapsed(clock);
        const double gap = now - last;
        last = now;
        seen.stallMs = std::max(seen.stallMs, gap);
        if (gap > steadyGapMs)
            seen.settledMs = now;
        if (now - seen.settledMs > quietMs || now > 60000)
            loop.quit();
    });
    // The command runs in a turn of its own, as a menu item's does.
    QTimer::singleShot(0, &loop, [&] {
        clock.start();
        command();
        const double now = elapsed(clock);
        seen.stallMs = now;
        seen.settledMs = now;
        last = now;
        heartbeat.start();
    });
    loop.exec();
    return seen;
}

// The accessibility listener's reports that it heard more events (a byte each tenth of a second
// in which it did), or -1 without a listener.
int listenerActivity = -1;

bool listenerHeardMore()
{
    char reports[64];
    bool heard = false;
    while (listenerActivity >= 0 && read(listenerActivity, reports, sizeof reports) > 0)
        heard = true;
    return heard;
}

// The composer over the prompt, in its window as users see it, opened on the prompt's captures as
// they were made and on the prompt, or on the part of it given.
struct BulkComposer {
    BulkPrompt& prompt = bench::sharedFixture<BulkPrompt>();
    std::unique_ptr<ComposeView> view;

    explicit BulkComposer(const std::optional<ContextDraft>& opened = std::nullopt)
    {
        for (const Selection& s : prompt.captures) {
            if (!prompt.fakes.store->find(s.id))
                prompt.fakes.store->add(s);
        }
        prompt.fakes.store->updateDraft(opened.value_or(prompt.draft));
        settle();
        view = std::make_unique<ComposeView>(prompt.fakes.services(), prompt.draft.id);
        view->resize(1100, 760);
        view->show();
        settle();
    }

    ~BulkComposer()
    {
        view.reset();
        settle();
    }

    // Until the event loop has had nothing long to do for a second, and an accessibility client
    // listening has heard nothing for as long: what the window left for later, and the events the
    // last command and the opening sent, are done before anything is measured.
    static void settle()
    {
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < 1000) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (turn.elapsed() > 20 || listenerHeardMore())
                quiet.restart();
        }
    }

    // The sources shown as rows.
    qsizetype rows() const
    {
        const QList<ComposeEntryRow*> all = view->draftPane()->findChildren<ComposeEntryRow*>();
        return std::count_if(all.cbegin(), all.cend(), [](const ComposeEntryRow* row) { return !row->isHidden(); });
    }
};

void reportResponsiveness(benchmark::State& state, const std::vector<Responsiveness>& runs, const char* rowsCounter,
                          qsizetype rows)
{
    std::vector<double> stalls, settled;
    for (const Responsiveness& run : runs) {
        stalls.push_back(run.stallMs);
        settled.push_back(run.settledMs);
    }
    report(state, stalls);
    std::sort(settled.begin(), settled.end());
    state.counters["settled_median_ms"] = settled[settled.size() / 2];
    state.counters["settled_max_ms"] = settled.back();
    state.counters[rowsCounter] = double(rows);
    state.counters["a11y_listener"] = qEnvironmentVariableIsEmpty("VELLICORD_BENCH_ATSPI_LISTENER") ? 0 : 1;
}

// A command that removes or adds many sources at once, from its turn of the event loop until the
// window answers steadily again, each time in a composer opened anew on the prompt (or the part of
// it given); once each has closed, `after` (outside the time measured).
void bulkChange(benchmark::State& state, const std::function<void(BulkComposer&)>& command,
                const std::optional<ContextDraft>& opened = std::nullopt, const std::function<void()>& after = {})
{
    std::vector<Responsiveness> runs;
    qsizetype changed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto composer = std::make_unique<BulkComposer>(opened);
        const qsizetype before = composer->rows();
        state.ResumeTiming();
        runs.push_back(measureResponsiveness([&] { command(*composer); }));
        state.PauseTiming();
        changed = composer->rows() - before;
        composer.reset();
        if (after)
            after();
        state.ResumeTiming();
    }
    reportResponsiveness(state, runs, changed < 0 ? "removed" : "added", std::abs(changed));
}

void BulkRemoveDuplicates(benchmark::State& state)
{
    bulkChange(state, [](BulkComposer& c) { c.view->session().removeDuplicates(); });
    state.SetLabel("Remove Duplicates over 3,000 sources of 100 characters: the longest the window did not answer");
}
BENCHMARK(BulkRemoveDuplicates)->Unit(benchmark::kMillisecond)->Iterations(5);

void BulkRemoveExcluded(benchmark::State& state)
{
    bulkChange(state, [](BulkComposer& c) { c.view->session().removeExcludedSources(); });
    state.SetLabel("Remove Excluded Sources over 3,000 sources: the longest the window did not answer");
}
BENCHMARK(BulkRemoveExcluded)->Unit(benchmark::kMillisecond)->Iterations(5);

void BulkReduceToFit(benchmark::State& state)
{
    bulkChange(state, [](BulkComposer& c) { c.view->previewPane()->meter()->reduceButton()->click(); });
    state.SetLabel("Reduce to Fit of 3,000 sources into 16k tokens: the longest the window did not answer");
}
BENCHMARK(BulkReduceToFit)->Unit(benchmark::kMillisecond)->Iterations(5);

// Half the prompt's captures deleted from the library at once: their sources leave the composer.
void BulkDeleteCaptures(benchmark::State& state)
{
    bulkChange(state, [](BulkComposer& c) {
        QSet<QUuid> ids;
        for (qsizetype i = 0; i < c.prompt.captures.size(); i += 2)
            ids.insert(c.prompt.captures[i].id);
        c.prompt.fakes.store->remove(ids);
    });
    state.SetLabel("1,500 of the prompt's captures deleted from the library: the longest the window did not answer");
}
BENCHMARK(BulkDeleteCaptures)->Unit(benchmark::kMillisecond)->Iterations(5);

// The prompt cut to 1,300 of its sources (13 in every 30); the captures of the other 1,700 are
// what is added to it.
ContextDraft partOfPrompt(const BulkPrompt& prompt)
{
    ContextDraft part = prompt.draft;
    part.entries.clear();
    for (qsizetype i = 0; i < prompt.draft.entries.size(); ++i) {
        if (i % 30 < 13)
            part.entries.append(prompt.draft.entries[i]);
    }
    return part;
}

QList<Selection> capturesLeftOut(const BulkPrompt& prompt)
{
    QList<Selection> left;
    for (qsizetype i = 0; i < prompt.captures.size(); ++i) {
        if (i % 30 >= 13)
            left.append(prompt.captures[i]);
    }
    return left;
}

// 1,700 captures added at once to the open 1,300-source prompt, as "Add to Prompt" does for the
// captures selected in the library, a group's "Add to prompt" or a drop on the prompt in the
// sidebar.
void BulkAddCaptures(benchmark::State& state)
{
    const BulkPrompt& prompt = bench::sharedFixture<BulkPrompt>();
    QSet<QUuid> ids;
    for (const Selection& s : capturesLeftOut(prompt))
        ids.insert(s.id);
    bulkChange(
        state, [&](BulkComposer& c) { c.prompt.fakes.store->addSelectionsToActiveDraft(ids); }, partOfPrompt(prompt));
    state.SetLabel("1,700 captures added to an open prompt of 1,300 sources: the longest the window did not answer");
}
BENCHMARK(BulkAddCaptures)->Unit(benchmark::kMillisecond)->Iterations(5);

// 1,700 paragraphs of pasted text imported into the open 1,300-source prompt with Split & Add;
// the captures it made are deleted again between runs.
void BulkImportText(benchmark::State& state)
{
    const BulkPrompt& prompt = bench::sharedFixture<BulkPrompt>();
    QStringList paragraphs;
    for (const Selection& s : capturesLeftOut(prompt))
        paragraphs.append(s.text.toString());
    const QString text = paragraphs.join(QStringLiteral("\n\n"));
    bulkChange(
        state, [&](BulkComposer& c) { c.view->session().addImported(text); }, partOfPrompt(prompt),
        [&] {
            Store& store = *prompt.fakes.store;
            QSet<QUuid> imported;
            for (const Selection& s : store.selections()) {
                if (s.appName == QLatin1String(DraftSession::importAppName))
                    imported.insert(s.id);
            }
            store.remove(imported);
        });
    state.SetLabel("1,700 paragraphs imported into an open prompt of 1,300 sources: the longest the window did not "
                   "answer");
}
BENCHMARK(BulkImportText)->Unit(benchmark::kMillisecond)->Iterations(5);

// An accessibility client such as a screen reader: it listens to every object event of every
// application on the accessibility bus. Runs in a process of its own until it is told to stop,
// then prints how many events it heard.
int listenToAccessibilityEvents()
{
    if (atspi_init() > 1)
        return 1;
    static long heard = 0;
    AtspiEventListener* listener = atspi_event_listener_new(
        [](AtspiEvent* event, void*) {
            ++heard;
            g_boxed_free(ATSPI_TYPE_EVENT, event);
        },
        nullptr, nullptr);
    for (const char* kind : {"object:", "window:", "focus:"})
        atspi_event_listener_register(listener, kind, nullptr);
    g_unix_signal_add(SIGTERM, [](gpointer) -> gboolean {
        atspi_event_quit();
        return G_SOURCE_REMOVE;
    }, nullptr);
    static long reported = 0;
    g_timeout_add(100, [](gpointer) -> gboolean {
        if (heard != reported) {
            reported = heard;
            std::printf(".");
            std::fflush(stdout);
        }
        return G_SOURCE_CONTINUE;
    }, nullptr);
    std::printf("listening\n");
    std::fflush(stdout);
    atspi_event_main();
    std::fprintf(stderr, "The accessibility listener heard %ld events.\n", heard);
    return 0;
}

// Starts the listener (this program again) and waits until it listens; its process id. What it
// reports afterwards is read from listenerActivity.
pid_t startAccessibilityListener(const char* program)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(ready[1], STDOUT_FILENO);
        close(ready[0]);
        close(ready[1]);
        execl(program, program, "--atspi_listener_process", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char line[16] = {};
    if (read(ready[0], line, 10) != 10 || std::strncmp(line, "listening\n", 10) != 0) {
        close(ready[0]);
        return -1;
    }
    fcntl(ready[0], F_SETFL, O_NONBLOCK);
    listenerActivity = ready[0];
    return child;
}

} // namespace

// --accessibility_listener: the figures with an accessibility client listening to the program's
// events, as a screen reader does (on a D-Bus session of its own when there is none).
int main(int argc, char** argv)
{
    const auto flag = [&](const char* name) {
        return std::any_of(argv + 1, argv + argc, [&](const char* argument) { return std::strcmp(argument, name) == 0; });
    };
    if (flag("--atspi_listener_process"))
        return listenToAccessibilityEvents();
    pid_t listener = -1;
    if (flag("--accessibility_listener")) {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            std::vector<char*> command{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
            command.insert(command.end(), argv, argv + argc);
            command.push_back(nullptr);
            execvp("dbus-run-session", command.data());
            return 1;
        }
        if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
            qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
            qputenv("VELLICORD_BENCH_ATSPI_LISTENER", "1");
            listener = startAccessibilityListener(argv[0]);
            if (listener < 0) {
                std::fprintf(stderr, "The accessibility listener did not start.\n");
                return 1;
            }
        }
    }
    // The composer as users see it: the application's style, palette and fonts. Without a display
    // this runs again under xvfb-run, where the listener starts.
    const int status = vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets,
                                                  [] { vellicord::Theme::apply(*qApp, vellicord::Appearance::light); });
    if (listener > 0) {
        kill(listener, SIGTERM);
        waitpid(listener, nullptr, 0);
    }
    return status;
}
