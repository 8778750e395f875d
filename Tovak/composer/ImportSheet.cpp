#include "Tovak/composer/ImportSheet.h"

#include "Tovak/kit/TextBinding.h"
#include "core/composition/TextImport.h"
#include "core/foundation/Text.h"

#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vellicord {

ImportSheet::ImportSheet(const QString& text, QWidget* parent)
    : ComposerSheet(QStringLiteral("Import text"), QStringLiteral("Split & Add"), {460, 360}, {540, 420}, 12, parent)
{
    addHelp(QStringLiteral("Paste a document, chat log, or notes. Vellicord splits it by paragraphs. It splits long "
                           "blocks further and adds each chunk to this prompt as a selectable source."));
    editor_ = addEditor(260);
    editor_->setAccessibleName(QStringLiteral("Import text"));
    addButtons(true);
    binding_ = new TextBinding(*editor_, [this](const QString& typed) {
        showChunkCount(typed);
        Q_EMIT textEdited(typed);
    });
    binding_->show(text);
    showChunkCount(binding_->text());
}

QString ImportSheet::text() const
{
    return binding_->text();
}

QString ImportSheet::countText(const QString& text)
{
    const qsizetype chunks = TextImport::chunks(text, TextImport::composerChunkLength).size();
    return QLocale().toString(qlonglong(chunks)) + QStringLiteral(" chunk") + (chunks == 1 ? "" : "s")
        + QStringLiteral(" ready");
}

void ImportSheet::showChunkCount(const QString& text)
{
    countLine()->setText(countText(text));
    mainButton()->setEnabled(!Text::isBlank(text));
}

void ImportSheet::showEvent(QShowEvent* event)
{
    ComposerSheet::showEvent(event);
    editor_->setFocus(Qt::OtherFocusReason);
}

} // namespace vellicord
