#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace vellicord {

// File names on Linux are bytes, in no particular encoding; here paths are QStrings. A path is
// read as UTF-8, and each byte that is not part of valid UTF-8 is kept as one of the lone
// surrogates U+DC80..U+DCFF (the byte plus 0xDC00), so that written back it gives the same bytes:
// a folder named with a Latin-1 "é" is the folder written to, not one with U+FFFD in its name.
namespace NativePath {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView path);

} // namespace NativePath
} // namespace vellicord
