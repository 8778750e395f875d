#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/WrappingTextLayout.h"

#include <QTextLayout>

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace vellicord;

// Where each line of the text starts at the width: as Qt's own rule wraps it, or as ours does.
QList<int> lineStarts(const QString& text, qreal width, bool ours)
{
    QTextLayout layout(text, TextStyles::body());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<int> starts;
    layout.beginLayout();
    {
        std::optional<WrappingTextLayout::Lines> lines;
        if (ours)
            lines.emplace(layout, text);
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            if (lines)
                lines->fill(line, width);
            else
                line.setLineWidth(width);
            starts.append(line.textStart());
        }
    }
    layout.endLayout();
    return starts;
}

QString repeated(const QString& piece, qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += piece;
    return text.left(length);
}

// Long paragraphs, where runs are laid out without measuring them anew for each line, break
// exactly where Qt's own rule breaks them: words at word boundaries, a run too long for any line
// anywhere, the words after a run as words again.
TEST(WrappingTextLayout, BreaksLongParagraphsWhereQtBreaksThem)
{
    // Just long enough to be laid out the fast way; Qt's rule takes long enough over them as it is.
    const QString words = repeated(QStringLiteral("the quick brown fox jumps over a lazy dog "), 3000);
    const QString hex = repeated(QStringLiteral("0123456789abcdef"), 5000);
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"words", words},
        {"a word repeated", repeated(QStringLiteral("abcdefghij "), 6000)},
        {"one unbroken run", hex + hex},
        {"a run between words", words + hex + QLatin1Char(' ') + words},
        {"a run after one space", QLatin1Char(' ') + hex},
        {"a run ending a little way into a line", words + QStringLiteral(" ") + hex.left(1003) + QStringLiteral(" ") + words},
        {"runs just longer than a word reaches", repeated(QString(70, u'x') + QLatin1Char(' '), 6000)},
        {"words joined by no-break spaces", repeated(QStringLiteral("abc\u00a0de\u00a0"), 6000)},
        {"ideographs, a break between each", repeated(QStringLiteral("\u4e2d\u6587\u6587\u672c"), 6000)},
        {"hyphenated parts", repeated(QStringLiteral("well-known-long-part-"), 6000)},
    };
    for (const auto& c : cases) {
        for (const qreal width : {40.0, 300.0, 1400.0}) {
            EXPECT_EQ(lineStarts(c.text, width, true), lineStarts(c.text, width, false)) << c.name << " at " << width;
        }
    }
}

} // namespace
