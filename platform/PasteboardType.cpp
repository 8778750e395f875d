#include "platform/PasteboardType.h"

#include "platform/CompoundText.h"
#include "platform/Pasteboard.h"

#include <QStringDecoder>

#include <array>

namespace vellicord::PasteboardTypes {

namespace {

// "text/plain;charset=NAME", in any letter case, with blanks, the name perhaps quoted: the name.
std::optional<QByteArray> plainCharset(QStringView target)
{
    auto after = [&](QStringView word) {
        target = target.trimmed();
        if (!target.startsWith(word, Qt::CaseInsensitive))
            return false;
        target = target.sliced(word.size()).trimmed();
        return true;
    };
    if (!after(u"text/plain") || !after(u";") || !after(u"charset") || !after(u"="))
        return std::nullopt;
    if (target.size() >= 2 && target.startsWith(u'"') && target.endsWith(u'"'))
        target = target.sliced(1, target.size() - 2);
    if (target.isEmpty())
        return std::nullopt;
    return target.toLatin1();
}

// The charset an HTML document declares in a meta element within its first 1024 bytes, where
// browsers look for it: <meta charset="NAME"> or <meta content="text/html; charset=NAME">.
std::optional<QByteArray> declaredCharset(const QByteArray& html)
{
    const QByteArray head = html.first(std::min<qsizetype>(html.size(), 1024)).toLower();
    for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
        const qsizetype end = head.indexOf('>', meta);
        const QByteArrayView tag = QByteArrayView(head).sliced(meta, (end < 0 ? head.size() : end) - meta);
        for (qsizetype at = tag.indexOf("charset"); at >= 0; at = tag.indexOf("charset", at + 7)) {
            qsizetype i = at + 7;
            auto skipBlanks = [&] {
                while (i < tag.size() && QChar::isSpace(uchar(tag[i])))
                    ++i;
            };
            skipBlanks();
            if (i >= tag.size() || tag[i] != '=')
                continue;
            ++i;
            skipBlanks();
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\''))
                ++i;
            const qsizetype start = i;
            while (i < tag.size() && !QByteArrayView("\"'; /").contains(tag[i]) && !QChar::isSpace(uchar(tag[i])))
                ++i;
            if (i > start)
                return tag.sliced(start, i - start).toByteArray();
        }
    }
    return std::nullopt;
}

// A decoder that keeps state, so that a character whose bytes did not all arrive is held back.
std::optional<QByteArray> decoded(const char* charset, const QByteArray& data)
{
    QStringDecoder decoder(charset);
    if (!decoder.isValid())
        return std::nullopt;
    const QString text = decoder(data);
    return text.toUtf8();
}

// What arrived of a transfer cut short may end inside a character: that is no error here.
bool isUtf8(const QByteArray& data)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = decoder(data);
    return !decoder.hasError();
}

std::optional<QByteArray> htmlAsUtf8(const QByteArray& data)
{
    if (data.startsWith("\xff\xfe") || data.startsWith("\xfe\xff"))
        return decoded("UTF-16", data);
    const std::optional<QByteArray> charset = declaredCharset(data);
    // Bytes in which a meta element can be read are not UTF-16, whatever it says: browsers read a
    // page that declares UTF-16 so as UTF-8.
    static const QByteArrayList utf{"utf-8", "utf8", "unicode", "utf-16", "utf-16le", "utf-16be"};
    if (charset && utf.contains(*charset))
        return data;
    if (charset) {
        if (std::optional<QByteArray> text = decoded(charset->constData(), data))
            return text;
    }
    if (isUtf8(data))
        return data;
    return std::nullopt;
}

} // namespace

QStringList targets(PasteboardType type)
{
    switch (type) {
    case PasteboardType::string:
        return {QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain;charset=utf-8")};
    case PasteboardType::tabularText:
        return {QStringLiteral("text/tab-separated-values")};
    case PasteboardType::html:
        return {QStringLiteral("text/html")};
    case PasteboardType::rtf:
        return {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")};
    case PasteboardType::rtfd:
        return {};
    case PasteboardType::pdf:
        return {QStringLiteral("application/pdf")};
    case PasteboardType::png:
        return {QStringLiteral("image/png")};
    case PasteboardType::tiff:
        return {QStringLiteral("image/tiff")};
    case PasteboardType::url:
        return {QStringLiteral("text/x-moz-url")};
    case PasteboardType::fileURL:
        return {QStringLiteral("text/uri-list")};
    }
    return {};
}

std::optional<PasteboardType> kind(const QString& target)
{
    static constexpr std::array all{PasteboardType::string, PasteboardType::tabularText, PasteboardType::html,
                                    PasteboardType::rtf,    PasteboardType::rtfd,        PasteboardType::pdf,
                                    PasteboardType::png,    PasteboardType::tiff,        PasteboardType::url,
                                    PasteboardType::fileURL};
    for (PasteboardType type : all) {
        if (!readOrder(type, {target}).isEmpty())
            return type;
    }
    return std::nullopt;
}

QStringList readOrder(PasteboardType type, const QStringList& offered)
{
    QStringList order;
    for (const QString& target : targets(type)) {
        if (offered.contains(target))
            order.append(target);
    }
    if (type != PasteboardType::string)
        return order;
    for (const QString& target : offered) {
        if (!order.contains(target) && plainCharset(target))
            order.append(target);
    }
    for (const QString& target :
         {QStringLiteral("COMPOUND_TEXT"), QStringLiteral("text/plain"), QStringLiteral("STRING")}) {
        if (offered.contains(target))
            order.append(target);
    }
    return order;
}

bool isMeta(const QString& target)
{
    static const QStringList meta{QStringLiteral("TARGETS"),         QStringLiteral("TIMESTAMP"),
                                  QStringLiteral("MULTIPLE"),        QStringLiteral("SAVE_TARGETS"),
                                  QStringLiteral("DELETE"),          QStringLiteral("INSERT_SELECTION"),
                                  QStringLiteral("INSERT_PROPERTY"), QStringLiteral("_QT_SELECTION")};
    return meta.contains(target);
}

std::optional<QByteArray> asUtf8(PasteboardType type, const QString& target, const QByteArray& data)
{
    if (type == PasteboardType::html)
        return htmlAsUtf8(data);
    if (type != PasteboardType::string || targets(type).contains(target))
        return data;
    if (target == u"COMPOUND_TEXT") {
        const std::optional<QString> text = CompoundText::decode(data);
        return text ? std::optional(text->toUtf8()) : std::nullopt;
    }
    if (const std::optional<QByteArray> charset = plainCharset(target))
        return decoded(charset->constData(), data);
    // text/plain and STRING (Latin-1 by its definition, but often UTF-8 in practice).
    if (isUtf8(data))
        return data;
    return QString::fromLatin1(data).toUtf8();
}

PasteboardData read(PasteboardType type, const QStringList& offered,
                    const std::function<PasteboardData(const QString& target)>& convert)
{
    PasteboardData result;
    for (const QString& target : readOrder(type, offered)) {
        PasteboardData data = convert(target);
        if (data.status != PasteboardData::Status::ok && data.status != PasteboardData::Status::partial)
            continue;
        if (std::optional<QByteArray> utf8 = asUtf8(type, target, data.bytes))
            return {data.status, std::move(*utf8)};
        result.status = PasteboardData::Status::unreadable;
    }
    return result;
}

} // namespace vellicord::PasteboardTypes
