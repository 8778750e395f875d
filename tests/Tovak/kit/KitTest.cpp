#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "support/FakeDesktop.h"

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace vellicord;

namespace {

bool paintsNothing(const QString& name)
{
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QImage blank = image.copy();
    QPainter painter(&image);
    Symbols::paint(painter, name, image.rect(), Qt::red);
    painter.end();
    return image == blank;
}

} // namespace

TEST(Symbols, EveryNameTheViewsUseIsDrawn)
{
    for (const char* name :
         {"checkmark.circle.fill", "exclamationmark.triangle.fill", "info.circle", "hand.raised", "text.viewfinder",
          "text.bubble", "arrow.up.forward.app", "magnifyingglass", "doc.on.doc", "trash", "plus", "xmark", "checkmark",
          "folder", "tray.full", "gearshape",
          // The library browser's rows, state views and toolbar.
          "text.quote", "safari", "doc", "app.dashed", "line.3.horizontal", "link", "exclamationmark.triangle",
          "doc.text.magnifyingglass", "arrow.counterclockwise.circle.fill", "arrow.up.arrow.down", "arrow.down.to.line",
          "arrow.up.to.line", "app", "viewfinder", "checkmark.circle", "text.badge.plus", "folder.badge.plus",
          "doc.text", "rectangle.stack.badge.plus",
          // The composer's panes, rows and menus.
          "ellipsis", "ellipsis.circle", "pin.fill", "lock.doc", "note.text", "scissors", "scissors.badge.ellipsis",
          "wand.and.stars", "doc.badge.plus", "doc.on.clipboard", "square.and.arrow.down",
          // The inspector.
          "doc.plaintext", "circle"}) {
        EXPECT_TRUE(Symbols::has(QString::fromLatin1(name))) << name;
        const QPixmap pixmap = Symbols::icon(QString::fromLatin1(name), Qt::red).pixmap(QSize(24, 24), 2.0);
        EXPECT_EQ(pixmap.size(), QSize(48, 48)) << name;
        const QImage image = pixmap.toImage();
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                inked += qAlpha(image.pixel(x, y)) > 128;
        }
        EXPECT_GT(inked, 20) << name;
    }
    EXPECT_FALSE(Symbols::has(QStringLiteral("no.such.symbol")));
    // An unknown name draws nothing and fails the test that drew it.
    EXPECT_NONFATAL_FAILURE(EXPECT_TRUE(paintsNothing(QStringLiteral("no.such.symbol"))), "\"no.such.symbol\"");
}

TEST(Theme, PalettesAndTextStyles)
{
    EXPECT_EQ(Theme::appearance(Theme::palette(Appearance::light)), Appearance::light);
    EXPECT_EQ(Theme::appearance(Theme::palette(Appearance::dark)), Appearance::dark);
    EXPECT_NE(Theme::colors(Appearance::light).accent, Theme::colors(Appearance::dark).accent);
    struct Case {
        const char* name;
        QFont font;
        int pixels;
        bool bold;
    };
    const Case cases[] = {
        {"title3", TextStyles::title3(), 15, false},   {"headline", TextStyles::headline(), 13, true},
        {"title3Semibold", TextStyles::title3Semibold(), 15, true},
        {"body", TextStyles::body(), 13, false},       {"callout", TextStyles::callout(), 12, false},
        {"caption", TextStyles::caption(), 10, false}, {"caption2", TextStyles::caption2(), 10, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.font.pixelSize(), c.pixels) << c.name;
        EXPECT_EQ(c.font.bold(), c.bold) << c.name;
        EXPECT_EQ(QFontInfo(c.font).family(), QStringLiteral("DejaVu Sans")) << c.name;
    }
}

TEST(Theme, FollowsTheDesktopWhenItChanges)
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(application);
    const QPalette saved = QApplication::palette();
    {
        FakeDesktop desktop;
        desktop.current = Appearance::dark;
        Theme::matchDesktop(*application, desktop);
        EXPECT_EQ(Theme::appearance(QApplication::palette()), Appearance::dark);
        desktop.setAppearance(Appearance::light);
        EXPECT_EQ(Theme::appearance(QApplication::palette()), Appearance::light);
    }
    QApplication::setPalette(saved);
}

QStringList* warnings = nullptr;

// The application's font keeps the body's 13 pixels, sized in points, so that an application icon
// drawn from an SVG keeps its text (XTerm's "X", sized as font-size:59.8px) and warns of nothing.
TEST(Theme, ApplicationFontLeavesIconsTheirText)
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(application);
    const QFont savedFont = QApplication::font();
    const QPalette savedPalette = QApplication::palette();
    Theme::apply(*application, Appearance::light);
    EXPECT_EQ(QFontInfo(QApplication::font()).pixelSize(), 13);
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("DejaVu Sans"));

    QTemporaryDir folder;
    const auto icon = [&](const QByteArray& body) {
        QFile file(folder.filePath(QString::number(qHash(body)) + QStringLiteral(".svg")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'>" + body + "</svg>");
        file.close();
        QImage image(38, 38, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QIcon(file.fileName()).paint(&painter, image.rect());
        return image;
    };
    QStringList seen;
    warnings = &seen;
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { warnings->append(m); });
    const QImage withText = icon("<text x='4' y='40' style='font-size:59.79689407px'>X</text>");
    const QImage without = icon({});
    qInstallMessageHandler(previous);
    warnings = nullptr;
    EXPECT_NE(withText, without) << "the text is drawn";
    EXPECT_TRUE(seen.isEmpty()) << qPrintable(seen.join(u'\n'));
    QApplication::setFont(savedFont);
    QApplication::setPalette(savedPalette);
}

TEST(OffscreenRenderer, DrawsAtTheScaleAndReportsWriteFailures)
{
    QLabel label(QStringLiteral("Hello"));
    Theme::apply(label, Appearance::dark);
    const QImage image = OffscreenRenderer::render(label, QSize(120, 40), 2.0);
    EXPECT_EQ(image.size(), QSize(240, 80));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    EXPECT_EQ(QColor(image.pixel(1, 1)), Theme::palette(Appearance::dark).color(QPalette::Window));
    EXPECT_FALSE(label.isVisible());

    QTemporaryDir folder;
    EXPECT_FALSE(OffscreenRenderer::writePng(label, QSize(), 1.0, folder.filePath(QStringLiteral("a.png"))));
    EXPECT_EQ(QImage(folder.filePath(QStringLiteral("a.png"))).size(), label.sizeHint());
    EXPECT_TRUE(OffscreenRenderer::writePng(label, QSize(), 1.0, folder.filePath(QStringLiteral("missing/a.png"))));
}
