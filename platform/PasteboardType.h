#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vellicord {

struct PasteboardData;

// The kinds of clipboard content the application knows by name, and the X11 selection targets
// that carry each of them, in the order they are preferred when reading.
enum class PasteboardType { string, tabularText, html, rtf, rtfd, pdf, png, tiff, url, fileURL };

namespace PasteboardTypes {

// The targets for a kind that carry it as UTF-8 (or as it is, for kinds that are not text); empty
// for a kind that X11 has no target for (flat RTFD).
QStringList targets(PasteboardType type);
// The kind a target carries, if it is one of the known ones, in whatever encoding.
std::optional<PasteboardType> kind(const QString& target);
// Of the targets an owner offers, those that carry a kind, best first: the targets above, then
// (for text) text in the encoding its name declares, in COMPOUND_TEXT, and text/plain and STRING,
// which declare none.
QStringList readOrder(PasteboardType type, const QStringList& offered);
// Targets that describe or manage a selection rather than hold its content; never read, saved or
// restored.
bool isMeta(const QString& target);

// The content of a target as UTF-8, read in the encoding it declares: HTML by its byte-order mark
// (as some browsers send it) or the charset of its meta element, else as UTF-8 where it is valid;
// text by its target, and where that declares none (text/plain, STRING) as UTF-8 where it is
// valid, else Latin-1. Content of other kinds is returned as it came. Nothing when the encoding
// cannot be read. Decoding holds back a last character whose bytes did not all arrive.
std::optional<QByteArray> asUtf8(PasteboardType type, const QString& target, const QByteArray& data);

// The content of a kind, read through `convert` from the first of the offered targets that arrives
// (whole or in part) and can be read: as UTF-8 for text. Unreadable when content arrived but none
// of it could be read; refused when none arrived.
PasteboardData read(PasteboardType type, const QStringList& offered,
                    const std::function<PasteboardData(const QString& target)>& convert);

} // namespace PasteboardTypes
} // namespace vellicord
