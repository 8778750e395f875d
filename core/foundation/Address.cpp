#include "core/foundation/Address.h"

namespace vellicord::Address {

namespace {

bool isHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isAllowed(char16_t c)
{
    if (c <= 0x20 || c >= 0x7F)
        return false;
    switch (c) {
    case u'"': case u'<': case u'>': case u'\\': case u'^': case u'`': case u'{': case u'|': case u'}':
        return false;
    default:
        return true;
    }
}

template <typename At>
bool check(qsizetype size, At at)
{
    if (size == 0)
        return false;
    bool seenFragment = false;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = at(i);
        if (!isAllowed(c))
            return false;
        if (c == u'%') {
            if (i + 2 >= size)
                return false;
            if (!isHex(at(i + 1)) || !isHex(at(i + 2)))
                return false;
            i += 2;
        } else if (c == u'#') {
            if (seenFragment)
                return false;
            seenFragment = true;
        }
    }
    return true;
}

} // namespace

bool isValid(QStringView text)
{
    return check(text.size(), [&](qsizetype i) { return text[i].unicode(); });
}

bool isValid(std::string_view utf8)
{
    return check(qsizetype(utf8.size()), [&](qsizetype i) { return char16_t(uchar(utf8[size_t(i)])); });
}

DocumentKind documentKind(QStringView address)
{
    if (address.startsWith(u"http://", Qt::CaseInsensitive) || address.startsWith(u"https://", Qt::CaseInsensitive))
        return DocumentKind::webPage;
    if (address.startsWith(u"file:", Qt::CaseInsensitive) || address.startsWith(u'/'))
        return DocumentKind::localFile;
    return DocumentKind::other;
}

} // namespace vellicord::Address
