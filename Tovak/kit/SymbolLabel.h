#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

namespace vellicord {

// A symbol followed by a text, in one font and colour; the text wraps.
class SymbolLabel final : public QWidget {
public:
    SymbolLabel(const QString& symbol, const QString& text, const QFont& font, const QColor& color,
                QWidget* parent = nullptr);

    void setText(const QString& text);
    void setColor(const QColor& color);
    QString text() const;
    QString symbol() const { return symbol_; }

private:
    class Icon;
    QString symbol_;
    Icon* icon_;
    QLabel* label_;
};

} // namespace vellicord
