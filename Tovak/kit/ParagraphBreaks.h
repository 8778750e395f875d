#pragma once

#include <QString>
#include <QTextBoundaryFinder>
#include <QTextOption>

#include <optional>
#include <vector>

namespace vellicord {

// Where Qt's layout may end a line in one long paragraph: at a space, where the line-breaking rules
// allow it, and inside Thai, which is written without spaces, where Qt's Thai dictionary finds a
// word's end. The rules are read a stretch at a time as the lines ask. Qt gives its dictionary the
// paragraph's Thai in pieces, and the dictionary takes a good part of the time a paragraph of Thai
// takes to lay out, so a piece is given to it a second time only when it is short or when nothing
// else can tell a line where to end: until then, a word's end in it is unknown.
class ParagraphBreaks {
public:
    enum class Found { none, some, unknown };

    // The text as its layout lays it out, with the layout's option.
    ParagraphBreaks(const QString& text, const QTextOption& option);
    ParagraphBreaks(const ParagraphBreaks&) = delete;
    ParagraphBreaks& operator=(const ParagraphBreaks&) = delete;

    // Whether a word ends at a position of (from, to], so that a line may break there, or the text
    // ends there. Asks the dictionary only for short pieces of Thai.
    Found within(qsizetype from, qsizetype to);
    // Qt laid out a line from `from` to `to` by its own rule, and read far ahead to do so: for the
    // end of a word too long for the line, or of the word after the line. Where the line before did
    // the same, the word is long: the dictionary is asked for the Thai as far as it goes, which Qt
    // has just read, so that the lines after know where it ends rather than have Qt read it again
    // for each. (Qt reads far once in a while without that: the first time it reads a piece of the
    // text, it measures the piece whole.)
    void readFar(qsizetype from, qsizetype to);

private:
    // A piece of a run of Thai as Qt gives it to the dictionary: Thai, and the characters common to
    // scripts and marks among and after it.
    struct Piece {
        qsizetype start;
        qsizetype end;
        enum class State : char { unasked, asked, untold } state;
    };

    Found within(qsizetype from, qsizetype to, bool askAll);
    void findThai(const QTextOption& option);
    void addPieces(qsizetype start, qsizetype end, const QTextOption& option);
    // The piece holding the position, or the first after it.
    std::vector<Piece>::iterator pieceFrom(qsizetype at);
    void ask(Piece& piece);
    // Whether the rules break at a position of [from, to], outside the Thai.
    bool ruleBreakIn(qsizetype from, qsizetype to);
    void read(qsizetype first, qsizetype last);

    const QString& text_;
    std::vector<Piece> pieces_;
    std::vector<Piece>::iterator cursor_;
    // Where the dictionary found words in the pieces it was asked for.
    std::vector<bool> thaiBreaks_;
    std::vector<unsigned char> wordsBuffer_;
    // The rules' breaks from readFrom_ up to readTo_, read with the Thai in it taken for letters and
    // marks of no dictionary, which is what the rules make of it outside the pieces.
    QString read_;
    std::optional<QTextBoundaryFinder> rules_;
    std::vector<unsigned char> rulesBuffer_;
    qsizetype readFrom_ = 0;
    qsizetype readTo_ = 0;
    // Where the last line that read far ended.
    qsizetype readFarTo_ = -1;
};

} // namespace vellicord
