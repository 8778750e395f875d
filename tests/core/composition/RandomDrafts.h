#pragma once

#include "CompositionFixtures.h"

#include <QList>
#include <QStringList>

#include <random>

namespace vellicord::testing {

// Small random drafts over a small random library: few sources so that sections gather several
// entries, texts with carriage returns, combining marks, emoji and code, entries that are
// excluded, pinned, verbatim, annotated or name a capture that is gone.
class RandomDrafts {
public:
    explicit RandomDrafts(unsigned seed) : random_(seed) {}

    QList<Selection> library;

    ContextDraft next()
    {
        library.clear();
        const int captures = pick(1, 6);
        for (int i = 0; i < captures; ++i)
            library.push_back(randomCapture());
        QList<ContextDraftEntry> entries;
        const int count = pick(0, 10);
        for (int i = 0; i < count; ++i) {
            const bool gone = chance(10);
            const Selection target = gone ? capture({QStringLiteral("gone")}) : library[pick(0, captures - 1)];
            EntrySpec spec;
            spec.include = !chance(20);
            spec.pin = chance(20);
            spec.verbatim = chance(20);
            if (chance(30))
                spec.note = chance(50) ? QStringLiteral("  a note ") : QStringLiteral("  ");
            if (chance(15))
                spec.customText = text();
            entries.push_back(entryFor(target, spec));
        }
        static const QStringList layouts{QStringLiteral("Sections"), QStringLiteral("XML-tagged"),
                                         QStringLiteral("Plain"), QStringLiteral("plain")};
        static const QStringList tasks{QString(), QStringLiteral("  "), QStringLiteral("Answer the question.\r"),
                                       QStringLiteral("Compare <a> & \"b\".")};
        return draftWith(tasks[pick(0, 3)], layouts[pick(0, 3)], entries);
    }

    std::optional<QString> preamble()
    {
        switch (pick(0, 2)) {
        case 0: return std::nullopt;
        case 1: return QStringLiteral("  ");
        default: return QStringLiteral("Use the sources.");
        }
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

private:
    QString text()
    {
        static const QStringList pieces{
            QStringLiteral("word"),  QStringLiteral(" "),       QStringLiteral("\n"),         QStringLiteral("\r"),
            QStringLiteral("\r\n"),  QStringLiteral("e\u0301"), QStringLiteral("\U0001F44D\U0001F3FD"),
            QStringLiteral("let "),  QStringLiteral(";"),       QStringLiteral("{\"a\": [1, 2]}"),
            QStringLiteral("<&>\""), QStringLiteral("```"),     QStringLiteral("\u0301"),     QStringLiteral("longer words here")};
        QString result;
        const int count = pick(0, 8);
        for (int i = 0; i < count; ++i)
            result += pieces[pick(0, int(pieces.size()) - 1)];
        return result;
    }

    Selection randomCapture()
    {
        static const QStringList apps{QStringLiteral("Safari"), QStringLiteral("Notes")};
        static const QStringList urls{QStringLiteral("https://a.example/1"), QStringLiteral("https://b.example/2\r")};
        CaptureSpec spec;
        spec.text = text();
        if (chance(30))
            spec.markdown = text();
        spec.appName = apps[pick(0, 1)];
        switch (pick(0, 2)) {
        case 0: spec.sourceURL = urls[pick(0, 1)]; break;
        case 1: spec.filePath = QStringLiteral("/notes/\u0301file.txt"); break;
        default: break;
        }
        if (chance(40))
            spec.sourceTitle = chance(50) ? QStringLiteral("Title") : QStringLiteral(" ");
        return capture(spec);
    }

    std::mt19937 random_;
};

} // namespace vellicord::testing
