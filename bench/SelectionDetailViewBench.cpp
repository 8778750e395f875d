// The capture inspector on the main thread: selecting a capture of 10 KB and of 1 MB of Markdown
// until it is shown (rendering, the document, its layout at the inspector's width and a paint),
// and what a change of the library that leaves the inspected capture alone costs it: document
// replacements and layout requests in the inspector, counted; a capture with a title or address
// far longer than a label shows, until painted and until idle. Needs an X server: without DISPLAY
// it runs itself under xvfb-run.
#include "Tovak/kit/AttributedDocument.h"
#include "Tovak/kit/DisplayTextMeasurer.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/RichMarkdownView.h"
#include "Tovak/library/SelectionDetailView.h"
#include "bench/X11BenchMain.h"
#include "core/richtext/MarkdownDisplay.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

using namespace vellicord;

// Markdown as captures carry it: headings, paragraphs with emphasis, links and code, nested lists.
QString markdownOf(qsizetype bytes)
{
    const QString section = QStringLiteral(
        "## A section heading\n\n"
        "The dominant sequence transduction models are based on **complex recurrent** or *convolutional* neural "
        "networks that include an encoder and a decoder; see [the paper](https://arxiv.org/abs/1706.03762) and "
        "`self_attention(q, k, v)` for details.\n\n"
        "- encoder layers\n  - multi-head attention\n  - feed-forward network\n- decoder layers\n\n"
        "1. first step\n2. second step\n\n"
        "> A quoted remark about attention.\n\n");
    QString text;
    text.reserve(bytes + section.size());
    while (text.toUtf8().size() + section.toUtf8().size() <= bytes)
        text += section;
    return text;
}

struct Bench : ViewFakes {
    IconCache icons{desktop};
    SelectionDetailView view{
        SelectionDetailView::Services{
            .store = *store, .pasteboard = pasteboard, .scheduler = time, .desktop = desktop, .icons = icons},
        QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc()};

    Bench()
    {
        view.resize(420, 660);
        view.show();
        QApplication::processEvents();
    }
    QUuid add(const QString& markdown)
    {
        const Selection s(QUuid::createUuid(), markdown, markdown, QStringLiteral("Firefox"), std::nullopt,
                          QStringLiteral("https://arxiv.org/abs/1706.03762"), QStringLiteral("Attention"), std::nullopt,
                          {}, time.now());
        store->add(s);
        return s.id;
    }
};

// Until the capture is on screen: the inspector shows it, lays it out and paints.
void select(benchmark::State& state, qsizetype bytes)
{
    Bench bench;
    const QUuid large = bench.add(markdownOf(bytes));
    const QUuid small = bench.add(QStringLiteral("A short capture."));
    std::vector<double> times;
    for (auto _ : state) {
        bench.view.setSelectionID(small);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        bench.view.setSelectionID(large);
        // The layouts the change asked for, each asking its parent's in turn, then a paint.
        for (int i = 0; i < 8; ++i)
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        bench.view.repaint();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    bench::reportLatencies(state, times);
    // Where the time goes: the display text, the document made of it, its whole layout at the width
    // (which a passage that scrolls itself pays only as far as it is seen when it is selected).
    const QString markdown = markdownOf(bytes);
    DisplayTextMeasurer measurer;
    QElapsedTimer step;
    step.start();
    const std::optional<AttributedText> display = MarkdownDisplay::render(markdown, measurer);
    state.counters["render_ms"] = double(step.nsecsElapsed()) / 1e6;
    QTextDocument document;
    step.restart();
    AttributedDocument::fill(document, *display, Qt::blue);
    state.counters["document_ms"] = double(step.nsecsElapsed()) / 1e6;
    step.restart();
    document.setTextWidth(368);
    (void)document.size();
    state.counters["layout_ms"] = double(step.nsecsElapsed()) / 1e6;
    state.counters["markdown_bytes"] = double(markdownOf(bytes).toUtf8().size());
    state.counters["passage_height_px"] = bench.view.passage().height();
    state.counters["passage_scrolls_itself"] = bench.view.passage().scrollsItself() ? 1 : 0;
}

void SelectCapture10KB(benchmark::State& state)
{
    select(state, 10'000);
}
BENCHMARK(SelectCapture10KB)->Unit(benchmark::kMillisecond)->Iterations(30);

void SelectCapture1MB(benchmark::State& state)
{
    select(state, 1'000'000);
}
BENCHMARK(SelectCapture1MB)->Unit(benchmark::kMillisecond)->Iterations(5);

// Counts the layout requests that reach the inspector or anything in it.
class LayoutCounter final : public QObject {
public:
    explicit LayoutCounter(QWidget& root)
        : root_(root)
    {
        qApp->installEventFilter(this);
    }
    ~LayoutCounter() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && (widget == &root_ || root_.isAncestorOf(widget)))
                ++count;
        }
        return false;
    }

private:
    QWidget& root_;
};

// Library changes that leave the inspected capture, its groups and the active prompt alone: captures
// added and deleted, grouped, groups made and renamed.
void UnrelatedStoreChanges(benchmark::State& state)
{
    Bench bench;
    const QUuid inspected = bench.add(markdownOf(100'000));
    bench.view.setSelectionID(inspected);
    for (int i = 0; i < 8; ++i)
        QApplication::processEvents(); // the inspector settles before counting starts
    const int replacementsBefore = bench.view.passage().replacements();
    LayoutCounter layouts(bench.view);
    std::vector<double> times;
    int changes = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const QUuid other = bench.add(QStringLiteral("Another capture"));
        const auto group = bench.store->createGroup(QStringLiteral("Group"), QStringLiteral("#FF9500"), {other});
        bench.store->renameGroup(group->id, QStringLiteral("Renamed"));
        bench.store->remove(other);
        bench.store->deleteGroup(group->id);
        QApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6 / 5);
        changes += 5;
    }
    bench::reportLatencies(state, times);
    state.counters["changes"] = changes;
    state.counters["document_replacements"] = bench.view.passage().replacements() - replacementsBefore;
    state.counters["layout_requests"] = layouts.count;
}
BENCHMARK(UnrelatedStoreChanges)->Unit(benchmark::kMillisecond)->Iterations(200);

// A capture whose title (1 MiB) or address (200,000 characters) runs far past what a label shows,
// as a page may give it: selecting it until it is painted, then until the inspector has nothing
// left to lay out (the main thread goes idle; the wait is given up after 5 s).
void selectHuge(benchmark::State& state, bool title, bool window)
{
    Bench bench;
    // In the window, the list's row and the sidebar's source show the capture too.
    std::unique_ptr<ContentView> content;
    if (window) {
        bench.view.hide();
        content = std::make_unique<ContentView>(bench.services());
        content->resize(1120, 660);
        content->show();
        QApplication::processEvents();
    }
    QWidget& shown = window ? static_cast<QWidget&>(*content) : bench.view;
    const auto select = [&](const QUuid& id) {
        if (window)
            content->state().selectInList({id});
        else
            bench.view.setSelectionID(id);
    };
    const QString words = QStringLiteral("A title that goes on and on ");
    QString hugeTitle;
    while (hugeTitle.size() < 1024 * 1024)
        hugeTitle += words;
    const QString hugeAddress = QStringLiteral("https://example.com/search?q=") + QString(200'000 - 29, u'a');
    const Selection huge(QUuid::createUuid(), QStringLiteral("A short passage."), std::nullopt,
                         QStringLiteral("Firefox"), std::nullopt,
                         title ? QStringLiteral("https://example.com/a") : hugeAddress,
                         title ? hugeTitle : QStringLiteral("A page"), std::nullopt, {}, bench.time.now());
    bench.store->add(huge);
    const QUuid small = bench.add(QStringLiteral("A short capture."));
    std::vector<double> painted;
    std::vector<double> idle;
    int layoutsAfterPaint = 0;
    for (auto _ : state) {
        select(small);
        for (int i = 0; i < 8; ++i)
            QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        select(huge.id);
        for (int i = 0; i < 8; ++i)
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        shown.repaint();
        painted.push_back(double(timer.nsecsElapsed()) / 1e6);
        // Idle: a pass of the event loop that lays nothing out and has nothing left to do.
        LayoutCounter layouts(shown);
        int before = -1;
        while (layouts.count != before && timer.elapsed() < 5000) {
            before = layouts.count;
            QApplication::processEvents();
        }
        idle.push_back(double(timer.nsecsElapsed()) / 1e6);
        layoutsAfterPaint += layouts.count;
    }
    bench::reportLatencies(state, painted);
    std::sort(idle.begin(), idle.end());
    state.counters["idle_median_ms"] = idle[idle.size() / 2];
    state.counters["idle_max_ms"] = idle.back();
    state.counters["layouts_after_paint"] = double(layoutsAfterPaint) / double(painted.size());
}

void SelectCaptureWithHugeTitle(benchmark::State& state)
{
    selectHuge(state, true, false);
}
BENCHMARK(SelectCaptureWithHugeTitle)->Unit(benchmark::kMillisecond)->Iterations(5);

void SelectCaptureWithHugeAddress(benchmark::State& state)
{
    selectHuge(state, false, false);
}
BENCHMARK(SelectCaptureWithHugeAddress)->Unit(benchmark::kMillisecond)->Iterations(5);

void SelectCaptureWithHugeTitleInTheWindow(benchmark::State& state)
{
    selectHuge(state, true, true);
}
BENCHMARK(SelectCaptureWithHugeTitleInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void SelectCaptureWithHugeAddressInTheWindow(benchmark::State& state)
{
    selectHuge(state, false, true);
}
BENCHMARK(SelectCaptureWithHugeAddressInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
