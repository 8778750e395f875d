#include "Tovak/kit/ParagraphBreaks.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

namespace {

using namespace vellicord;

// Where a long paragraph's lines may break, found a stretch at a time and a run of Thai at a time,
// with the Thai taken for plain letters around it, is where the boundary finder finds it reading
// the whole paragraph, Thai dictionary and all, and after every space: random runs of words,
// numbers and signs, hexadecimal digits, a letter repeated, Thai words, single Thai letters, Thai
// digits and signs, a Thai mark over a Latin letter, emoji, ideographs, Hangul and Devanagari.
TEST(ParagraphBreaks, FindsTheBreaksTheWholeParagraphHas)
{
    // clang-format off
    const QString parts[] = {
        u"the "_qs, u"quick "_qs, u"(brown) "_qs, u"fox, "_qs, u"well-known"_qs, u" )"_qs, u"ok! "_qs, u"\u00a0"_qs,
        u"1.5 "_qs, u"3,000"_qs, u"$40"_qs, u"1-2/"_qs, u"0123456789abcdef"_qs, u"Z"_qs,
        u"\u0e20\u0e32\u0e29\u0e32"_qs, u"\u0e01"_qs, u"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35"_qs, u"\u0e51\u0e52"_qs,
        u"\u0e2f\u0e46\u0e5a"_qs, u"a\u0e48"_qs, u"\u0e3f"_qs,
        u"\U0001f600"_qs, u"\U0001f44d\U0001f3fd"_qs, u"\u4e2d\u6587"_qs, u"\ud55c\uad6d\uc5b4 "_qs,
        u"\u0928\u092e\u0938\u094d\u0924\u0947"_qs,
    };
    // clang-format on
    QRandomGenerator random(51);
    int told = 0;
    for (int round = 0; round < 12; ++round) {
        QString text;
        while (text.size() < 20000) {
            const QString& part = parts[random.bounded(int(std::size(parts)))];
            // Runs of Latin letters grow long; runs of Thai, and of the characters Thai goes on
            // through, stay shorter than the pieces Qt gives the dictionary.
            const bool latin = part.contains(QRegularExpression(u"[A-Za-z]"_qs));
            text += part.repeated(random.bounded(3) == 0 ? 1 + int(random.bounded(latin ? 400 : 20)) : 1);
        }
        ParagraphBreaks breaks(text, QTextOption());
        QTextBoundaryFinder whole(QTextBoundaryFinder::Line, text);
        QStringList differing;
        for (qsizetype at = 1; at < text.size() && differing.size() < 5; ++at) {
            whole.setPosition(at);
            const bool expected = whole.isAtBoundary() || (text.at(at).isSpace() && text.at(at) != u'\u00a0');
            // Where a long piece of Thai is not read yet, only Qt's own rule can tell.
            const ParagraphBreaks::Found found = breaks.within(at - 1, at);
            told += found != ParagraphBreaks::Found::unknown;
            if (found != ParagraphBreaks::Found::unknown && (found == ParagraphBreaks::Found::some) != expected)
                differing.append(QString::number(at) + u' ' + text.mid(at - 4, 8));
        }
        EXPECT_EQ(differing, QStringList()) << "round " << round;
    }
    EXPECT_GT(told, 12 * 19000) << "nearly every place is told";
}

} // namespace
