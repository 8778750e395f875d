#include "Tovak/composer/TokenBudgetMeter.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/FirstFitLayout.h"
#include "Tovak/kit/SymbolLabel.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "core/library/TokenEstimator.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace vellicord {

// A thin rounded track filled to the share of the budget the prompt takes. A progress bar, so
// that a screen reader reads it as one, with its value and total.
class TokenBudgetMeter::Bar final : public QProgressBar {
public:
    explicit Bar(QWidget* parent)
        : QProgressBar(parent)
    {
        setTextVisible(false);
        setFixedHeight(4);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void set(int64_t value, int64_t total, QColor tint)
    {
        // The toolkit's bar counts in int, which every model's budget fits in.
        setRange(0, int(std::clamp<int64_t>(total, 1, INT_MAX)));
        setValue(int(std::clamp<int64_t>(value, 0, maximum())));
        tint_ = tint;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track = rect();
        const qreal radius = track.height() / 2;
        QPainterPath whole;
        whole.addRoundedRect(track, radius, radius);
        painter.fillPath(whole, Theme::colors(palette()).separator);
        const double fraction = double(value()) / double(maximum());
        if (fraction <= 0)
            return;
        QRectF filled = track;
        filled.setWidth(std::max(track.height(), track.width() * fraction));
        QPainterPath part;
        part.addRoundedRect(filled, radius, radius);
        painter.fillPath(part, tint_);
    }

private:
    QColor tint_;
};

TokenBudgetMeter::TokenBudgetMeter(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TokenBudgetMeter"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    auto* line = new QHBoxLayout;
    line->setSpacing(8);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("TokenCount"));
    count_->setTextFormat(Qt::PlainText);
    count_->setFont(TextStyles::caption());
    line->addWidget(count_);
    overBudget_
        = new SymbolLabel(QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("over budget"),
                          TextStyles::system(TextStyles::caption().pixelSize(), QFont::DemiBold), QColor(), this);
    overBudget_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    line->addWidget(overBudget_);
    line->addStretch(1);
    estimate_ = new QLabel(QStringLiteral("estimate"), this);
    estimate_->setTextFormat(Qt::PlainText);
    estimate_->setFont(TextStyles::caption2());
    line->addWidget(estimate_);
    column->addLayout(line);

    bar_ = new Bar(this);
    column->addWidget(bar_);

    remedies_ = new QWidget(this);
    auto* fit = new FirstFitLayout(
        {{.orientation = Qt::Horizontal, .spacing = 8}, {.orientation = Qt::Vertical, .spacing = 6}}, remedies_);
    fit->setContentsMargins(0, 2, 0, 0);
    reduce_ = Controls::button(QStringLiteral("Reduce to Fit"), Controls::Size::small, remedies_);
    reduce_->setToolTip(
        QStringLiteral("Remove included, available, unpinned sources from the bottom; keep all other entries"));
    fit->addWidget(reduce_);
    split_ = Controls::button(QStringLiteral("Copy Split"), Controls::Size::small, remedies_);
    split_->setToolTip(QStringLiteral("Copy whole sources as separate messages if each fits the estimated budget"));
    fit->addWidget(split_);
    column->addWidget(remedies_);

    setMeasure(0, 0, false, true);
}

QString TokenBudgetMeter::countText(int64_t tokens, int64_t budget)
{
    return TokenEstimator::format(tokens) + QStringLiteral(" / ") + TokenEstimator::format(budget)
        + QStringLiteral(" tokens");
}

QString TokenBudgetMeter::countText() const
{
    return count_->text();
}

bool TokenBudgetMeter::showsOverBudget() const
{
    return !overBudget_->isHidden();
}

bool TokenBudgetMeter::showsRemedies() const
{
    return !remedies_->isHidden();
}

void TokenBudgetMeter::setMeasure(int64_t tokens, int64_t budget, bool offersRemedies, bool canReduce)
{
    tokens_ = tokens;
    budget_ = budget;
    over_ = tokens > budget;
    count_->setText(countText(tokens, budget));
    bar_->setAccessibleName(count_->text());
    overBudget_->setVisible(over_);
    remedies_->setVisible(over_ && offersRemedies);
    reduce_->setEnabled(canReduce);
    applyColors();
}

void TokenBudgetMeter::applyColors()
{
    const ThemeColors colors = Theme::colors(palette());
    const QColor tint = over_ ? colors.red : colors.secondaryLabel;
    Controls::tint(*count_, tint);
    overBudget_->setColor(colors.red);
    Controls::tint(*estimate_, colors.tertiaryLabel);
    // The bar's value is the estimate up to the budget, so it stands full once the prompt is over
    // (and with no budget, full for any estimate).
    if (budget_ > 0)
        bar_->set(tokens_, budget_, tint);
    else
        bar_->set(tokens_ > 0 ? 1 : 0, 1, tint);
}

void TokenBudgetMeter::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && bar_)
        applyColors();
    QWidget::changeEvent(event);
}

} // namespace vellicord
