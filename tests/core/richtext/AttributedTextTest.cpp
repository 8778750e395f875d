#include "core/richtext/AttributedText.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <random>

using namespace vellicord;
using Range = AttributedText::Range;

TEST(AttributedText, ParagraphRanges)
{
    AttributedText text;
    text.append(u"ab\r\ncd\ref\u2029g\n\nh", AttributedText::Attributes{});
    struct Case {
        const char* name;
        qsizetype position;
        Range range;
    };
    const Case cases[] = {
        {"start", 0, {0, 4}},
        {"on the CR of CR LF", 2, {0, 4}},
        {"between CR and LF", 3, {0, 4}},
        {"after CR LF", 4, {4, 3}},
        {"after CR", 7, {7, 3}},
        {"after paragraph separator", 10, {10, 2}},
        {"empty paragraph", 12, {12, 1}},
        {"last without terminator", 13, {13, 1}},
        {"end", 14, {13, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text.paragraphRange(c.position), c.range) << c.name;
}

TEST(AttributedText, RunsSplitAndMerge)
{
    AttributedText::Attributes bold;
    bold.font = AttributedText::Font::system(12).withTraits(true, false);
    AttributedText text;
    text.append(u"abc", bold);
    text.append(u"def", bold);
    Range run;
    text.attributesAt(4, &run);
    EXPECT_EQ(run, (Range{0, 6})) << "equal attributes share a run";

    AttributedText::ParagraphStyle quote;
    quote.firstLineHeadIndent = 24;
    text.setParagraphStyle({2, 2}, quote);
    std::vector<Range> runs;
    text.forEachRun({1, 4}, [&](Range r, const AttributedText::Attributes&) { runs.push_back(r); });
    EXPECT_EQ(runs, (std::vector<Range>{{1, 1}, {2, 2}, {4, 1}}));
    EXPECT_TRUE(text.attributesAt(3).paragraphStyle);
    EXPECT_FALSE(text.attributesAt(4).paragraphStyle);
    EXPECT_TRUE(text.attributesAt(4).font->bold);

    // Lists compare by identity, not by value.
    auto a = std::make_shared<AttributedText::TextList>();
    auto b = std::make_shared<AttributedText::TextList>();
    AttributedText::ParagraphStyle inA;
    inA.textLists = {a};
    AttributedText::ParagraphStyle inB;
    inB.textLists = {b};
    EXPECT_FALSE(inA == inB);
}

namespace {

std::vector<std::pair<Range, AttributedText::Attributes>> runsOf(const AttributedText& text)
{
    std::vector<std::pair<Range, AttributedText::Attributes>> runs;
    text.forEachRun({0, text.length()}, [&](Range r, const AttributedText::Attributes& a) { runs.emplace_back(r, a); });
    return runs;
}

} // namespace

// Setting many paragraph styles in one pass gives exactly what setting them one by one gives.
TEST(AttributedText, ParagraphStylesInOnePassMatchOneByOne)
{
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        AttributedText text;
        for (int piece = int(random() % 6); piece >= 0; --piece) {
            AttributedText::Attributes attributes;
            attributes.font = AttributedText::Font::system(double(10 + random() % 3));
            text.append(QString(int(1 + random() % 5), QChar(u'a' + piece)), attributes);
        }
        std::vector<std::pair<Range, std::optional<AttributedText::ParagraphStyle>>> changes;
        qsizetype position = 0;
        while (position < text.length()) {
            position += qsizetype(random() % 3);
            const qsizetype length = std::min<qsizetype>(qsizetype(random() % 4), text.length() - position);
            if (length < 0)
                break;
            AttributedText::ParagraphStyle style;
            style.headIndent = double(random() % 50);
            changes.emplace_back(Range{position, length}, style);
            position += length;
        }
        AttributedText oneByOne = text;
        for (const auto& [range, style] : changes)
            oneByOne.setParagraphStyle(range, style);
        text.setParagraphStyles(changes);
        EXPECT_EQ(runsOf(text), runsOf(oneByOne)) << "round " << round;
    }
}
