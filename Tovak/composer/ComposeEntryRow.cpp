#include "Tovak/composer/ComposeEntryRow.h"

#include "Tovak/composer/DraftSession.h"
#include "Tovak/kit/SteadyCaret.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"
#include "core/foundation/UuidText.h"
#include "core/library/SourceIdentity.h"
#include "core/library/TokenEstimator.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace vellicord {

namespace {

constexpr int rowInset = 5;
constexpr int lineSpacing = 3;
constexpr int badgeSpacing = 8;
constexpr qreal excludedOpacity = 0.62;

QFont titleFont()
{
    return TextStyles::system(TextStyles::callout().pixelSize(), QFont::DemiBold);
}

// Two texts that share their characters are the same text; telling so costs nothing.
bool sameText(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

struct Badge {
    QString title;
    QString symbol;
};

QList<Badge> badgesOf(const ContextDraftEntry& entry)
{
    QList<Badge> badges;
    if (entry.pin)
        badges.append({QStringLiteral("Pinned"), QStringLiteral("pin.fill")});
    if (entry.verbatim)
        badges.append({QStringLiteral("Verbatim"), QStringLiteral("lock.doc")});
    if (entry.customText)
        badges.append({QStringLiteral("Trimmed"), QStringLiteral("scissors")});
    if (entry.note)
        badges.append({QStringLiteral("Noted"), QStringLiteral("note.text")});
    return badges;
}

} // namespace

// The title line (headline and token count), the source line and the badges, drawn rather than
// made of labels: a prompt of hundreds of sources opens without thousands of widgets.
class ComposeEntryRow::Summary final : public QWidget {
public:
    explicit Summary(QWidget* parent)
        : QWidget(parent)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void set(QString title, bool titleCut, QString tokens, QString source, QList<Badge> badges)
    {
        const bool taller = badges.isEmpty() != badges_.isEmpty();
        title_ = std::move(title);
        titleCut_ = titleCut;
        tokens_ = std::move(tokens);
        source_ = std::move(source);
        badges_ = std::move(badges);
        if (taller)
            updateGeometry();
        update();
    }

    const QString& title() const { return title_; }
    const QString& tokens() const { return tokens_; }
    const QString& source() const { return source_; }
    const QList<Badge>& badges() const { return badges_; }

    QSize sizeHint() const override { return {160, height(!badges_.isEmpty())}; }
    QSize minimumSizeHint() const override { return {60, height(!badges_.isEmpty())}; }

    static int titleHeight()
    {
        return std::max(QFontMetrics(titleFont()).height(), QFontMetrics(TextStyles::caption()).height());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const ThemeColors colors = Theme::colors(palette());
        const QFont caption = TextStyles::caption();
        const QFontMetrics captionMetrics(caption);
        const int titleLine = titleHeight();

        const int tokensWidth = captionMetrics.horizontalAdvance(tokens_);
        painter.setFont(caption);
        painter.setPen(colors.secondaryLabel);
        painter.drawText(QRect(width() - tokensWidth, 0, tokensWidth, titleLine), Qt::AlignRight | Qt::AlignVCenter,
                         tokens_);
        const QFont title = titleFont();
        const int titleWidth = std::max(0, width() - tokensWidth - 6);
        painter.setFont(title);
        painter.setPen(colors.label);
        const QString shown = titleCut_ ? title_ + u'…' : title_;
        painter.drawText(QRect(0, 0, titleWidth, titleLine), Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(title).elidedText(shown, Qt::ElideRight, titleWidth));

        int y = titleLine + lineSpacing;
        painter.setFont(caption);
        painter.setPen(colors.secondaryLabel);
        painter.drawText(QRect(0, y, width(), captionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         captionMetrics.elidedText(source_, Qt::ElideMiddle, width()));
        y += captionMetrics.height() + lineSpacing;

        const QFont small = TextStyles::caption2();
        const QFontMetrics smallMetrics(small);
        const int symbol = smallMetrics.height() - 2;
        int x = 0;
        painter.setFont(small);
        for (const Badge& badge : badges_) {
            Symbols::paint(painter, badge.symbol, QRectF(x, y + 1, symbol, symbol), colors.secondaryLabel);
            x += symbol + 3;
            const int textWidth = smallMetrics.horizontalAdvance(badge.title);
            painter.drawText(QRect(x, y, textWidth, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                             badge.title);
            x += textWidth + badgeSpacing;
        }
    }

private:
    static int height(bool withBadges)
    {
        int height = titleHeight() + lineSpacing + QFontMetrics(TextStyles::caption()).height();
        if (withBadges)
            height += lineSpacing + QFontMetrics(TextStyles::caption2()).height();
        return height;
    }

    QString title_;
    bool titleCut_ = false;
    QString tokens_;
    QString source_;
    QList<Badge> badges_;
};

// The handle a source is dragged by. The drag itself belongs to the pane, which keeps this row
// alive until it ends.
class ComposeEntryRow::Grip final : public QWidget {
public:
    Grip(ComposeEntryRow& row, QWidget* parent)
        : QWidget(parent)
        , row_(row)
    {
        setFixedSize(18, 22);
        setCursor(Qt::OpenHandCursor);
        setToolTip(QStringLiteral("Drag to reorder"));
        setAccessibleName(QStringLiteral("Drag to reorder source"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const int side = 14;
        Symbols::paint(painter, QStringLiteral("line.3.horizontal"),
                       QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side),
                       Theme::colors(palette()).tertiaryLabel);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            press_ = event->position().toPoint();
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (press_ && (event->buttons() & Qt::LeftButton)
            && (event->position().toPoint() - *press_).manhattanLength() >= QApplication::startDragDistance()) {
            press_.reset();
            Q_EMIT row_.dragRequested(row_.entryID_);
        }
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        press_.reset();
        event->accept();
    }

private:
    ComposeEntryRow& row_;
    std::optional<QPoint> press_;
};

ComposeEntryRow::ComposeEntryRow(DraftSession& session, const QUuid& entryID, QWidget* parent)
    : QWidget(parent)
    , session_(session)
    , entryID_(entryID)
{
    setAcceptDrops(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, rowInset, 0, rowInset);
    layout->setSpacing(8);

    include_ = new QCheckBox(this);
    include_->setFixedHeight(Summary::titleHeight());
    connect(include_, &QCheckBox::clicked, this, &ComposeEntryRow::includeClicked);
    layout->addWidget(include_, 0, Qt::AlignTop);

    // What an excluded source dims: all but the box, which stays as clear as on any row, as it is
    // how the source is included again.
    body_ = new QWidget(this);
    auto* body = new QHBoxLayout(body_);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(8);
    layout->addWidget(body_, 1);

    column_ = new QVBoxLayout;
    column_->setSpacing(lineSpacing);
    summary_ = new Summary(body_);
    column_->addWidget(summary_);
    body->addLayout(column_, 1);

    grip_ = new Grip(*this, body_);
    body->addWidget(grip_, 0, Qt::AlignTop);

    options_ = new QToolButton(body_);
    options_->setAutoRaise(true);
    options_->setFixedSize(18, 18);
    options_->setIconSize(QSize(14, 14));
    options_->setToolTip(QStringLiteral("Source options"));
    // Opened with popup() rather than the button's own menu, which would run an event loop inside
    // this row while the pane may be taking rows away.
    connect(options_, &QToolButton::clicked, this,
            [this] { makeOptionsMenu()->popup(options_->mapToGlobal(QPoint(0, options_->height()))); });
    body->addWidget(options_, 0, Qt::AlignTop);
}

ComposeEntryRow::~ComposeEntryRow() = default;

QWidget* ComposeEntryRow::grip() const
{
    return grip_;
}

void ComposeEntryRow::setEntry(const ContextDraftEntry& entry, const Selection& selection, const ModelProfile& profile,
                               qsizetype index, qsizetype entryCount)
{
    const bool newSelection = !hasEntry_ || selection_.id != selection.id || !sameText(selection_.text, selection.text);
    // The place is read only by the menus as they open: a row that only moved shows nothing anew,
    // and tells an accessibility client nothing, however many rows before it went.
    index_ = index;
    entryCount_ = entryCount;
    if (hasEntry_ && !newSelection && entry == entry_ && profile.id == profileID_
        && sameText(selection_.markdown, selection.markdown))
        return;
    const bool firstTime = !hasEntry_;
    entry_ = entry;
    selection_ = selection;
    profileID_ = profile.id;
    hasEntry_ = true;
    if (newSelection) {
        headline_ = selection.headline(headlineLimit);
        sourceKey_ = Text::canonical(SourceIdentity::from(selection).identifier);
    }

    const TokenKey key{selection.text, selection.markdown, entry.customText, entry.verbatim, profile.charsPerToken};
    const bool sameTokens = tokenKey_ && sameText(tokenKey_->text, key.text)
        && sameText(tokenKey_->markdown, key.markdown) && tokenKey_->customText == key.customText
        && tokenKey_->verbatim == key.verbatim && tokenKey_->charsPerToken == key.charsPerToken;
    if (!sameTokens) {
        tokens_ = TokenEstimator::estimate(ContextComposer::entryBody(entry, selection), profile);
        tokenKey_ = key;
    }
    if (firstTime && entry.note)
        showsNote_ = true;
    showState();
}

void ComposeEntryRow::showState()
{
    const bool included = entry_.include;
    include_->setChecked(included);
    include_->setAccessibleName(QStringLiteral("Include ") + headline_);
    include_->setToolTip(included ? QStringLiteral("Exclude from prompt") : QStringLiteral("Include in prompt"));
    include_->setAccessibleDescription(included ? QStringLiteral("Included in prompt")
                                                : QStringLiteral("Excluded from prompt"));
    options_->setAccessibleName(QStringLiteral("Options for ") + headline_);
    if (options_->icon().isNull())
        applyColors();

    const bool cut = headline_.size() >= headlineLimit;
    summary_->set(headline_.isEmpty() ? QStringLiteral("—") : headline_, cut,
                  TokenEstimator::format(tokens_) + QStringLiteral(" tokens"), ContextComposer::sourceLine(selection_),
                  badgesOf(entry_));
    summary_->setAccessibleName(headline_);
    summary_->setAccessibleDescription(summary_->source());

    if (included) {
        body_->setGraphicsEffect(nullptr);
    } else if (!body_->graphicsEffect()) {
        auto* effect = new QGraphicsOpacityEffect(body_);
        effect->setOpacity(excludedOpacity);
        body_->setGraphicsEffect(effect);
    }
    showNote();
}

void ComposeEntryRow::showNote()
{
    if (showsNote_ && !noteField_) {
        noteField_ = new QLineEdit(body_);
        noteField_->setPlaceholderText(QStringLiteral("Note included in the prompt"));
        noteField_->setAccessibleName(QStringLiteral("Note included in the prompt"));
        noteField_->setFont(TextStyles::caption());
        new SteadyCaret(*noteField_);
        // Typing goes to the library at once; a blank note is stored as none and read back as "".
        noteBinding_ = new TextBinding(
            *noteField_, [this](const QString& text) { session_.setNote(entryID_, text); },
            [](const QString& text) { return Text::isBlank(text) ? QString() : text; });
        column_->addWidget(noteField_);
    }
    if (noteField_) {
        noteBinding_->show(entry_.note.value_or(QString()));
        noteField_->setVisible(showsNote_);
    }
}

void ComposeEntryRow::setShowsNote(bool shows)
{
    showsNote_ = shows;
    showNote();
}

void ComposeEntryRow::includeClicked()
{
    session_.toggleInclude(entryID_);
    // The box shows what is stored, also when the library refused the change.
    if (const std::optional<ContextDraftEntry> stored = session_.storedEntry(entryID_))
        include_->setChecked(stored->include);
    else
        include_->setChecked(entry_.include);
}

QString ComposeEntryRow::title() const
{
    return summary_->title();
}

QString ComposeEntryRow::tokenText() const
{
    return summary_->tokens();
}

QString ComposeEntryRow::sourceText() const
{
    return summary_->source();
}

QStringList ComposeEntryRow::badges() const
{
    QStringList titles;
    for (const Badge& badge : summary_->badges())
        titles.append(badge.title);
    return titles;
}

qreal ComposeEntryRow::opacity() const
{
    const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(body_->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

QMenu* ComposeEntryRow::makeOptionsMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QUuid id = entryID_;
    DraftSession* session = &session_;
    menu->addAction(entry_.pin ? QStringLiteral("Unpin") : QStringLiteral("Pin"), this,
                    [session, id] { session->togglePin(id); });
    menu->addAction(entry_.verbatim ? QStringLiteral("Use formatted text") : QStringLiteral("Use verbatim text"), this,
                    [session, id] { session->toggleVerbatim(id); });
    menu->addAction(QStringLiteral("Trim or edit…"), this, [this] { Q_EMIT trimRequested(entryID_); });
    menu->addAction(showsNote_ ? QStringLiteral("Hide Note Field") : QStringLiteral("Add Note"), this,
                    [this] { setShowsNote(!showsNote_); });
    if (entry_.note)
        menu->addAction(QStringLiteral("Clear Note"), this, [session, id] { session->setNote(id, QString()); });
    menu->addSeparator();
    QAction* up = menu->addAction(QStringLiteral("Move Up"), this, [session, id] { session->move(id, -1); });
    up->setEnabled(index_ != 0);
    QAction* down = menu->addAction(QStringLiteral("Move Down"), this, [session, id] { session->move(id, +1); });
    down->setEnabled(index_ != entryCount_ - 1);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Remove from Prompt"), this, [session, id] { session->remove(id); });
    return menu;
}

QMenu* ComposeEntryRow::makeContextMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QUuid id = entryID_;
    DraftSession* session = &session_;
    menu->addAction(QStringLiteral("Copy as Markdown"), this,
                    [session, id] { session->copySource(id, DraftSession::CopyAs::markdown); });
    menu->addAction(QStringLiteral("Copy Plain"), this,
                    [session, id] { session->copySource(id, DraftSession::CopyAs::plain); });
    menu->addSeparator();
    menu->addAction(entry_.pin ? QStringLiteral("Unpin") : QStringLiteral("Pin"), this,
                    [session, id] { session->togglePin(id); });
    menu->addAction(entry_.verbatim ? QStringLiteral("Use formatted text") : QStringLiteral("Use verbatim text"), this,
                    [session, id] { session->toggleVerbatim(id); });
    menu->addAction(QStringLiteral("Trim or Edit…"), this, [this] { Q_EMIT trimRequested(entryID_); });
    menu->addAction(QStringLiteral("Remove from Prompt"), this, [session, id] { session->remove(id); });
    return menu;
}

void ComposeEntryRow::contextMenuEvent(QContextMenuEvent* event)
{
    makeContextMenu()->popup(event->globalPos());
    event->accept();
}

bool ComposeEntryRow::carriesEntryDrag(const QDropEvent& event) const
{
    // Nothing of the event is read while no drag of ours runs: reading another application's
    // text would ask that application for it.
    const std::optional<QUuid>& dragged = session_.draggedEntryID();
    const std::optional<ContextDraft>& draft = session_.draft();
    if (!dragged || !draft)
        return false;
    const QMimeData* data = event.mimeData();
    if (!data || !data->hasText())
        return false;
    const std::optional<QUuid> id = UuidText::parse(data->text());
    if (!id || *id != *dragged)
        return false;
    return std::any_of(draft->entries.cbegin(), draft->entries.cend(),
                       [&](const ContextDraftEntry& entry) { return entry.id == *id; });
}

void ComposeEntryRow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesEntryDrag(*event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    session_.moveEntry(session_.draggedEntryID(), entryID_);
}

void ComposeEntryRow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!carriesEntryDrag(*event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ComposeEntryRow::dropEvent(QDropEvent* event)
{
    // The order changed on entering; the drop only ends the gesture.
    if (!carriesEntryDrag(*event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ComposeEntryRow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (entry_.note && !showsNote_)
        setShowsNote(true);
}

void ComposeEntryRow::applyColors()
{
    options_->setIcon(Symbols::icon(QStringLiteral("ellipsis"), Theme::colors(palette()).secondaryLabel));
}

void ComposeEntryRow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && hasEntry_)
        applyColors();
    QWidget::changeEvent(event);
}

// The separator is the row's bottom pixel filled, as the kit's divider is: a translucent line is
// drawn by the raster engine's thread pool, a hundred times slower, and every row on screen
// repaints whenever the list moves under a taller task field.
void ComposeEntryRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, height() - 1, width(), 1), Theme::colors(palette()).separator);
}

} // namespace vellicord
