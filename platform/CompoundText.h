#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace vellicord {

// COMPOUND_TEXT, the X11 text encoding that older toolkits put on the clipboard (Xlib writes it):
// ISO 2022 with ASCII and the right halves of the ISO 8859 parts, the Chinese, Japanese and Korean
// national sets, segments in UTF-8 and segments that name their own encoding.
namespace CompoundText {

// The text; nothing for bytes that are malformed or switch to a set that cannot be read here.
std::optional<QString> decode(QByteArrayView bytes);

} // namespace CompoundText
} // namespace vellicord
