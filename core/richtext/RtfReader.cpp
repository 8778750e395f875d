#include "core/richtext/RtfReader.h"

#include "core/foundation/Text.h"
#include "core/richtext/OfflineHTMLConverter.h"

#include <QStringDecoder>
#include <QUrl>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vellicord::RtfReader {

namespace {

using Attributes = AttributedText::Attributes;
using Font = AttributedText::Font;
using ListMarkerFormat = AttributedText::ListMarkerFormat;
using TextListRef = AttributedText::TextListRef;

// A list has nine levels (\ilvl 0 to 8), and no paragraph needs more tab stops than this; the
// limits keep a document that repeats these words from costing memory with the square of its size.
constexpr size_t maximumListLevels = 9;
constexpr qsizetype maximumTabStops = 64;

enum class Destination {
    text,
    skip,
    fontTable,
    listTable,
    levelMarker,
    listOverrideTable,
    fieldInstruction,
    fieldResult,
    paragraphNumbering,
};

// An old-style list paragraph ({\pn ...}, as WordPad writes it): its level and marker, and no list
// table behind it.
struct ParagraphNumbering {
    int level = -1; // none until \pnlvlblt, \pnlvlbody or \pnlvlN
    bool bullet = false;
    ListMarkerFormat format = ListMarkerFormat::decimal;
    int64_t start = 1;
};

struct GroupState {
    Destination destination = Destination::text;
    int font = -1;
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false; // \v: text a reader never shows
    bool listText = false; // in {\listtext} or {\pntext}: the item's marker as the writer drew it
    int unicodeSkip = 1;
    int leftIndent = 0; // twips
    int firstLineIndent = 0; // twips, relative to the left indent
    QList<double> tabStops; // points
    int listOverride = 0;
    int listLevel = 0;
    std::optional<ParagraphNumbering> numbering;
    std::optional<AttributedText::Link> link;
    std::optional<AttributedText::Link> fieldLink; // set on a field group once its instruction is read
};

struct FontEntry {
    QString name;
    bool monospace = false;
    int codePage = 0; // 0: the document's
};

struct ListLevel {
    ListMarkerFormat format = ListMarkerFormat::decimal;
    int64_t start = 1;
    bool hasMarkerName = false;
};

int codePageForCharset(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
    }
}

const char* encodingName(int codePage)
{
    switch (codePage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 874: return "windows-874";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 1250: return "windows-1250";
    case 1251: return "windows-1251";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 1258: return "windows-1258";
    case 10000: return "macintosh";
    case 65001: return "UTF-8";
    default: return "windows-1252";
    }
}

ListMarkerFormat formatForNumberType(int nfc)
{
    switch (nfc) {
    case 1: return ListMarkerFormat::uppercaseRoman;
    case 2: return ListMarkerFormat::lowercaseRoman;
    case 3: return ListMarkerFormat::uppercaseAlpha;
    case 4: return ListMarkerFormat::lowercaseAlpha;
    case 23: return ListMarkerFormat::disc;
    case 255: return ListMarkerFormat::disc;
    default: return ListMarkerFormat::decimal;
    }
}

std::optional<ListMarkerFormat> formatForMarkerName(const QString& name)
{
    static const std::map<QString, ListMarkerFormat> names = {
        {"box", ListMarkerFormat::box},
        {"check", ListMarkerFormat::check},
        {"circle", ListMarkerFormat::circle},
        {"diamond", ListMarkerFormat::diamond},
        {"disc", ListMarkerFormat::disc},
        {"hyphen", ListMarkerFormat::hyphen},
        {"square", ListMarkerFormat::square},
        {"lower-hexadecimal", ListMarkerFormat::lowercaseHexadecimal},
        {"upper-hexadecimal", ListMarkerFormat::uppercaseHexadecimal},
        {"octal", ListMarkerFormat::octal},
        {"lower-alpha", ListMarkerFormat::lowercaseAlpha},
        {"upper-alpha", ListMarkerFormat::uppercaseAlpha},
        {"lower-latin", ListMarkerFormat::lowercaseLatin},
        {"upper-latin", ListMarkerFormat::uppercaseLatin},
        {"lower-roman", ListMarkerFormat::lowercaseRoman},
        {"upper-roman", ListMarkerFormat::uppercaseRoman},
        {"decimal", ListMarkerFormat::decimal},
    };
    const auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

// The address of a HYPERLINK field instruction: HYPERLINK, switches, and the address, quoted or not.
std::optional<AttributedText::Link> linkFromInstruction(const QString& instruction)
{
    const QString text = instruction.trimmed();
    if (!text.startsWith(u"HYPERLINK", Qt::CaseInsensitive))
        return std::nullopt;
    QStringView rest = QStringView(text).mid(9).trimmed();
    QString target;
    while (!rest.isEmpty()) {
        if (rest.startsWith(u'\\')) {
            // A switch such as \l "anchor" or \o "tooltip": it and its argument are not the address.
            const qsizetype space = rest.indexOf(u' ');
            rest = space < 0 ? QStringView() : rest.mid(space).trimmed();
            if (rest.startsWith(u'"')) {
                const qsizetype end = rest.indexOf(u'"', 1);
                rest = end < 0 ? QStringView() : rest.mid(end + 1).trimmed();
            }
            continue;
        }
        if (rest.startsWith(u'"')) {
            const qsizetype end = rest.indexOf(u'"', 1);
            target = (end < 0 ? rest.mid(1) : rest.mid(1, end - 1)).toString();
        } else {
            const qsizetype space = rest.indexOf(u' ');
            target = (space < 0 ? rest : rest.left(space)).toString();
        }
        break;
    }
    if (target.isEmpty())
        return std::nullopt;
    // A link of another scheme (javascript:, file:, data: and the like) is refused as the HTML
    // converter refuses it; one without a scheme stays a relative reference.
    const qsizetype colon = target.indexOf(u':');
    if (colon > 0) {
        const QString scheme = target.left(colon);
        bool schemeShaped = scheme[0].isLetter() && scheme[0].unicode() < 128;
        for (QChar c : scheme)
            schemeShaped
                = schemeShaped && c.unicode() < 128 && (c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.');
        if (schemeShaped && !OfflineHTMLConverter::isLinkScheme(scheme))
            return std::nullopt;
    }
    const QUrl url(target, QUrl::StrictMode);
    const bool isAddress = url.isValid() && !url.scheme().isEmpty();
    return AttributedText::Link{isAddress ? AttributedText::Link::Kind::url : AttributedText::Link::Kind::string,
                                target};
}

class Parser {
public:
    Parser(const char* bytes, size_t size)
        : bytes_(bytes)
        , size_(size)
    {
    }

    std::optional<AttributedText> parse();

private:
    bool beginGroup();
    void endGroup();
    void controlWord(std::string_view word, bool hasParameter, int parameter);
    void controlSymbol(char symbol);
    void startDestination(std::string_view word, bool starred);
    void emitText(QStringView text);
    void emitByte(char byte);
    void flushBytes();
    void flushText();
    void endParagraph();
    void applyParagraphStyle(qsizetype end);
    Attributes characterAttributes() const;
    QList<TextListRef> textListsFor(int listOverride, int level);
    QList<TextListRef> numberingListsFor(const std::optional<ParagraphNumbering>& numbering);
    void paragraphNumberingWord(std::string_view word, bool hasParameter, int parameter);
    bool inText() const
    {
        return state_.destination == Destination::text || state_.destination == Destination::fieldResult;
    }

    const char* bytes_;
    size_t size_;
    size_t position_ = 0;
    std::vector<GroupState> stack_;
    GroupState state_;
    bool starPending_ = false;
    bool groupStart_ = false;
    int fallbackToSkip_ = 0;

    AttributedText output_;
    qsizetype paragraphStart_ = 0;
    QString text_; // text not yet appended, all with the attributes of state_
    QByteArray pendingBytes_; // code-page bytes not yet decoded
    int ansiCodePage_ = 1252;
    std::map<int, QStringDecoder> decoders_;

    std::map<int, FontEntry> fonts_;
    int fontEntry_ = -1;
    int defaultFont_ = -1;
    QString fieldInstruction_;
    QString levelMarker_;

    std::vector<ListLevel> currentLevels_;
    size_t levelsInList_ = 0; // \listlevel words of the current list, those past the limit included
    std::map<int, std::vector<ListLevel>> lists_; // by list id
    int overrideListId_ = 0;
    std::map<int, int> overrides_; // list override number to list id
    std::map<int, std::vector<TextListRef>> chains_; // the open lists of each override, by level
    std::vector<TextListRef> numberingChain_; // the open old-style lists, by level
};

std::optional<AttributedText> Parser::parse()
{
    while (position_ < size_) {
        const char c = bytes_[position_];
        if (c == '{') {
            ++position_;
            if (!beginGroup())
                return std::nullopt;
            continue;
        }
        if (c == '}') {
            ++position_;
            if (stack_.empty())
                break;
            endGroup();
            if (stack_.empty())
                break; // the document's own group is closed
            continue;
        }
        if (c == '\\') {
            ++position_;
            if (position_ >= size_)
                break;
            const char next = bytes_[position_];
            const bool isLetter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
            if (!isLetter) {
                ++position_;
                if (next == '\'') {
                    int value = 0;
                    int digits = 0;
                    while (digits < 2 && position_ < size_) {
                        const char h = bytes_[position_];
                        const int v = (h >= '0' && h <= '9') ? h - '0'
                            : (h >= 'a' && h <= 'f')         ? h - 'a' + 10
                            : (h >= 'A' && h <= 'F')         ? h - 'A' + 10
                                                             : -1;
                        if (v < 0)
                            break;
                        value = value * 16 + v;
                        ++digits;
                        ++position_;
                    }
                    if (fallbackToSkip_ > 0) {
                        --fallbackToSkip_;
                        continue;
                    }
                    if (digits > 0)
                        emitByte(char(value));
                    continue;
                }
                controlSymbol(next);
                continue;
            }
            const size_t wordStart = position_;
            while (position_ < size_
                   && ((bytes_[position_] >= 'a' && bytes_[position_] <= 'z')
                       || (bytes_[position_] >= 'A' && bytes_[position_] <= 'Z')))
                ++position_;
            const std::string_view word(bytes_ + wordStart, position_ - wordStart);
            bool negative = false;
            bool hasParameter = false;
            int64_t value = 0;
            if (position_ < size_ && bytes_[position_] == '-') {
                negative = true;
                ++position_;
            }
            while (position_ < size_ && bytes_[position_] >= '0' && bytes_[position_] <= '9') {
                hasParameter = true;
                if (value < 0x7FFFFFFF)
                    value = value * 10 + (bytes_[position_] - '0');
                ++position_;
            }
            value = std::min<int64_t>(value, 0x7FFFFFFF);
            if (position_ < size_ && bytes_[position_] == ' ')
                ++position_;
            const int parameter = int(negative ? -value : value);
            if (word == "bin" && hasParameter) {
                // Binary data: skipped unread.
                position_ += std::min<size_t>(size_t(std::max(parameter, 0)), size_ - position_);
                continue;
            }
            if (fallbackToSkip_ > 0) {
                --fallbackToSkip_;
                continue;
            }
            controlWord(word, hasParameter, parameter);
            continue;
        }
        ++position_;
        if (c == '\r' || c == '\n' || c == '\0')
            continue;
        if (fallbackToSkip_ > 0) {
            --fallbackToSkip_;
            continue;
        }
        emitByte(c);
    }
    flushText();
    applyParagraphStyle(output_.length());
    return std::move(output_);
}

bool Parser::beginGroup()
{
    if (int(stack_.size()) >= maximumGroupDepth)
        return false;
    flushText();
    fallbackToSkip_ = 0;
    stack_.push_back(state_);
    state_.fieldLink.reset();
    starPending_ = false;
    groupStart_ = true;
    return true;
}

void Parser::endGroup()
{
    flushText();
    if (stack_.size() == 1) // the document ends: its last paragraph has the formatting in force
        applyParagraphStyle(output_.length());
    fallbackToSkip_ = 0;
    const GroupState closed = state_;
    state_ = stack_.back();
    stack_.pop_back();
    groupStart_ = false;
    switch (closed.destination) {
    case Destination::fieldInstruction:
        if (state_.destination != Destination::fieldInstruction) {
            state_.fieldLink = linkFromInstruction(fieldInstruction_);
            fieldInstruction_.clear();
        }
        break;
    case Destination::levelMarker:
        if (state_.destination != Destination::levelMarker && !currentLevels_.empty()
            && levelsInList_ <= maximumListLevels) {
            // "{disc}", "{decimal}." and the like: the name between the braces.
            const qsizetype open = levelMarker_.indexOf(u'{');
            const qsizetype close = levelMarker_.indexOf(u'}', open + 1);
            if (open >= 0 && close > open) {
                if (const auto format = formatForMarkerName(levelMarker_.mid(open + 1, close - open - 1))) {
                    currentLevels_.back().format = *format;
                    currentLevels_.back().hasMarkerName = true;
                }
            }
            levelMarker_.clear();
        }
        break;
    case Destination::paragraphNumbering:
        if (state_.destination != Destination::paragraphNumbering)
            state_.numbering = closed.numbering;
        break;
    default: break;
    }
}

void Parser::startDestination(std::string_view word, bool starred)
{
    static const std::string_view skipped[] = {
        "colortbl",
        "stylesheet",
        "info",
        "pict",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "footnote",
        "object",
        "xmlnstbl",
        "revtbl",
        "rsidtbl",
        "themedata",
        "colorschememapping",
        "datastore",
        "latentstyles",
        "pgdsctbl",
        "listpicture",
        "filetbl",
        "nonshppict",
        "pntxta",
        "pntxtb",
        "listname",
        "leveltext",
        "levelnumbers",
        "expandedcolortbl",
        "mmathPr",
    };
    if (word == "fonttbl") {
        state_.destination = Destination::fontTable;
        return;
    }
    if (!starred && (word == "listtext" || word == "pntext")) {
        state_.listText = true;
        return;
    }
    if (word == "listtable") {
        state_.destination = Destination::listTable;
        return;
    }
    if (word == "listoverridetable") {
        state_.destination = Destination::listOverrideTable;
        return;
    }
    if (word == "levelmarker") {
        levelMarker_.clear();
        state_.destination = Destination::levelMarker;
        return;
    }
    if (word == "pn") {
        state_.numbering = ParagraphNumbering{};
        state_.destination = Destination::paragraphNumbering;
        return;
    }
    if (word == "fldinst") {
        fieldInstruction_.clear();
        state_.destination = Destination::fieldInstruction;
        return;
    }
    if (word == "fldrslt") {
        // The field's visible text, linked when its instruction was a hyperlink.
        if (state_.destination == Destination::text || state_.destination == Destination::fieldResult) {
            state_.destination = Destination::fieldResult;
            if (!stack_.empty() && stack_.back().fieldLink)
                state_.link = stack_.back().fieldLink;
        }
        return;
    }
    for (std::string_view name : skipped) {
        if (name == word) {
            state_.destination = Destination::skip;
            return;
        }
    }
    if (starred)
        state_.destination = Destination::skip;
}

void Parser::controlWord(std::string_view word, bool hasParameter, int parameter)
{
    const bool starred = starPending_;
    starPending_ = false;
    if (groupStart_) {
        groupStart_ = false;
        startDestination(word, starred);
        if (state_.destination == Destination::skip)
            return;
    }
    if (state_.destination == Destination::skip)
        return;

    const int on = hasParameter ? parameter : 1;
    if (state_.destination == Destination::fontTable) {
        if (word == "f") {
            fontEntry_ = parameter;
            fonts_[fontEntry_];
        } else if (fontEntry_ >= 0 && (word == "fmodern" || (word == "fprq" && parameter == 1))) {
            fonts_[fontEntry_].monospace = true;
        } else if (fontEntry_ >= 0 && word == "fcharset") {
            fonts_[fontEntry_].codePage = codePageForCharset(parameter);
        } else if (fontEntry_ >= 0 && word == "cpg") {
            fonts_[fontEntry_].codePage = parameter;
        }
        return;
    }
    if (state_.destination == Destination::listTable) {
        const bool inKeptLevel = !currentLevels_.empty() && levelsInList_ <= maximumListLevels;
        if (word == "list") {
            currentLevels_.clear();
            levelsInList_ = 0;
        } else if (word == "listlevel") {
            if (++levelsInList_ <= maximumListLevels)
                currentLevels_.push_back(ListLevel{});
        } else if (inKeptLevel && (word == "levelnfc" || word == "levelnfcn")) {
            if (!currentLevels_.back().hasMarkerName)
                currentLevels_.back().format = formatForNumberType(parameter);
        } else if (inKeptLevel && word == "levelstartat") {
            currentLevels_.back().start = parameter;
        } else if (word == "listid") {
            lists_[parameter] = currentLevels_;
        }
        return;
    }
    if (state_.destination == Destination::listOverrideTable) {
        if (word == "listoverride")
            overrideListId_ = 0;
        else if (word == "listid")
            overrideListId_ = parameter;
        else if (word == "ls")
            overrides_[parameter] = overrideListId_;
        return;
    }
    if (state_.destination == Destination::paragraphNumbering) {
        paragraphNumberingWord(word, hasParameter, parameter);
        return;
    }
    if (state_.destination == Destination::levelMarker || state_.destination == Destination::fieldInstruction)
        return;

    // Document and character formatting.
    if (word == "ansicpg") {
        ansiCodePage_ = parameter;
    } else if (word == "mac") {
        ansiCodePage_ = 10000;
    } else if (word == "pc") {
        ansiCodePage_ = 437;
    } else if (word == "pca") {
        ansiCodePage_ = 850;
    } else if (word == "deff") {
        defaultFont_ = parameter;
    } else if (word == "uc") {
        state_.unicodeSkip = std::clamp(parameter, 0, 16);
    } else if (word == "u" && hasParameter) {
        int code = parameter;
        if (code < 0)
            code += 65536;
        flushBytes();
        if (code >= 0 && code <= 0xFFFF) {
            const QChar c{char16_t(code)};
            emitText(QStringView(&c, 1));
        } else {
            emitText(u"\uFFFD");
        }
        fallbackToSkip_ = state_.unicodeSkip;
    } else if (word == "f") {
        flushText();
        state_.font = parameter;
    } else if (word == "fs") {
        flushText();
        state_.halfPoints = hasParameter && parameter > 0 ? std::min(parameter, 3276) : 24;
    } else if (word == "b") {
        flushText();
        state_.bold = on != 0;
    } else if (word == "i") {
        flushText();
        state_.italic = on != 0;
    } else if (word == "strike" || word == "striked") {
        flushText();
        state_.strike = on != 0;
    } else if (word == "v") {
        flushText();
        state_.hidden = on != 0;
    } else if (word == "plain") {
        flushText();
        state_.font = defaultFont_;
        state_.halfPoints = 24;
        state_.bold = state_.italic = state_.strike = state_.hidden = false;
    } else if (word == "pard") {
        state_.leftIndent = state_.firstLineIndent = 0;
        state_.tabStops.clear();
        state_.listOverride = state_.listLevel = 0;
        state_.numbering.reset();
    } else if (word == "li") {
        state_.leftIndent = parameter;
    } else if (word == "fi") {
        state_.firstLineIndent = parameter;
    } else if (word == "tx") {
        if (state_.tabStops.size() < maximumTabStops)
            state_.tabStops.append(parameter / 20.0);
    } else if (word == "ls") {
        state_.listOverride = parameter;
    } else if (word == "ilvl") {
        state_.listLevel = std::clamp(parameter, 0, 8);
    } else if (word == "par" || word == "sect" || word == "page" || word == "row") {
        endParagraph();
    } else if (word == "line") {
        emitText(u"\u2028");
    } else if (word == "tab" || word == "cell") {
        emitText(u"\t");
    } else if (word == "emdash") {
        emitText(u"\u2014");
    } else if (word == "endash") {
        emitText(u"\u2013");
    } else if (word == "bullet") {
        emitText(u"\u2022");
    } else if (word == "lquote") {
        emitText(u"\u2018");
    } else if (word == "rquote") {
        emitText(u"\u2019");
    } else if (word == "ldblquote") {
        emitText(u"\u201C");
    } else if (word == "rdblquote") {
        emitText(u"\u201D");
    } else if (word == "emspace") {
        emitText(u"\u2003");
    } else if (word == "enspace") {
        emitText(u"\u2002");
    } else if (word == "qmspace") {
        emitText(u"\u2005");
    }
}

void Parser::controlSymbol(char symbol)
{
    if (symbol == '*') {
        starPending_ = true;
        return;
    }
    groupStart_ = false;
    starPending_ = false;
    if (fallbackToSkip_ > 0) {
        --fallbackToSkip_;
        return;
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}': emitByte(symbol); break;
    case '~': emitText(u"\u00A0"); break;
    case '_': emitText(u"\u2011"); break;
    case '\n':
    case '\r': controlWord("par", false, 0); break;
    case '\t': emitText(u"\t"); break;
    default: break; // "\-" (optional hyphen), "\:" and unknown symbols write nothing
    }
}

void Parser::emitByte(char byte)
{
    groupStart_ = false;
    if (state_.destination == Destination::skip)
        return;
    if (static_cast<unsigned char>(byte) < 0x80 && pendingBytes_.isEmpty()) {
        const QChar c{char16_t(static_cast<unsigned char>(byte))};
        emitText(QStringView(&c, 1));
        return;
    }
    pendingBytes_.append(byte);
}

void Parser::flushBytes()
{
    if (pendingBytes_.isEmpty())
        return;
    int codePage = ansiCodePage_;
    const int font = state_.font >= 0 ? state_.font : defaultFont_;
    if (const auto it = fonts_.find(font); it != fonts_.end() && it->second.codePage != 0)
        codePage = it->second.codePage;
    auto decoder = decoders_.find(codePage);
    if (decoder == decoders_.end()) {
        QStringDecoder created(encodingName(codePage));
        if (!created.isValid())
            created = QStringDecoder("windows-1252");
        decoder = decoders_.emplace(codePage, std::move(created)).first;
    }
    const QByteArray bytes = std::exchange(pendingBytes_, QByteArray());
    const QString decoded = decoder->second.decode(bytes);
    emitText(decoded);
}

void Parser::emitText(QStringView text)
{
    groupStart_ = false;
    if (!pendingBytes_.isEmpty())
        flushBytes();
    switch (state_.destination) {
    case Destination::text:
    case Destination::fieldResult: text_.append(text); break;
    case Destination::fontTable:
        if (fontEntry_ >= 0) {
            // The name ends at ";"; what follows belongs to no entry until the next \f.
            FontEntry& entry = fonts_[fontEntry_];
            const qsizetype semicolon = text.indexOf(u';');
            entry.name += (semicolon < 0 ? text : text.left(semicolon)).toString();
            if (semicolon >= 0) {
                entry.name = entry.name.trimmed();
                fontEntry_ = -1;
            }
        }
        break;
    case Destination::fieldInstruction: fieldInstruction_ += text; break;
    case Destination::levelMarker: levelMarker_ += text; break;
    default: break;
    }
}

void Parser::flushText()
{
    flushBytes();
    if (text_.isEmpty())
        return;
    if (inText() && !state_.hidden)
        output_.append(Text::repairingSurrogates(text_), characterAttributes());
    text_.clear();
}

Attributes Parser::characterAttributes() const
{
    Attributes attributes;
    const double size = state_.halfPoints / 2.0;
    const int fontIndex = state_.font >= 0 ? state_.font : defaultFont_;
    const auto entry = fonts_.find(fontIndex);
    Font font;
    if (entry != fonts_.end() && !entry->second.name.isEmpty()) {
        font.name = entry->second.name;
        font.family = entry->second.name;
        font.monospace = entry->second.monospace;
    } else {
        font = Font::system(size);
    }
    font.pointSize = size;
    font.bold = state_.bold;
    font.italic = state_.italic;
    attributes.font = font;
    if (state_.strike)
        attributes.strikethroughStyle = 1;
    attributes.link = state_.link;
    attributes.listMarkerText = state_.listText;
    return attributes;
}

void Parser::endParagraph()
{
    if (!inText())
        return;
    emitText(u"\n");
    flushText();
    applyParagraphStyle(output_.length());
}

// A paragraph's formatting is the one in force at its end.
void Parser::applyParagraphStyle(qsizetype end)
{
    if (end <= paragraphStart_)
        return;
    AttributedText::ParagraphStyle style;
    style.headIndent = state_.leftIndent / 20.0;
    style.firstLineHeadIndent = (double(state_.leftIndent) + state_.firstLineIndent) / 20.0;
    style.tabStops = state_.tabStops;
    style.textLists = textListsFor(state_.listOverride, state_.listLevel);
    if (style.textLists.isEmpty())
        style.textLists = numberingListsFor(state_.numbering);
    output_.setParagraphStyle(AttributedText::Range{paragraphStart_, end - paragraphStart_}, style);
    paragraphStart_ = end;
}

// One list object per level, shared by the paragraphs of one list; a deeper level opened again
// after a shallower paragraph is a new list, so its numbering starts afresh.
QList<TextListRef> Parser::textListsFor(int listOverride, int level)
{
    if (listOverride <= 0)
        return {};
    const auto override = overrides_.find(listOverride);
    if (override == overrides_.end())
        return {};
    const auto list = lists_.find(override->second);
    if (list == lists_.end() || list->second.empty())
        return {};
    const std::vector<ListLevel>& levels = list->second;
    level = std::min(level, int(levels.size()) - 1);
    std::vector<TextListRef>& chain = chains_[listOverride];
    if (int(chain.size()) > level + 1)
        chain.resize(size_t(level) + 1);
    while (int(chain.size()) <= level) {
        const ListLevel& definition = levels[chain.size()];
        chain.push_back(
            std::make_shared<AttributedText::TextList>(AttributedText::TextList{definition.format, definition.start}));
    }
    return QList<TextListRef>(chain.begin(), chain.end());
}

void Parser::paragraphNumberingWord(std::string_view word, bool hasParameter, int parameter)
{
    ParagraphNumbering& numbering = *state_.numbering;
    if (word == "pnlvlblt") {
        numbering.level = 0;
        numbering.bullet = true;
    } else if (word == "pnlvlbody") {
        numbering.level = 0;
    } else if (word == "pnlvl" && hasParameter) {
        numbering.level = std::clamp(parameter - 1, 0, int(maximumListLevels) - 1);
    } else if (word == "pnucrm") {
        numbering.format = ListMarkerFormat::uppercaseRoman;
    } else if (word == "pnlcrm") {
        numbering.format = ListMarkerFormat::lowercaseRoman;
    } else if (word == "pnucltr") {
        numbering.format = ListMarkerFormat::uppercaseAlpha;
    } else if (word == "pnlcltr") {
        numbering.format = ListMarkerFormat::lowercaseAlpha;
    } else if (word == "pnstart" && hasParameter) {
        numbering.start = parameter;
    }
}

// Old-style list paragraphs name no list: a paragraph joins the list of the one before it when that
// was a list paragraph of the same kind at its level, and starts a new list otherwise.
QList<TextListRef> Parser::numberingListsFor(const std::optional<ParagraphNumbering>& numbering)
{
    if (!numbering || numbering->level < 0) {
        numberingChain_.clear();
        return {};
    }
    const size_t level = size_t(numbering->level);
    const ListMarkerFormat format = numbering->bullet ? ListMarkerFormat::disc : numbering->format;
    if (numberingChain_.size() > level + 1)
        numberingChain_.resize(level + 1);
    if (numberingChain_.size() == level + 1 && numberingChain_.back()->markerFormat != format)
        numberingChain_.pop_back();
    while (numberingChain_.size() <= level)
        numberingChain_.push_back(
            std::make_shared<AttributedText::TextList>(AttributedText::TextList{format, numbering->start}));
    return QList<TextListRef>(numberingChain_.begin(), numberingChain_.end());
}

} // namespace

std::optional<AttributedText> read(const QByteArray& rtf)
{
    if (rtf.size() > maximumInputSize || !rtf.startsWith("{\\rtf"))
        return std::nullopt;
    Parser parser(rtf.constData(), size_t(rtf.size()));
    return parser.parse();
}

std::optional<AttributedText> readRtfd(const QByteArray&)
{
    return std::nullopt;
}

} // namespace vellicord::RtfReader
