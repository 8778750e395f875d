#include "platform/rtf/RtfReader.h"

#include "core/foundation/Text.h"

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

constexpr double defaultFontSize = 12.0;
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
};

struct GroupState {
    Destination destination = Destination::text;
    int font = -1;
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    int unicodeSkip = 1;
    int leftIndent = 0; // twips
    int firstLineIndent = 0; // twips, relative to the left indent
    QList<double> tabStops; // points
    int listOverride = 0;
    int listLevel = 0;
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
    const QUrl url(target, QUrl::StrictMode);
    const bool isAddress = url.isValid() && !url.scheme().isEmpty();
    return AttributedText::Link{isAddress ? AttributedText::Link::Kind::url : AttributedText::Link::Kind::string,
                                target};
}

class Parser {
public:
    Parser(const char* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

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
    bool inText() const
    {
        return m_state.destination == Destination::text || m_state.destination == Destination::fieldResult;
    }

    const char* m_bytes;
    size_t m_size;
    size_t m_position = 0;
    std::vector<GroupState> m_stack;
    GroupState m_state;
    bool m_starPending = false;
    bool m_groupStart = false;
    int m_fallbackToSkip = 0;

    AttributedText m_output;
    qsizetype m_paragraphStart = 0;
    QString m_text; // text not yet appended, all with the attributes of m_state
    QByteArray m_pendingBytes; // code-page bytes not yet decoded
    int m_ansiCodePage = 1252;
    std::map<int, QStringDecoder> m_decoders;

    std::map<int, FontEntry> m_fonts;
    int m_fontEntry = -1;
    int m_defaultFont = -1;
    QString m_fieldInstruction;
    QString m_levelMarker;

    std::vector<ListLevel> m_currentLevels;
    size_t m_levelsInList = 0; // \listlevel words of the current list, those past the limit included
    std::map<int, std::vector<ListLevel>> m_lists; // by list id
    int m_overrideListId = 0;
    std::map<int, int> m_overrides; // list override number to list id
    std::map<int, std::vector<TextListRef>> m_chains; // the open lists of each override, by level
};

std::optional<AttributedText> Parser::parse()
{
    while (m_position < m_size) {
        const char c = m_bytes[m_position];
        if (c == '{') {
            ++m_position;
            if (!beginGroup())
                return std::nullopt;
            continue;
        }
        if (c == '}') {
            ++m_position;
            if (m_stack.empty())
                break;
            endGroup();
            if (m_stack.empty())
                break; // the document's own group is closed
            continue;
        }
        if (c == '\\') {
            ++m_position;
            if (m_position >= m_size)
                break;
            const char next = m_bytes[m_position];
            const bool isLetter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
            if (!isLetter) {
                ++m_position;
                if (next == '\'') {
                    int value = 0;
                    int digits = 0;
                    while (digits < 2 && m_position < m_size) {
                        const char h = m_bytes[m_position];
                        const int v = (h >= '0' && h <= '9') ? h - '0'
                            : (h >= 'a' && h <= 'f')         ? h - 'a' + 10
                            : (h >= 'A' && h <= 'F')         ? h - 'A' + 10
                                                             : -1;
                        if (v < 0)
                            break;
                        value = value * 16 + v;
                        ++digits;
                        ++m_position;
                    }
                    if (m_fallbackToSkip > 0) {
                        --m_fallbackToSkip;
                        continue;
                    }
                    if (digits > 0)
                        emitByte(char(value));
                    continue;
                }
                controlSymbol(next);
                continue;
            }
            const size_t wordStart = m_position;
            while (m_position < m_size && ((m_bytes[m_position] >= 'a' && m_bytes[m_position] <= 'z')
                                           || (m_bytes[m_position] >= 'A' && m_bytes[m_position] <= 'Z')))
                ++m_position;
            const std::string_view word(m_bytes + wordStart, m_position - wordStart);
            bool negative = false;
            bool hasParameter = false;
            int64_t value = 0;
            if (m_position < m_size && m_bytes[m_position] == '-') {
                negative = true;
                ++m_position;
            }
            while (m_position < m_size && m_bytes[m_position] >= '0' && m_bytes[m_position] <= '9') {
                hasParameter = true;
                if (value < 0x7FFFFFFF)
                    value = value * 10 + (m_bytes[m_position] - '0');
                ++m_position;
            }
            value = std::min<int64_t>(value, 0x7FFFFFFF);
            if (m_position < m_size && m_bytes[m_position] == ' ')
                ++m_position;
            const int parameter = int(negative ? -value : value);
            if (word == "bin" && hasParameter) {
                // Binary data: skipped unread.
                m_position += std::min<size_t>(size_t(std::max(parameter, 0)), m_size - m_position);
                continue;
            }
            if (m_fallbackToSkip > 0) {
                --m_fallbackToSkip;
                continue;
            }
            controlWord(word, hasParameter, parameter);
            continue;
        }
        ++m_position;
        if (c == '\r' || c == '\n' || c == '\0')
            continue;
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            continue;
        }
        emitByte(c);
    }
    flushText();
    applyParagraphStyle(m_output.length());
    return std::move(m_output);
}

bool Parser::beginGroup()
{
    if (int(m_stack.size()) >= maximumGroupDepth)
        return false;
    flushText();
    m_fallbackToSkip = 0;
    m_stack.push_back(m_state);
    m_state.fieldLink.reset();
    m_starPending = false;
    m_groupStart = true;
    return true;
}

void Parser::endGroup()
{
    flushText();
    if (m_stack.size() == 1) // the document ends: its last paragraph has the formatting in force
        applyParagraphStyle(m_output.length());
    m_fallbackToSkip = 0;
    const GroupState closed = m_state;
    m_state = m_stack.back();
    m_stack.pop_back();
    m_groupStart = false;
    switch (closed.destination) {
    case Destination::fieldInstruction:
        if (m_state.destination != Destination::fieldInstruction) {
            m_state.fieldLink = linkFromInstruction(m_fieldInstruction);
            m_fieldInstruction.clear();
        }
        break;
    case Destination::levelMarker:
        if (m_state.destination != Destination::levelMarker && !m_currentLevels.empty()
            && m_levelsInList <= maximumListLevels) {
            // "{disc}", "{decimal}." and the like: the name between the braces.
            const qsizetype open = m_levelMarker.indexOf(u'{');
            const qsizetype close = m_levelMarker.indexOf(u'}', open + 1);
            if (open >= 0 && close > open) {
                if (const auto format = formatForMarkerName(m_levelMarker.mid(open + 1, close - open - 1))) {
                    m_currentLevels.back().format = *format;
                    m_currentLevels.back().hasMarkerName = true;
                }
            }
            m_levelMarker.clear();
        }
        break;
    default:
        break;
    }
}

void Parser::startDestination(std::string_view word, bool starred)
{
    static const std::string_view skipped[] = {
        "colortbl", "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer",
        "footerl", "footerr", "footerf", "footnote", "object", "xmlnstbl", "revtbl", "rsidtbl", "themedata",
        "colorschememapping", "datastore", "latentstyles", "pgdsctbl", "listpicture", "filetbl", "nonshppict",
        "pntxta", "pntxtb", "pn", "listname", "leveltext", "levelnumbers", "expandedcolortbl", "mmathPr",
    };
    if (word == "fonttbl") {
        m_state.destination = Destination::fontTable;
        return;
    }
    if (word == "listtable") {
        m_state.destination = Destination::listTable;
        return;
    }
    if (word == "listoverridetable") {
        m_state.destination = Destination::listOverrideTable;
        return;
    }
    if (word == "levelmarker") {
        m_levelMarker.clear();
        m_state.destination = Destination::levelMarker;
        return;
    }
    if (word == "fldinst") {
        m_fieldInstruction.clear();
        m_state.destination = Destination::fieldInstruction;
        return;
    }
    if (word == "fldrslt") {
        // The field's visible text, linked when its instruction was a hyperlink.
        if (m_state.destination == Destination::text || m_state.destination == Destination::fieldResult) {
            m_state.destination = Destination::fieldResult;
            if (!m_stack.empty() && m_stack.back().fieldLink)
                m_state.link = m_stack.back().fieldLink;
        }
        return;
    }
    for (std::string_view name : skipped) {
        if (name == word) {
            m_state.destination = Destination::skip;
            return;
        }
    }
    if (starred)
        m_state.destination = Destination::skip;
}

void Parser::controlWord(std::string_view word, bool hasParameter, int parameter)
{
    const bool starred = m_starPending;
    m_starPending = false;
    if (m_groupStart) {
        m_groupStart = false;
        startDestination(word, starred);
        if (m_state.destination == Destination::skip)
            return;
    }
    if (m_state.destination == Destination::skip)
        return;

    const int on = hasParameter ? parameter : 1;
    if (m_state.destination == Destination::fontTable) {
        if (word == "f") {
            m_fontEntry = parameter;
            m_fonts[m_fontEntry];
        } else if (m_fontEntry >= 0 && (word == "fmodern" || (word == "fprq" && parameter == 1))) {
            m_fonts[m_fontEntry].monospace = true;
        } else if (m_fontEntry >= 0 && word == "fcharset") {
            m_fonts[m_fontEntry].codePage = codePageForCharset(parameter);
        } else if (m_fontEntry >= 0 && word == "cpg") {
            m_fonts[m_fontEntry].codePage = parameter;
        }
        return;
    }
    if (m_state.destination == Destination::listTable) {
        const bool inKeptLevel = !m_currentLevels.empty() && m_levelsInList <= maximumListLevels;
        if (word == "list") {
            m_currentLevels.clear();
            m_levelsInList = 0;
        } else if (word == "listlevel") {
            if (++m_levelsInList <= maximumListLevels)
                m_currentLevels.push_back(ListLevel{});
        } else if (inKeptLevel && (word == "levelnfc" || word == "levelnfcn")) {
            if (!m_currentLevels.back().hasMarkerName)
                m_currentLevels.back().format = formatForNumberType(parameter);
        } else if (inKeptLevel && word == "levelstartat") {
            m_currentLevels.back().start = parameter;
        } else if (word == "listid") {
            m_lists[parameter] = m_currentLevels;
        }
        return;
    }
    if (m_state.destination == Destination::listOverrideTable) {
        if (word == "listoverride")
            m_overrideListId = 0;
        else if (word == "listid")
            m_overrideListId = parameter;
        else if (word == "ls")
            m_overrides[parameter] = m_overrideListId;
        return;
    }
    if (m_state.destination == Destination::levelMarker || m_state.destination == Destination::fieldInstruction)
        return;

    // Document and character formatting.
    if (word == "ansicpg") {
        m_ansiCodePage = parameter;
    } else if (word == "mac") {
        m_ansiCodePage = 10000;
    } else if (word == "pc") {
        m_ansiCodePage = 437;
    } else if (word == "pca") {
        m_ansiCodePage = 850;
    } else if (word == "deff") {
        m_defaultFont = parameter;
    } else if (word == "uc") {
        m_state.unicodeSkip = std::clamp(parameter, 0, 16);
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
        m_fallbackToSkip = m_state.unicodeSkip;
    } else if (word == "f") {
        flushText();
        m_state.font = parameter;
    } else if (word == "fs") {
        flushText();
        m_state.halfPoints = hasParameter && parameter > 0 ? std::min(parameter, 3276) : 24;
    } else if (word == "b") {
        flushText();
        m_state.bold = on != 0;
    } else if (word == "i") {
        flushText();
        m_state.italic = on != 0;
    } else if (word == "strike" || word == "striked") {
        flushText();
        m_state.strike = on != 0;
    } else if (word == "plain") {
        flushText();
        m_state.font = m_defaultFont;
        m_state.halfPoints = 24;
        m_state.bold = m_state.italic = m_state.strike = false;
    } else if (word == "pard") {
        m_state.leftIndent = m_state.firstLineIndent = 0;
        m_state.tabStops.clear();
        m_state.listOverride = m_state.listLevel = 0;
    } else if (word == "li") {
        m_state.leftIndent = parameter;
    } else if (word == "fi") {
        m_state.firstLineIndent = parameter;
    } else if (word == "tx") {
        if (m_state.tabStops.size() < maximumTabStops)
            m_state.tabStops.append(parameter / 20.0);
    } else if (word == "ls") {
        m_state.listOverride = parameter;
    } else if (word == "ilvl") {
        m_state.listLevel = std::clamp(parameter, 0, 8);
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
        m_starPending = true;
        return;
    }
    m_groupStart = false;
    m_starPending = false;
    if (m_fallbackToSkip > 0) {
        --m_fallbackToSkip;
        return;
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        emitByte(symbol);
        break;
    case '~':
        emitText(u"\u00A0");
        break;
    case '_':
        emitText(u"\u2011");
        break;
    case '\n':
    case '\r':
        controlWord("par", false, 0);
        break;
    case '\t':
        emitText(u"\t");
        break;
    default:
        break; // "\-" (optional hyphen), "\:" and unknown symbols write nothing
    }
}

void Parser::emitByte(char byte)
{
    m_groupStart = false;
    if (m_state.destination == Destination::skip)
        return;
    if (static_cast<unsigned char>(byte) < 0x80 && m_pendingBytes.isEmpty()) {
        const QChar c{char16_t(static_cast<unsigned char>(byte))};
        emitText(QStringView(&c, 1));
        return;
    }
    m_pendingBytes.append(byte);
}

void Parser::flushBytes()
{
    if (m_pendingBytes.isEmpty())
        return;
    int codePage = m_ansiCodePage;
    const int font = m_state.font >= 0 ? m_state.font : m_defaultFont;
    if (const auto it = m_fonts.find(font); it != m_fonts.end() && it->second.codePage != 0)
        codePage = it->second.codePage;
    auto decoder = m_decoders.find(codePage);
    if (decoder == m_decoders.end()) {
        QStringDecoder created(encodingName(codePage));
        if (!created.isValid())
            created = QStringDecoder("windows-1252");
        decoder = m_decoders.emplace(codePage, std::move(created)).first;
    }
    const QByteArray bytes = std::exchange(m_pendingBytes, QByteArray());
    const QString decoded = decoder->second.decode(bytes);
    emitText(decoded);
}

void Parser::emitText(QStringView text)
{
    m_groupStart = false;
    if (!m_pendingBytes.isEmpty())
        flushBytes();
    switch (m_state.destination) {
    case Destination::text:
    case Destination::fieldResult:
        m_text.append(text);
        break;
    case Destination::fontTable:
        if (m_fontEntry >= 0) {
            // The name ends at ";"; what follows belongs to no entry until the next \f.
            FontEntry& entry = m_fonts[m_fontEntry];
            const qsizetype semicolon = text.indexOf(u';');
            entry.name += (semicolon < 0 ? text : text.left(semicolon)).toString();
            if (semicolon >= 0) {
                entry.name = entry.name.trimmed();
                m_fontEntry = -1;
            }
        }
        break;
    case Destination::fieldInstruction:
        m_fieldInstruction += text;
        break;
    case Destination::levelMarker:
        m_levelMarker += text;
        break;
    default:
        break;
    }
}

void Parser::flushText()
{
    flushBytes();
    if (m_text.isEmpty())
        return;
    if (inText())
        m_output.append(Text::repairingSurrogates(m_text), characterAttributes());
    m_text.clear();
}

Attributes Parser::characterAttributes() const
{
    Attributes attributes;
    const double size = m_state.halfPoints / 2.0;
    const int fontIndex = m_state.font >= 0 ? m_state.font : m_defaultFont;
    const auto entry = m_fonts.find(fontIndex);
    Font font;
    if (entry != m_fonts.end() && !entry->second.name.isEmpty()) {
        font.name = entry->second.name;
        font.family = entry->second.name;
        font.monospace = entry->second.monospace;
    } else {
        font = Font::system(size);
    }
    font.pointSize = size;
    font.bold = m_state.bold;
    font.italic = m_state.italic;
    attributes.font = font;
    if (m_state.strike)
        attributes.strikethroughStyle = 1;
    attributes.link = m_state.link;
    return attributes;
}

void Parser::endParagraph()
{
    if (!inText())
        return;
    emitText(u"\n");
    flushText();
    applyParagraphStyle(m_output.length());
}

// A paragraph's formatting is the one in force at its end.
void Parser::applyParagraphStyle(qsizetype end)
{
    if (end <= m_paragraphStart)
        return;
    AttributedText::ParagraphStyle style;
    style.headIndent = m_state.leftIndent / 20.0;
    style.firstLineHeadIndent = (double(m_state.leftIndent) + m_state.firstLineIndent) / 20.0;
    style.tabStops = m_state.tabStops;
    style.textLists = textListsFor(m_state.listOverride, m_state.listLevel);
    m_output.setParagraphStyle(AttributedText::Range{m_paragraphStart, end - m_paragraphStart}, style);
    m_paragraphStart = end;
}

// One list object per level, shared by the paragraphs of one list; a deeper level opened again
// after a shallower paragraph is a new list, so its numbering starts afresh.
QList<TextListRef> Parser::textListsFor(int listOverride, int level)
{
    if (listOverride <= 0)
        return {};
    const auto override = m_overrides.find(listOverride);
    if (override == m_overrides.end())
        return {};
    const auto list = m_lists.find(override->second);
    if (list == m_lists.end() || list->second.empty())
        return {};
    const std::vector<ListLevel>& levels = list->second;
    level = std::min(level, int(levels.size()) - 1);
    std::vector<TextListRef>& chain = m_chains[listOverride];
    if (int(chain.size()) > level + 1)
        chain.resize(size_t(level) + 1);
    while (int(chain.size()) <= level) {
        const ListLevel& definition = levels[chain.size()];
        chain.push_back(std::make_shared<AttributedText::TextList>(
            AttributedText::TextList{definition.format, definition.start}));
    }
    return QList<TextListRef>(chain.begin(), chain.end());
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
