#include "core/library/Selection.h"

#include "core/foundation/Text.h"
#include "core/library/RecordEquality.h"
#include "core/library/SourceIdentity.h"

#include <cstring>

namespace vellicord {

Selection::Selection(QUuid id, Utf8Text text, std::optional<Utf8Text> markdown, QString appName,
                     std::optional<QString> bundleID, std::optional<QString> sourceURL,
                     std::optional<QString> sourceTitle, std::optional<QString> filePath,
                     QList<QUuid> groupIDs, QDateTime createdAt)
    : id(id)
    , text(text)
    , markdown(markdown && *markdown != text ? std::move(*markdown) : text)
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

namespace {

// The headline's first characters, at most `limit` UTF-16 units of them, of a text in UTF-16.
QString headlineOf(const QString& text, qsizetype limit)
{
    // QString::trimmed() trims the characters QChar::isSpace() names; so does this.
    const auto isSpaceFrom = [&text](qsizetype from) {
        while (from < text.size() && text.at(from).isSpace())
            ++from;
        return from;
    };
    const qsizetype start = isSpaceFrom(0);
    const qsizetype window = std::min(text.size(), start + limit);
    const qsizetype lineEnd = QStringView(text).mid(start, window - start).indexOf(QChar(u'\n'));
    qsizetype end = lineEnd >= 0 ? start + lineEnd : window;
    // Where only white space follows, the headline's line is the text's last, and loses its trailing
    // white space as the whole text is trimmed (also where the limit falls within that space).
    if (isSpaceFrom(end) == text.size()) {
        while (end > start && text.at(end - 1).isSpace())
            --end;
    }
    return text.mid(start, end - start);
}

// The same of a text in UTF-8, reading only its start: the spaces before it, the characters the
// limit lets through and, after them, as far as the next character that is not a space.
QString headlineOf(std::string_view utf8, qsizetype limit)
{
    const char* const begin = utf8.data();
    const char* const end = begin + utf8.size();
    // Where the first character that is not a space starts, from `p` on.
    const auto spacesFrom = [end](const char* p) {
        while (p < end) {
            const char* at = p;
            if (!QChar::isSpace(Utf8Text::next(p)))
                return at;
        }
        return end;
    };
    const char* const start = spacesFrom(begin);
    const char* windowEnd = start;
    qsizetype units = 0;
    while (windowEnd < end && units < limit)
        units += Utf8Text::next(windowEnd) >= 0x10000 ? 2 : 1;
    // A limit that falls within a character beyond the first plane keeps its first unit, as
    // the UTF-16 text cut there would.
    QString window = QString::fromUtf8(start, windowEnd - start);
    const bool cut = units > limit;
    window.truncate(limit);
    const qsizetype lineEnd = window.indexOf(QChar(u'\n'));
    qsizetype last = lineEnd >= 0 ? lineEnd : window.size();
    const bool lastLine = lineEnd >= 0
        ? spacesFrom(static_cast<const char*>(std::memchr(start, '\n', size_t(windowEnd - start)))) == end
        : !cut && spacesFrom(windowEnd) == end;
    if (lastLine) {
        while (last > 0 && window.at(last - 1).isSpace())
            --last;
    }
    window.truncate(last);
    return window;
}

} // namespace

QString Selection::headline(qsizetype limit) const
{
    return text.isUtf8() ? headlineOf(text.utf8(), limit) : headlineOf(text.toString(), limit);
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
