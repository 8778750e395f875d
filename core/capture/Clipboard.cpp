#include "core/capture/Clipboard.h"

#include "core/capture/CaptureLog.h"
#include "core/foundation/Text.h"
#include "core/richtext/OfflineHTMLConverter.h"
#include "core/richtext/RtfReader.h"

namespace vellicord::Clipboard {

namespace {

void setData(PasteboardItem& item, const QString& target, const QByteArray& bytes)
{
    for (auto& [existing, data] : item) {
        if (existing == target) {
            data = bytes;
            return;
        }
    }
    item.append({target, bytes});
}

// The clipboard's data of a kind, also what arrived of it; `complete` (where given) tells which.
std::optional<QByteArray> data(Pasteboard& pasteboard, PasteboardType type, bool* complete)
{
    PasteboardData read = pasteboard.dataForType(type);
    if (read.status != PasteboardData::Status::ok && read.status != PasteboardData::Status::partial)
        return std::nullopt;
    if (complete)
        *complete = read.status == PasteboardData::Status::ok;
    return std::move(read.bytes);
}

bool written(bool taken, const QString& what)
{
    if (!taken)
        CaptureLog::app(QStringLiteral("Copy failed: the clipboard did not take the ") + what);
    return taken;
}

} // namespace

PasteboardSnapshot snapshot(Pasteboard& pasteboard)
{
    PasteboardSnapshot result;
    const std::optional<QList<QStringList>> items = pasteboard.itemTargets();
    if (!items) {
        result.complete = false;
        return result;
    }
    for (qsizetype index = 0; index < items->size(); ++index) {
        PasteboardItem item;
        for (const QString& target : items->at(index)) {
            const PasteboardData data = pasteboard.data(int(index), target);
            switch (data.status) {
            case PasteboardData::Status::ok: setData(item, target, data.bytes); break;
            case PasteboardData::Status::refused:
            case PasteboardData::Status::unreadable: break;
            case PasteboardData::Status::partial:
            case PasteboardData::Status::noAnswer: result.complete = false; break;
            }
        }
        if (item.isEmpty())
            result.complete = false;
        result.items.append(item);
    }
    return result;
}

bool restore(const PasteboardSnapshot& snapshot, Pasteboard& pasteboard)
{
    for (const PasteboardItem& item : snapshot.items) {
        if (item.isEmpty())
            return false;
    }
    return pasteboard.write(snapshot.items);
}

qint64 changeCount(Pasteboard& pasteboard)
{
    return pasteboard.changeCount();
}

QStringList availableTypes(Pasteboard& pasteboard)
{
    QStringList types;
    for (const QStringList& item : pasteboard.itemTargets().value_or(QList<QStringList>{}))
        types += item;
    return types;
}

std::optional<QString> string(Pasteboard& pasteboard, PasteboardType type, bool* complete)
{
    bool whole = true;
    const std::optional<QByteArray> bytes = data(pasteboard, type, &whole);
    if (!bytes)
        return std::nullopt;
    if (complete)
        *complete = whole;
    return whole ? QString::fromUtf8(*bytes) : Text::fromUtf8Prefix(*bytes);
}

std::optional<QString> plainText(Pasteboard& pasteboard, bool* complete)
{
    if (std::optional<QString> text = string(pasteboard, PasteboardType::string, complete))
        return text;
    return string(pasteboard, PasteboardType::tabularText, complete);
}

bool hasUnreadableText(Pasteboard& pasteboard)
{
    return pasteboard.dataForType(PasteboardType::string).status == PasteboardData::Status::unreadable
        || pasteboard.dataForType(PasteboardType::html).status == PasteboardData::Status::unreadable;
}

std::optional<AttributedText> attributedString(const QByteArray& html)
{
    return OfflineHTMLConverter::convert(html);
}

std::optional<AttributedText> richAttributedString(Pasteboard& pasteboard, bool* complete)
{
    if (const std::optional<QByteArray> html = htmlData(pasteboard, complete)) {
        if (std::optional<AttributedText> text = attributedString(*html))
            return text;
    }
    if (const std::optional<QByteArray> rtf = data(pasteboard, PasteboardType::rtf, complete))
        return RtfReader::read(*rtf);
    return std::nullopt;
}

std::optional<QByteArray> htmlData(Pasteboard& pasteboard, bool* complete)
{
    return data(pasteboard, PasteboardType::html, complete);
}

std::optional<QString> htmlTitle(Pasteboard& pasteboard)
{
    const std::optional<QByteArray> data = htmlData(pasteboard);
    if (!data || data->size() > maxTitleHTMLBytes)
        return std::nullopt;
    QString text = QString::fromUtf8(*data);
    if (text.toUtf8() != *data)
        return std::nullopt;
    return parsePageTitle(text);
}

std::optional<QString> parsePageTitle(const QString& html)
{
    // A UTF-16 code unit takes at most three bytes in UTF-8, so short texts need no encoding.
    if (html.size() * 3 > maxTitleHTMLBytes && html.toUtf8().size() > maxTitleHTMLBytes)
        return std::nullopt;
    const qsizetype open = html.indexOf(u"<title", 0, Qt::CaseInsensitive);
    if (open < 0)
        return std::nullopt;
    const qsizetype openEnd = html.indexOf(u'>', open);
    if (openEnd < 0)
        return std::nullopt;
    const qsizetype close = html.indexOf(u"</title", openEnd + 1, Qt::CaseInsensitive);
    if (close < 0)
        return std::nullopt;
    QString title = html.mid(openEnd + 1, close - openEnd - 1);

    // In turn, "&amp;" first: pages that escape their title twice ("&amp;lt;") still show "<".
    QString decoded = std::move(title);
    using Entity = std::pair<QLatin1StringView, QLatin1StringView>;
    for (const Entity& entity :
         {Entity{"&amp;", "&"}, Entity{"&lt;", "<"}, Entity{"&gt;", ">"}, Entity{"&quot;", "\""}, Entity{"&#39;", "'"}})
        decoded.replace(entity.first, entity.second);

    QStringList pieces;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= decoded.size(); ++i) {
        const bool space = i == decoded.size() || Text::isWhiteSpace(decoded.at(i).unicode());
        if (space && start >= 0) {
            pieces.append(decoded.mid(start, i - start));
            start = -1;
        } else if (!space && start < 0) {
            start = i;
        }
    }
    QString result = Text::trimmed(pieces.join(u' '));
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

bool writeMarkdown(const MarkdownCopy& copy, Pasteboard& pasteboard)
{
    const QByteArray utf8 = Text::repairingSurrogates(copy.markdown).toUtf8();
    PasteboardItem item{{QStringLiteral("UTF8_STRING"), utf8}, {QStringLiteral("text/plain;charset=utf-8"), utf8}};
    if (!copy.html.isEmpty())
        item.append({QStringLiteral("text/html"), Text::repairingSurrogates(copy.html).toUtf8()});
    return written(pasteboard.write({item}), QStringLiteral("Markdown"));
}

bool writePlain(const QString& text, Pasteboard& pasteboard)
{
    const QByteArray utf8 = Text::repairingSurrogates(text).toUtf8();
    return written(pasteboard.write({PasteboardItem{{QStringLiteral("UTF8_STRING"), utf8},
                                                    {QStringLiteral("text/plain;charset=utf-8"), utf8}}}),
                   QStringLiteral("plain text"));
}

} // namespace vellicord::Clipboard
