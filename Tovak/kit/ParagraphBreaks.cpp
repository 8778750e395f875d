#include "Tovak/kit/ParagraphBreaks.h"

#include <algorithm>

namespace vellicord {

namespace {

// Where a line may break depends on the characters around the place, seldom on more than a few:
// this many on either side of what a line looks at are read with it.
constexpr qsizetype breakContext = 32;
// How far ahead of a line its paragraph's breaks are read at once, for the lines after it.
constexpr qsizetype readAhead = 8192;
// Qt shapes and analyses a run of one script in pieces of at most this many characters.
constexpr qsizetype pieceLength = 4096;
// A piece of Thai this short costs the dictionary little: it is asked as soon as a line looks at it.
constexpr qsizetype shortPiece = 256;

struct CodePoint {
    char32_t value;
    qsizetype size;
};

CodePoint codePointAt(const QString& text, qsizetype at)
{
    const QChar c = text.at(at);
    if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text.at(at + 1)), 2};
    return {c.unicode(), 1};
}

bool isMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

bool inThaiBlock(char32_t c)
{
    return c >= 0x0e00 && c <= 0x0e7f;
}

qsizetype findThaiBlock(const QString& text, qsizetype from)
{
    return std::find_if(text.begin() + from, text.end(), [](QChar c) { return inThaiBlock(c.unicode()); })
        - text.begin();
}

// Whether the character at the position goes on with a run of Thai: Thai, a character common to
// scripts, or a mark.
bool goesOnWithThai(const QString& text, qsizetype at)
{
    const char16_t c = text.at(at).unicode();
    if (c < 0x80)
        return !((c | 0x20) >= u'a' && (c | 0x20) <= u'z');
    if (inThaiBlock(c))
        return true;
    const char32_t value = codePointAt(text, at).value;
    const QChar::Script script = QChar::script(value);
    return script == QChar::Script_Thai || script <= QChar::Script_Common || isMark(value);
}

// A character the layout takes as a word's end: a space one may break at, or an embedded object.
bool endsWord(QChar c)
{
    // No space comes between the no-break space and the Ogham space mark.
    if (c.unicode() > 0xa0 && c.unicode() < 0x1680)
        return false;
    return (c.isSpace() && c.decompositionTag() != QChar::NoBreak) || c == QChar::ObjectReplacementCharacter;
}

// What the line-breaking rules make of a Thai character without the dictionary: a letter, a mark
// on the letter before it, a digit, or a sign after which a line may break.
QChar undictionaried(QChar c)
{
    if (c.unicode() == 0x0e5a || c.unicode() == 0x0e5b)
        return u'|';
    switch (c.category()) {
    case QChar::Number_DecimalDigit: return u'0';
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing: return QChar(0x0300);
    default: return u'a';
    }
}

} // namespace

ParagraphBreaks::ParagraphBreaks(const QString& text, const QTextOption& option)
    : text_(text)
{
    findThai(option);
    cursor_ = pieces_.begin();
}

// The runs of Thai are found as Qt finds the runs of each script: a run takes in the common
// characters before it at the paragraph's start, and the common characters and marks after it up to
// a letter of another script; a Thai mark over another script's letter is that script's.
void ParagraphBreaks::findThai(const QTextOption& option)
{
    const qsizetype size = text_.size();
    qsizetype at = findThaiBlock(text_, 0);
    if (at == size)
        return;
    qsizetype firstScripted = 0;
    while (firstScripted < size && QChar::script(codePointAt(text_, firstScripted).value) <= QChar::Script_Common)
        firstScripted += codePointAt(text_, firstScripted).size;
    while (at < size) {
        const CodePoint c = codePointAt(text_, at);
        if (QChar::script(c.value) != QChar::Script_Thai || (at > firstScripted && isMark(c.value))) {
            at = findThaiBlock(text_, at + 1);
            continue;
        }
        const qsizetype start = at <= firstScripted ? 0 : at;
        qsizetype end = at + c.size;
        while (end < size && goesOnWithThai(text_, end))
            end += codePointAt(text_, end).size;
        addPieces(start, end, option);
        at = findThaiBlock(text_, end);
    }
}

// Qt cuts a run into pieces every so many characters, and around a tab, a line separator or an
// object, which it lays out on their own. It also cuts a run where the direction of the text
// changes, which is never between two Thai letters, and where the character format changes: only a
// Thai word bold or linked from its middle on comes out otherwise, and a line that ends in it right
// after a run too long for a line may then break a few letters from where Qt breaks it.
void ParagraphBreaks::addPieces(qsizetype start, qsizetype end, const QTextOption& option)
{
    const bool spacesApart = option.flags() & QTextOption::ShowTabsAndSpaces;
    const auto close = [&](qsizetype from, qsizetype to) {
        if (to > from)
            pieces_.push_back({from, to, Piece::State::unasked});
    };
    qsizetype from = start;
    for (qsizetype at = start; at < end; ++at) {
        const char16_t c = text_.at(at).unicode();
        if (c == u'\t' || c == QChar::LineSeparator || c == QChar::ObjectReplacementCharacter
            || (spacesApart && (c == u' ' || c == QChar::Nbsp))) {
            close(from, at);
            from = at + 1;
        } else if (at - from >= pieceLength) {
            close(from, at);
            from = at;
        }
    }
    close(from, end);
}

std::vector<ParagraphBreaks::Piece>::iterator ParagraphBreaks::pieceFrom(qsizetype at)
{
    // Lines ask in order: the piece is mostly the one asked for last.
    if (cursor_ != pieces_.end() && cursor_->start <= at && at < cursor_->end)
        return cursor_;
    cursor_ = std::upper_bound(pieces_.begin(), pieces_.end(), at,
                               [](qsizetype position, const Piece& piece) { return position < piece.end; });
    return cursor_;
}

ParagraphBreaks::Found ParagraphBreaks::within(qsizetype from, qsizetype to)
{
    return within(from, to, false);
}

ParagraphBreaks::Found ParagraphBreaks::within(qsizetype from, qsizetype to, bool askAll)
{
    const qsizetype size = text_.size();
    to = std::min(to, size);
    if (from >= to)
        return Found::none;
    if (to == size)
        return Found::some;
    bool unknown = false;
    for (qsizetype at = from + 1; at <= to;) {
        const auto piece = pieceFrom(at);
        const bool inPiece = piece != pieces_.end() && piece->start <= at;
        const qsizetype last
            = std::min(to, inPiece ? piece->end - 1 : (piece == pieces_.end() ? size : piece->start) - 1);
        for (qsizetype i = at; i <= last; ++i) {
            if (endsWord(text_.at(i)) || text_.at(i - 1) == QChar::ObjectReplacementCharacter)
                return Found::some;
        }
        if (!inPiece) {
            if (ruleBreakIn(at, last))
                return Found::some;
        } else if (piece->state == Piece::State::untold) {
            return Found::some;
        } else if (last > piece->start) {
            // No word ends where a piece starts: Qt's dictionary reads each piece on its own.
            if (piece->state == Piece::State::unasked && (askAll || piece->end - piece->start <= shortPiece))
                ask(*piece);
            if (piece->state == Piece::State::untold)
                return Found::some;
            if (piece->state == Piece::State::unasked)
                unknown = true;
            else if (std::find(thaiBreaks_.begin() + std::max(at, piece->start + 1), thaiBreaks_.begin() + last + 1,
                               true)
                     != thaiBreaks_.begin() + last + 1)
                return Found::some;
        }
        at = last + 1;
    }
    return unknown ? Found::unknown : Found::none;
}

void ParagraphBreaks::readFar(qsizetype from, qsizetype to)
{
    const bool lineBeforeToo = from == readFarTo_;
    readFarTo_ = to;
    if (!lineBeforeToo || within(from, to, true) != Found::none)
        return;
    for (qsizetype at = to; at < text_.size();) {
        const qsizetype next = std::min(text_.size(), at + readAhead);
        if (within(at, next, true) != Found::none)
            return;
        at = next;
    }
}

// The dictionary reads the piece as Qt gives it; Qt's boundary finder gives it the piece when the
// piece's first letter of any script is Thai. A piece of no letter at all (digits, signs, emoji
// after a tab, or thousands of them after a Thai letter) goes to it with a Thai letter after it,
// which it reads after all the rest. A piece that starts with a mark of another script it would
// read otherwise: there only Qt's own rule can tell.
void ParagraphBreaks::ask(Piece& piece)
{
    QString part = text_.mid(piece.start, piece.end - piece.start);
    QChar::Script script = QChar::Script_Common;
    for (qsizetype i = 0; i < part.size() && script <= QChar::Script_Common;) {
        const CodePoint c = codePointAt(part, i);
        script = QChar::script(c.value);
        i += c.size;
    }
    if (script <= QChar::Script_Common)
        part.append(QChar(0x0e01));
    else if (script != QChar::Script_Thai) {
        piece.state = Piece::State::untold;
        return;
    }
    if (thaiBreaks_.empty())
        thaiBreaks_.resize(std::size_t(text_.size()));
    wordsBuffer_.resize(std::size_t(part.size()) + 1);
    QTextBoundaryFinder words(QTextBoundaryFinder::Line, part.constData(), part.size(), wordsBuffer_.data(),
                              qsizetype(wordsBuffer_.size()));
    for (qsizetype i = 1; i < piece.end - piece.start; ++i) {
        words.setPosition(i);
        thaiBreaks_[std::size_t(piece.start + i)] = words.isAtBoundary();
    }
    piece.state = Piece::State::asked;
}

bool ParagraphBreaks::ruleBreakIn(qsizetype from, qsizetype to)
{
    const qsizetype first = std::max<qsizetype>(0, from - breakContext);
    const qsizetype last = std::min(text_.size(), to + breakContext);
    if (!rules_ || first < readFrom_ || last > readTo_)
        read(first, last);
    for (qsizetype at = from; at <= to; ++at) {
        rules_->setPosition(at - readFrom_);
        if (rules_->isAtBoundary())
            return true;
    }
    return false;
}

void ParagraphBreaks::read(qsizetype first, qsizetype last)
{
    rules_.reset();
    readFrom_ = first;
    readTo_ = std::min(text_.size(), std::max(last, first + readAhead));
    read_ = text_.mid(first, readTo_ - first);
    for (QChar& c : read_) {
        if (inThaiBlock(c.unicode()) && c.script() == QChar::Script_Thai)
            c = undictionaried(c);
    }
    rulesBuffer_.resize(std::size_t(read_.size()) + 1);
    rules_.emplace(QTextBoundaryFinder::Line, read_.constData(), read_.size(), rulesBuffer_.data(),
                   qsizetype(rulesBuffer_.size()));
}

} // namespace vellicord
