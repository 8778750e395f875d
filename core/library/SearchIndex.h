#pragma once

#include "core/library/Selection.h"

#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vellicord {

// The library list's search, kept ready between keystrokes. Each capture's search text
// (SortModes::searchText) is made once, as UTF-8 in one buffer, with a small fingerprint of the
// characters and character pairs it contains, so that most captures that cannot match are passed
// over without reading their text, and the rest are scanned with a skip table made once per query.
// The results are exactly those of SortModes::matches for text without unpaired surrogates.
class SearchIndex {
public:
    // Indexes the captures in order; captures whose fields are the same (shared) strings as at the
    // last rebuild keep what was made for them.
    void rebuild(const QList<Selection>& selections);
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
    static constexpr int fingerprintWords = 8; // 512 bits: one cache line, read in order

    struct Entry {
        QUuid id;
        QString text, markdown, appName;
        std::optional<QString> sourceURL, filePath;
        size_t start = 0, end = 0; // the search text in haystack_
        // When the Markdown is the text, the bytes of the text: the search text holds it twice,
        // and a match inside the second copy is also one inside the first.
        size_t repeatedText = 0;
        bool repeats = false;
        bool erased = false;
    };

    class Needle;

    static void addFingerprint(const QString& searchText, uint64_t* bits);
    static void add(const Selection& selection, std::vector<Entry>& entries, std::vector<uint64_t>& fingerprints,
                    std::string& haystack);
    bool entryMatches(const Entry& entry, const Needle& needle) const;

    std::vector<Entry> entries_;
    std::vector<uint64_t> fingerprints_; // fingerprintWords per entry
    std::string haystack_;
    qsizetype erased_ = 0;
};

} // namespace vellicord
