#include "Tovak/library/EmptyStateView.h"

#include "Tovak/kit/CappedLabel.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "core/foundation/Text.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace vellicord {
namespace {

constexpr int subtitleWidth = 360;
constexpr int subtitleLines = 3;
// Enough of a query to recognise it; more would only be elided away again.
constexpr qsizetype shownQueryLength = 200;

QStringView trimmedSearch(const EmptyStateView::Content& content)
{
    return QStringView(content.searchText).trimmed();
}

bool showsSearch(const EmptyStateView::Content& content)
{
    return content.isFiltering && !trimmedSearch(content).isEmpty();
}

bool showsGroup(const EmptyStateView::Content& content)
{
    return content.sidebarSelection && content.sidebarSelection->is<SidebarItem::Group>();
}

bool showsSource(const EmptyStateView::Content& content)
{
    return content.sidebarSelection && content.sidebarSelection->is<SidebarItem::Source>();
}

// A pasted query can be megabytes long. Only its beginning goes into the sentence, cut where one
// grapheme ends so that no character (an emoji, a letter with its accents) is split.
QString boundedQuery(QStringView query)
{
    if (query.size() <= shownQueryLength)
        return query.toString();
    // Whether the limit is a grapheme boundary depends on the characters around it only, so only
    // the head of the text is segmented rather than all of it.
    const QStringView head = query.first(shownQueryLength + 1);
    const std::vector<qsizetype> ends = Text::graphemeEnds(head);
    const auto after = std::upper_bound(ends.begin(), ends.end(), shownQueryLength);
    qsizetype cut = after == ends.begin() ? 0 : *std::prev(after);
    if (cut <= 0) {
        // One grapheme longer than the limit (a letter under hundreds of combining marks): cut
        // between code points instead.
        cut = shownQueryLength - (head[shownQueryLength].isLowSurrogate() ? 1 : 0);
    }
    QStringView kept = head.first(cut);
    while (!kept.isEmpty() && kept.back().isSpace())
        kept.chop(1);
    return kept.toString() + u'…';
}

} // namespace

EmptyStateView::EmptyStateView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addStretch(1);

    symbol_ = new SymbolView(QStringLiteral("text.quote"), 42, &ThemeColors::tertiaryLabel, this);
    layout->addWidget(symbol_, 0, Qt::AlignHCenter);

    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(TextStyles::title3Semibold());
    title_->setAlignment(Qt::AlignHCenter);
    title_->setWordWrap(true);
    layout->addWidget(title_, 0, Qt::AlignHCenter);

    subtitle_ = new CappedLabel(subtitleLines, Qt::AlignHCenter | Qt::AlignTop, this);
    subtitle_->setObjectName(QStringLiteral("subtitle"));
    subtitle_->setMaximumWidth(subtitleWidth);
    subtitle_->setFont(TextStyles::callout());
    layout->addWidget(subtitle_, 0, Qt::AlignHCenter);

    enableAccessibility_ = Controls::prominentButton(QStringLiteral("Enable Accessibility"), this);
    enableAccessibility_->setIconSize(QSize(16, 16));
    // White on the accent in both appearances, like its title.
    enableAccessibility_->setIcon(Symbols::icon(QStringLiteral("hand.raised"), Qt::white));
    connect(enableAccessibility_, &QPushButton::clicked, this, &EmptyStateView::enableAccessibilityRequested);
    layout->addWidget(enableAccessibility_, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    setContent(Content{});
    applyColors();
}

void EmptyStateView::setContent(const Content& content)
{
    content_ = content;
    const QString title = EmptyStateView::title(content_);
    const QString subtitle = EmptyStateView::subtitle(content_);
    symbol_->setSymbol(symbolName(content_), &ThemeColors::tertiaryLabel);
    title_->setText(title);
    subtitle_->setFullText(subtitle);
    subtitle_->setAccessibleName(subtitle);
    enableAccessibility_->setVisible(content_.needsAccessibility);
    setAccessibleName(title);
    setAccessibleDescription(subtitle);
}

QString EmptyStateView::symbolName(const Content& content)
{
    if (showsSearch(content))
        return QStringLiteral("magnifyingglass");
    if (showsGroup(content))
        return QStringLiteral("folder");
    if (showsSource(content))
        return QStringLiteral("link");
    return QStringLiteral("text.quote");
}

QString EmptyStateView::title(const Content& content)
{
    if (showsSearch(content))
        return QStringLiteral("No Search Results");
    if (content.isFiltering && (showsGroup(content) || showsSource(content)))
        return QStringLiteral("No Captures Here");
    if (content.needsAccessibility)
        return QStringLiteral("Welcome to Vellicord");
    return QStringLiteral("Nothing Here Yet");
}

QString EmptyStateView::subtitle(const Content& content)
{
    if (showsSearch(content))
        return QStringLiteral("No captures match “") + boundedQuery(trimmedSearch(content)) + QStringLiteral("”.");
    if (showsSource(content))
        return QStringLiteral("This source does not contain any captures.");
    if (showsGroup(content))
        return QStringLiteral("This group does not contain any captures.");
    if (content.needsAccessibility)
        return QStringLiteral("Run Vellicord on an X display to read selected text, then select anything on your "
                              "computer and press ")
            + content.hotkeyDisplay + QStringLiteral(" to save it.");
    return QStringLiteral("Select text anywhere on your computer and press ") + content.hotkeyDisplay
        + QStringLiteral(" to save it here (or click the viewfinder button).");
}

QSize EmptyStateView::sizeHint() const
{
    // The width the texts ask for, and the height their lines need there.
    const int width = layout()->sizeHint().width();
    return {width, layout()->totalHeightForWidth(width)};
}

void EmptyStateView::applyColors()
{
    Controls::tint(*subtitle_, Theme::colors(palette()).secondaryLabel);
}

void EmptyStateView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && enableAccessibility_)
        applyColors();
    QWidget::changeEvent(event);
}

} // namespace vellicord
