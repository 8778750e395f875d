#include "Tovak/composer/DraftSession.h"

#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/ViewServices.h"
#include "core/capture/Clipboard.h"
#include "core/composition/ContextComposer.h"
#include "core/composition/Dedupe.h"
#include "core/composition/SelectionsMarkdown.h"
#include "core/composition/TextImport.h"
#include "core/foundation/Text.h"
#include "core/library/AppLog.h"
#include "core/library/DraftEntryEdits.h"
#include "core/library/PromptTemplates.h"
#include "core/library/Store.h"
#include "platform/FileSystem.h"
#include "platform/Scheduler.h"

#include <QPointer>
#include <QSet>

#include <algorithm>

namespace vellicord {

namespace {

// "3 chunks", "1 chunk": a counted noun takes an "s" unless the count is 1.
QString counted(qsizetype count, const QString& noun)
{
    return QString::number(count) + u' ' + noun + (count == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

const QString DraftSession::copyFailedText = QStringLiteral("The messages could not be copied to the clipboard.");
const QString DraftSession::exportFailedText = QStringLiteral("Prompt could not be exported.");

DraftSession::DraftSession(const ViewServices& services, const QUuid& draftID, bool usePreamble, QObject* parent)
    : QObject(parent)
    , store_(services.store)
    , pasteboard_(services.pasteboard)
    , scheduler_(services.scheduler)
    , defaults_(services.defaults)
    , fileSystem_(services.fileSystem)
    , draftID_(draftID)
    , draft_(store_.findDraft(draftID))
    , usePreamble_(usePreamble)
{
    connect(&store_, &Store::draftsChanged, this, [this] { storeChanged(Change::draft); });
    connect(&store_, &Store::persistenceStatusChanged, this, [this] { storeChanged(Change::library); });
    connect(&store_, &Store::selectionsChanged, this, [this](const Store::SelectionsChange& change) {
        // Captures changed in place changed their groups only, which no prompt shows.
        if (!change.added.isEmpty() || !change.removed.isEmpty())
            storeChanged(Change::captures);
    });
}

DraftSession::~DraftSession() = default;

// All the Store's changes of one turn of the event loop are shown at once: an import or a drag
// step changes the library several times, and the prompt is composed once for them.
void DraftSession::storeChanged(Changes what)
{
    const bool scheduled = pending_ != Changes();
    pending_ |= what;
    if (!scheduled)
        QMetaObject::invokeMethod(this, &DraftSession::showStored, Qt::QueuedConnection);
}

void DraftSession::showStored()
{
    const Changes what = std::exchange(pending_, Changes());
    if (what == Changes())
        return;
    draft_ = store_.findDraft(draftID_);
    if (what & (Change::draft | Change::captures))
        composed_.reset();
    Q_EMIT changed(what);
}

std::optional<ContextDraftEntry> DraftSession::storedEntry(const QUuid& entryID) const
{
    const std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    if (!draft)
        return std::nullopt;
    const auto it = std::find_if(draft->entries.cbegin(), draft->entries.cend(),
                                 [&](const ContextDraftEntry& entry) { return entry.id == entryID; });
    return it == draft->entries.cend() ? std::nullopt : std::optional(*it);
}

const Selection* DraftSession::capture(const QUuid& selectionID) const
{
    return store_.find(selectionID);
}

bool DraftSession::canModifyLibrary() const
{
    return store_.canModifyLibrary();
}

const ModelProfile& DraftSession::profile() const
{
    return draft_ ? draft_->modelProfile() : ModelProfile::gpt4o();
}

// The library's captures, and what the compositions before made of those in this prompt: the
// preview, the meter and the budget's remedies each compose the same sources again.
ContextComposer::CachedCaptures DraftSession::captures()
{
    return {[this](const QUuid& id) { return store_.find(id); }, compositionCache_};
}

std::optional<QString> DraftSession::preamble() const
{
    return usePreamble_ ? std::optional<QString>(ContextComposer::defaultPreamble()) : std::nullopt;
}

const ComposedContext& DraftSession::composed()
{
    if (!composed_) {
        composed_ = draft_
            ? ContextComposer::compose(*draft_, captures(), preamble(), draft_->modelProfile(), std::nullopt, true)
            : ComposedContext{};
    }
    return *composed_;
}

void DraftSession::change(const std::function<void(ContextDraft&)>& edit)
{
    std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    if (!draft)
        return;
    edit(*draft);
    store_.updateDraft(*draft);
}

void DraftSession::toggleInclude(const QUuid& entryID)
{
    change([&](ContextDraft& d) { d = DraftEntryEdits::toggleInclude(std::move(d), entryID); });
}

void DraftSession::togglePin(const QUuid& entryID)
{
    change([&](ContextDraft& d) { d = DraftEntryEdits::togglePin(std::move(d), entryID); });
}

void DraftSession::toggleVerbatim(const QUuid& entryID)
{
    change([&](ContextDraft& d) { d = DraftEntryEdits::toggleVerbatim(std::move(d), entryID); });
}

void DraftSession::move(const QUuid& entryID, int offset)
{
    change([&](ContextDraft& d) { d = DraftEntryEdits::move(std::move(d), entryID, offset); });
}

void DraftSession::moveEntry(const std::optional<QUuid>& dragged, const QUuid& target)
{
    if (!DraftEntryEdits::dropMoves(dragged, target))
        return;
    change([&](ContextDraft& d) { d = DraftEntryEdits::moveEntry(std::move(d), *dragged, target); });
}

void DraftSession::remove(const QUuid& entryID)
{
    change([&](ContextDraft& d) { d = DraftEntryEdits::remove(std::move(d), entryID); });
}

void DraftSession::setNote(const QUuid& entryID, const QString& text)
{
    change([&](ContextDraft& d) { d = DraftEntryEdits::setNote(std::move(d), entryID, text); });
}

void DraftSession::copySource(const QUuid& entryID, CopyAs format)
{
    const std::optional<ContextDraftEntry> entry = storedEntry(entryID);
    const Selection* source = entry ? capture(entry->selectionID) : nullptr;
    if (!source)
        return;
    if (format == CopyAs::markdown)
        Clipboard::writeMarkdown(SelectionsMarkdown::single(*source), pasteboard_);
    else
        Clipboard::writePlain(source->text, pasteboard_);
}

std::optional<QString> DraftSession::entryBody(const QUuid& entryID) const
{
    const std::optional<ContextDraftEntry> entry = storedEntry(entryID);
    const Selection* source = entry ? capture(entry->selectionID) : nullptr;
    return source ? std::optional(ContextComposer::entryBody(*entry, *source)) : std::nullopt;
}

void DraftSession::applyTrim(const QUuid& entryID, const QString& edited)
{
    const std::optional<QString> body = entryBody(entryID);
    // The sheet's editor holds every line break as a line feed: a body with carriage returns comes
    // back from an untouched sheet as the body it showed, and that is no change.
    QString text = edited;
    if (body && Text::equal(text, TextBinding::paragraphsAsLineFeeds(*body)))
        text = *body;
    const DraftEntryEdits::TrimCase trim = DraftEntryEdits::trimCase(text, body);
    change([&](ContextDraft& d) { d = DraftEntryEdits::applyTrim(std::move(d), entryID, text, trim); });
    switch (trim) {
    case DraftEntryEdits::TrimCase::clear:
        setNotice(QStringLiteral("Trim cleared — using the captured source again."));
        break;
    case DraftEntryEdits::TrimCase::unchanged: setNotice(QStringLiteral("No change made.")); break;
    case DraftEntryEdits::TrimCase::set: setNotice(QStringLiteral("Trim applied.")); break;
    }
}

bool DraftSession::addImported(const QString& text)
{
    // Captures made for a prompt that is gone would land in the library unasked for.
    if (!store_.findDraft(draftID_))
        return false;
    const QList<Selection> made = store_.addImportedTextChunks(
        TextImport::chunks(text, TextImport::composerChunkLength), QString::fromLatin1(importAppName));
    if (made.isEmpty())
        return false;
    QList<QUuid> ids;
    ids.reserve(made.size());
    for (const Selection& capture : made)
        ids.append(capture.id);
    // One change for all the chunks: the prompt is shown and composed once, not once per chunk.
    change([&](ContextDraft& d) { d = DraftEntryEdits::addToDraft(std::move(d), ids); });
    setNotice(QStringLiteral("Imported ") + counted(made.size(), QStringLiteral("chunk"))
              + QStringLiteral(" into the prompt."));
    return true;
}

QList<PromptTemplate> DraftSession::customTemplates() const
{
    return PromptTemplates::loadCustom(defaults_);
}

void DraftSession::applyTemplate(const PromptTemplate& t)
{
    change([&](ContextDraft& d) { d = PromptTemplates::apply(t, d); });
    setNotice(QStringLiteral("Applied template “") + t.name + QStringLiteral("”."));
}

bool DraftSession::saveTemplate(const QString& typedName)
{
    const std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    if (!draft)
        return false;
    const PromptTemplate saved = PromptTemplates::fromDraft(typedName, *draft);
    PromptTemplates::saveCustom(saved, defaults_);
    setNotice(QStringLiteral("Saved template “") + saved.name + QStringLiteral("”."));
    return true;
}

bool DraftSession::canRemoveDuplicates() const
{
    return draft_ && draft_->entries.size() >= 2;
}

bool DraftSession::canRemoveExcludedSources() const
{
    return draft_ && draft_->includedCount() < draft_->entries.size();
}

void DraftSession::removeDuplicates()
{
    const std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    if (!draft)
        return;
    const QList<QUuid> removed
        = Dedupe::duplicateEntries(*draft, [this](const QUuid& id) { return store_.findByID(id); });
    if (removed.isEmpty()) {
        setNotice(QStringLiteral("No near-duplicate sources found."));
        return;
    }
    const QSet<QUuid> ids(removed.cbegin(), removed.cend());
    change([&](ContextDraft& d) { d = DraftEntryEdits::removeEntries(std::move(d), ids); });
    setNotice(QStringLiteral("Removed ") + counted(removed.size(), QStringLiteral("duplicate source"))
              + QStringLiteral("."));
}

void DraftSession::removeExcludedSources()
{
    change([](ContextDraft& d) { d = DraftEntryEdits::removeExcluded(std::move(d)); });
    setNotice(QStringLiteral("Removed excluded sources."));
}

void DraftSession::setNotice(const std::optional<QString>& notice)
{
    if (notice_ == notice)
        return;
    notice_ = notice;
    Q_EMIT changed(Change::notice);
    if (!notice)
        return;
    // Not cancelled when the notice changes: at its time it clears only the text it was set for.
    // The composer may be gone by then.
    scheduler_.after(noticeDuration, [session = QPointer<DraftSession>(this), text = *notice] {
        if (session && session->notice_ == text)
            session->setNotice(std::nullopt);
    });
}

void DraftSession::setUsePreamble(bool use)
{
    if (usePreamble_ == use)
        return;
    usePreamble_ = use;
    composed_.reset();
    Q_EMIT changed(Change::preamble);
}

QString DraftSession::reduceToFit()
{
    const std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    if (!draft)
        return {};
    const ModelProfile& profile = draft->modelProfile();
    const ContextComposer::Reduction reduction
        = ContextComposer::reduceToFit(*draft, captures(), profile, profile.contextTokens, preamble());
    if (reduction.entries != draft->entries)
        change([&](ContextDraft& d) { d.entries = reduction.entries; });
    return reduction.feedback.join(u' ');
}

QString DraftSession::copySplit()
{
    const std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    if (!draft)
        return {};
    const ModelProfile& profile = draft->modelProfile();
    const SplitCopyPlan plan
        = ContextComposer::planSplitCopy(*draft, captures(), preamble(), profile, profile.contextTokens);
    if (!plan.clipboardText) {
        setShowCopied(false);
        return plan.notice;
    }
    // Writing the clipboard may run the event loop a moment, in which the composer may go.
    const QPointer<DraftSession> alive(this);
    const bool copied = Clipboard::writePlain(*plan.clipboardText, pasteboard_);
    if (!alive)
        return {};
    if (!copied) {
        setShowCopied(false);
        return copyFailedText;
    }
    flashCopied();
    return QStringLiteral("Copied %1 messages to the clipboard. ").arg(plan.messages.size()) + plan.notice;
}

QString DraftSession::promptText()
{
    if (pending_ != Changes())
        showStored();
    return composed().text;
}

void DraftSession::copyPrompt()
{
    if (!store_.findDraft(draftID_))
        return;
    const QString text = promptText();
    const QPointer<DraftSession> alive(this);
    const bool copied = Clipboard::writePlain(text, pasteboard_);
    if (alive && copied)
        flashCopied();
}

// Each copy has its own wait, never restarted or cancelled: the first to run out ends the state.
void DraftSession::flashCopied()
{
    setShowCopied(true);
    scheduler_.after(copiedDuration, [session = QPointer<DraftSession>(this)] {
        if (session)
            session->setShowCopied(false);
    });
}

void DraftSession::setShowCopied(bool shown)
{
    if (showCopied_ == shown)
        return;
    showCopied_ = shown;
    Q_EMIT changed(Change::copied);
}

std::optional<QString> DraftSession::exportFileName() const
{
    const std::optional<ContextDraft> draft = store_.findDraft(draftID_);
    return draft ? std::optional(safeFileName(draft->name) + QStringLiteral(".md")) : std::nullopt;
}

QString DraftSession::safeFileName(const QString& name)
{
    QString stem;
    stem.reserve(name.size());
    Text::forEachGrapheme(name, [&](QStringView character) {
        const char32_t first = character.size() > 1 && character[0].isHighSurrogate() && character[1].isLowSurrogate()
            ? QChar::surrogateToUcs4(character[0], character[1])
            : character[0].unicode();
        const bool kept = QChar::isLetter(first) || QChar::isNumber(first) || character == u"-" || character == u"_"
            || character == u" ";
        if (kept)
            stem += character;
        else
            stem += u'-';
    });
    stem = Text::trimmed(stem);
    return stem.isEmpty() ? QStringLiteral("prompt") : stem;
}

void DraftSession::exportPrompt(const QString& path, const QString& text)
{
    try {
        // Whole or not at all: an existing file keeps its old content when any step fails.
        fileSystem_.writeAtomically(path, Text::repairingSurrogates(text).toUtf8(), NewFileAccess::everyone);
    } catch (const std::exception& error) {
        logApp(QStringLiteral("Prompt export failed: ") + QString::fromLocal8Bit(error.what()));
        setExportError(exportFailedText);
        return;
    }
    setExportError(std::nullopt);
}

void DraftSession::setExportError(const std::optional<QString>& error)
{
    if (exportError_ == error)
        return;
    exportError_ = error;
    Q_EMIT changed(Change::exportError);
}

} // namespace vellicord
