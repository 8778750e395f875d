#include "core/capture/AttributedText.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

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
