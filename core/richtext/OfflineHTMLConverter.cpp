#include "core/richtext/OfflineHTMLConverter.h"

#include "core/foundation/Text.h"

#include <QUrl>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vellicord::OfflineHTMLConverter {

namespace {

using Attributes = AttributedText::Attributes;
using Font = AttributedText::Font;
using TextListRef = AttributedText::TextListRef;
using ListItemRef = AttributedText::ListItemRef;
using ListMarkerFormat = AttributedText::ListMarkerFormat;

enum ElementFlag : unsigned { block = 1, formatting = 2, hiddenElement = 4 };

struct ElementEntry {
    std::string_view name;
    unsigned flags;
};

// Sorted by name, for a binary search. Besides the elements a paragraph break belongs to in any
// reading, every element HTML lays out as a block of its own is a block here: without a break, a
// term and its definition, a summary and its details, or a figure and its caption would run
// together into one word.
constexpr ElementEntry elementTable[] = {
    {"a", formatting},
    {"address", block},
    {"article", block},
    {"aside", block},
    {"b", formatting},
    {"blockquote", block | formatting},
    {"br", block},
    {"caption", block},
    {"center", block},
    {"code", formatting},
    {"dd", block},
    {"details", block},
    {"dialog", block},
    {"dir", block},
    {"div", block},
    {"dl", block},
    {"dt", block},
    {"em", formatting},
    {"fieldset", block},
    {"figcaption", block},
    {"figure", block},
    {"footer", block},
    {"form", block},
    {"h1", block | formatting},
    {"h2", block | formatting},
    {"h3", block | formatting},
    {"h4", block | formatting},
    {"h5", block | formatting},
    {"h6", block | formatting},
    {"head", hiddenElement},
    {"header", block},
    {"hgroup", block},
    {"hr", block},
    {"i", formatting},
    {"kbd", formatting},
    {"legend", block},
    {"li", block | formatting},
    {"listing", block},
    {"main", block},
    {"menu", block},
    {"nav", block},
    {"ol", block | formatting},
    {"p", block | formatting},
    {"plaintext", block},
    {"pre", block | formatting},
    {"samp", formatting},
    {"script", hiddenElement},
    {"search", block},
    {"section", block},
    {"strong", formatting},
    {"style", hiddenElement},
    {"summary", block},
    {"table", block},
    {"tbody", block},
    {"template", hiddenElement},
    {"tfoot", block},
    {"thead", block},
    {"title", hiddenElement},
    {"tr", block},
    {"ul", block | formatting},
    {"xmp", block},
};
static_assert(std::is_sorted(std::begin(elementTable), std::end(elementTable),
                             [](const ElementEntry& a, const ElementEntry& b) { return a.name < b.name; }));

unsigned elementFlags(std::string_view name)
{
    const auto found
        = std::lower_bound(std::begin(elementTable), std::end(elementTable), name,
                           [](const ElementEntry& entry, std::string_view key) { return entry.name < key; });
    return found != std::end(elementTable) && found->name == name ? found->flags : 0;
}

bool isTokenizerSpace(char c)
{
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '-';
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const unsigned char* s, size_t n)
{
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t chunk;
            std::memcpy(&chunk, s + i, 8);
            if ((chunk & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t min;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            length = 2, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// A decimal integer with an optional sign, as list numbers are written; nothing when it is not
// one or lies outside 0 to 999,999,999.
std::optional<int64_t> listNumber(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > maximumListNumber)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return value;
}

struct Style {
    bool bold = false;
    bool italic = false;
    bool code = false;
    bool pre = false;
    int heading = 0;
    bool quote = false;
    std::optional<QString> link;
    QList<TextListRef> lists;
    ListItemRef item;

    Attributes attributes() const
    {
        Attributes a;
        const Font base = code ? Font::monospacedSystem(fontSize) : Font::system(fontSize);
        a.font = base.withTraits(bold, italic);
        AttributedText::ParagraphStyle paragraph;
        paragraph.textLists = lists;
        if (quote)
            paragraph.firstLineHeadIndent = quoteIndent;
        a.paragraphStyle = paragraph;
        a.heading = heading;
        if (link)
            a.link = AttributedText::Link{AttributedText::Link::Kind::url, *link};
        a.listItem = item;
        return a;
    }
};

struct Frame {
    std::string name;
    Style previous;
};

struct Tag {
    std::string name;
    bool closing = false;
    bool selfClosing = false;
    std::optional<QString> href;
    std::optional<QString> start;
    std::optional<QString> value;
};

class Parser {
public:
    Parser(const char* bytes, size_t size)
        : bytes_(bytes)
        , size_(size)
    {
    }

    std::optional<AttributedText> parse();

private:
    enum class Outcome { ok, fail };
    enum class LastCharacter { none, lineFeed, other };

    Outcome handleTag(const Tag& tag);
    Outcome openElement(const Tag& tag);
    std::optional<Tag> readTag();
    bool skipDeclaration();
    bool skipRawText(std::string_view name);
    void close(std::string_view name);
    void appendText(const QString& text);
    void append(QStringView text);
    void appendSeparatingSpace();
    void endBlock();
    void skipSpaces()
    {
        while (position_ < size_ && isTokenizerSpace(bytes_[position_]))
            ++position_;
    }

    const char* bytes_;
    size_t size_;
    size_t position_ = 0;
    int tokens_ = 0;
    std::vector<Frame> frames_;
    Style style_;
    std::vector<std::string> hidden_;
    bool pendingSpace_ = false;
    LastCharacter lastCharacter_ = LastCharacter::none;
    AttributedText output_;
};

std::optional<AttributedText> Parser::parse()
{
    while (position_ < size_) {
        if (++tokens_ > maximumTokens)
            return std::nullopt;
        const char* here = bytes_ + position_;
        const size_t remaining = size_ - position_;
        if (*here != '<') {
            const void* next = std::memchr(here, '<', remaining);
            const size_t length = next ? size_t(static_cast<const char*>(next) - here) : remaining;
            position_ += length;
            if (hidden_.empty())
                appendText(QString::fromUtf8(here, qsizetype(length)));
            continue;
        }
        if (remaining >= 4 && std::memcmp(here, "<!--", 4) == 0) {
            const std::string_view rest(here + 4, remaining - 4);
            const size_t end = rest.find("-->");
            if (end == std::string_view::npos)
                return std::nullopt;
            position_ += 4 + end + 3;
            continue;
        }
        if (remaining >= 2 && (here[1] == '!' || here[1] == '?')) {
            if (!skipDeclaration())
                return std::nullopt;
            continue;
        }
        const size_t before = position_;
        const std::optional<Tag> tag = readTag();
        if (!tag) {
            if (position_ != before)
                return std::nullopt;
            ++position_;
            if (hidden_.empty())
                appendText(QStringLiteral("<"));
            continue;
        }
        if (handleTag(*tag) == Outcome::fail)
            return std::nullopt;
    }
    if (!hidden_.empty() || Text::isBlank(output_.string()))
        return std::nullopt;
    return std::move(output_);
}

Parser::Outcome Parser::handleTag(const Tag& tag)
{
    const unsigned flags = elementFlags(tag.name);
    if ((flags & hiddenElement) && !tag.closing) {
        if (tag.selfClosing)
            return Outcome::ok;
        if (frames_.size() + hidden_.size() > size_t(maximumFrames - 1))
            return Outcome::fail;
        if (tag.name == "script" || tag.name == "style")
            return skipRawText(tag.name) ? Outcome::ok : Outcome::fail;
        hidden_.push_back(tag.name);
        return Outcome::ok;
    }
    if (!hidden_.empty()) {
        if (tag.closing && tag.name == hidden_.back())
            hidden_.pop_back();
        return Outcome::ok;
    }
    if (flags & block)
        endBlock();
    if (tag.name == "td" || tag.name == "th")
        pendingSpace_ = true;
    if (tag.closing) {
        close(tag.name);
        return Outcome::ok;
    }
    if (!(flags & formatting))
        return Outcome::ok;
    return openElement(tag);
}

void Parser::endBlock()
{
    pendingSpace_ = false;
    if (!output_.isEmpty() && lastCharacter_ != LastCharacter::lineFeed)
        append(u"\n");
}

Parser::Outcome Parser::openElement(const Tag& tag)
{
    const std::string& name = tag.name;
    if (name == "p")
        close("p");
    if (name == "li") {
        // A new item ends the previous item of the same list, not an item that encloses the list.
        ptrdiff_t list = -1;
        ptrdiff_t item = -1;
        for (ptrdiff_t i = ptrdiff_t(frames_.size()) - 1; i >= 0 && (list < 0 || item < 0); --i) {
            const std::string& frame = frames_[size_t(i)].name;
            if (list < 0 && (frame == "ul" || frame == "ol"))
                list = i;
            if (item < 0 && frame == "li")
                item = i;
        }
        if (list >= 0 && item > list)
            close("li");
    }
    if (frames_.size() > size_t(maximumFrames - 1))
        return Outcome::fail;
    frames_.push_back(Frame{name, style_});

    if (name == "b" || name == "strong") {
        style_.bold = true;
    } else if (name == "i" || name == "em") {
        style_.italic = true;
    } else if (name == "code" || name == "kbd" || name == "samp") {
        style_.code = true;
    } else if (name == "pre") {
        style_.code = true;
        style_.pre = true;
    } else if (name == "blockquote") {
        style_.quote = true;
    } else if (name == "ul" || name == "ol") {
        if (style_.item && !style_.item->hasParagraph)
            append(u"\n");
        auto list = std::make_shared<AttributedText::TextList>();
        list->markerFormat = name == "ol" ? ListMarkerFormat::decimal : ListMarkerFormat::disc;
        if (name == "ol" && tag.start) {
            const std::optional<int64_t> start = listNumber(*tag.start);
            if (!start)
                return Outcome::fail;
            list->startingItemNumber = *start;
        }
        style_.lists.append(std::move(list));
        style_.item.reset();
    } else if (name == "li") {
        if (!style_.lists.isEmpty()) {
            std::optional<int64_t> numberOverride;
            if (style_.lists.last()->markerFormat == ListMarkerFormat::decimal && tag.value) {
                numberOverride = listNumber(*tag.value);
                if (!numberOverride)
                    return Outcome::fail;
            }
            style_.item = std::make_shared<ListItem>(numberOverride);
        }
    } else if (name == "a") {
        style_.link = tag.href ? safeLink(*tag.href) : std::nullopt;
    } else if (name.size() == 2 && name[0] == 'h') {
        style_.heading = name[1] - '0';
    }
    if (tag.selfClosing)
        close(name);
    return Outcome::ok;
}

void Parser::close(std::string_view name)
{
    ptrdiff_t index = ptrdiff_t(frames_.size()) - 1;
    while (index >= 0 && frames_[size_t(index)].name != name)
        --index;
    if (index < 0)
        return;
    if (style_.item && !style_.item->hasParagraph) {
        for (size_t i = size_t(index); i < frames_.size(); ++i) {
            if (frames_[i].name == "li") {
                // An empty list item still makes a paragraph of its own.
                append(u"\n");
                break;
            }
        }
    }
    style_ = frames_[size_t(index)].previous;
    frames_.resize(size_t(index));
}

std::optional<Tag> Parser::readTag()
{
    Tag tag;
    size_t p = position_ + 1;
    if (p < size_ && bytes_[p] == '/') {
        tag.closing = true;
        ++p;
    }
    const size_t nameStart = p;
    while (p < size_ && isNameByte(bytes_[p]))
        ++p;
    if (p == nameStart)
        return std::nullopt;
    tag.name = lowered(std::string_view(bytes_ + nameStart, p - nameStart));
    position_ = p;

    while (position_ < size_) {
        skipSpaces();
        if (position_ >= size_)
            break;
        const char c = bytes_[position_];
        if (c == '/') {
            tag.selfClosing = true;
            ++position_;
            continue;
        }
        if (c == '>') {
            ++position_;
            return tag;
        }
        const size_t attributeStart = position_;
        while (position_ < size_) {
            const char a = bytes_[position_];
            if (isTokenizerSpace(a) || a == '=' || a == '>' || a == '/')
                break;
            ++position_;
        }
        const std::string attribute = lowered(std::string_view(bytes_ + attributeStart, position_ - attributeStart));
        skipSpaces();
        std::string_view value;
        if (position_ < size_ && bytes_[position_] == '=') {
            ++position_;
            skipSpaces();
            if (position_ >= size_)
                return std::nullopt;
            const char quote = bytes_[position_];
            if (quote == '"' || quote == '\'') {
                const void* end = std::memchr(bytes_ + position_ + 1, quote, size_ - position_ - 1);
                if (!end) {
                    position_ = size_;
                    return std::nullopt;
                }
                const size_t endIndex = size_t(static_cast<const char*>(end) - bytes_);
                value = std::string_view(bytes_ + position_ + 1, endIndex - position_ - 1);
                position_ = endIndex + 1;
            } else {
                const size_t valueStart = position_;
                while (position_ < size_ && !isTokenizerSpace(bytes_[position_]) && bytes_[position_] != '>')
                    ++position_;
                value = std::string_view(bytes_ + valueStart, position_ - valueStart);
            }
        }
        std::optional<QString>* slot = nullptr;
        if (attribute == "href")
            slot = &tag.href;
        else if (attribute == "start")
            slot = &tag.start;
        else if (attribute == "value")
            slot = &tag.value;
        if (slot && !*slot)
            *slot = decodeEntities(QString::fromUtf8(value.data(), qsizetype(value.size())));
    }
    return std::nullopt;
}

bool Parser::skipDeclaration()
{
    position_ += 2;
    if (position_ >= size_)
        return false;
    char quote = 0;
    int depth = 0;
    for (; position_ < size_; ++position_) {
        const char c = bytes_[position_];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (depth > 0)
                --depth;
        } else if (c == '>' && depth == 0) {
            ++position_;
            return true;
        }
    }
    return false;
}

bool Parser::skipRawText(std::string_view name)
{
    const std::string needle = "</" + std::string(name);
    while (size_ - position_ > needle.size()) {
        const char* here = bytes_ + position_;
        if (*here != '<') {
            const void* next = std::memchr(here, '<', size_ - position_);
            if (!next)
                return false;
            position_ = size_t(static_cast<const char*>(next) - bytes_);
            continue;
        }
        bool matches = true;
        for (size_t i = 0; i < needle.size() && matches; ++i)
            matches = lowerAscii(here[i]) == needle[i];
        if (matches) {
            const char after = here[needle.size()];
            if (isTokenizerSpace(after) || after == '>' || after == '/')
                return readTag().has_value();
        }
        ++position_;
    }
    return false;
}

void Parser::appendText(const QString& raw)
{
    const QString text = decodeEntities(raw);
    if (style_.pre) {
        append(text);
        return;
    }
    QString buffer;
    buffer.reserve(text.size());
    auto addVisible = [&](QStringView visible) {
        if (pendingSpace_) {
            if (!buffer.isEmpty())
                buffer.append(u' ');
            else if (lastCharacter_ == LastCharacter::other)
                appendSeparatingSpace();
        }
        pendingSpace_ = false;
        buffer.append(visible);
    };
    if (!Text::hasComplexGraphemes(text)) {
        // Every code unit is a character here, so stretches without white space go in whole.
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n;) {
            if (Text::isWhiteSpace(text[i].unicode())) {
                pendingSpace_ = true;
                ++i;
                continue;
            }
            qsizetype end = i + 1;
            while (end < n && !Text::isWhiteSpace(text[end].unicode()))
                ++end;
            addVisible(QStringView(text).mid(i, end - i));
            i = end;
        }
    } else {
        Text::forEachGrapheme(text, [&](QStringView character) {
            if (Text::isWhiteSpace(character[0].unicode()))
                pendingSpace_ = true;
            else
                addVisible(character);
        });
    }
    append(buffer);
}

// The space between two runs takes neither neighbour's emphasis, code font or link.
void Parser::appendSeparatingSpace()
{
    Style plain = style_;
    plain.bold = plain.italic = plain.code = false;
    plain.link.reset();
    output_.append(u" ", plain.attributes());
    if (style_.item)
        style_.item->hasParagraph = true;
    lastCharacter_ = LastCharacter::other;
}

void Parser::append(QStringView text)
{
    if (text.isEmpty())
        return;
    output_.append(text, style_.attributes());
    if (style_.item)
        style_.item->hasParagraph = true;
    // CR LF is one character, and it is not a line feed.
    const qsizetype n = text.size();
    const bool lineFeed = text[n - 1] == u'\n' && (n == 1 || text[n - 2] != u'\r');
    lastCharacter_ = lineFeed ? LastCharacter::lineFeed : LastCharacter::other;
}

struct NamedReference {
    QStringView name;
    char16_t replacement;
};

constexpr NamedReference namedReferences[] = {
    {u"amp", u'&'},    {u"lt", u'<'},      {u"gt", u'>'},      {u"quot", u'"'},     {u"apos", u'\''},
    {u"nbsp", 0x00A0}, {u"ndash", 0x2013}, {u"mdash", 0x2014}, {u"hellip", 0x2026}, {u"copy", 0x00A9},
    {u"reg", 0x00AE},  {u"lsquo", 0x2018}, {u"rsquo", 0x2019}, {u"ldquo", 0x201C},  {u"rdquo", 0x201D},
};

std::optional<char32_t> numericReference(QStringView name)
{
    if (name.isEmpty() || name[0] != u'#')
        return std::nullopt;
    int base = 10;
    QStringView digits = name.mid(1);
    if (digits.size() >= 1 && (digits[0] == u'x' || digits[0] == u'X')) {
        base = 16;
        digits = digits.mid(1);
    }
    if (!digits.isEmpty() && digits[0] == u'+')
        digits = digits.mid(1);
    if (digits.isEmpty())
        return std::nullopt;
    uint64_t value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else
            return std::nullopt;
        value = value * uint64_t(base) + uint64_t(digit);
        if (value > 0xFFFFFFFFULL)
            return std::nullopt;
    }
    if (value < 1 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return char32_t(value);
}

} // namespace

QString decodeEntities(const QString& text)
{
    if (!text.contains(u'&'))
        return text;
    std::vector<QStringView> characters;
    characters.reserve(size_t(text.size()));
    Text::forEachGrapheme(text, [&](QStringView c) { characters.push_back(c); });

    QString out;
    out.reserve(text.size());
    for (size_t i = 0; i < characters.size(); ++i) {
        const QStringView c = characters[i];
        if (c != u"&") {
            out.append(c);
            continue;
        }
        size_t semicolon = 0;
        for (size_t k = i + 1; k < characters.size() && k <= i + 1 + maximumReferenceLength; ++k) {
            if (characters[k] == u";") {
                semicolon = k;
                break;
            }
        }
        if (semicolon == 0) {
            out.append(c);
            continue;
        }
        QString name;
        for (size_t k = i + 1; k < semicolon; ++k)
            name.append(characters[k]);
        bool replaced = false;
        for (const NamedReference& reference : namedReferences) {
            if (reference.name == name) {
                out.append(QChar(reference.replacement));
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            if (const std::optional<char32_t> scalar = numericReference(name)) {
                out.append(QString::fromUcs4(&*scalar, 1));
                replaced = true;
            }
        }
        if (replaced)
            i = semicolon;
        else
            out.append(c);
    }
    return out;
}

bool isLinkScheme(const QString& scheme)
{
    const QString lower = scheme.toLower();
    return lower == u"http" || lower == u"https" || lower == u"mailto";
}

std::optional<QString> safeLink(const QString& href)
{
    if (href.toUtf8().size() > maximumLinkLength)
        return std::nullopt;
    // Parentheses and quotation marks are common in real addresses (articles about a thing "(with
    // a qualifier)"); the Markdown writer percent-encodes them, so they end no link.
    for (QChar c : href) {
        if (Text::isWhiteSpace(c.unicode()) || c == u'<' || c == u'>' || c == u'\\')
            return std::nullopt;
    }
    const QUrl url(href, QUrl::TolerantMode);
    if (!url.isValid() || !isLinkScheme(url.scheme()))
        return std::nullopt;
    return href;
}

std::optional<AttributedText> convert(const QByteArray& data)
{
    if (data.size() > maximumInputSize)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    size_t size = size_t(data.size());
    if (!isValidUtf8(bytes, size))
        return std::nullopt;
    // A byte-order mark is not text of the page.
    size_t offset = 0;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        offset = 3;
    Parser parser(data.constData() + offset, size - offset);
    return parser.parse();
}

} // namespace vellicord::OfflineHTMLConverter
