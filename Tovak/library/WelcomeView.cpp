#include "Tovak/library/WelcomeView.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/VellicordMarkView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellicord {
namespace {

// A symbol drawn in the colour of its palette's window text, so that it follows the label tint.
class StepSymbol final : public QWidget {
public:
    StepSymbol(QString symbol, QWidget* parent) : QWidget(parent), symbol_(std::move(symbol))
    {
        setFixedSize(28, 22);
        setAccessibleName(QString());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        // The symbol at the title-3 size, centred in its 28-point column.
        Symbols::paint(painter, symbol_, QRectF(3, 0, 22, 22), palette().color(QPalette::WindowText));
    }

private:
    QString symbol_;
};

} // namespace

WelcomeView::WelcomeView(bool needsAccessibility, const QString& hotkeyDisplay,
                         std::function<void()> openAccessibilitySettings, QWidget* parent)
    : QDialog(parent)
    , openAccessibilitySettings_(std::move(openAccessibilitySettings))
{
    setWindowTitle(QStringLiteral("Welcome to Vellicord"));
    setMinimumWidth(440);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(20);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new VellicordMarkView(44, this), 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    auto* title = new QLabel(QStringLiteral("Welcome to Vellicord"), this);
    title->setFont(TextStyles::title2());
    titles->addWidget(title);
    auto* subtitle = new QLabel(
        QStringLiteral("Capture useful text with its source, then compose focused prompts."), this);
    subtitle->setFont(TextStyles::callout());
    subtitle->setWordWrap(true);
    secondary_.append(subtitle);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    layout->addLayout(header);

    layout->addWidget(step(QStringLiteral("Grant access"),
                           QStringLiteral("Run Vellicord on an X display with the XTEST extension to read "
                                          "selected text."),
                           QStringLiteral("hand.raised"), needsAccessibility));
    layout->addWidget(step(QStringLiteral("Select and capture"), captureStepText(hotkeyDisplay),
                           QStringLiteral("text.viewfinder"), false));
    layout->addWidget(step(QStringLiteral("Compose prompts"),
                           QStringLiteral("Choose a capture in your library and click Add to Prompt. "
                                          "Choose Prompt in the sidebar, then Copy Prompt or Export. "
                                          "Vellicord estimates tokens."),
                           QStringLiteral("text.bubble"), false));

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    getStarted_ = Controls::defaultButton(QStringLiteral("Get Started"), this);
    connect(getStarted_, &QPushButton::clicked, this, &QDialog::accept);
    footer->addWidget(getStarted_);
    layout->addLayout(footer);
    applyColors();
}

QString WelcomeView::captureStepText(const QString& hotkeyDisplay)
{
    return QStringLiteral("Select text in another app, then press ") + hotkeyDisplay
        + QStringLiteral(" to save it with its source when available.");
}

QSize WelcomeView::sizeHint() const
{
    // The ideal width of 500, and the height its wrapped texts need there.
    const int height = layout() && layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(500) : -1;
    return {500, height > 0 ? height : QDialog::sizeHint().height()};
}

QWidget* WelcomeView::step(const QString& title, const QString& text, const QString& symbol,
                           bool needsSettingsButton)
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* icon = new StepSymbol(symbol, row);
    secondary_.append(icon);
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    auto* heading = new QLabel(title, row);
    heading->setFont(TextStyles::headline());
    column->addWidget(heading);
    auto* body = new QLabel(text, row);
    body->setFont(TextStyles::callout());
    body->setWordWrap(true);
    secondary_.append(body);
    column->addWidget(body);
    if (needsSettingsButton) {
        settings_ = new QPushButton(QStringLiteral("Open Accessibility Settings"), row);
        settings_->setFont(TextStyles::callout());
        settings_->setAutoDefault(false);
        settings_->setIconSize(QSize(13, 13));
        connect(settings_, &QPushButton::clicked, this, [this] {
            if (openAccessibilitySettings_)
                openAccessibilitySettings_();
        });
        column->addSpacing(2);
        column->addWidget(settings_, 0, Qt::AlignLeft);
    }
    layout->addLayout(column, 1);
    return row;
}

void WelcomeView::applyColors()
{
    const ThemeColors colors = Theme::colors(palette());
    for (QWidget* widget : secondary_) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, colors.secondaryLabel);
        widget->setPalette(palette);
    }
    if (settings_)
        settings_->setIcon(Symbols::icon(QStringLiteral("arrow.up.forward.app"),
                                         palette().color(QPalette::ButtonText)));
}

void WelcomeView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && getStarted_)
        applyColors();
    QDialog::changeEvent(event);
}

} // namespace vellicord
