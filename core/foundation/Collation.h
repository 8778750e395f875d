#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>

namespace vellicord {

// The user's locale-aware, case-insensitive order of texts. A collator is not thread-safe:
// make one per sort (or per thread) and never share it across threads.
class CaseInsensitiveCollation {
public:
    // Collates by the current default locale (QLocale()); a locale without a language (C, POSIX)
    // by Unicode's default order, so that case is ignored there too.
    CaseInsensitiveCollation();
    explicit CaseInsensitiveCollation(const QLocale& locale);

    // Negative, zero or positive as a orders before, the same as, or after b.
    int compare(const QString& a, const QString& b) const;
    // A key whose compare() agrees with compare() of the texts; cheap to compare repeatedly.
    QCollatorSortKey sortKey(const QString& text) const;

    // compare() with a collator kept per thread for the current default locale.
    static int compareInCurrentLocale(const QString& a, const QString& b);

private:
    QCollator collator_;
};

} // namespace vellicord
