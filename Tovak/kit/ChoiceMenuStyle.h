#pragma once

#include <QProxyStyle>

namespace vellicord {

// The style of a menu of choices that each have a symbol (the sort orders): the chosen one is
// marked with a check mark in a column of its own before the symbols. The base style draws a
// checked item's icon sunken instead, which hardly reads as chosen.
class ChoiceMenuStyle final : public QProxyStyle {
public:
    // Made for one menu, and owned by it.
    explicit ChoiceMenuStyle(QWidget* menu);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;

private:
    int checkColumn(const QWidget* widget) const;
};

} // namespace vellicord
