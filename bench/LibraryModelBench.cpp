// Figures for the library's records: search and sort over 100,000 captures, and the throughput of
// the record codecs.
#include "core/foundation/JsonReader.h"
#include "core/library/RecordCodec.h"
#include "core/library/SearchIndex.h"
#include "core/library/SortMode.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace vellicord;

namespace {

QString words(QRandomGenerator& random, int approximateLength)
{
    static const QStringList vocabulary
        = QStringLiteral(
              "the of and to in is that for it as was with be by on not he this are or his from at which but have an "
              "they you were her she there been one all we their has would when if so no what up out about into them "
              "prompt context model token capture library selection source markdown budget layout draft \u00E9t\u00E9 "
              "na\u00EFve r\u00E9sum\u00E9 \u65E5\u672C")
              .split(u' ');
    QString text;
    text.reserve(approximateLength + 16);
    while (text.size() < approximateLength) {
        text.append(vocabulary[int(random.bounded(vocabulary.size()))]);
        text.append(random.bounded(12) == 0 ? QChar(u'\n') : QChar(u' '));
    }
    return text;
}

const QList<Selection>& library()
{
    static const QList<Selection> selections = [] {
        QRandomGenerator random(1);
        const QStringList apps{"Firefox", "Chromium", "Terminal", "Text Editor", "Mail", "notes", "Notes", "Writer"};
        QList<Selection> list;
        list.reserve(100000);
        for (int i = 0; i < 100000; ++i) {
            const QString text = words(random, 500);
            std::optional<QString> url, path;
            if (i % 3 == 0)
                url = QStringLiteral("https://site%1.example/article/%2").arg(i % 997).arg(i);
            else if (i % 3 == 1)
                path = QStringLiteral("/home/user/Documents/file%1.md").arg(i % 1300);
            list.append(Selection(QUuid::createUuid(), text, text, apps[i % apps.size()], QStringLiteral("org.app"),
                                  url, std::nullopt, path, {},
                                  QDateTime::fromSecsSinceEpoch(1'700'000'000 + random.bounded(10'000'000), Qt::UTC)));
        }
        return list;
    }();
    return selections;
}

// The same captures as the store keeps them.
const SelectionList& chunkedLibrary()
{
    static const SelectionList selections(library());
    return selections;
}

const QStringList& queries()
{
    static const QStringList list{"budget layout", "zzqx", "r\u00E9sum\u00E9 na\u00EFve", "site42.example", "t",
                                  "the",           "q",    "\u65E5\u672C model"};
    return list;
}

void searchIndexed(benchmark::State& state)
{
    SearchIndex index;
    index.rebuild(chunkedLibrary());
    const QString query = queries()[int(state.range(0))];
    qsizetype hits = 0;
    for (auto _ : state) {
        hits = index.matching(query).size();
        benchmark::DoNotOptimize(hits);
    }
    // Appended piece by piece: GCC 12 warns (-Wrestrict) of a false overlap in the chain of +.
    std::string label = "\"";
    label += query.toStdString();
    label += "\": " + std::to_string(hits);
    label += " of 100,000 captures of ~1 KB";
    state.SetLabel(label);
}
BENCHMARK(searchIndexed)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

void searchIndexRebuild(benchmark::State& state)
{
    SearchIndex index;
    index.rebuild(chunkedLibrary());
    for (auto _ : state)
        index.rebuild(chunkedLibrary());
    state.SetLabel("rebuild with every capture unchanged");
}
BENCHMARK(searchIndexRebuild)->Unit(benchmark::kMillisecond);

void searchIndexBuild(benchmark::State& state)
{
    for (auto _ : state) {
        SearchIndex index;
        index.rebuild(chunkedLibrary());
        benchmark::DoNotOptimize(index.size());
    }
    state.SetLabel("first build, 100,000 captures");
}
BENCHMARK(searchIndexBuild)->Unit(benchmark::kMillisecond)->Iterations(2);

void searchPlainScan(benchmark::State& state)
{
    QList<QString> searchTexts;
    for (const Selection& s : library())
        searchTexts.append(SortModes::searchText(s));
    const QString query = queries()[int(state.range(0))];
    for (auto _ : state) {
        int hits = 0;
        for (const QString& text : searchTexts)
            hits += SortModes::matchesSearchText(query, text) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    state.SetLabel("cached texts, no fingerprints");
}
BENCHMARK(searchPlainScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void searchUncached(benchmark::State& state)
{
    const QList<Selection>& selections = library();
    for (auto _ : state) {
        int hits = 0;
        for (const Selection& s : selections)
            hits += SortModes::matches(QStringLiteral("budget layout"), s) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    state.SetLabel("building the search text per capture");
}
BENCHMARK(searchUncached)->Unit(benchmark::kMillisecond)->Iterations(2);

void sort(benchmark::State& state)
{
    const SortMode mode = SortModes::allCases()[int(state.range(0))];
    const QList<Selection>& selections = library();
    for (auto _ : state)
        benchmark::DoNotOptimize(SortModes::sort(mode, selections));
    state.SetLabel(SortModes::rawValue(mode).toStdString() + ", 100,000 captures");
}
BENCHMARK(sort)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

std::string encodedLibrary()
{
    std::string bytes;
    JsonWriter writer(bytes);
    writer.beginArray();
    for (const Selection& s : library())
        RecordCodec::encode(writer, s);
    writer.endArray();
    return bytes;
}

void encodeRecords(benchmark::State& state)
{
    const QList<Selection>& selections = library();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        JsonWriter writer(out);
        writer.beginArray();
        for (const Selection& s : selections)
            RecordCodec::encode(writer, s);
        writer.endArray();
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(encodeRecords)->Unit(benchmark::kMillisecond);

void decodeRecords(benchmark::State& state)
{
    const std::string json = encodedLibrary();
    simdjson::dom::parser parser;
    for (auto _ : state) {
        QList<Selection> decoded;
        decoded.reserve(100000);
        for (JsonReader::Value item : JsonReader::array(JsonReader::parse(parser, json), "selections"))
            decoded.append(RecordCodec::decodeSelection(item));
        benchmark::DoNotOptimize(decoded.data());
        state.PauseTiming(); // freeing the decoded records is not decoding
        decoded = {};
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(json.size()));
    state.SetLabel("one thread, record by record");
}
BENCHMARK(decodeRecords)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
