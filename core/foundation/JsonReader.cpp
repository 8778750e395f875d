#include "core/foundation/JsonReader.h"

#include "core/foundation/Address.h"
#include "core/foundation/IsoDate.h"
#include "core/foundation/UuidText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vellicord {

JsonDecodeError::JsonDecodeError(Kind kind, std::string context)
    : std::runtime_error(std::move(context))
    , kind_(kind)
{
}

namespace JsonReader {

using Kind = JsonDecodeError::Kind;

void fail(Kind kind, std::string_view context)
{
    throw JsonDecodeError(kind, std::string(context));
}

void check(simdjson::error_code error, std::string_view context)
{
    if (error == simdjson::SUCCESS)
        return;
    if (error == simdjson::INCORRECT_TYPE || error == simdjson::NUMBER_OUT_OF_RANGE)
        fail(Kind::typeMismatch, context);
    fail(Kind::syntax, std::string(context) + ": " + simdjson::error_message(error));
}

simdjson::dom::object object(Value value, std::string_view context)
{
    simdjson::dom::object result;
    check(value.get_object().get(result), context);
    return result;
}

simdjson::dom::array array(Value value, std::string_view context)
{
    simdjson::dom::array result;
    check(value.get_array().get(result), context);
    return result;
}

std::string_view utf8(Value value, std::string_view context)
{
    std::string_view result;
    check(value.get_string().get(result), context);
    return result;
}

QString fromUtf8(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QString string(Value value, std::string_view context)
{
    return fromUtf8(utf8(value, context));
}

bool boolean(Value value, std::string_view context)
{
    bool result = false;
    check(value.get_bool().get(result), context);
    return result;
}

simdjson::error_code integerValue(Value value, int64_t& result)
{
    if (value.type() != simdjson::dom::element_type::DOUBLE)
        return value.get_int64().get(result);
    double number = 0;
    if (const simdjson::error_code error = value.get_double().get(number))
        return error;
    // 2^63 is exactly representable; the largest integer below it is not a double at all.
    if (number != std::trunc(number) || number < -9223372036854775808.0 || number >= 9223372036854775808.0)
        return simdjson::INCORRECT_TYPE;
    result = int64_t(number);
    return simdjson::SUCCESS;
}

int64_t integer(Value value, std::string_view context)
{
    int64_t result = 0;
    check(integerValue(value, result), context);
    return result;
}

double number(Value value, std::string_view context)
{
    double result = 0;
    check(value.get_double().get(result), context);
    return result;
}

QUuid uuid(Value value, std::string_view context)
{
    const auto id = UuidText::parse(utf8(value, context));
    if (!id)
        fail(Kind::dataCorrupted, context);
    return *id;
}

QDateTime date(Value value, std::string_view context)
{
    const auto parsed = IsoDate::parse(utf8(value, context));
    if (!parsed)
        fail(Kind::dataCorrupted, context);
    return *parsed;
}

QString address(Value value, std::string_view context)
{
    const std::string_view text = utf8(value, context);
    if (!Address::isValid(text))
        fail(Kind::dataCorrupted, context);
    return fromUtf8(text);
}

bool isNull(Value value)
{
    return value.is_null();
}

namespace {

[[noreturn]] void failRepeated(std::string_view context, std::string_view key)
{
    fail(Kind::repeatedKey, context.empty() ? std::string(key) : std::string(context) + '.' + std::string(key));
}

// Our own writer sorts the keys, so a document it wrote needs one comparison per key; only keys
// out of order (written by something else) are sorted to find a repeat.
void requireUniqueKeysOf(simdjson::dom::object object, std::string_view context)
{
    std::string_view previous;
    bool first = true;
    for (const simdjson::dom::key_value_pair member : object) {
        if (first || previous < member.key) {
            previous = member.key;
            first = false;
            continue;
        }
        std::vector<std::string_view> keys;
        keys.reserve(object.size());
        for (const simdjson::dom::key_value_pair each : object)
            keys.push_back(each.key);
        std::sort(keys.begin(), keys.end());
        const auto repeated = std::adjacent_find(keys.begin(), keys.end());
        if (repeated != keys.end())
            failRepeated(context, *repeated);
        return;
    }
}

} // namespace

void requireUniqueMemberKeys(simdjson::dom::object object, std::string_view context)
{
    requireUniqueKeysOf(object, context);
}

void requireUniqueKeys(Value value, std::string_view context)
{
    simdjson::dom::object object;
    simdjson::dom::array array;
    if (value.get_object().get(object) == simdjson::SUCCESS) {
        requireUniqueKeysOf(object, context);
        for (const simdjson::dom::key_value_pair member : object)
            requireUniqueKeys(member.value, context);
    } else if (value.get_array().get(array) == simdjson::SUCCESS) {
        for (Value item : array)
            requireUniqueKeys(item, context);
    }
}

Value parse(simdjson::dom::parser& parser, std::string_view json)
{
    Value root;
    check(parser.parse(json.data(), json.size(), true).get(root), "document");
    return root;
}

std::optional<QString> optionalString(Value value, std::string_view context)
{
    if (isNull(value))
        return std::nullopt;
    return string(value, context);
}

std::optional<QString> optionalAddress(Value value, std::string_view context)
{
    if (isNull(value))
        return std::nullopt;
    return address(value, context);
}

std::optional<QUuid> optionalUuid(Value value, std::string_view context)
{
    if (isNull(value))
        return std::nullopt;
    return uuid(value, context);
}

} // namespace JsonReader
} // namespace vellicord
