#include "core/foundation/JsonSplit.h"

#include "core/foundation/BlockVector.h"
#include "core/foundation/HeapLimits.h"
#include "core/foundation/Parallel.h"

#include <cstdint>
#include <cstring>

namespace vellicord {
namespace JsonSplit {

namespace {

// A bracket outside strings, with the depth before it counted from the start of its part. Kept
// small: a large library has millions of them, held while its document is held whole.
struct Bracket {
    size_t offset;
    int32_t depth;
    char c;
};

// Deeper than any document is parsed (the parser stops long before), so the depth fits a Bracket.
constexpr long deepest = long(1) << 30;

struct Part {
    size_t begin = 0;
    size_t end = 0;
    // Kept in blocks: a vector that doubles holds the old copy of all it had beside the new one.
    BlockVector<Bracket> brackets;
    long depthChange = 0;
    bool valid = true;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

void scan(std::string_view json, Part& part)
{
    const char* const text = json.data();
    size_t at = part.begin;
    long depth = 0;
    while (at < part.end) {
        const char c = text[at];
        if (c == '"') {
            // To the closing quote: the first one after an even run of backslashes.
            size_t close = at + 1;
            for (;;) {
                const void* found = std::memchr(text + close, '"', json.size() - close);
                if (!found) {
                    part.valid = false;
                    return;
                }
                close = size_t(static_cast<const char*>(found) - text);
                size_t backslashes = 0;
                while (text[close - 1 - backslashes] == '\\')
                    ++backslashes;
                if (backslashes % 2 == 0)
                    break;
                ++close;
            }
            // A string never holds a line break, so it ends in the part it began in.
            if (close >= part.end) {
                part.valid = false;
                return;
            }
            at = close + 1;
            continue;
        }
        if (c == '{' || c == '[') {
            part.brackets.push_back({at, int32_t(depth), c});
            ++depth;
        } else if (c == ']' && !part.brackets.empty() && part.brackets.back().offset + 1 == at
                   && part.brackets.back().c == '[') {
            // An empty list holds no member and leaves the depth as it was: most captures have
            // an empty list of groups, and dropping the pair saves keeping two brackets for each.
            // Where a list is looked for (an empty list of captures, a list as a member) its
            // absence fails the split, as the list there would.
            part.brackets.pop_back();
            --depth;
        } else if (c == '}' || c == ']') {
            --depth;
            part.brackets.push_back({at, int32_t(depth), c});
        }
        if (depth > deepest || depth < -deepest) {
            part.valid = false;
            return;
        }
        ++at;
    }
    part.depthChange = depth;
}

// Whether the text before `at` ends with `"key"` and a colon, white space allowed around it.
bool followsKey(std::string_view json, size_t at, std::string_view key)
{
    while (at > 0 && isSpace(json[at - 1]))
        --at;
    if (at == 0 || json[--at] != ':')
        return false;
    while (at > 0 && isSpace(json[at - 1]))
        --at;
    if (at < key.size() + 2 || json[at - 1] != '"')
        return false;
    const size_t start = at - 1 - key.size();
    return json.substr(start, key.size()) == key && json[start - 1] == '"' && (start < 2 || json[start - 2] != '\\');
}

// Only white space, with one comma when `comma`, between the offsets.
bool isSeparator(std::string_view json, size_t from, size_t to, bool comma)
{
    bool seen = false;
    for (size_t at = from; at < to; ++at) {
        if (json[at] == ',' && comma && !seen)
            seen = true;
        else if (!isSpace(json[at]))
            return false;
    }
    return seen == comma;
}

} // namespace

std::optional<ArrayMembers> objectsOfMember(std::string_view json, std::string_view key, size_t threads)
{
    threads = std::max<size_t>(threads, 1);
    std::vector<Part> parts(threads);
    for (size_t i = 0; i < threads; ++i) {
        if (i == 0) {
            parts[i].begin = 0;
        } else {
            const size_t guess = json.size() * i / threads;
            const void* lineBreak = std::memchr(json.data() + guess, '\n', json.size() - guess);
            parts[i].begin = lineBreak ? size_t(static_cast<const char*>(lineBreak) - json.data()) + 1 : json.size();
            parts[i].begin = std::max(parts[i].begin, parts[i - 1].begin);
        }
    }
    for (size_t i = 0; i < threads; ++i)
        parts[i].end = i + 1 < threads ? parts[i + 1].begin : json.size();
    Parallel::forChunks(threads, threads, [&](size_t, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            scan(json, parts[i]);
    });

    ArrayMembers found;
    size_t brackets = 0;
    for (const Part& part : parts)
        brackets += part.brackets.size();
    // Each member is two of the brackets: reserved once, the list is never copied as it grows, and
    // a large one goes back to the system when it is freed.
    found.members.reserve(HeapLimits::returnableCount<std::string_view>(brackets / 2));
    enum { seeking, inArray, done } state = seeking;
    size_t memberStart = 0;
    size_t previousEnd = 0;
    long base = 0;
    for (const Part& part : parts) {
        if (!part.valid)
            return std::nullopt;
        for (size_t i = 0; i < part.brackets.size(); ++i) {
            const Bracket& b = part.brackets[i];
            if (state == done)
                break;
            const long depth = base + b.depth;
            if (depth < 0)
                return std::nullopt;
            if (state == seeking) {
                if (b.c == '[' && depth == 1 && followsKey(json, b.offset, key)) {
                    found.open = b.offset;
                    previousEnd = b.offset + 1;
                    state = inArray;
                }
                continue;
            }
            if (depth == 1 && b.c == ']') {
                if (!isSeparator(json, previousEnd, b.offset, false))
                    return std::nullopt;
                found.close = b.offset;
                state = done;
            } else if (depth == 2) {
                if (b.c == '{') {
                    if (!isSeparator(json, previousEnd, b.offset, !found.members.empty()))
                        return std::nullopt;
                    memberStart = b.offset;
                } else if (b.c == '}') {
                    found.members.push_back(json.substr(memberStart, b.offset + 1 - memberStart));
                    previousEnd = b.offset + 1;
                } else {
                    return std::nullopt; // a member that is not an object
                }
            }
        }
        base += part.depthChange;
    }
    if (state != done)
        return std::nullopt;
    return found;
}

} // namespace JsonSplit
} // namespace vellicord
