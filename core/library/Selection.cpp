#include "core/library/Selection.h"

#include "core/foundation/Text.h"
#include "core/library/RecordEquality.h"
#include "core/library/SourceIdentity.h"

namespace vellicord {

Selection::Selection(QUuid id, QString text, std::optional<QString> markdown, QString appName,
                     std::optional<QString> bundleID, std::optional<QString> sourceURL,
                     std::optional<QString> sourceTitle, std::optional<QString> filePath,
                     QList<QUuid> groupIDs, QDateTime createdAt)
    : id(id)
    , text(text)
    , markdown(markdown ? *markdown : text)
    , appName(std::move(appName))
    , bundleID(std::move(bundleID))
    , sourceURL(std::move(sourceURL))
    , sourceTitle(std::move(sourceTitle))
    , filePath(std::move(filePath))
    , groupIDs(std::move(groupIDs))
    , createdAt(std::move(createdAt))
{
}

QString Selection::headline() const
{
    const QString trimmedText = Text::trimmed(text);
    const qsizetype lineEnd = trimmedText.indexOf(QChar(u'\n'));
    return lineEnd < 0 ? trimmedText : trimmedText.left(lineEnd);
}

QString Selection::headline(qsizetype limit) const
{
    // QString::trimmed() trims the characters QChar::isSpace() names; so does this.
    const auto isSpaceFrom = [this](qsizetype from) {
        while (from < text.size() && text.at(from).isSpace())
            ++from;
        return from;
    };
    const qsizetype start = isSpaceFrom(0);
    const qsizetype window = std::min(text.size(), start + limit);
    const qsizetype lineEnd = QStringView(text).mid(start, window - start).indexOf(QChar(u'\n'));
    qsizetype end = lineEnd >= 0 ? start + lineEnd : window;
    // The last line of the text loses its trailing white space, as the whole text is trimmed.
    if (end == text.size() || (lineEnd >= 0 && isSpaceFrom(end) == text.size())) {
        while (end > start && text.at(end - 1).isSpace())
            --end;
    }
    return text.mid(start, end - start);
}

std::optional<QString> Selection::sourceLabel() const
{
    if (sourceTitle) {
        QString title = Text::trimmed(*sourceTitle);
        if (!title.isEmpty())
            return title;
    }
    if (sourceURL)
        return sourceURL;
    return filePath;
}

std::optional<QString> Selection::sourceDetail() const
{
    return sourceURL ? sourceURL : filePath;
}

SourceIdentity Selection::sourceIdentity() const
{
    return SourceIdentity::from(*this);
}

bool operator==(const Selection& a, const Selection& b)
{
    using namespace RecordEquality;
    return a.id == b.id && same(a.text, b.text) && same(a.markdown, b.markdown) && same(a.appName, b.appName)
        && same(a.bundleID, b.bundleID) && sameAddress(a.sourceURL, b.sourceURL)
        && same(a.sourceTitle, b.sourceTitle) && same(a.filePath, b.filePath) && a.groupIDs == b.groupIDs
        && a.createdAt == b.createdAt;
}

size_t qHash(const Selection& s, size_t seed)
{
    using namespace RecordEquality;
    return combine(seed, s.id, s.text, s.markdown, s.appName, s.bundleID, s.sourceURL, s.sourceTitle, s.filePath,
                   s.groupIDs, s.createdAt);
}

} // namespace vellicord
