// HTML to Markdown throughput on a page shaped like a long article copied from a browser, at
// 10 KB, 100 KB and 1 MB (the converter's size limit), with pandoc's time on the same files
// beside it when pandoc is installed.
//
// With file names on the command line it converts those files instead and prints their
// Markdown, so the converter can be run over any corpus:
//   HtmlToMarkdownBench page1.html page2.html
#include "core/richtext/MarkdownSerializer.h"
#include "core/richtext/OfflineHTMLConverter.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

using namespace vellicord;

namespace {

// One section of an article: markup with the attributes real pages carry (classes, styles, data
// attributes, long addresses), so that a megabyte stays within the converter's token limit the
// way text-heavy pages do.
QByteArray section(int n)
{
    const QByteArray i = QByteArray::number(n);
    QByteArray s;
    s += "<section class=\"article-section mw-body-content\" id=\"section-" + i
        + "\" data-analytics-id=\"a8f3c2e1-" + i + "\" style=\"margin: 0 auto; max-width: 72ch\">";
    s += "<h2 class=\"section-heading\"><span class=\"mw-headline\" id=\"Overview_" + i + "\">Overview of part " + i
        + "</span></h2>";
    s += "<p class=\"lead\">The committee&rsquo;s report on the regional water supply describes how the reservoirs "
         "were planned, how demand grew faster than the original estimates, and why the second pumping station was "
         "delayed by almost four years. It draws on <a href=\"https://example.org/archive/reports/2019/regional-water-"
         "supply-review?utm_source=newsletter&amp;utm_medium=email&amp;section=" + i
        + "\" class=\"external text\" rel=\"nofollow noopener\" target=\"_blank\">the published review</a>, interviews "
          "with engineers and the minutes of <b>forty-two</b> public meetings held between 2012 and 2018. The review "
          "found that the forecasts used when the scheme was approved assumed a slower growth of the towns along the "
          "coast, a smaller number of holiday residents in summer and a lower use of water per household than was "
          "later measured, so that every later stage of the plan started from figures that were already too low.</p>";
    s += "<p>Several <i>competing proposals</i> were considered &mdash; a desalination plant, a pipeline from the "
         "northern catchment and stricter limits on agricultural use &mdash; and each is discussed below together "
         "with its cost estimate, its expected yield in dry years and the objections raised during consultation. "
         "Readers who want the figures can use the <code class=\"inline-code\">summary_table_v2.csv</code> file that "
         "accompanies this article. None of the proposals was rejected outright; instead the regional "
         "authority asked for a second round of studies on the pipeline and the limits, and postponed the decision on "
         "the plant until the costs of energy and of the disposal of brine could be estimated with more confidence, "
         "a choice that its critics described as a way of avoiding an unpopular decision before the elections.</p>"
         "<p>The following sections look at each proposal in turn, beginning with the pipeline, which had been "
         "discussed since the nineteen-seventies and which most engineers regarded as the most reliable source of "
         "additional water, although it would take the longest to build and would cross two protected valleys whose "
         "owners had already announced that they would object to any route through their land, and ending with the "
         "limits on agricultural use, which were the cheapest measure and also the most contested one, because the "
         "farms in the southern plain depend on irrigation for almost all of their income in dry years.</p>";
    s += "<ul class=\"bullets\" data-list=\"" + i + "\"><li class=\"item\">Capacity of the main reservoir: 48 million "
         "cubic metres, about 60 percent of the regional demand in an average year.</li><li class=\"item\">Losses in "
         "the distribution network: estimated at 18 percent, twice the national average for networks of this age."
         "</li><li class=\"item\">Population served: roughly 410,000 people in 37 municipalities.</li></ul>";
    s += "<blockquote class=\"pull-quote\" cite=\"https://example.org/interviews/" + i + "\"><p>&ldquo;We built for "
         "the town we had, not for the town we were about to become,&rdquo; one of the engineers said.</p>"
         "</blockquote>";
    s += "<pre class=\"code-sample\" data-lang=\"python\">def yield_in_dry_year(capacity, losses):\n    return capacity "
         "* (1 - losses) * 0.62\n</pre>";
    s += "<table class=\"wikitable sortable\" style=\"width: 100%\"><tr><td class=\"cell\">Proposal</td><td "
         "class=\"cell\">Estimated cost: &euro;310 million over eleven years, including the new treatment works</td>"
         "</tr></table>";
    s += "</section>";
    return s;
}

// A page of at most the given size: head, scripts, navigation, then sections.
QByteArray page(qsizetype size)
{
    QByteArray html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Regional water supply - Review"
        "</title><style>body{font-family:sans-serif}.lead{font-size:1.1em}</style><script>window.dataLayer="
        "window.dataLayer||[];function gtag(){dataLayer.push(arguments)}</script></head>\n<body><nav class=\"site-nav\">"
        "<ul><li><a href=\"https://example.org/\">Home</a></li><li><a href=\"https://example.org/news\">News</a></li>"
        "</ul></nav><main id=\"content\"><h1 class=\"title\">Regional water supply</h1>\n";
    const QByteArray end = "</main></body></html>\n";
    for (int n = 1;; ++n) {
        const QByteArray next = section(n);
        if (html.size() + next.size() + end.size() > size)
            break;
        html += next;
    }
    return html + end;
}

QString convert(const QByteArray& html)
{
    const std::optional<AttributedText> text = OfflineHTMLConverter::convert(html);
    return text ? MarkdownSerializer::convert(*text) : QString();
}

void htmlToMarkdown(benchmark::State& state)
{
    const QByteArray html = page(state.range(0));
    if (convert(html).isEmpty()) {
        state.SkipWithError("the page did not convert");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(convert(html));
    state.SetBytesProcessed(int64_t(state.iterations()) * html.size());
    state.counters["bytes"] = double(html.size());
}
BENCHMARK(htmlToMarkdown)->Arg(10 * 1000)->Arg(100 * 1000)->Arg(OfflineHTMLConverter::maximumInputSize)->Unit(benchmark::kMillisecond);

void convertFiles(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: cannot read\n", argv[i]);
            continue;
        }
        const QString markdown = convert(file.readAll());
        if (argc > 2)
            std::printf("==> %s <==\n", argv[i]);
        std::printf("%s\n", markdown.isEmpty() ? "(no Markdown)" : markdown.toUtf8().constData());
    }
}

// pandoc's wall time per conversion of the same page, as a ratio to ours.
void comparePandoc()
{
    const QString pandoc = QStandardPaths::findExecutable(QStringLiteral("pandoc"));
    if (pandoc.isEmpty()) {
        std::printf("pandoc: not installed (scripts/deps --bench installs it); no comparison\n");
        return;
    }
    QTemporaryDir dir;
    for (qsizetype size : {qsizetype(10 * 1000), qsizetype(100 * 1000), OfflineHTMLConverter::maximumInputSize}) {
        const QByteArray html = page(size);
        const QString path = dir.filePath(QStringLiteral("page.html"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size())
            return;
        file.close();

        const int runs = 3;
        QElapsedTimer timer;
        timer.start();
        for (int r = 0; r < runs; ++r) {
            QProcess process;
            process.start(pandoc, {QStringLiteral("-f"), QStringLiteral("html"), QStringLiteral("-t"),
                                   QStringLiteral("gfm"), path});
            process.waitForFinished(-1);
        }
        const double pandocMs = double(timer.nsecsElapsed()) / 1e6 / runs;

        const int ourRuns = 20;
        timer.restart();
        for (int r = 0; r < ourRuns; ++r)
            benchmark::DoNotOptimize(convert(html));
        const double oursMs = double(timer.nsecsElapsed()) / 1e6 / ourRuns;
        std::printf("%8lld bytes: ours %8.3f ms (%7.1f MB/s), pandoc -f html -t gfm %9.1f ms, pandoc/ours %7.1fx\n",
                    static_cast<long long>(html.size()), oursMs, double(html.size()) / 1e3 / oursMs, pandocMs,
                    pandocMs / oursMs);
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    if (argc > 1) {
        convertFiles(argc, argv);
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    comparePandoc();
    return 0;
}
