// A capture or a pasted text that is one long paragraph or one unbroken run, in each view that lays
// such a text out whole: the inspector's passage when the capture is selected (and when another is
// selected after it), the composer opened on a prompt holding it (its preview), the trim sheet of
// its source, the import sheet given it, and the task and a source's note with it pasted in. The figure is the longest
// the main thread does not answer, from the action until the view has nothing left to do, with the time until then, the
// main thread's processor time until then, and the machine's load beside it. With the caret left in a source's note
// holding the text (NoteCaret), or inside the preview's paragraph of it (PreviewCaret), or inside the inspector's
// passage of it (PassageCaret): the share of a processor the main thread takes over 5 seconds in which nothing else
// happens; NoteTyped: a character typed at the note's end and taken away again. The kinds: ordinary paragraphs (the
// control), varied words, a JSON array on one line, hexadecimal digits, one short word repeated, one letter repeated;
// of 1,000,000 characters (the letter also of 200,000) and of 5,000,000 (filter on "5M"); Thai words without spaces, of
// 300,000 and 1,000,000; and runs with Thai inside them (hexThai, letterThai, jsonThai), of 1,000,000. Needs an X
// server: without DISPLAY it runs itself under xvfb-run.
#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/RichMarkdownView.h"
#include "Tovak/library/SelectionDetailView.h"
#include "bench/MachineLoad.h"
#include "bench/X11BenchMain.h"
#include "core/library/ModelProfile.h"
#include "core/library/Store.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include <time.h>

namespace {

using namespace vellicord;

enum class Kind { paragraphs, words, json, hex, repeated, letter, thai, hexThai, letterThai, jsonThai };

const char* nameOf(Kind kind)
{
    switch (kind) {
    case Kind::paragraphs: return "paragraphs";
    case Kind::words: return "words";
    case Kind::json: return "json";
    case Kind::hex: return "hex";
    case Kind::repeated: return "repeated";
    case Kind::letter: return "letter";
    case Kind::thai: return "thai";
    case Kind::hexThai: return "hexThai";
    case Kind::letterThai: return "letterThai";
    case Kind::jsonThai: return "jsonThai";
    }
    return "";
}

// Thai is written without spaces: where its lines may break, a dictionary finds.
const QString thaiWords[] = {u"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35"_qs,
                             u"\u0e20\u0e32\u0e29\u0e32"_qs,
                             u"\u0e44\u0e17\u0e22"_qs,
                             u"\u0e1b\u0e23\u0e30\u0e40\u0e17\u0e28"_qs,
                             u"\u0e01\u0e32\u0e23"_qs,
                             u"\u0e40\u0e02\u0e35\u0e22\u0e19"_qs,
                             u"\u0e02\u0e49\u0e2d\u0e04\u0e27\u0e32\u0e21"_qs,
                             u"\u0e27\u0e31\u0e19\u0e19\u0e35\u0e49"_qs,
                             u"\u0e2d\u0e32\u0e01\u0e32\u0e28"_qs,
                             u"\u0e14\u0e35\u0e21\u0e32\u0e01"_qs};

QString word(QRandomGenerator& random)
{
    QString made;
    const int length = 2 + int(random.bounded(9));
    for (int i = 0; i < length; ++i)
        made.append(QChar(u'a' + char16_t(random.bounded(26))));
    return made;
}

// The text of the kind, exactly `length` characters long; only the paragraphs have a line break.
QString textOf(Kind kind, qsizetype length)
{
    QRandomGenerator random(11);
    QString text;
    text.reserve(length + 64);
    switch (kind) {
    case Kind::paragraphs:
        while (text.size() < length) {
            for (int w = 0; w < 120; ++w)
                text.append(word(random)).append(u' ');
            text.append(QStringLiteral("\n\n"));
        }
        break;
    case Kind::words:
        while (text.size() < length)
            text.append(word(random)).append(u' ');
        break;
    case Kind::json:
        text.append(u'[');
        for (int i = 0; text.size() < length; ++i)
            text.append(QStringLiteral("{\"id\":%1,\"name\":\"%2\",\"tags\":[\"%3\",\"%4\"],\"done\":false},")
                            .arg(i)
                            .arg(word(random), word(random), word(random)));
        break;
    case Kind::hex:
        while (text.size() < length)
            text.append(QChar(u"0123456789abcdef"[random.bounded(16)]));
        break;
    case Kind::repeated:
        while (text.size() < length)
            text.append(QStringLiteral("abcdefghij "));
        break;
    case Kind::letter: text.fill(u'Z', length); break;
    case Kind::thai:
        while (text.size() < length)
            text.append(thaiWords[random.bounded(int(std::size(thaiWords)))]);
        break;
    // Runs with Thai inside them: hexadecimal digits with a Thai word after each 996, a letter
    // repeated with one Thai letter after each 99, and a JSON array whose strings are Thai words.
    case Kind::hexThai:
        while (text.size() < length) {
            for (int i = 0; i < 996; ++i)
                text.append(QChar(u"0123456789abcdef"[random.bounded(16)]));
            text.append(u"\u0e20\u0e32\u0e29\u0e32"_qs);
        }
        break;
    case Kind::letterThai:
        while (text.size() < length)
            text.append(QString(99, u'Z')).append(u'\u0e01');
        break;
    case Kind::jsonThai:
        text.append(u'[');
        while (text.size() < length)
            text.append(u'"').append(thaiWords[random.bounded(int(std::size(thaiWords)))]).append(u"\","_qs);
        break;
    }
    text.truncate(length);
    return text;
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The longest single turn of the main thread, from the action on until the event loop has found
// nothing to do for a while (a turn shorter than a millisecond), and when that began; and the
// processor time the main thread took until then, which other work on the machine changes less.
struct Blocking {
    double longestMs = 0;
    double settledMs = 0;
    double processorMs = 0;
};

Blocking measure(const std::function<void()>& action)
{
    QElapsedTimer total;
    total.start();
    QElapsedTimer turn;
    turn.start();
    const double processor = threadSeconds();
    action();
    Blocking blocking{double(turn.nsecsElapsed()) / 1e6, double(total.nsecsElapsed()) / 1e6,
                      (threadSeconds() - processor) * 1e3};
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 300 && total.elapsed() < 120'000) {
        turn.restart();
        QApplication::processEvents();
        const double ms = double(turn.nsecsElapsed()) / 1e6;
        blocking.longestMs = std::max(blocking.longestMs, ms);
        if (ms > 1) {
            blocking.settledMs = double(total.nsecsElapsed()) / 1e6;
            blocking.processorMs = (threadSeconds() - processor) * 1e3;
            quiet.restart();
        }
    }
    return blocking;
}

void report(benchmark::State& state, const std::vector<Blocking>& runs, qsizetype length)
{
    double longest = 0;
    double settled = 0;
    double processor = 0;
    for (const Blocking& run : runs) {
        longest = std::max(longest, run.longestMs);
        settled = std::max(settled, run.settledMs);
        processor = std::max(processor, run.processorMs);
    }
    state.counters["longest_block_ms"] = longest;
    state.counters["settled_ms"] = settled;
    state.counters["main_thread_ms"] = processor;
    state.counters["chars"] = double(length);
    bench::reportLoad(state);
}

// A library holding the text as one capture of plain text, and a prompt of it alone.
struct Library : ViewFakes {
    Selection capture;
    QUuid draftID;
    QUuid small;

    explicit Library(const QString& text)
        : capture(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Terminal"), std::nullopt, std::nullopt,
                  QStringLiteral("A long line"), std::nullopt, {}, time.now())
    {
        store->add(capture);
        const Selection other(QUuid::createUuid(), QStringLiteral("A short capture."), std::nullopt,
                              QStringLiteral("Terminal"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                              time.now());
        store->add(other);
        small = other.id;
        ContextDraft draft = *store->newDraft(QStringLiteral("Long line"));
        draft.entries.append({QUuid::createUuid(), capture.id, true, false, false, std::nullopt, std::nullopt});
        store->updateDraft(draft);
        draftID = draft.id;
    }
};

void settle()
{
    measure([] {});
}

// The inspector over a library holding the text, at the width of the window's inspector.
struct Inspected {
    Library library;
    IconCache icons{library.desktop};
    SelectionDetailView view;

    explicit Inspected(const QString& text)
        : library(text)
        , view(SelectionDetailView::Services{.store = *library.store,
                                             .pasteboard = library.pasteboard,
                                             .scheduler = library.time,
                                             .desktop = library.desktop,
                                             .icons = icons},
               QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc())
    {
        view.resize(420, 660);
    }
};

void inspector(benchmark::State& state, const QString& text)
{
    Inspected inspected(text);
    Library& library = inspected.library;
    SelectionDetailView& view = inspected.view;
    view.show();
    std::vector<Blocking> runs;
    for (auto _ : state) {
        view.setSelectionID(library.small);
        settle();
        runs.push_back(measure([&] { view.setSelectionID(library.capture.id); }));
        runs.push_back(measure([&] { view.setSelectionID(library.small); }));
    }
    report(state, runs, text.size());
}

// The main window's content over the library, the capture selected in its list.
void window(benchmark::State& state, const QString& text)
{
    Library library(text);
    ContentView content(library.services());
    content.resize(1120, 660);
    content.show();
    std::vector<Blocking> runs;
    for (auto _ : state) {
        content.state().selectInList({library.small});
        settle();
        runs.push_back(measure([&] { content.state().selectInList({library.capture.id}); }));
        runs.push_back(measure([&] { content.state().selectInList({library.small}); }));
    }
    report(state, runs, text.size());
}

void preview(benchmark::State& state, const QString& text)
{
    Library library(text);
    std::vector<Blocking> runs;
    for (auto _ : state) {
        std::unique_ptr<ComposeView> view;
        runs.push_back(measure([&] {
            view = std::make_unique<ComposeView>(library.services(), library.draftID);
            view->resize(1100, 760);
            view->show();
        }));
        state.counters["preview_chars"] = double(view->previewPane()->editor()->document()->characterCount());
        view.reset();
        settle();
    }
    report(state, runs, text.size());
}

// A sheet made over a window and shown.
void sheet(benchmark::State& state, const QString& text,
           const std::function<std::unique_ptr<QDialog>(QWidget& parent)>& make)
{
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    std::vector<Blocking> runs;
    for (auto _ : state) {
        std::unique_ptr<QDialog> shown;
        runs.push_back(measure([&] {
            shown = make(parent);
            shown->show();
        }));
        shown.reset();
        settle();
    }
    report(state, runs, text.size());
}

void trimSheet(benchmark::State& state, const QString& text)
{
    sheet(state, text, [&](QWidget& parent) {
        return std::make_unique<EntryTrimSheet>(ModelProfile::profile(QStringLiteral("gpt-4o")), text, &parent);
    });
}

void importSheet(benchmark::State& state, const QString& text)
{
    sheet(state, text, [&](QWidget& parent) { return std::make_unique<ImportSheet>(text, &parent); });
}

// The draft pane of an empty prompt, the text pasted into its task or into its one source's note.
void pasted(benchmark::State& state, const QString& text, bool intoNote)
{
    Library library(QStringLiteral("A short source."));
    std::vector<Blocking> runs;
    for (auto _ : state) {
        ContextDraft draft = *library.store->findDraft(library.draftID);
        draft.task.clear();
        // A note of one letter, so that the source shows its note field.
        draft.entries[0].note = QStringLiteral("n");
        library.store->updateDraft(draft);
        DraftSession session(library.services(), library.draftID);
        ComposeDraftPane pane(library.services(), session);
        pane.resize(420, 760);
        pane.show();
        settle();
        ComposeEntryRow* row = pane.findChild<ComposeEntryRow*>();
        runs.push_back(measure([&] {
            if (intoNote)
                row->noteField()->insert(text);
            else
                pane.taskField()->insertPlainText(text);
        }));
    }
    report(state, runs, text.size());
}

void task(benchmark::State& state, const QString& text)
{
    pasted(state, text, false);
}

void note(benchmark::State& state, const QString& text)
{
    pasted(state, text, true);
}

// Shown and the active window, so that a caret in it blinks as it does for the user.
void showActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (!window.isActiveWindow() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

// The composer over a prompt whose one source has the text as its note, or the text as its source,
// the caret put in the note field or inside the preview's text. Waits for the window to be active,
// so that the caret blinks as it does for the user.
struct CaretIn {
    Library library;
    std::unique_ptr<ComposeView> view;
    QWidget* field = nullptr;

    CaretIn(const QString& text, bool inNote)
        : library(inNote ? QStringLiteral("A short source.") : text)
    {
        if (inNote) {
            ContextDraft draft = *library.store->findDraft(library.draftID);
            draft.entries[0].note = text;
            library.store->updateDraft(draft);
        }
        view = std::make_unique<ComposeView>(library.services(), library.draftID);
        view->resize(1100, 760);
        showActive(*view);
        if (inNote) {
            QLineEdit* note = view->findChild<ComposeEntryRow*>()->noteField();
            note->setFocus();
            note->end(false);
            field = note;
        } else {
            QPlainTextEdit* editor = view->previewPane()->editor();
            editor->setFocus();
            QTextCursor cursor(editor->document());
            cursor.setPosition(editor->document()->characterCount() / 2);
            editor->setTextCursor(cursor);
            field = editor;
        }
        settle();
    }
};

// The main thread's share of a processor over 5 seconds in which nothing happens but the caret in
// the field.
void idleShare(benchmark::State& state, QWidget* field, qsizetype chars)
{
    for (auto _ : state) {
        const double processor = threadSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop idle;
        QTimer::singleShot(5000, &idle, &QEventLoop::quit);
        idle.exec();
        state.counters["main_thread_percent"]
            = 100 * (threadSeconds() - processor) / (double(wall.nsecsElapsed()) / 1e9);
    }
    state.counters["focused"] = QApplication::focusWidget() == field ? 1 : 0;
    state.counters["chars"] = double(chars);
    bench::reportLoad(state);
}

void caret(benchmark::State& state, const QString& text, bool inNote)
{
    CaretIn composer(text, inNote);
    idleShare(state, composer.field, text.size());
}

// The inspector showing the capture, the caret put inside its passage.
void passageCaret(benchmark::State& state, const QString& text)
{
    Inspected inspected(text);
    Library& library = inspected.library;
    SelectionDetailView& view = inspected.view;
    showActive(view);
    view.setSelectionID(library.capture.id);
    settle();
    RichMarkdownView& passage = view.passage();
    passage.setFocus();
    QTextCursor cursor(passage.document());
    cursor.setPosition(passage.document()->characterCount() / 2);
    passage.setTextCursor(cursor);
    settle();
    idleShare(state, &passage, text.size());
}

void noteCaret(benchmark::State& state, const QString& text)
{
    caret(state, text, true);
}

void previewCaret(benchmark::State& state, const QString& text)
{
    caret(state, text, false);
}

// A character typed at the end of the note, and one taken away again.
void noteTyped(benchmark::State& state, const QString& text)
{
    CaretIn composer(text, true);
    std::vector<Blocking> runs;
    for (auto _ : state) {
        for (const auto& [key, typed] :
             {std::pair{Qt::Key_X, QStringLiteral("x")}, std::pair{Qt::Key_Backspace, QString()}}) {
            runs.push_back(measure([&] {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
                QApplication::sendEvent(composer.field, &press);
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
                QApplication::sendEvent(composer.field, &release);
            }));
        }
    }
    state.counters["stored_chars"]
        = double(composer.library.store->findDraft(composer.library.draftID)->entries[0].note->size());
    report(state, runs, text.size());
}

void registerAll()
{
    using View = void (*)(benchmark::State&, const QString&);
    const std::pair<const char*, View> views[] = {{"Inspector", &inspector},
                                                  {"Window", &window},
                                                  {"Preview", &preview},
                                                  {"TrimSheet", &trimSheet},
                                                  {"ImportSheet", &importSheet},
                                                  {"Task", &task},
                                                  {"Note", &note},
                                                  {"NoteCaret", &noteCaret},
                                                  {"NoteTyped", &noteTyped},
                                                  {"PreviewCaret", &previewCaret},
                                                  {"PassageCaret", &passageCaret}};
    const Kind kinds[] = {Kind::paragraphs, Kind::words, Kind::json,    Kind::hex,        Kind::repeated,
                          Kind::letter,     Kind::thai,  Kind::hexThai, Kind::letterThai, Kind::jsonThai};
    for (const auto& [viewName, view] : views) {
        for (const Kind kind : kinds) {
            std::vector<qsizetype> lengths{1'000'000, 5'000'000};
            if (kind == Kind::letter)
                lengths.insert(lengths.begin(), 200'000);
            // A dictionary over a megabyte already takes seconds.
            if (kind == Kind::thai)
                lengths = {300'000, 1'000'000};
            if (kind == Kind::hexThai || kind == Kind::letterThai || kind == Kind::jsonThai)
                lengths = {1'000'000};
            for (const qsizetype length : lengths) {
                const std::string name = std::string(viewName) + "/" + nameOf(kind) + "/"
                    + (length >= 1'000'000 ? std::to_string(length / 1'000'000) + "M"
                                           : std::to_string(length / 1000) + "k");
                benchmark::RegisterBenchmark(
                    name.c_str(), [view, kind, length](benchmark::State& state) { view(state, textOf(kind, length)); })
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(1);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets, registerAll);
}
