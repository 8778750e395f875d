#include "core/composition/Dedupe.h"

#include <QHash>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace vellicord {
namespace {

using Dedupe::DuplicateGroup;
using Dedupe::IdText;

TEST(DedupeTest, Similarity)
{
    struct Case {
        const char* name;
        QString lhs, rhs;
        double similarity;
    } const cases[] = {
        {"letter case, white space and punctuation", QStringLiteral("Hello,  World!\n"), QStringLiteral("hello world"),
         1.0},
        {"one trigram differs of four", QStringLiteral("abcdef"), QStringLiteral("abcdeg"), 0.75},
        {"equal short texts", QStringLiteral("ab"), QStringLiteral("AB"), 1.0},
        {"different short texts", QStringLiteral("ab"), QStringLiteral("ac"), 0.0},
        {"short against long", QStringLiteral("ab"), QStringLiteral("abc"), 0.0},
        {"punctuation only on both sides", QStringLiteral("!!!"), QStringLiteral("?-?"), 1.0},
        {"punctuation against words", QStringLiteral("!!!"), QStringLiteral("words"), 0.0},
        {"characters, not code units", QStringLiteral("e\u0301e\u0301e\u0301"), QStringLiteral("e\u0301e\u0301e\u0301"),
         1.0},
        {"one sentence in NFC and in NFD",
         QStringLiteral("D\u00E9j\u00E0 l'\u00E9t\u00E9 \u00E0 No\u00EBl, o\u00F9 \u00E7a ?"),
         QStringLiteral("De\u0301ja\u0300 l'e\u0301te\u0301 a\u0300 Noe\u0308l, ou\u0300 c\u0327a ?"), 1.0},
        {"capital in NFD against small in NFC", QStringLiteral("E\u0301COLE"), QStringLiteral("\u00E9cole"), 1.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(Dedupe::similarity(c.lhs, c.rhs), c.similarity) << c.name;
}

QList<IdText> texts(const QStringList& list, QList<QUuid>& ids)
{
    QList<IdText> pairs;
    ids.clear();
    for (const QString& text : list) {
        ids.push_back(QUuid::createUuid());
        pairs.push_back({ids.back(), text});
    }
    return pairs;
}

TEST(DedupeTest, Groups)
{
    QList<QUuid> id;
    struct Case {
        const char* name;
        QStringList texts;
        double threshold;
        QList<std::tuple<int, QList<int>, double>> groups; // kept, removed, score
    } const cases[] = {
        {"exactly at the threshold", {QStringLiteral("abcdef"), QStringLiteral("abcdeg")}, 0.75, {{0, {1}, 0.75}}},
        {"just below the threshold", {QStringLiteral("abcdef"), QStringLiteral("abcdeg")}, 0.76, {}},
        {"ties go to the earliest",
         {QStringLiteral("hello world"), QStringLiteral("something else"), QStringLiteral("hello world"),
          QStringLiteral("Hello, World")},
         0.85,
         {{0, {2, 3}, 1.0}}},
        {"empty texts take no part", {QString(), QString(), QStringLiteral("abc")}, 0.5, {}},
        {"texts of punctuation are the same", {QStringLiteral("!!"), QStringLiteral("??")}, 0.85, {{0, {1}, 1.0}}},
        {"zero similarity never groups, even at threshold 0", {QStringLiteral("abc"), QStringLiteral("xyz")}, 0.0, {}},
        {"negative threshold", {QStringLiteral("abc"), QStringLiteral("xyz")}, -1.0, {}},
        {"one text", {QStringLiteral("abc")}, 0.0, {}},
    };
    for (const Case& c : cases) {
        const QList<IdText> pairs = texts(c.texts, id);
        QList<DuplicateGroup> expected;
        for (const auto& [kept, removed, score] : c.groups) {
            QList<QUuid> removeIDs;
            for (int r : removed)
                removeIDs.push_back(id[r]);
            expected.push_back({id[kept], removeIDs, score});
        }
        EXPECT_EQ(Dedupe::duplicateGroups(pairs, c.threshold), expected) << c.name;
    }
}

TEST(DedupeTest, ChainsAreNotMerged)
{
    const QStringList list{QStringLiteral("alpha beta gamma delta"), QStringLiteral("alpha beta gamma epsilon"),
                           QStringLiteral("alpha beta zeta epsilon")};
    const double s12 = Dedupe::similarity(list[0], list[1]), s23 = Dedupe::similarity(list[1], list[2]),
                 s13 = Dedupe::similarity(list[0], list[2]);
    const double threshold = std::min(s12, s23);
    ASSERT_LT(s13, threshold);
    QList<QUuid> id;
    const QList<DuplicateGroup> groups = Dedupe::duplicateGroups(texts(list, id), threshold);
    EXPECT_EQ(groups, (QList<DuplicateGroup>{{id[0], {id[1]}, s12}, {id[1], {id[2]}, s23}}));
}

// The literal reading: string trigram sets, every pair compared.

QString normalizeReference(const QString& text)
{
    QString replaced;
    for (char32_t scalar : text.toLower().normalized(QString::NormalizationForm_C).toUcs4()) {
        const int category = QChar::category(scalar);
        const bool keep = (category >= QChar::Mark_NonSpacing && category <= QChar::Number_Other)
            || (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other);
        if (keep || scalar == U' ' || scalar == U'\t' || scalar == U'\n')
            replaced += QString::fromUcs4(&scalar, 1);
        else
            replaced += u' ';
    }
    QStringList words;
    for (const QString& word : replaced.split(QRegularExpression(QStringLiteral("[ \t\n]")), Qt::SkipEmptyParts))
        words << word;
    return words.join(u' ');
}

std::set<QString> trigramsReference(const QString& text)
{
    QStringList characters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0, end;
    while ((end = finder.toNextBoundary()) != -1) {
        if (end > 0) {
            characters << text.mid(start, end - start);
            start = end;
        }
    }
    if (characters.size() < 3)
        return {text};
    std::set<QString> result;
    for (qsizetype i = 0; i + 3 <= characters.size(); ++i)
        result.insert(characters[i] + characters[i + 1] + characters[i + 2]);
    return result;
}

double similarityReference(const QString& lhs, const QString& rhs)
{
    const QString a = normalizeReference(lhs), b = normalizeReference(rhs);
    if (a.isEmpty() || b.isEmpty())
        return a == b ? 1.0 : 0.0;
    const std::set<QString> ta = trigramsReference(a), tb = trigramsReference(b);
    size_t shared = 0;
    for (const QString& t : ta)
        shared += tb.count(t);
    return 2.0 * double(shared) / double(ta.size() + tb.size());
}

QList<DuplicateGroup> groupsReference(const QList<IdText>& pairs, double threshold)
{
    const qsizetype n = pairs.size();
    QList<double> best(n, 0.0);
    QList<qsizetype> anchor(n, -1);
    for (qsizetype i = 0; i < n; ++i) {
        if (pairs[i].text.isEmpty())
            continue;
        for (qsizetype j = i + 1; j < n; ++j) {
            if (pairs[j].text.isEmpty())
                continue;
            const double s = similarityReference(pairs[i].text, pairs[j].text);
            if (s >= threshold && (anchor[j] < 0 || s > best[j])) {
                best[j] = s;
                anchor[j] = i;
            }
        }
    }
    QList<DuplicateGroup> groups;
    for (qsizetype a = 0; a < n; ++a) {
        DuplicateGroup group{pairs[a].id, {}, 0.0};
        for (qsizetype j = 0; j < n; ++j) {
            if (best[j] > 0.0 && anchor[j] == a) {
                group.removeIDs.push_back(pairs[j].id);
                group.score = std::max(group.score, best[j]);
            }
        }
        if (!group.removeIDs.isEmpty())
            groups.push_back(group);
    }
    return groups;
}

TEST(DedupeTest, RandomTextsMatchTheLiteralReading)
{
    const QStringList words{QStringLiteral("apple"),
                            QStringLiteral("Apple"),
                            QStringLiteral("pear"),
                            QStringLiteral("caf\u00E9"),
                            QStringLiteral("cafe\u0301"),
                            QStringLiteral("x"),
                            QStringLiteral("ab"),
                            QStringLiteral("--"),
                            QStringLiteral("\U0001F600"),
                            QStringLiteral("tree\n"),
                            QStringLiteral("\u0130stanbul"),
                            QStringLiteral("42")};
    std::mt19937 random(3);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 150; ++round) {
        QList<IdText> pairs;
        const int count = pick(0, 8);
        for (int i = 0; i < count; ++i) {
            QString text;
            if (i > 0 && pick(0, 2) == 0) {
                // A near copy of an earlier text: one word more.
                text = pairs[pick(0, i - 1)].text + u' ' + words[pick(0, int(words.size()) - 1)];
            } else {
                for (int w = pick(0, 6); w > 0; --w)
                    text += words[pick(0, int(words.size()) - 1)]
                        + (pick(0, 1) ? QStringLiteral(" ") : QStringLiteral(", "));
            }
            pairs.push_back({QUuid::createUuid(), text});
        }
        for (double threshold : {0.85, 0.5, 0.2, 0.0, 1.0}) {
            ASSERT_EQ(Dedupe::duplicateGroups(pairs, threshold), groupsReference(pairs, threshold))
                << "round " << round << " threshold " << threshold;
        }
        if (count >= 2) {
            ASSERT_EQ(Dedupe::similarity(pairs[0].text, pairs[1].text),
                      similarityReference(pairs[0].text, pairs[1].text))
                << "round " << round;
        }
    }

    // Prompts of many short quotes over a large vocabulary, most of them near copies of an earlier
    // one (a word changed or one more), with blank and empty ones among them: here only texts that
    // share a rare trigram are compared.
    QStringList vocabulary;
    while (vocabulary.size() < 400) {
        QString word;
        for (int letters = pick(2, 8); letters > 0; --letters)
            word += QChar(u'a' + pick(0, 25));
        vocabulary << word;
    }
    const auto word = [&] { return vocabulary[pick(0, int(vocabulary.size()) - 1)]; };
    for (int round = 0; round < 2; ++round) {
        QList<IdText> pairs;
        for (int i = 0; i < 60; ++i) {
            QString text;
            if (i % 30 == 7) {
                text = i % 60 == 7 ? QStringLiteral("-- !") : QString();
            } else if (i > 0 && pick(0, 2) > 0) {
                QStringList quote = pairs[pick(0, i - 1)].text.split(u' ');
                if (pick(0, 1))
                    quote[pick(0, int(quote.size()) - 1)] = word();
                else
                    quote.insert(pick(0, int(quote.size())), word());
                text = quote.join(u' ');
            } else {
                for (int w = pick(1, 14); w > 0; --w)
                    text += word() + u' ';
            }
            pairs.push_back({QUuid::createUuid(), text});
        }
        for (double threshold : {0.85, 0.95}) {
            ASSERT_EQ(Dedupe::duplicateGroups(pairs, threshold), groupsReference(pairs, threshold))
                << "quotes, round " << round << " threshold " << threshold;
        }
    }
}

// A prompt's sources as the composer hands them over: the included entries with a capture, each
// with its body as the prompt renders it.
TEST(DedupeTest, DuplicateEntriesOfADraft)
{
    // 42 distinct letters and digits: 40 trigrams. One letter changed alters 3 of them (0.925
    // similar), two adjacent letters 4 (0.9), three 5 (0.875), and 3 trigrams of 20 exactly 0.85.
    const QString base = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6");
    const auto changed = [&](std::initializer_list<std::pair<int, QChar>> letters, QString text = QString()) {
        if (text.isEmpty())
            text = base;
        for (const auto& [at, letter] : letters)
            text[at] = letter;
        return text;
    };
    const QString near1 = changed({{5, u'\u03C9'}}); // 0.925 to base
    const QString near2 = changed({{30, u'\u03C8'}, {31, u'\u03C7'}}, near1); // 0.9 to near1, 0.825 to base
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuv"),
                  atThreshold = QStringLiteral("abcdefghijklmnopqrsxuv"),
                  belowThreshold = QStringLiteral("abcdefghijklmnopqrxyuv");
    ASSERT_DOUBLE_EQ(Dedupe::similarity(alphabet, atThreshold), 0.85);
    ASSERT_LT(Dedupe::similarity(base, near2), 0.85);

    struct Source {
        QString text;
        bool include = true;
        bool pin = false;
        std::optional<QString> customText;
        bool captured = true;
    };
    const Source gone{QStringLiteral("same"), true, false, std::nullopt, false};
    const struct {
        const char* name;
        QList<Source> sources;
        QList<int> removed;
    } cases[] = {
        {"equal once normalised", {{QStringLiteral("same")}, {QStringLiteral("Same!")}}, {1}},
        {"different", {{base}, {alphabet}}, {}},
        {"a copy of an excluded one stays", {{base, false}, {base}}, {}},
        {"a pinned copy goes", {{base}, {near1, true, true}}, {1}},
        {"the first of a pinned pair stays", {{base, true, true}, {near1}}, {1}},
        {"chains are not merged", {{base}, {near1}, {near2}}, {1, 2}},
        {"at the threshold", {{alphabet}, {atThreshold}}, {1}},
        {"below the threshold", {{alphabet}, {belowThreshold}}, {}},
        {"a trim counts: trimmed apart", {{base}, {base, true, false, alphabet}}, {}},
        {"a trim counts: trimmed alike", {{alphabet}, {base, true, false, alphabet}}, {1}},
        {"captures gone take no part", {gone, {QStringLiteral("same")}, gone, {QStringLiteral("same")}}, {3}},
        {"blank bodies never match", {{QStringLiteral(" \n ")}, {QStringLiteral("\t")}}, {}},
        {"one source", {{base}}, {}},
    };
    for (const auto& c : cases) {
        ContextDraft draft;
        QHash<QUuid, Selection> library;
        QList<QUuid> entryIDs;
        for (const Source& s : c.sources) {
            const Selection capture(QUuid::createUuid(), s.text, std::nullopt, QStringLiteral("App"), std::nullopt,
                                    std::nullopt, std::nullopt, std::nullopt, {}, QDateTime());
            if (s.captured)
                library.insert(capture.id, capture);
            entryIDs.append(QUuid::createUuid());
            draft.entries.append({entryIDs.last(), capture.id, s.include, s.pin, false, std::nullopt, s.customText});
        }
        QList<QUuid> expected;
        for (int index : c.removed)
            expected.append(entryIDs[index]);
        EXPECT_EQ(Dedupe::duplicateEntries(draft,
                                           [&](const QUuid& id) -> std::optional<Selection> {
                                               const auto found = library.constFind(id);
                                               return found == library.cend() ? std::nullopt
                                                                              : std::optional<Selection>(*found);
                                           }),
                  expected)
            << c.name;
    }
}

} // namespace
} // namespace vellicord
