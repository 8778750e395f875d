#include "platform/PasteboardType.h"

#include <QStringDecoder>

#include <array>

namespace vellicord::PasteboardTypes {

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
        if (targets(type).contains(target))
            return type;
    }
    return std::nullopt;
}

bool isMeta(const QString& target)
{
    static const QStringList meta{QStringLiteral("TARGETS"),      QStringLiteral("TIMESTAMP"),
                                  QStringLiteral("MULTIPLE"),     QStringLiteral("SAVE_TARGETS"),
                                  QStringLiteral("DELETE"),       QStringLiteral("INSERT_SELECTION"),
                                  QStringLiteral("INSERT_PROPERTY"), QStringLiteral("_QT_SELECTION")};
    return meta.contains(target);
}

QByteArray asUtf8(PasteboardType type, const QByteArray& data)
{
    if (type != PasteboardType::html || data.size() < 2)
        return data;
    const auto first = static_cast<unsigned char>(data[0]);
    const auto second = static_cast<unsigned char>(data[1]);
    QStringDecoder::Encoding encoding;
    if (first == 0xFF && second == 0xFE)
        encoding = QStringDecoder::Utf16LE;
    else if (first == 0xFE && second == 0xFF)
        encoding = QStringDecoder::Utf16BE;
    else
        return data;
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    const QString text = decoder(data.mid(2));
    return text.toUtf8();
}

} // namespace vellicord::PasteboardTypes
