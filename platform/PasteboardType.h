#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellicord {

// The kinds of clipboard content the application knows by name, and the X11 selection targets
// that carry each of them, in the order they are preferred when reading.
enum class PasteboardType { string, tabularText, html, rtf, rtfd, pdf, png, tiff, url, fileURL };

namespace PasteboardTypes {

// The targets for a kind; empty for a kind that X11 has no target for (flat RTFD).
QStringList targets(PasteboardType type);
// The kind a target carries, if it is one of the known ones.
std::optional<PasteboardType> kind(const QString& target);
// Targets that describe or manage a selection rather than hold its content; never read, saved or
// restored.
bool isMeta(const QString& target);

// The content of a text kind as UTF-8: HTML that arrives as UTF-16 with a byte-order mark (as some
// browsers send it) is transcoded; everything else is returned as it came.
QByteArray asUtf8(PasteboardType type, const QByteArray& data);

} // namespace PasteboardTypes
} // namespace vellicord
