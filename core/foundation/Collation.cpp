#include "core/foundation/Collation.h"

#include <memory>

namespace vellicord {

CaseInsensitiveCollation::CaseInsensitiveCollation()
    : CaseInsensitiveCollation(QLocale())
{
}

CaseInsensitiveCollation::CaseInsensitiveCollation(const QLocale& locale)
    : collator_(locale)
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
