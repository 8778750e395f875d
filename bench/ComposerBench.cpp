// The composer's draft pane over a prompt of 500 sources, on the main thread of an X server:
// opening it until it is painted, and a keystroke in the task and in a source's note (the store
// update, the pane's refresh and the repaint of what changed). Needs an X server: without DISPLAY
// it runs itself under xvfb-run.
#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "bench/X11BenchMain.h"
#include "core/library/Store.h"
#include "support/ViewFakes.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

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

// A library of 500 captures from a few dozen pages and documents, and one prompt of them all.
struct Library {
    ViewFakes fakes;
    QUuid draftID;

    Library()
    {
        QRandomGenerator random(5);
        ContextDraft draft = *fakes.store->newDraft(QStringLiteral("Literature review"));
        for (int i = 0; i < sourceCount; ++i) {
            std::optional<QString> url;
            if (i % 2 == 0)
                url = QStringLiteral("https://site%1.example/article/%2").arg(i % 37).arg(i);
            const Selection s(QUuid::createUuid(), words(random, 900), std::nullopt, QStringLiteral("Firefox"),
                              std::nullopt, url, QStringLiteral("Article %1").arg(i), std::nullopt, {},
                              QDateTime::fromSecsSinceEpoch(1'700'000'000 + i * 60, Qt::UTC));
            fakes.store->add(s);
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

double elapsed(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

std::unique_ptr<ComposeDraftPane> openPane()
{
    auto pane = std::make_unique<ComposeDraftPane>(library().fakes.services(), library().draftID);
    pane->resize(420, 760);
    pane->show();
    pane->repaint();
    return pane;
}

void OpenDraft(benchmark::State& state)
{
    std::vector<double> opens;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<ComposeDraftPane> pane = openPane();
        opens.push_back(elapsed(timer));
        pane.reset();
        QCoreApplication::processEvents();
    }
    bench::reportLatencies(state, opens);
    state.SetLabel("a prompt of 500 sources: the pane made, shown and painted");
}
BENCHMARK(OpenDraft)->Unit(benchmark::kMillisecond)->Iterations(10);

// Types into the widget: each key pressed and released, then the turn of the event loop that
// refreshes the pane and paints what changed.
std::vector<double> typeInto(QWidget& widget, const QString& text)
{
    std::vector<double> keystrokes;
    for (const QChar c : text) {
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&widget, &release);
        QCoreApplication::processEvents();
        keystrokes.push_back(elapsed(timer));
    }
    return keystrokes;
}

void KeystrokeInTask(benchmark::State& state)
{
    std::unique_ptr<ComposeDraftPane> pane = openPane();
    QCoreApplication::processEvents();
    pane->taskField()->setFocus();
    pane->taskField()->moveCursor(QTextCursor::End);
    std::vector<double> keystrokes;
    for (auto _ : state) {
        const std::vector<double> typed = typeInto(*pane->taskField(), QStringLiteral(" and their methods"));
        keystrokes.insert(keystrokes.end(), typed.begin(), typed.end());
    }
    bench::reportLatencies(state, keystrokes);
    state.SetLabel("a keystroke in the task of a 500-source prompt: stored, refreshed, repainted");
}
BENCHMARK(KeystrokeInTask)->Unit(benchmark::kMillisecond)->Iterations(5);

void KeystrokeInNote(benchmark::State& state)
{
    std::unique_ptr<ComposeDraftPane> pane = openPane();
    QCoreApplication::processEvents();
    QLineEdit* note = pane->rows().first()->noteField();
    note->setFocus();
    note->end(false);
    std::vector<double> keystrokes;
    for (auto _ : state) {
        const std::vector<double> typed = typeInto(*note, QStringLiteral(" the abstract and section 2"));
        keystrokes.insert(keystrokes.end(), typed.begin(), typed.end());
    }
    bench::reportLatencies(state, keystrokes);
    state.SetLabel("a keystroke in a source's note of a 500-source prompt: stored, refreshed, repainted");
}
BENCHMARK(KeystrokeInNote)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
