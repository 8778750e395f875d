#pragma once

#include "core/capture/CaptureError.h"
#include "core/capture/CaptureResult.h"
#include "core/capture/Clipboard.h"
#include "platform/Clock.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace vellicord {

class Accessibility;
class KeyEvents;
class Pasteboard;
class ProcessRunner;
class Workspace;

// The desktop services a capture talks to.
struct CaptureServices {
    Pasteboard& pasteboard;
    Workspace& workspace;
    Accessibility& accessibility;
    KeyEvents& keyEvents;
    ProcessRunner& processRunner;
    Clock& clock;
};

// Reads the text selected in the frontmost application with where it came from: through a
// synthetic copy (with the user's clipboard saved before and put back after), Accessibility, and
// the browser's own answer. Holds nothing between captures; blocks its thread for up to a few
// seconds, so it runs off the main thread.
class SelectionCapture {
public:
    using Outcome = std::variant<CaptureResult, CaptureError>;

    explicit SelectionCapture(CaptureServices services);

    // How long a capture may read before it makes do with what it has: an owner that answers
    // slowly (a copy sent in small increments) must not hold the shortcut for many seconds. Putting
    // the clipboard back comes after, bounded on its own.
    static constexpr std::chrono::milliseconds timeLimit{4000};

    Outcome capture();

    // What Accessibility gave for the focused element and its ancestors. The title is the name of
    // the element that gave the address (a web page's document), for when the browser is not asked.
    // selectionReported: some element told whether it has a selection, even an empty one; the
    // desktop's last selection (PRIMARY) then says nothing about what is selected now.
    struct AXExtract {
        std::optional<QString> selectedText;
        std::optional<QString> filePath;
        std::optional<QString> sourceURL;
        std::optional<QString> title;
        bool selectionReported = false;
        // The focused element is a password field: nothing of it is read, not even through a copy.
        bool passwordField = false;
    };
    static constexpr int maxAXElements = 12;
    // `end` on `clock`: the capture's time limit, where a slow transfer of the desktop's selection
    // stops. `lookupEnd`: where the elements' answers stop; the look-ups left without one are logged.
    static AXExtract extractAX(Accessibility& accessibility, qint32 pid, Clock::TimePoint end = Clock::TimePoint::max(),
                               const Clock* clock = nullptr, Clock::TimePoint lookupEnd = Clock::TimePoint::max());

    static bool waitForPasteboardChange(qint64 preCount, Clock::TimePoint deadline, Pasteboard& pasteboard,
                                        Clock& clock);
    // Puts the snapshot back when the copy changed the clipboard; the error when that failed.
    static std::optional<CaptureError> restoreClipboard(const Clipboard::PasteboardSnapshot& snapshot,
                                                        bool afterCopyChanged, Pasteboard& pasteboard);
    static QString diagnosticDetail(const QString& appName, qint32 pid, bool changeOccurred,
                                    qsizetype postCopyTextLength, bool hasAXSelection, const QStringList& types);
    static bool isChromiumPDF(const std::optional<QString>& bundleID, const std::optional<QString>& sourceURL);
    // The Markdown a capture keeps of formatted clipboard content; none when there is none.
    static std::optional<QString> markdownFrom(const std::optional<AttributedText>& formatted);

private:
    // What the copy put on the clipboard; not complete when some of it had not arrived when the
    // reads stopped. unreadable: nothing could be read, but there was text in an encoding that
    // cannot be read.
    struct CopyReading {
        std::optional<QString> plainText;
        std::optional<AttributedText> formatted;
        std::optional<QString> htmlTitle;
        bool complete = true;
        bool unreadable = false;

        bool isEmpty() const;
    };
    // Everything a capture gathered before it chooses its text.
    struct Findings {
        QString appName;
        std::optional<QString> bundleID;
        bool changed;
        CopyReading reading;
        AXExtract ax;
        std::optional<QString> sourceURL;
        std::optional<QString> sourceTitle;
        QStringList types;
        qint32 pid;
    };

    // The text by the first road that has one: the copy, Accessibility, the browser.
    Outcome chooseText(const Findings& found);
    static std::optional<QString> primaryText(Accessibility& accessibility, qint32 pid, Clock::TimePoint end,
                                              const Clock* clock);
    CopyReading readCopy(Clock::TimePoint end);
    struct CopyAttempt {
        bool sent = false; // false: the application takes no copy command, so none can come
        bool changed = false;
    };
    CopyAttempt copyUntilChanged(qint64 preCount, const std::optional<QString>& bundleID, Clock::TimePoint end);
    Clipboard::PasteboardSnapshot takeSnapshot(qint64& preCount);

    CaptureServices services_;
};

} // namespace vellicord
