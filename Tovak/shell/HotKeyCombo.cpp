#include "Tovak/shell/HotKeyCombo.h"

#include "core/foundation/JsonReader.h"
#include "platform/CarbonKeys.h"

#include <QStringList>

#include <limits>

namespace vellicord {

QString HotKeyCombo::display() const
{
    // Linux desktops name the modifiers and join them with "+"; command is the Super key here.
    QStringList parts;
    if (modsCarbon & CarbonKeys::controlKey)
        parts.append(QStringLiteral("Ctrl"));
    if (modsCarbon & CarbonKeys::optionKey)
        parts.append(QStringLiteral("Alt"));
    if (modsCarbon & CarbonKeys::shiftKey)
        parts.append(QStringLiteral("Shift"));
    if (modsCarbon & CarbonKeys::commandKey)
        parts.append(QStringLiteral("Super"));
    parts.append(CarbonKeys::keyName(keyCode));
    return parts.join(u'+');
}

QByteArray HotKeyCombo::json() const
{
    return QByteArrayLiteral("{\"keyCode\":") + QByteArray::number(keyCode)
        + QByteArrayLiteral(",\"modsCarbon\":") + QByteArray::number(modsCarbon) + '}';
}

std::optional<HotKeyCombo> HotKeyCombo::fromJson(QByteArrayView json)
{
    try {
        simdjson::dom::parser parser;
        const auto root = JsonReader::object(
            JsonReader::parse(parser, std::string_view(json.data(), size_t(json.size()))), "combo");
        auto member = [&](const char* key) -> uint32_t {
            simdjson::dom::element value;
            if (root[key].get(value) != simdjson::SUCCESS || JsonReader::isNull(value))
                JsonReader::fail(JsonDecodeError::Kind::missingKey, key);
            const int64_t number = JsonReader::integer(value, key);
            if (number < 0 || number > std::numeric_limits<uint32_t>::max())
                JsonReader::fail(JsonDecodeError::Kind::dataCorrupted, key);
            return uint32_t(number);
        };
        return HotKeyCombo{member("keyCode"), member("modsCarbon")};
    } catch (const JsonDecodeError&) {
        return std::nullopt;
    }
}

uint32_t HotKeyCombo::carbonMods(Qt::KeyboardModifiers modifiers)
{
    uint32_t mask = 0;
    if (modifiers & Qt::MetaModifier)
        mask |= CarbonKeys::commandKey;
    if (modifiers & Qt::ShiftModifier)
        mask |= CarbonKeys::shiftKey;
    if (modifiers & Qt::AltModifier)
        mask |= CarbonKeys::optionKey;
    if (modifiers & Qt::ControlModifier)
        mask |= CarbonKeys::controlKey;
    return mask;
}

} // namespace vellicord
