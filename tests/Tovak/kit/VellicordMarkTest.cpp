#include "Tovak/kit/VellicordMark.h"
#include "Tovak/kit/VellicordMarkView.h"

#include <gtest/gtest.h>

using namespace vellicord;

TEST(VellicordMark, BracketGeometryAndLineWidths)
{
    const QRectF bounds = VellicordMark::brackets(QRectF(0, 0, 18, 18)).boundingRect();
    EXPECT_NEAR(bounds.left(), 3.24, 1e-9);
    EXPECT_NEAR(bounds.right(), 14.76, 1e-9);
    EXPECT_NEAR(bounds.top(), 2.88, 1e-9);
    EXPECT_NEAR(bounds.bottom(), 15.12, 1e-9);
    // The right bracket starts at 11.16; the left one ends at 6.84.
    const QPainterPath path = VellicordMark::brackets(QRectF(0, 0, 18, 18));
    EXPECT_NEAR(path.elementAt(0).x, 6.84, 1e-9);
    EXPECT_NEAR(path.elementAt(4).x, 11.16, 1e-9);
    // Offset by the rectangle's origin.
    EXPECT_EQ(VellicordMark::brackets(QRectF(10, 20, 18, 18)).boundingRect(), bounds.translated(10, 20));

    EXPECT_DOUBLE_EQ(VellicordMarkView(44).lineWidth(), 3.3);
    EXPECT_DOUBLE_EQ(VellicordMarkView(14).lineWidth(), 1.5);

    const QImage status = VellicordMark::statusImage(2.0);
    EXPECT_EQ(status.size(), QSize(36, 36));
    // The dot, 2.88 across, is at the centre; the gap beside it is empty.
    EXPECT_GT(qAlpha(status.pixel(18, 18)), 200);
    EXPECT_EQ(qAlpha(status.pixel(18, 8)), 0);
}
