#include "Tovak/composer/ComposerSheet.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/EditorFrame.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/WrappingTextLayout.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace vellicord {

namespace {

// A text this long fills the editor many times over at any size a sheet opens at.
constexpr int overflowingLength = 64 * 1024;

} // namespace

ComposerSheet::ComposerSheet(const QString& title, const QString& mainTitle, QSize minimum, QSize ideal, int spacing,
                             QWidget* parent)
    : QDialog(parent)
    , ideal_(ideal)
{
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setMinimumSize(minimum);
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(20, 20, 20, 20);
    column_->setSpacing(spacing);
    auto* heading = new QLabel(title, this);
    heading->setTextFormat(Qt::PlainText);
    heading->setFont(TextStyles::title3Semibold());
    column_->addWidget(heading);

    cancel_ = Controls::button(QStringLiteral("Cancel"), Controls::Size::regular, this);
    // A button reads "&" as the mark of a mnemonic: "Split & Add" would show as "Split _Add".
    // The dialog turns Return into a click of its default button, and ignores Return while that
    // button is disabled; no field of a sheet acts on Return itself, so one press acts once.
    main_ = Controls::defaultButton(QString(mainTitle).replace(u'&', QStringLiteral("&&")), this);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(main_, &QPushButton::clicked, this, &ComposerSheet::mainClicked);
}

QSize ComposerSheet::sizeHint() const
{
    const QSize natural = QDialog::sizeHint();
    return {std::max(natural.width(), ideal_.width()), std::max(natural.height(), ideal_.height())};
}

// The editor lays a long text out whole when the sheet opens, at the width it has then; a scroll
// bar that came only after that layout, when the editor has measured the text, would narrow the
// text and have it laid out again. A text that surely overflows has the bar from the start, and
// once the first layout has set the bar's range, the bar comes and goes as the text needs.
void ComposerSheet::setVisible(bool visible)
{
    const bool overflows
        = visible && !isVisible() && editor_ && editor_->document()->characterCount() > overflowingLength;
    if (overflows)
        editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QDialog::setVisible(visible);
    if (overflows)
        editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void ComposerSheet::addHelp(const QString& text)
{
    help_ = new QLabel(text, this);
    help_->setTextFormat(Qt::PlainText);
    help_->setWordWrap(true);
    help_->setFont(TextStyles::caption());
    column_->addWidget(help_);
    applyColors();
}

QPlainTextEdit* ComposerSheet::addEditor(int minimumHeight)
{
    editor_ = new QPlainTextEdit(this);
    WrappingTextLayout::install(*editor_);
    editor_->setFont(TextStyles::monospaced(12));
    auto* frame = new EditorFrame(editor_, this);
    frame->setMinimumHeight(minimumHeight);
    column_->addWidget(frame, 1);
    return editor_;
}

void ComposerSheet::addField(QWidget* field)
{
    column_->addWidget(field);
}

void ComposerSheet::addButtons(bool withCountLine)
{
    auto* row = new QHBoxLayout;
    if (withCountLine) {
        countLine_ = new QLabel(this);
        countLine_->setTextFormat(Qt::PlainText);
        countLine_->setFont(TextStyles::caption());
        row->addWidget(countLine_);
    }
    row->addStretch(1);
    row->addWidget(cancel_);
    row->addWidget(main_);
    column_->addLayout(row);
    applyColors();
}

void ComposerSheet::applyColors()
{
    const QColor secondary = Theme::colors(palette()).secondaryLabel;
    for (QLabel* label : {help_, countLine_}) {
        if (label)
            Controls::tint(*label, secondary);
    }
}

void ComposerSheet::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QDialog::changeEvent(event);
}

} // namespace vellicord
