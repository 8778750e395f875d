#include "Tovak/composer/EntryTrimSheet.h"

#include "Tovak/kit/TextBinding.h"
#include "core/foundation/Text.h"
#include "core/library/TokenEstimator.h"

#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>

namespace vellicord {

EntryTrimSheet::EntryTrimSheet(const ModelProfile& profile, const QString& text, QWidget* parent)
    : ComposerSheet(QStringLiteral("Trim this source"), QStringLiteral("Apply Trim"), {440, 320}, {520, 380}, 12,
                    parent)
    , profile_(profile)
{
    addHelp(QStringLiteral("Edit the text exactly as it should appear in the prompt. Deleting everything goes back "
                           "to the captured source; applying an unchanged copy keeps what you had."));
    editor_ = addEditor(220);
    editor_->setAccessibleName(QStringLiteral("Trim this source"));
    addButtons(true);
    binding_ = new TextBinding(*editor_, [this](const QString& typed) {
        countLine()->setText(countText(typed, profile_));
        Q_EMIT textEdited(typed);
    });
    binding_->show(text);
    countLine()->setText(countText(binding_->text(), profile_));
}

QString EntryTrimSheet::text() const
{
    return binding_->text();
}

QString EntryTrimSheet::countText(const QString& text, const ModelProfile& profile)
{
    const qsizetype characters = Text::graphemeCount(text);
    return TokenEstimator::format(TokenEstimator::estimateForCharacters(characters, profile.charsPerToken))
        + QStringLiteral(" tokens · ") + QLocale().toString(qlonglong(characters)) + QStringLiteral(" chars");
}

void EntryTrimSheet::showEvent(QShowEvent* event)
{
    ComposerSheet::showEvent(event);
    editor_->setFocus(Qt::OtherFocusReason);
}

} // namespace vellicord
