#pragma once

#include "core/richtext/AttributedText.h"
#include "core/richtext/MarkdownHtml.h"
#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellicord {

// Every reading and writing of the system clipboard the application does.
namespace Clipboard {

// The clipboard's content, copied, so that it can be put back after it changed.
struct PasteboardSnapshot {
    QList<PasteboardItem> items;
    // False when some content could not be read (an owner that did not answer, an item with no
    // readable data): putting such a snapshot back would lose what the user had.
    bool complete = true;

    friend bool operator==(const PasteboardSnapshot&, const PasteboardSnapshot&) = default;
};

inline constexpr qsizetype maxTitleHTMLBytes = 1'048'576;

PasteboardSnapshot snapshot(Pasteboard& pasteboard);
// True when the clipboard holds the snapshot's items again (or is empty, for an empty snapshot).
// A snapshot with an item that has no data is refused before the clipboard is touched.
bool restore(const PasteboardSnapshot& snapshot, Pasteboard& pasteboard);

qint64 changeCount(Pasteboard& pasteboard);
// The targets the clipboard offers, item after item, in the owner's order.
QStringList availableTypes(Pasteboard& pasteboard);

// The clipboard's string, else its tabular text; not trimmed. Where `complete` is given it tells
// whether all of it arrived: of a transfer cut short (an owner that stopped sending, or the
// capture's time limit) the reads give what arrived.
std::optional<QString> plainText(Pasteboard& pasteboard, bool* complete = nullptr);
std::optional<QString> string(Pasteboard& pasteboard, PasteboardType type, bool* complete = nullptr);

// Whether the clipboard's plain text or its HTML arrived only in encodings that cannot be read.
bool hasUnreadableText(Pasteboard& pasteboard);

// Formatted text from HTML, else RTF (RTFD has no X11 form).
std::optional<AttributedText> richAttributedString(Pasteboard& pasteboard, bool* complete = nullptr);
std::optional<AttributedText> attributedString(const QByteArray& html);

std::optional<QByteArray> htmlData(Pasteboard& pasteboard, bool* complete = nullptr);
// The title of the HTML on the clipboard; none for HTML over 1 MiB.
std::optional<QString> htmlTitle(Pasteboard& pasteboard);
std::optional<QString> parsePageTitle(const QString& html);

// Both answer whether the clipboard took the content; a refusal is logged, so that a copy the user
// was told about never fails unseen. Markdown goes as text, with its HTML when it has any.
bool writeMarkdown(const MarkdownCopy& copy, Pasteboard& pasteboard);
bool writePlain(const QString& text, Pasteboard& pasteboard);

} // namespace Clipboard
} // namespace vellicord
