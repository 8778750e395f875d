#include "Tovak/kit/TextStyles.h"

#include <QGuiApplication>
#include <QScreen>

namespace vellicord::TextStyles {

QFont system(int pixels, QFont::Weight weight)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    // DejaVu has no semibold face; bold stands in for it.
    font.setWeight(weight >= QFont::DemiBold ? QFont::Bold : weight);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont title2() { return system(17, QFont::DemiBold); }
QFont title3() { return system(15); }
QFont title3Semibold() { return system(15, QFont::DemiBold); }
QFont headline() { return system(13, QFont::DemiBold); }
QFont body() { return system(13); }
QFont callout() { return system(12); }
QFont subheadline() { return system(11); }
QFont caption() { return system(10); }
QFont caption2() { return system(10); }

QFont application()
{
    QFont font = body();
    // A point is 1/72 inch; the screen's logical dots per inch turn the body's pixels into points,
    // rounded as Qt rounds them back.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    font.setPointSizeF(body().pixelSize() * 72.0 / dpi);
    return font;
}

QFont monospaced(int pixels)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(pixels);
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace vellicord::TextStyles
