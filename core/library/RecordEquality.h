#pragma once

#include "core/foundation/Text.h"
#include "core/foundation/Utf8Text.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

// The equality and hashing rules every record shares: texts are equal when canonically
// equivalent, addresses when their texts are identical, an absent value only equals an
// absent one.
namespace RecordEquality {

inline bool same(const QString& a, const QString& b) { return Text::equal(a, b); }
// The same bytes are the same text; other bytes may still be canonically equivalent.
inline bool same(const Utf8Text& a, const Utf8Text& b) { return a == b || Text::equal(a, b); }

inline bool same(const std::optional<QString>& a, const std::optional<QString>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || Text::equal(*a, *b);
}

inline bool sameAddress(const std::optional<QString>& a, const std::optional<QString>& b) { return a == b; }

inline size_t hashPart(const QString& text, size_t seed) { return Text::hash(text, seed); }
inline size_t hashPart(const Utf8Text& text, size_t seed) { return Text::hash(text, seed); }
inline size_t hashPart(const std::optional<QString>& text, size_t seed)
{
    return text ? Text::hash(*text, seed) : ::qHash(0x9E3779B9u, seed);
}
inline size_t hashPart(const QUuid& id, size_t seed) { return ::qHash(id, seed); }
inline size_t hashPart(const QDateTime& date, size_t seed) { return ::qHash(date.toMSecsSinceEpoch(), seed); }
inline size_t hashPart(bool value, size_t seed) { return ::qHash(value, seed); }
inline size_t hashPart(qint64 value, size_t seed) { return ::qHash(value, seed); }
inline size_t hashPart(double value, size_t seed) { return ::qHash(value, seed); }
inline size_t hashPart(const std::optional<QUuid>& id, size_t seed)
{
    return id ? ::qHash(*id, seed) : ::qHash(0x9E3779B9u, seed);
}
// Records hash through their own qHash.
template <typename T>
size_t hashPart(const T& value, size_t seed)
{
    return qHash(value, seed);
}
template <typename T>
size_t hashPart(const QList<T>& list, size_t seed)
{
    for (const T& element : list)
        seed = hashPart(element, seed);
    return ::qHash(list.size(), seed);
}

// Hashes the parts in order, each folded into the seed of the next.
template <typename... Parts>
size_t combine(size_t seed, const Parts&... parts)
{
    ((seed = hashPart(parts, seed) * 0x100000001B3ull + 1), ...);
    return seed;
}

} // namespace RecordEquality
} // namespace vellicord
