#include "core/capture/SelectionCapture.h"

#include "core/capture/BrowserSelectionProvider.h"
#include "core/capture/BrowserURLProvider.h"
#include "core/capture/CaptureLog.h"
#include "core/foundation/Address.h"
#include "core/foundation/Text.h"
#include "core/richtext/MarkdownSerializer.h"
#include "platform/Accessibility.h"
#include "platform/KeyEvents.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QUrl>

#include <algorithm>

using namespace std::chrono_literals;

namespace vellicord {

namespace {

constexpr auto copyWait = 800ms;
constexpr auto pollInterval = 40ms;
constexpr auto secondReadDelay = 60ms;
constexpr int snapshotAttempts = 3;
// What a copy may take at most: two commands, each waited for, and the second reading.
constexpr auto copyReserve = 2 * copyWait + secondReadDelay;

bool hasText(const std::optional<QString>& text)
{
    return text && !text->isEmpty();
}

// A document's own text holds one object replacement character for each element inside it (a
// paragraph of a page): a selection of those alone tells that something is selected, not what.
bool onlyPlaceholders(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c == QChar::ObjectReplacementCharacter || c.isSpace(); });
}

void logTimeLimit(const QString& when)
{
    CaptureLog::app(QStringLiteral("Capture: time limit of %1 s reached ")
                        .arg(std::chrono::duration<double>(SelectionCapture::timeLimit).count())
                    + when);
}

// What had arrived of a transfer cut short is kept; the log says why the rest is missing.
void logLeftOut(const QString& what, bool atTimeLimit)
{
    if (atTimeLimit)
        logTimeLimit(QStringLiteral("while ") + what + QStringLiteral(" was read; what had not arrived is left out"));
    else
        CaptureLog::app(QStringLiteral("Capture: the application stopped sending ") + what
                        + QStringLiteral("; what had not arrived is left out"));
}

// Lifts the capture's limit on clipboard reads on every way out of it.
struct ReadLimit {
    Pasteboard& pasteboard;
    ReadLimit(Pasteboard& pasteboard, Clock::TimePoint end)
        : pasteboard(pasteboard)
    {
        pasteboard.limitReads(end);
    }
    ~ReadLimit() { pasteboard.limitReads(std::nullopt); }
    ReadLimit(const ReadLimit&) = delete;
    ReadLimit& operator=(const ReadLimit&) = delete;
};

} // namespace

bool SelectionCapture::CopyReading::isEmpty() const
{
    return !hasText(plainText) && (!formatted || formatted->length() == 0);
}

SelectionCapture::SelectionCapture(CaptureServices services)
    : services_(services)
{
}

SelectionCapture::Outcome SelectionCapture::capture()
{
    Pasteboard& pasteboard = services_.pasteboard;

    if (!services_.accessibility.isProcessTrusted()) {
        CaptureLog::capture(CaptureLog::Level::error, QStringLiteral("Not trusted for accessibility"));
        return CaptureError::notTrusted();
    }

    const std::optional<RunningApplication> app = services_.workspace.frontmostApplication();
    if (!app) {
        CaptureLog::capture(CaptureLog::Level::error, QStringLiteral("No frontmost application"));
        return CaptureError::noFrontmostApp();
    }
    const qint32 pid = app->pid;
    const QString appName
        = app->localizedName && !app->localizedName->isEmpty() ? *app->localizedName : QStringLiteral("Unknown App");
    const std::optional<QString> bundleID = app->bundleIdentifier;
    CaptureLog::capture(CaptureLog::Level::debug,
                        QStringLiteral("Capturing from ") + CaptureLog::sanitized(appName) + QStringLiteral(" (")
                            + QString::number(pid) + u')');

    const Clock::TimePoint end = services_.clock.steadyNow() + timeLimit;
    const ReadLimit limit(pasteboard, end);

    qint64 preCount = 0;
    const Clipboard::PasteboardSnapshot snapshot = takeSnapshot(preCount);
    // A copy overwrites the clipboard; when what the user had there cannot be put back whole, the
    // capture makes do with what it can read without one.
    const bool copied = snapshot.complete;

    // Accessibility may answer slowly (a busy browser): it has the time the copy will not need.
    AXExtract ax = extractAX(services_.accessibility, pid, end, &services_.clock, copied ? end - copyReserve : end);
    if (ax.passwordField) {
        CaptureLog::app(QStringLiteral("Capture: the focused field is a password field; nothing of it is read"));
        return CaptureError::noSelection(
            diagnosticDetail(appName, pid, false, -1, false, Clipboard::availableTypes(pasteboard)));
    }

    bool changed = false;
    if (copied && services_.clock.steadyNow() >= end) {
        logTimeLimit(QStringLiteral("before the copy command, so none was sent"));
    } else if (copied) {
        const CopyAttempt copy = copyUntilChanged(preCount, bundleID, end);
        changed = copy.changed;
        // A terminal that copies by selecting keeps its selection in PRIMARY alone, whatever its
        // interface says.
        if (!copy.sent && !ax.selectedText && ax.selectionReported)
            ax.selectedText = primaryText(services_.accessibility, pid, end, &services_.clock);
    } else {
        CaptureLog::app(QStringLiteral("Capture: the clipboard could not be saved, so no copy command was sent"));
    }

    CopyReading reading;
    if (changed) {
        reading = readCopy(end);
        if (reading.isEmpty() && services_.clock.steadyNow() + secondReadDelay < end) {
            services_.clock.sleep(secondReadDelay);
            reading = readCopy(end);
        }
        if (!reading.complete)
            logLeftOut(QStringLiteral("the copy"), services_.clock.steadyNow() >= end);
        else if (services_.clock.steadyNow() >= end)
            logTimeLimit(QStringLiteral("while the copy was read; what had not arrived is left out"));
    }

    const QStringList types = Clipboard::availableTypes(pasteboard);

    if (std::optional<CaptureError> failure = restoreClipboard(snapshot, changed, pasteboard))
        return *failure;
    const qint64 settledCount = changed ? Clipboard::changeCount(pasteboard) : preCount;

    // The address and title are looked up before the text is chosen, also when no text is found.
    const QString browserID = bundleID.value_or(QString());
    std::optional<QString> sourceURL = ax.sourceURL;
    if (!sourceURL)
        sourceURL = BrowserURLProvider::currentURL(browserID, services_.processRunner);
    std::optional<QString> sourceTitle = reading.htmlTitle;
    if (!sourceTitle)
        sourceTitle = BrowserURLProvider::currentPageTitle(browserID, services_.processRunner);
    if (!sourceTitle)
        sourceTitle = ax.title;

    const Findings findings{appName, bundleID, changed, reading, ax, sourceURL, sourceTitle, types, pid};
    const Outcome chosen = chooseText(findings);

    // An application may answer a copy command only after the wait gave up on it; its copy must
    // not stay on the user's clipboard either.
    if (copied && Clipboard::changeCount(pasteboard) != settledCount) {
        if (std::optional<CaptureError> failure = restoreClipboard(snapshot, true, pasteboard))
            return *failure;
    }
    return chosen;
}

SelectionCapture::Outcome SelectionCapture::chooseText(const Findings& found)
{
    const QString safeAppName = CaptureLog::sanitized(found.appName);
    const QString browserID = found.bundleID.value_or(QString());
    const qsizetype textLength = found.reading.plainText ? Text::graphemeCount(*found.reading.plainText) : -1;
    const QString detail = diagnosticDetail(found.appName, found.pid, found.changed, textLength,
                                            found.ax.selectedText.has_value(), found.types);
    auto result = [&](QString text, std::optional<QString> markdown) -> Outcome {
        return CaptureResult{std::move(text), std::move(markdown), found.appName,    found.bundleID,
                             found.sourceURL, found.sourceTitle,   found.ax.filePath};
    };
    const CopyReading& reading = found.reading;

    // A complete selection beats a copy of which only a part arrived.
    if (found.changed && !reading.complete && hasText(found.ax.selectedText))
        return result(Text::trimmed(*found.ax.selectedText), std::nullopt);
    if (found.changed) {
        if (hasText(reading.plainText))
            return result(Text::trimmed(*reading.plainText), markdownFrom(reading.formatted));
        const QString formatted = reading.formatted ? Text::trimmed(reading.formatted->string()) : QString();
        if (!formatted.isEmpty())
            return result(formatted, markdownFrom(reading.formatted));
        if (hasText(found.ax.selectedText))
            return result(Text::trimmed(*found.ax.selectedText), markdownFrom(reading.formatted));
        if (reading.unreadable) {
            CaptureLog::app(QStringLiteral("Capture: pasteboard changed but its text is in a format that could not "
                                           "be read: ")
                            + detail);
            return CaptureError::unreadableFormat(detail);
        }
        CaptureLog::app(QStringLiteral("Capture: pasteboard changed but nothing readable on it: ") + detail);
        return CaptureError::noSelection(detail);
    }
    if (hasText(found.ax.selectedText))
        return result(Text::trimmed(*found.ax.selectedText), std::nullopt);
    const std::optional<QString> browserText
        = BrowserSelectionProvider::currentSelectionText(browserID, services_.processRunner);
    if (browserText && !Text::trimmed(*browserText).isEmpty()) {
        CaptureLog::app(QStringLiteral("Capture: using browser JS selection fallback for ") + safeAppName);
        return result(Text::trimmed(*browserText), std::nullopt);
    }
    CaptureLog::app(QStringLiteral("Capture failed in ") + safeAppName + QStringLiteral(": ") + detail);
    if (isChromiumPDF(found.bundleID, found.sourceURL))
        return CaptureError::chromePDF();
    return CaptureError::noSelection(detail);
}

std::optional<QString> SelectionCapture::markdownFrom(const std::optional<AttributedText>& formatted)
{
    if (!formatted || formatted->length() < 1)
        return std::nullopt;
    QString markdown = MarkdownSerializer::convert(*formatted);
    if (markdown.isEmpty())
        return std::nullopt;
    CaptureLog::capture(CaptureLog::Level::debug, QStringLiteral("Converted rich text to markdown"));
    return markdown;
}

SelectionCapture::CopyAttempt
SelectionCapture::copyUntilChanged(qint64 preCount, const std::optional<QString>& bundleID, Clock::TimePoint end)
{
    // A second command for applications that miss the first (one still busy with the shortcut).
    CopyAttempt copy;
    for (int attempt = 0; attempt < 2 && services_.clock.steadyNow() < end; ++attempt) {
        if (!services_.keyEvents.postCopyCommand(bundleID))
            return copy;
        copy.sent = true;
        const Clock::TimePoint deadline = std::min(services_.clock.steadyNow() + copyWait, end);
        if (waitForPasteboardChange(preCount, deadline, services_.pasteboard, services_.clock)) {
            copy.changed = true;
            return copy;
        }
    }
    return copy;
}

Clipboard::PasteboardSnapshot SelectionCapture::takeSnapshot(qint64& preCount)
{
    // The count is read before and after, so that content that changed while it was being saved
    // is never paired with the count of what came after it.
    Clipboard::PasteboardSnapshot snapshot;
    for (int attempt = 0; attempt < snapshotAttempts; ++attempt) {
        const qint64 before = Clipboard::changeCount(services_.pasteboard);
        snapshot = Clipboard::snapshot(services_.pasteboard);
        preCount = Clipboard::changeCount(services_.pasteboard);
        if (preCount == before)
            return snapshot;
    }
    snapshot.complete = false;
    return snapshot;
}

SelectionCapture::CopyReading SelectionCapture::readCopy(Clock::TimePoint end)
{
    // Each read is cut short at the end by the pasteboard; past it, the next are not begun.
    CopyReading reading;
    const auto inTime = [&] { return services_.clock.steadyNow() < end; };
    bool whole = true;
    reading.plainText = Clipboard::plainText(services_.pasteboard, &whole);
    reading.complete = whole;
    if (inTime()) {
        whole = true;
        reading.formatted = Clipboard::richAttributedString(services_.pasteboard, &whole);
        // Formatted text of which only a part arrived is worth keeping only as the text itself.
        if (!whole && hasText(reading.plainText))
            reading.formatted.reset();
        reading.complete = reading.complete && whole;
    }
    if (inTime())
        reading.htmlTitle = Clipboard::htmlTitle(services_.pasteboard);
    if (reading.isEmpty() && inTime())
        reading.unreadable = Clipboard::hasUnreadableText(services_.pasteboard);
    return reading;
}

SelectionCapture::AXExtract SelectionCapture::extractAX(Accessibility& accessibility, qint32 pid, Clock::TimePoint end,
                                                        const Clock* clock, Clock::TimePoint lookupEnd)
{
    AXExtract extract;
    std::optional<QString> address;
    lookupEnd = std::min(lookupEnd, end);
    // The look-ups that got no answer in time; what they would have found stays out.
    QStringList ranOut;
    std::unique_ptr<AccessibilityElement> element = accessibility.focusedElement(pid, lookupEnd);
    const auto noteTimeUp = [&](const AccessibilityElement* asked, const char16_t* lookUp) {
        if ((asked && asked->lastReadTimedOut()) || (clock && clock->steadyNow() >= lookupEnd))
            ranOut.append(QString::fromUtf16(lookUp));
    };
    if (!element)
        noteTimeUp(nullptr, u"the focused element");
    const auto read = [&](QStringView name, const char16_t* lookUp) {
        std::optional<QString> value = element->stringAttribute(name);
        if (!value)
            noteTimeUp(element.get(), lookUp);
        return value;
    };
    if (element && read(u"AXSubrole", u"the kind of the focused element") == u"AXSecureTextField") {
        extract.passwordField = true;
        return extract;
    }
    auto readSelection = [&] {
        if (extract.selectedText)
            return;
        std::optional<QString> value = read(u"AXSelectedText", u"the selected text");
        if (value && !value->isEmpty() && onlyPlaceholders(*value))
            return;
        extract.selectionReported = extract.selectionReported || value.has_value();
        if (value && !value->isEmpty())
            extract.selectedText = std::move(value);
    };
    auto readOnce = [&](std::optional<QString>& slot, QStringView name, const char16_t* lookUp) {
        if (slot)
            return;
        std::optional<QString> value = read(name, lookUp);
        if (value && !value->isEmpty())
            slot = std::move(value);
    };
    for (int visited = 1; element; ++visited) {
        readSelection();
        readOnce(extract.filePath, u"AXDocument", u"the document path");
        if (!address) {
            readOnce(address, u"AXURL", u"the page address");
            if (address) {
                if (std::optional<QString> title = read(u"AXTitle", u"the page title"); title && !Text::isBlank(*title))
                    extract.title = Text::trimmed(*title);
            }
        }
        const bool timeUp = clock && clock->steadyNow() >= lookupEnd;
        if ((extract.selectedText && extract.filePath && address) || visited == maxAXElements || timeUp)
            break;
        std::unique_ptr<AccessibilityElement> up = element->parent();
        if (!up)
            noteTimeUp(element.get(), u"the enclosing element");
        element = std::move(up);
    }
    if (!ranOut.isEmpty())
        CaptureLog::app(QStringLiteral("Capture: Accessibility did not answer in time when asked for ")
                        + ranOut.join(QStringLiteral(", ")) + QStringLiteral("; what it had not told is left out"));
    if (address && Address::isValid(*address))
        extract.sourceURL = address;
    else
        extract.title.reset();
    // Applications that tell the interface nothing still leave their selection with the desktop.
    // One that reports an empty selection has nothing selected: its PRIMARY may be a selection
    // the user has since cleared.
    if (!extract.selectedText && !extract.selectionReported)
        extract.selectedText = primaryText(accessibility, pid, end, clock);
    return extract;
}

std::optional<QString> SelectionCapture::primaryText(Accessibility& accessibility, qint32 pid, Clock::TimePoint end,
                                                     const Clock* clock)
{
    std::optional<Accessibility::SelectionText> primary = accessibility.primarySelection(pid, end);
    if (!primary || primary->text.isEmpty())
        return std::nullopt;
    if (!primary->complete)
        logLeftOut(QStringLiteral("the selection"), clock && clock->steadyNow() >= end);
    return std::move(primary->text);
}

bool SelectionCapture::waitForPasteboardChange(qint64 preCount, Clock::TimePoint deadline, Pasteboard& pasteboard,
                                               Clock& clock)
{
    while (clock.steadyNow() < deadline) {
        if (Clipboard::changeCount(pasteboard) != preCount)
            return true;
        clock.sleep(pollInterval);
    }
    return false;
}

std::optional<CaptureError> SelectionCapture::restoreClipboard(const Clipboard::PasteboardSnapshot& snapshot,
                                                               bool afterCopyChanged, Pasteboard& pasteboard)
{
    if (!afterCopyChanged || Clipboard::restore(snapshot, pasteboard))
        return std::nullopt;
    CaptureLog::app(QStringLiteral("Capture: clipboard restore failed; capture was not saved"));
    return CaptureError::clipboardRestoreFailed();
}

QString SelectionCapture::diagnosticDetail(const QString& appName, qint32 pid, bool changeOccurred,
                                           qsizetype postCopyTextLength, bool hasAXSelection, const QStringList& types)
{
    QStringList named;
    named.reserve(types.size());
    for (const QString& type : types)
        named.append(PasteboardTypes::kind(type) ? type : QStringLiteral("other"));
    // Built by concatenation: an application name may itself contain "%1".
    return QStringLiteral("app=") + CaptureLog::sanitized(appName) + QStringLiteral(", pid=") + QString::number(pid)
        + QStringLiteral(", pasteboardChanged=") + QLatin1String(changeOccurred ? "true" : "false")
        + QStringLiteral(", postCopyTextLength=") + QString::number(postCopyTextLength)
        + QStringLiteral(", axSelectedText=") + QLatin1String(hasAXSelection ? "yes" : "no")
        + QStringLiteral(", pasteboardTypes=[") + named.join(u", ") + u']';
}

bool SelectionCapture::isChromiumPDF(const std::optional<QString>& bundleID, const std::optional<QString>& sourceURL)
{
    if (!bundleID || !sourceURL || !BrowserURLProvider::isChromiumFamily(*bundleID))
        return false;
    const QString path = QUrl(*sourceURL).path();
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && name.mid(dot + 1).toLower() == u"pdf";
}

} // namespace vellicord
