#pragma once

#include "Tovak/kit/Theme.h"

#include <QWidget>

namespace vellicord {

// One symbol on its own, at a fixed size, in one of the theme's colours. The colour is looked up
// when it is painted, so the symbol follows the palette without being told.
class SymbolView final : public QWidget {
public:
    using Tint = QColor ThemeColors::*;

    SymbolView(const QString& symbol, int side, Tint tint, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol, Tint tint);
    QString symbol() const { return symbol_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    Tint tint_;
};

} // namespace vellicord
