#include "core/foundation/Collation.h"

#include <memory>

namespace vellicord {

namespace {

// The C locale names no language, and Qt's collator treats it as no collation at all: it compares
// code points, and its sort keys then ignore the case setting that its compare() honours (upper
// case before lower, "Banana" before "apple"). Unicode's default order, which English collates by
// unchanged, serves a process started without a language (C, C.UTF-8, POSIX).
QLocale collatingLocale(const QLocale& locale)
{
    return locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
}

} // namespace

CaseInsensitiveCollation::CaseInsensitiveCollation()
    : CaseInsensitiveCollation(QLocale())
{
}

CaseInsensitiveCollation::CaseInsensitiveCollation(const QLocale& locale)
    : collator_(collatingLocale(locale))
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    collator_.setNumericMode(false);
    collator_.setIgnorePunctuation(false);
}

int CaseInsensitiveCollation::compare(const QString& a, const QString& b) const
{
    return collator_.compare(a, b);
}

QCollatorSortKey CaseInsensitiveCollation::sortKey(const QString& text) const
{
    return collator_.sortKey(text);
}

int CaseInsensitiveCollation::compareInCurrentLocale(const QString& a, const QString& b)
{
    thread_local std::unique_ptr<CaseInsensitiveCollation> cached;
    thread_local QString cachedLocale;
    const QLocale locale;
    if (!cached || cachedLocale != locale.name()) {
        cached = std::make_unique<CaseInsensitiveCollation>(locale);
        cachedLocale = locale.name();
    }
    return cached->compare(a, b);
}

} // namespace vellicord
