#include "core/composition/TextImport.h"

#include "core/foundation/Text.h"

#include <vector>

namespace vellicord::TextImport {

namespace {

// Line ends made uniform and runs of blank lines cut down to one.
QString normalizedLineEnds(const QString& text)
{
    QString result;
    result.reserve(text.size());
    int pendingBreaks = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < n && text[i + 1] == u'\n')
                ++i;
            c = u'\n';
        }
        if (c == u'\n') {
            ++pendingBreaks;
            continue;
        }
        // Repeatedly replacing three line feeds by two leaves two of any longer run.
        result += QString(qMin(pendingBreaks, 2), u'\n');
        pendingBreaks = 0;
        result += c;
    }
    result += QString(qMin(pendingBreaks, 2), u'\n');
    return result;
}

// A long line cut between words; a word longer than the limit is cut on its own. Words are
// separated by spaces that are characters of their own, so the counts of words and spaces add up.
QStringList splitLongLine(const QString& line, qsizetype lineLength, qsizetype maxLength)
{
    if (lineLength <= maxLength)
        return {line};
    const std::vector<qsizetype> ends = Text::graphemeEnds(line);
    QStringList result;
    QString current;
    qsizetype currentLength = 0;
    auto flush = [&] {
        if (!current.isEmpty())
            result.push_back(current);
        current.clear();
        currentLength = 0;
    };

    size_t g = 0; // next character
    qsizetype wordStart = 0;
    while (true) {
        // The word: characters up to the next lone space or the end of the line.
        const size_t firstCharacter = g;
        while (g < ends.size()) {
            const qsizetype start = g == 0 ? 0 : ends[g - 1];
            if (ends[g] - start == 1 && line[start] == u' ')
                break;
            ++g;
        }
        const qsizetype wordEnd = g == 0 ? 0 : ends[g - 1];
        qsizetype wordLength = qsizetype(g - firstCharacter);
        qsizetype wordFrom = wordStart;
        size_t wordFirst = firstCharacter;

        if (!current.isEmpty() && currentLength + wordLength + 1 > maxLength)
            flush();
        while (wordLength > maxLength) {
            flush();
            const qsizetype cut = ends[wordFirst + size_t(maxLength) - 1];
            result.push_back(line.mid(wordFrom, cut - wordFrom));
            wordFrom = cut;
            wordFirst += size_t(maxLength);
            wordLength -= maxLength;
        }
        if (!current.isEmpty()) {
            current += u' ';
            ++currentLength;
        }
        current += QStringView(line).sliced(wordFrom, wordEnd - wordFrom);
        currentLength += wordLength;

        if (g >= ends.size())
            break;
        ++g; // the space
        wordStart = ends[g - 1];
    }
    flush();
    result.removeAll(QString());
    return result;
}

QStringList splitBlock(const QString& block, qsizetype maxLength)
{
    // A text never has more characters than UTF-16 code units.
    if (block.size() <= maxLength || Text::graphemeCount(block) <= maxLength)
        return {block};
    QStringList result;
    QString current;
    qsizetype currentLength = 0;
    for (const QString& line : block.split(u'\n')) {
        const qsizetype lineLength = Text::graphemeCount(line);
        if (lineLength <= maxLength) {
            if (!current.isEmpty() && currentLength + lineLength + 1 > maxLength) {
                result.push_back(current);
                current.clear();
                currentLength = 0;
            }
            if (!current.isEmpty()) {
                current += u'\n';
                ++currentLength;
            }
            current += line;
            currentLength += lineLength;
        } else {
            if (!current.isEmpty()) {
                result.push_back(current);
                current.clear();
                currentLength = 0;
            }
            result += splitLongLine(line, lineLength, maxLength);
        }
    }
    if (!current.isEmpty())
        result.push_back(current);
    return result;
}

} // namespace

QStringList chunks(const QString& text, qsizetype maxLength)
{
    // A limit below 1 would never let a long word shrink.
    maxLength = qMax<qsizetype>(maxLength, 1);
    QStringList result;
    for (const QString& piece : normalizedLineEnds(text).split(QStringLiteral("\n\n"))) {
        const QString block = Text::trimmed(piece);
        if (!block.isEmpty())
            result += splitBlock(block, maxLength);
    }
    return result;
}

} // namespace vellicord::TextImport
