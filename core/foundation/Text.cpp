#include "core/foundation/Text.h"

#include <QHash>
#include <QTextBoundaryFinder>

namespace vellicord::Text {

namespace {

// Below U+0300 nothing combines and nothing decomposes to a different NFC form, so such
// text is already in NFC and two of them are equivalent only when identical.
bool isTriviallyNormalized(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x0300)
            return false;
    }
    return true;
}

QString nfc(const QString& text)
{
    return isTriviallyNormalized(text) ? text : text.normalized(QString::NormalizationForm_C);
}

} // namespace

qsizetype graphemeCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    // Fast path: printable ASCII without CR has exactly one character per code unit.
    bool simple = true;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x7F || u == u'\r') {
            simple = false;
            break;
        }
    }
    if (simple)
        return text.size();

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

namespace {

// Scripts and symbols whose code units never join a neighbour: Latin up to the combining marks,
// Greek, Cyrillic letters, general punctuation and currency signs except the two joiners, CJK
// punctuation, kana and ideographs except the kana voicing marks.
bool isSimpleGraphemeUnit(char16_t u)
{
    if (u < 0x0300)
        return true;
    if (u >= 0x0370 && u <= 0x03FF)
        return true;
    if ((u >= 0x0400 && u <= 0x0482) || (u >= 0x048A && u <= 0x052F))
        return true;
    if (u >= 0x2000 && u <= 0x20CF)
        return u != 0x200C && u != 0x200D;
    if (u >= 0x3000 && u <= 0x30FF)
        return !(u >= 0x302A && u <= 0x302F) && u != 0x3099 && u != 0x309A;
    return u >= 0x4E00 && u <= 0x9FFF;
}

} // namespace

bool hasComplexGraphemes(QStringView text)
{
    for (QChar c : text) {
        if (!isSimpleGraphemeUnit(c.unicode()))
            return true;
    }
    return false;
}

QString trimmed(const QString& text)
{
    return text.trimmed();
}

bool isBlank(QStringView text)
{
    for (QChar c : text) {
        if (!isWhiteSpace(c.unicode()))
            return false;
    }
    return true;
}

bool equal(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    if (isTriviallyNormalized(a) && isTriviallyNormalized(b))
        return false;
    return nfc(a) == nfc(b);
}

size_t hash(const QString& text, size_t seed)
{
    return qHash(nfc(text), seed);
}

QString lowercased(const QString& text)
{
    return text.toLower();
}

bool hasLoneSurrogate(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

QString repairingSurrogates(const QString& text)
{
    if (!hasLoneSurrogate(text))
        return text;
    QString out = text;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = out[i];
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && out[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar(0xFFFD);
    }
    return out;
}

} // namespace vellicord::Text
