#include "Tovak/export/SampleData.h"

#include "core/foundation/IsoDate.h"

#include <QUuid>

namespace vellicord::SampleData {

namespace {

const QString conceptsAddress = QStringLiteral("https://docs.swift.org/swift-book/documentation/the-swift-programming-language/concurrency/");
const QString layoutsAddress = QStringLiteral("https://developer.android.com/develop/ui/compose/layouts/adaptive");

Selection sample(QString text, std::optional<QString> markdown, QString appName, QString bundleID,
                 std::optional<QString> sourceURL, std::optional<QString> sourceTitle,
                 std::optional<QString> filePath, const QDateTime& createdAt)
{
    return Selection(QUuid::createUuid(), std::move(text), std::move(markdown), std::move(appName),
                     std::move(bundleID), std::move(sourceURL), std::move(sourceTitle), std::move(filePath), {},
                     createdAt);
}

} // namespace

QDateTime screenshotReferenceDate()
{
    static const QDateTime date = [] {
        const std::optional<QDateTime> parsed = IsoDate::parse(QStringView(u"2026-09-01T10:30:00Z"));
        return parsed ? *parsed : QDateTime::currentDateTimeUtc();
    }();
    return date;
}

QList<Selection> sampleSelections(const QDateTime& now)
{
    const QString chromeText = QStringLiteral(
        "## Adaptive layouts\n\nUse `WindowSizeClass` to choose the arrangement of content across screens.");
    return {
        sample(QStringLiteral("Swift concurrency makes asynchronous code both safer and more readable. Actors "
                              "isolate shared mutable state and guarantee that only one task can access it at a time."),
               QStringLiteral("**Swift** concurrency makes asynchronous code both safer and more readable. Actors "
                              "isolate shared mutable state and guarantee that only one task can access it at a time."),
               QStringLiteral("Safari"), QStringLiteral("com.apple.Safari"), conceptsAddress,
               QStringLiteral("The Swift Programming Language — Concurrency"), std::nullopt, now.addSecs(-720)),
        sample(QStringLiteral("git rebase -i HEAD~3\n# then force-push only if you understand the implications"),
               std::nullopt, QStringLiteral("Terminal"), QStringLiteral("com.apple.Terminal"), std::nullopt,
               std::nullopt, QStringLiteral("/home/alex/Projects/research-notes"), now.addSecs(-2520)),
        sample(QStringLiteral("Action items: ship the hotkey capture, add grouped views, document the architecture."),
               std::nullopt, QStringLiteral("Notes"), QStringLiteral("com.apple.Notes"), std::nullopt, std::nullopt,
               std::nullopt, now.addSecs(-10800)),
        sample(QStringLiteral("Server-driven UI rules: keep the JSON contract stable, version aggressively, and "
                              "always ship a fallback."),
               std::nullopt, QStringLiteral("Google Chrome"), QStringLiteral("com.google.Chrome"), layoutsAddress,
               std::nullopt, std::nullopt, now.addSecs(-93600)),
        sample(chromeText, chromeText, QStringLiteral("Google Chrome"), QStringLiteral("com.google.Chrome"),
               layoutsAddress, std::nullopt, std::nullopt, now.addSecs(-97200)),
        sample(QStringLiteral("The meandering path to peak performance: branch prediction, cache coherence, and why "
                              "benchmarks lie."),
               std::nullopt, QStringLiteral("PDF Expert"), QStringLiteral("com.readdle.PDFExpert-Mac"), std::nullopt,
               std::nullopt, QStringLiteral("/home/alex/Documents/papers/performance-notes.pdf"), now.addSecs(-172800)),
    };
}

} // namespace vellicord::SampleData
