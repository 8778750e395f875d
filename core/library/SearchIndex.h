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

    qsizetype size() const { return qsizetype(entries_.size()); }
    // The positions, in the list given to rebuild(), of the captures that match the query.
    QList<qsizetype> matching(const QString& query) const;

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
    };

    class Needle;

    static void addFingerprint(const QString& searchText, uint64_t* bits);
    bool entryMatches(const Entry& entry, const Needle& needle) const;

    std::vector<Entry> entries_;
    std::vector<uint64_t> fingerprints_; // fingerprintWords per entry
    std::string haystack_;
};

} // namespace vellicord
