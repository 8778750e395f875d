#include "Tovak/kit/Theme.h"

#include "Tovak/kit/TextStyles.h"

#include <QApplication>
#include <QStyleFactory>
#include <QWidget>

namespace vellicord::Theme {

ThemeColors colors(Appearance appearance)
{
    if (appearance == Appearance::dark) {
        return {
            .label = QColor(255, 255, 255, 217),
            .secondaryLabel = QColor(255, 255, 255, 140),
            .tertiaryLabel = QColor(255, 255, 255, 64),
            .accent = QColor(10, 132, 255),
            .green = QColor(50, 215, 75),
            .orange = QColor(255, 159, 10),
            .red = QColor(255, 69, 58),
            .teal = QColor(64, 200, 224),
            .separator = QColor(255, 255, 255, 26),
            .formBackground = QColor(30, 30, 30),
            .formSection = QColor(44, 44, 46),
            .panelBackground = QColor(40, 40, 42, 245),
        };
    }
    return {
        .label = QColor(0, 0, 0, 217),
        .secondaryLabel = QColor(0, 0, 0, 128),
        .tertiaryLabel = QColor(0, 0, 0, 66),
        .accent = QColor(0, 122, 255),
        .green = QColor(40, 205, 65),
        .orange = QColor(255, 149, 0),
        .red = QColor(255, 59, 48),
        .teal = QColor(89, 173, 196),
        .separator = QColor(0, 0, 0, 26),
        .formBackground = QColor(240, 240, 242),
        .formSection = QColor(255, 255, 255),
        .panelBackground = QColor(246, 246, 246, 245),
    };
}

QPalette palette(Appearance appearance)
{
    const bool dark = appearance == Appearance::dark;
    const ThemeColors c = colors(appearance);
    const QColor window = dark ? QColor(40, 40, 40) : QColor(236, 236, 236);
    const QColor base = dark ? QColor(30, 30, 30) : QColor(255, 255, 255);
    const QColor text = dark ? QColor(223, 223, 223) : QColor(38, 38, 38);
    const QColor button = dark ? QColor(72, 72, 74) : QColor(252, 252, 252);
    const QColor disabledText = dark ? QColor(255, 255, 255, 64) : QColor(0, 0, 0, 64);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, dark ? QColor(38, 38, 38) : QColor(244, 245, 245));
    p.setColor(QPalette::ToolTipBase, dark ? QColor(56, 56, 58) : QColor(255, 255, 240));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, c.tertiaryLabel);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, c.red);
    p.setColor(QPalette::Light, dark ? QColor(90, 90, 92) : QColor(255, 255, 255));
    p.setColor(QPalette::Midlight, dark ? QColor(70, 70, 72) : QColor(230, 230, 230));
    p.setColor(QPalette::Mid, dark ? QColor(54, 54, 56) : QColor(190, 190, 190));
    p.setColor(QPalette::Dark, dark ? QColor(20, 20, 20) : QColor(160, 160, 160));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, c.accent);
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    p.setColor(QPalette::Link, c.accent);
    p.setColor(QPalette::LinkVisited, c.accent.darker(120));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, dark ? QColor(80, 80, 80) : QColor(200, 200, 200));
    return p;
}

Appearance appearance(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? Appearance::dark : Appearance::light;
}

ThemeColors colors(const QPalette& palette)
{
    return colors(appearance(palette));
}

void apply(QApplication& application, Appearance appearance)
{
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    application.setPalette(palette(appearance));
    application.setFont(TextStyles::application());
}

void matchDesktop(QApplication& application, Desktop& desktop)
{
    apply(application, desktop.appearance());
    QObject::connect(&desktop, &Desktop::appearanceChanged, &application,
                     [&application, &desktop] { application.setPalette(palette(desktop.appearance())); });
}

void apply(QWidget& widget, Appearance appearance)
{
    widget.setPalette(palette(appearance));
}

} // namespace vellicord::Theme
