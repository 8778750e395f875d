#include "core/foundation/Utf8Text.h"

#include "core/foundation/Text.h"

#include <cstring>

namespace vellicord {

Utf8Text::Utf8Text(const QString& text)
{
    if (!Text::hasLoneSurrogate(text)) {
        bytes_ = text.toUtf8();
        return;
    }
    bytes_.resize(1 + text.size() * qsizetype(sizeof(char16_t)));
    bytes_[0] = utf16Mark;
    std::memcpy(bytes_.data() + 1, text.constData(), size_t(text.size()) * sizeof(char16_t));
}

Utf8Text Utf8Text::fromUtf8(std::string_view utf8)
{
    Utf8Text text;
    text.bytes_ = QByteArray(utf8.data(), qsizetype(utf8.size()));
    return text;
}

QString Utf8Text::toString() const
{
    if (isUtf8())
        return QString::fromUtf8(bytes_);
    QString text(bytes_.size() / qsizetype(sizeof(char16_t)), Qt::Uninitialized);
    std::memcpy(text.data(), bytes_.constData() + 1, size_t(text.size()) * sizeof(char16_t));
    return text;
}

QByteArray Utf8Text::toUtf8() const
{
    return isUtf8() ? bytes_ : Text::repairingSurrogates(toString()).toUtf8();
}

} // namespace vellicord
