#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <simdjson.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vellicord {

// Why a JSON document could not be read as the record it should hold.
class JsonDecodeError : public std::runtime_error {
public:
    enum class Kind {
        syntax, // not JSON, or a value that cannot be read
        missingKey, // a required key is absent (or null)
        typeMismatch, // a value of the wrong JSON type
        dataCorrupted, // the right type but not a valid value (a bad id, date, address, layout)
        repeatedKey, // an object holds one key twice, so which value counts would be a guess
    };

    JsonDecodeError(Kind kind, std::string context);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Strict reading of typed values from a simdjson document (the DOM API, which validates the whole
// document and picks the fastest parser for the processor at run time). Every function throws
// JsonDecodeError naming the key when the value is not what the record needs; null counts as
// absent for the optional forms.
namespace JsonReader {

using Value = simdjson::dom::element;

[[noreturn]] void fail(JsonDecodeError::Kind kind, std::string_view context);
// Throws a syntax error for a simdjson error code other than SUCCESS.
void check(simdjson::error_code error, std::string_view context);

simdjson::dom::object object(Value value, std::string_view context);
simdjson::dom::array array(Value value, std::string_view context);
QString string(Value value, std::string_view context);
std::string_view utf8(Value value, std::string_view context);
bool boolean(Value value, std::string_view context);
// An integer, also when written with a zero fraction (2.0 is 2), as the platform's JSON decoder
// reads integers; 2.5 is of the wrong type.
int64_t integer(Value value, std::string_view context);
simdjson::error_code integerValue(Value value, int64_t& result);
double number(Value value, std::string_view context);
QUuid uuid(Value value, std::string_view context);
QDateTime date(Value value, std::string_view context);
// A page address: a string that is a valid address (kept as its exact text).
QString address(Value value, std::string_view context);

bool isNull(Value value);

// Throws repeatedKey when the object holds a key twice; the error names the key after `context`
// and a dot (the key alone when `context` is empty). Only this object, not the values in it.
void requireUniqueMemberKeys(simdjson::dom::object object, std::string_view context);
// The same for every object in the value, at any depth.
void requireUniqueKeys(Value value, std::string_view context);
std::optional<QString> optionalString(Value value, std::string_view context);
std::optional<QString> optionalAddress(Value value, std::string_view context);
std::optional<QUuid> optionalUuid(Value value, std::string_view context);

// Throws missingKey unless present.
template<typename T> const T& required(const std::optional<T>& field, std::string_view key)
{
    if (!field)
        fail(JsonDecodeError::Kind::missingKey, key);
    return *field;
}

// Parses a whole document; throws a syntax error for anything that is not one JSON value.
Value parse(simdjson::dom::parser& parser, std::string_view json);

// QString from UTF-8 that simdjson has already validated.
QString fromUtf8(std::string_view utf8);

} // namespace JsonReader
} // namespace vellicord
