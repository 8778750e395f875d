#include "core/library/SourceIdentity.h"

#include "core/foundation/Collation.h"
#include "core/library/RecordEquality.h"
#include "core/library/Selection.h"

namespace vellicord {

SourceIdentity SourceIdentity::from(const Selection& s)
{
    if (s.sourceURL)
        return {*s.sourceURL, s.appName, s.bundleID, s.sourceURL, std::nullopt};
    if (s.filePath)
        return {*s.filePath, s.appName, s.bundleID, std::nullopt, s.filePath};
    return {s.appName, s.appName, s.bundleID, std::nullopt, std::nullopt};
}

QString SourceIdentity::display() const
{
    if (sourceURL)
        return *sourceURL;
    if (filePath)
        return *filePath;
    return appName;
}

const QString& SourceIdentity::displayOf(const Selection& s)
{
    if (s.sourceURL)
        return *s.sourceURL;
    if (s.filePath)
        return *s.filePath;
    return s.appName;
}

std::optional<QString> SourceIdentity::detail() const
{
    if (sourceURL)
        return QStringLiteral("Web \u00B7 ") + appName;
    if (filePath)
        return QStringLiteral("Document \u00B7 ") + appName;
    return std::nullopt;
}

bool operator==(const SourceIdentity& a, const SourceIdentity& b)
{
    using namespace RecordEquality;
    return same(a.identifier, b.identifier) && same(a.appName, b.appName) && same(a.bundleID, b.bundleID)
        && sameAddress(a.sourceURL, b.sourceURL) && same(a.filePath, b.filePath);
}

bool operator<(const SourceIdentity& a, const SourceIdentity& b)
{
    return CaseInsensitiveCollation::compareInCurrentLocale(a.display(), b.display()) < 0;
}

size_t qHash(const SourceIdentity& i, size_t seed)
{
    return RecordEquality::combine(seed, i.identifier, i.appName, i.bundleID, i.sourceURL, i.filePath);
}

} // namespace vellicord
