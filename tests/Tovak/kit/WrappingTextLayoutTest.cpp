#include "Tovak/kit/WrappingTextLayout.h"
#include "Tovak/kit/TextStyles.h"

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

// Long paragraphs, where runs are laid out without measuring them anew for each line, break
// exactly where Qt's own rule breaks them: words at word boundaries, a run too long for any line
// anywhere, the words after a run as words again.
TEST(WrappingTextLayout, BreaksLongParagraphsWhereQtBreaksThem)
{
    // Just long enough to be laid out the fast way; Qt's rule takes long enough over them as it is.
    const QString words = QStringLiteral("the quick brown fox jumps over a lazy dog ").repeated(70);
    const QString hex = QStringLiteral("0123456789abcdef").repeated(300);
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"words", words + words},
        {"a word repeated", QStringLiteral("abcdefghij ").repeated(550)},
        {"one unbroken run", hex + hex},
        {"a run between words", words + hex + QLatin1Char(' ') + words},
        {"a run after one space", QLatin1Char(' ') + hex},
        {"a run ending a little way into a line",
         words + QStringLiteral(" ") + hex.left(1003) + QStringLiteral(" ") + words},
        {"runs just longer than a word reaches", (QString(70, u'x') + QLatin1Char(' ')).repeated(85)},
        {"words joined by no-break spaces", QStringLiteral("abc\u00a0de\u00a0").repeated(750)},
        {"ideographs, a break between each", QStringLiteral("\u4e2d\u6587\u6587\u672c").repeated(1500)},
        {"hyphenated parts", QStringLiteral("well-known-long-part-").repeated(290)},
    };
    for (const auto& c : cases) {
        for (const qreal width : {40.0, 300.0, 1400.0}) {
            EXPECT_EQ(lineStarts(c.text, width, true), lineStarts(c.text, width, false)) << c.name << " at " << width;
        }
    }
}

} // namespace
