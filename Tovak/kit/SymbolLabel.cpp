#include "Tovak/kit/SymbolLabel.h"

#include "Tovak/kit/Symbols.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace vellicord {

class SymbolLabel::Icon final : public QWidget {
public:
    Icon(QString symbol, QColor color, int side, QWidget* parent)
        : QWidget(parent), symbol_(std::move(symbol)), color_(color)
    {
        setFixedSize(side, side);
    }
    void setColor(const QColor& color)
    {
        color_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        Symbols::paint(painter, symbol_, rect(), color_);
    }

private:
    QString symbol_;
    QColor color_;
};

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, const QFont& font,
                         const QColor& color, QWidget* parent)
    : QWidget(parent)
    , symbol_(symbol)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    const QFontMetrics metrics(font);
    const int side = metrics.height();
    icon_ = new Icon(symbol, color, side, this);
    layout->addWidget(icon_, 0, Qt::AlignTop);
    label_ = new QLabel(text, this);
    label_->setFont(font);
    label_->setWordWrap(true);
    layout->addWidget(label_, 1);
    setColor(color);
}

void SymbolLabel::setColor(const QColor& color)
{
    icon_->setColor(color);
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, color);
    label_->setPalette(palette);
}

void SymbolLabel::setText(const QString& text)
{
    label_->setText(text);
}

QString SymbolLabel::text() const
{
    return label_->text();
}

} // namespace vellicord
