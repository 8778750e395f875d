#include "Tovak/kit/SymbolView.h"

#include "Tovak/kit/Symbols.h"

#include <QPainter>

namespace vellicord {

SymbolView::SymbolView(const QString& symbol, int side, Tint tint, QWidget* parent)
    : QWidget(parent)
    , symbol_(symbol)
    , tint_(tint)
{
    setFixedSize(side, side);
    // Decoration: the texts beside it say what it means.
    setAccessibleName(QString());
}

void SymbolView::setSymbol(const QString& symbol, Tint tint)
{
    if (symbol == symbol_ && tint == tint_)
        return;
    symbol_ = symbol;
    tint_ = tint;
    update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Symbols::paint(painter, symbol_, rect(), Theme::colors(palette()).*tint_);
}

} // namespace vellicord
