#include "Tovak/kit/VellicordMark.h"
#include "Tovak/kit/VellicordMarkView.h"
#include "support/Contrast.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <string>

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

using vellicord::test::contrast;

TEST(VellicordMark, TrayMarkReadsOnLightAndDarkPanels)
{
    // Share of the icon's square that stands out (contrast 3:1 or more) from the panel, and share
    // of the mark's own strokes that stand out from what lies under them.
    struct Case {
        const char* name;
        QColor panel;
    };
    const Case cases[] = {{"white", QColor(255, 255, 255)},     {"light grey", QColor(232, 232, 232)},
                          {"mid grey", QColor(128, 128, 128)},  {"dark grey", QColor(48, 48, 48)},
                          {"badge colour", QColor(31, 41, 55)}, {"black", QColor(0, 0, 0)}};
    for (const int size : {16, 22, 32}) {
        const QImage tray = VellicordMark::trayImage(size);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " panel, " + std::to_string(size) + " px");
            QImage shown(tray.size(), QImage::Format_RGB32);
            shown.fill(c.panel);
            QPainter(&shown).drawImage(0, 0, tray);
            int standsOut = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    standsOut += contrast(shown.pixel(x, y), c.panel.rgb()) >= 3.0;
            EXPECT_GE(standsOut, shown.width() * shown.height() / 10);
            // The centre dot is white and its surroundings are the badge, on any panel.
            double dot = 0;
            for (const QPoint at : {QPoint(size / 2 - 1, size / 2 - 1), QPoint(size / 2, size / 2)})
                dot = std::max(dot, contrast(shown.pixel(at), shown.pixel(size / 2, size / 4)));
            EXPECT_GE(dot, 7.0);
        }
    }
}
