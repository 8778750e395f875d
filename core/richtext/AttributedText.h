#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vellicord {

// Formatted text as the rich-text converters hand it to each other: a string addressed in UTF-16
// units with runs of attributes over it. Lists and list items are shared objects compared by
// identity, so two paragraphs belong to the same list exactly when they hold the same list object.
// Values are plain data: a conversion builds one on any thread and hands it on.
class AttributedText {
public:
    struct Range {
        qsizetype location = 0;
        qsizetype length = 0;
        qsizetype end() const { return location + length; }
        friend bool operator==(const Range&, const Range&) = default;
    };

    // A font description; the platform turns it into a face only when text is drawn or measured.
    struct Font {
        // Generic family names of the platform's user-interface faces.
        static inline const QString systemFamily = QStringLiteral("system-ui");
        static inline const QString monospacedSystemFamily = QStringLiteral("monospace");

        QString name;
        QString family; // may be empty
        double pointSize = 12.0;
        bool bold = false;
        bool italic = false;
        bool monospace = false; // the monospace symbolic trait

        static Font system(double size);
        static Font monospacedSystem(double size); // regular weight
        Font withTraits(bool bold, bool italic) const;

        friend bool operator==(const Font&, const Font&) = default;
    };

    enum class ListMarkerFormat {
        decimal,
        disc,
        circle,
        square,
        hyphen,
        box,
        check,
        diamond,
        lowercaseAlpha,
        uppercaseAlpha,
        lowercaseLatin,
        uppercaseLatin,
        lowercaseRoman,
        uppercaseRoman,
        octal,
        lowercaseHexadecimal,
        uppercaseHexadecimal,
    };

    struct TextList {
        ListMarkerFormat markerFormat = ListMarkerFormat::disc;
        int64_t startingItemNumber = 1;
    };
    using TextListRef = std::shared_ptr<const TextList>;

    struct ParagraphStyle {
        double firstLineHeadIndent = 0;
        double headIndent = 0;
        double paragraphSpacing = 0;
        QList<double> tabStops; // left-aligned tab locations
        QList<TextListRef> textLists; // outermost first; compared by identity

        friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
    };

    // A link value as rich text carries it: a parsed address, or a plain string.
    struct Link {
        enum class Kind { url, string };
        Kind kind = Kind::url;
        QString target; // for an address, its full text as given
        friend bool operator==(const Link&, const Link&) = default;
    };

    // The colour that follows the interface's light or dark appearance for ordinary text.
    enum class Color { label };

    // One list item of converted HTML; readers tell a further paragraph of an item from the next
    // item by the identity of this object.
    struct ListItem {
        explicit ListItem(std::optional<int64_t> numberOverride) : numberOverride(numberOverride) {}
        const std::optional<int64_t> numberOverride;
        bool hasParagraph = false;
    };
    using ListItemRef = std::shared_ptr<ListItem>;

    struct Attributes {
        std::optional<Font> font;
        std::optional<ParagraphStyle> paragraphStyle;
        std::optional<Link> link;
        std::optional<Color> foregroundColor;
        int strikethroughStyle = 0; // 0: none
        // The heading level of text made from HTML (0 outside headings); absent on other text.
        std::optional<int> heading;
        ListItemRef listItem;
        // Text a reader wrote for a list item's visible marker (an RTF list text): not the item's
        // own words, so a writer that draws markers of its own leaves it out.
        bool listMarkerText = false;

        friend bool operator==(const Attributes&, const Attributes&) = default;
    };

    AttributedText() = default;

    qsizetype length() const { return text_.size(); }
    bool isEmpty() const { return text_.isEmpty(); }
    const QString& string() const { return text_; }
    QString substring(Range range) const { return text_.mid(range.location, range.length); }

    // Appends text with attributes; equal neighbouring attributes share one run.
    void append(QStringView text, const Attributes& attributes);
    // Changes the attributes over a range, splitting runs at its ends.
    void modifyAttributes(Range range, const std::function<void(Attributes&)>& change);
    void setParagraphStyle(Range range, const std::optional<ParagraphStyle>& style);
    // Many setParagraphStyle calls in one pass over the runs (linear, where calls one by one
    // would move the runs after each range every time). The ranges are in order and disjoint.
    void setParagraphStyles(const std::vector<std::pair<Range, std::optional<ParagraphStyle>>>& changes);

    // The attributes at an index (0 <= index < length) and the range of the run holding them.
    const Attributes& attributesAt(qsizetype index, Range* effectiveRange = nullptr) const;
    // Calls visit for each run clipped to the range, in order.
    void forEachRun(Range range, const std::function<void(Range, const Attributes&)>& visit) const;

    // The paragraph containing the position, its terminator (LF, CR, CR LF or U+2029) included.
    Range paragraphRange(qsizetype position) const;

    // Same characters and same attributes over the same ranges (lists and list items by identity).
    friend bool operator==(const AttributedText&, const AttributedText&) = default;

private:
    struct Run {
        qsizetype start;
        Attributes attributes;
        friend bool operator==(const Run&, const Run&) = default;
    };
    qsizetype runIndexAt(qsizetype index) const;
    qsizetype runEnd(qsizetype runIndex) const;
    void splitAt(qsizetype index);

    QString text_;
    std::vector<Run> runs_;
};

} // namespace vellicord
