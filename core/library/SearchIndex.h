#pragma once

#include "core/foundation/BlockVector.h"
#include "core/library/Selection.h"
#include "core/library/SelectionList.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vellicord {

// The library list's search, kept ready between keystrokes. It reads the captures' own strings
// (shared with the store, so they cost nothing more) and keeps per capture only a small fingerprint
// of the lower-cased characters, character pairs and runs of four its search text
// (SortModes::searchText) contains, so that most captures that cannot match are passed over
// without reading their text, and exactly which ASCII characters it holds, so that a query of one
// of them reads no text at all.
// The rest are scanned in place (text and Markdown in their UTF-8, the other fields in UTF-16),
// each character compared as it lower-cases, on several threads when there is much to read; a
// capture whose text does not lower-case character for character, or whose lower case is not in
// NFC, keeps its lower-cased search text (in NFC) instead. The query is put in NFC and folded once. The
// results are exactly those of SortModes::matches.
class SearchIndex {
public:
    // Indexes the captures in order; captures whose fields are the same (shared) strings as at the
    // last rebuild keep what was made for them. When `stop` becomes true the rebuild ends early and
    // leaves the index as it was.
    void rebuild(const SelectionList& selections, const std::atomic<bool>* stop = nullptr);
    // Indexes one more capture after the others; its position is the size before. The positions of
    // the others stay.
    qsizetype append(const Selection& selection);
    // Forgets the capture at the position: it never matches again, and its position is not reused
    // until the next rebuild.
    void erase(qsizetype position);
    // Positions in use, forgotten ones included.
    qsizetype size() const { return qsizetype(entries_.size()); }
    qsizetype erasedCount() const { return erased_; }
    // The positions of the captures that match the query, ascending; only among the given
    // positions (ascending) when there are some.
    QList<qsizetype> matching(const QString& query, const QList<qsizetype>* among = nullptr) const;
    // Whether the capture at the position matches the query.
    bool matches(qsizetype position, const QString& query) const;

private:
    // 512 bits for units and pairs, 1024 for runs of four, and 128 that say exactly which ASCII
    // units the search text holds (a query of one of them is answered by its bit alone).
    static constexpr int fingerprintWords = 26;

    // What a scan reads of most captures (the text, whether it is compared in place, whether the
    // capture is forgotten) lies in the entry's first cache line.
    struct alignas(64) Entry {
        Utf8Text text; // scanned in its UTF-8, as the Markdown
        // The lower-cased search text, only for a capture whose fields do not lower-case character
        // for character into as many bytes (İ, the Kelvin sign, ẞ, cased letters outside the first
        // plane, unpaired surrogates), or whose lower case NFC changes (an accent stored as a mark
        // of its own): those cannot be compared in place.
        QString lowered;
        // Where the Markdown's bytes hold the text's as they are (at 0 when they are equal), or
        // -1: a match in that copy is one in the text.
        qsizetype textInMarkdown = -1;
        bool erased = false;
        Utf8Text markdown;
        QString appName;
        std::optional<QString> sourceURL, filePath;
        QUuid id;
    };

    class Needle;
    class Utf8Needle;
    struct Query;

    static Entry entryFor(const Selection& selection, uint64_t* fingerprint);
    static qsizetype units(const Entry& entry);
    static qsizetype textIn(const Utf8Text& markdown, const Utf8Text& text);
    static bool occursIn(const Utf8Text& field, const Query& query);
    static bool markdownMatches(const Entry& entry, const Query& query);
    static bool entryMatches(const Entry& entry, const Query& query, QString& joined);
    static bool restMatches(const Entry& entry, const Query& query);

    // What a scan reads first of a capture, two cache lines next to the one before: where its
    // text's UTF-8 starts when it is compared in place (the first field searched, where broad
    // queries mostly match), and a copy of its first characters, which answers most of those
    // without reading the text. Size -1 where the text is not compared in place.
    struct alignas(64) Head {
        const char* start = nullptr;
        qsizetype inPlaceSize = -1;
        std::array<char, 111> prefix{};
        uint8_t prefixSize = 0;

        std::string_view prefixView() const { return std::string_view(prefix.data(), prefixSize); }
        // The text a needle of that many bytes may still occur in when it is not in the prefix:
        // from the first place where it would reach past it. A place within a character is no
        // harm, since a needle begins with a whole one.
        std::string_view unread(qsizetype needleSize) const
        {
            const size_t skip = size_t(std::max<qsizetype>(0, prefixSize - needleSize + 1));
            return std::string_view(start, size_t(inPlaceSize)).substr(std::min(skip, size_t(inPlaceSize)));
        }
    };
    static Head headOf(const Entry& entry);
    // The positions among positionAt(begin) to positionAt(end - 1) whose captures match.
    template<typename PositionAt>
    QList<qsizetype> scan(const Query& query, PositionAt positionAt, size_t begin, size_t end) const;

    using Fingerprint = std::array<uint64_t, fingerprintWords>;

    // The captures' fingerprints, a column for each word: a scan reads only the words its query
    // has bits in, each capture's next to the one before.
    class Fingerprints {
    public:
        void append(const Fingerprint& fingerprint)
        {
            for (size_t w = 0; w < columns_.size(); ++w)
                columns_[w].push_back(fingerprint[w]);
        }
        void put(size_t position, const Fingerprint& fingerprint)
        {
            for (size_t w = 0; w < columns_.size(); ++w)
                columns_[w][position] = fingerprint[w];
        }
        Fingerprint at(size_t position) const
        {
            Fingerprint fingerprint;
            for (size_t w = 0; w < columns_.size(); ++w)
                fingerprint[w] = columns_[w][position];
            return fingerprint;
        }
        uint64_t word(int w, size_t position) const { return columns_[size_t(w)][position]; }

    private:
        std::array<BlockVector<uint64_t>, fingerprintWords> columns_;
    };

    // Kept in blocks, so that a capture added to a large library moves none of the others.
    BlockVector<Entry> entries_;
    BlockVector<Head> heads_;
    Fingerprints fingerprints_;
    qsizetype erased_ = 0;
    qsizetype liveUnits_ = 0; // of the fields of the captures not forgotten: how much a full scan reads
};

} // namespace vellicord
