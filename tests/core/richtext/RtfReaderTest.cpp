#include "core/richtext/RtfReader.h"

#include "core/richtext/MarkdownSerializer.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

QString markdown(const char* rtf)
{
    const auto text = RtfReader::read(QByteArray(rtf));
    return text ? MarkdownSerializer::convert(*text) : QStringLiteral("<nil>");
}

QString plain(const char* rtf)
{
    const auto text = RtfReader::read(QByteArray(rtf));
    return text ? text->string() : QStringLiteral("<nil>");
}

// As a text editor of one desktop writes it: literal tabs around list markers, level markers by
// name, fields for links, a Unicode fallback of "?".
const char* editorSample = R"x({\rtf1\ansi\ansicpg1252
{\fonttbl\f0\fswiss\fcharset0 Helvetica;\f1\fmodern\fcharset0 Courier;}
{\colortbl;\red255\green255\blue255;}
{\*\expandedcolortbl;;}
{\*\listtable{\list\listtemplateid1\listhybrid{\listlevel\levelnfc23\levelnfcn23\leveljc0\leveljcn0\levelfollow0\levelstartat1\levelspace360\levelindent0{\*\levelmarker \{disc\}}{\leveltext\leveltemplateid1\'01\uc0\u8226 ;}{\levelnumbers;}\fi-360\li720\lin720 }{\listname ;}\listid1}
{\list\listtemplateid2\listhybrid{\listlevel\levelnfc0\levelnfcn0\leveljc0\leveljcn0\levelfollow0\levelstartat3\levelspace360\levelindent0{\*\levelmarker \{decimal\}.}{\leveltext\leveltemplateid101\'02\'00.;}{\levelnumbers\'01;}\fi-360\li720\lin720 }{\listname ;}\listid2}}
{\*\listoverridetable{\listoverride\listid1\listoverridecount0\ls1}{\listoverride\listid2\listoverridecount0\ls2}}
\paperw11900\paperh16840\margl1440\margr1440\vieww11520\viewh8400\viewkind0
\pard\tx566\pardirnatural\partightenfactor0

\f0\fs48 \cf0 Title\
\fs24 Plain \b bold\b0  and \i italic\i0  and {\field{\*\fldinst{HYPERLINK "https://example.com/a"}}{\fldrslt link}} and \f1 co`de\f0 .\
\pard\tx220\tx720\pardirnatural\li720\fi-720\partightenfactor0
\ls1\ilvl0\cf0 {\listtext	\uc0\u8226 	}first\
{\listtext	\uc0\u8226 	}second\
\pard\tx220\tx720\li720\fi-720\ls2\ilvl0 {\listtext	3.	}three\
{\listtext	4.	}four\
\pard\li720 Indented quote\
Caf\'e9 \u8364? \uc2\u-10179 ??\u-8704 ??!}
)x";

// As a word processor writes it: a Cyrillic code page through the font's character set, a
// fixed-pitch font, list text with a marker and a tab, nested levels that restart.
const char* wordSample
    = R"x({\rtf1\adeflang1025\ansi\ansicpg1252\uc1\adeff0\deff0{\fonttbl{\f0\froman\fcharset204\fprq2 Times New Roman;}{\f1\fmodern\fcharset0\fprq1{\*\panose 02070309020205020404}Courier New;}{\f3\fbidi \froman\fcharset2\fprq2 Symbol;}}
{\*\listtable{\list\listtemplateid-1\listhybrid{\listlevel\levelnfc0\levelstartat1{\leveltext\'02\'00.;}{\levelnumbers\'01;}}{\listlevel\levelnfc4\levelstartat1{\leveltext\'02\'01);}{\levelnumbers\'01;}}\listid100}}
{\*\listoverridetable{\listoverride\listid100\listoverridecount0\ls1}}
\pard\plain \f0\fs24 \'cf\'f0\'e8\'e2\'e5\'f2 \f1 mono\f0\par
\pard\fi-360\li720\ls1\ilvl0 {\listtext\pard\plain\f0 1.\tab}One\par
\pard\fi-360\li1440\ls1\ilvl1 {\listtext\pard\plain\f0 a)\tab}Sub\par
\pard\fi-360\li720\ls1\ilvl0 {\listtext\pard\plain\f0 2.\tab}Two\par
\pard\fi-360\li1440\ls1\ilvl1 {\listtext\pard\plain\f0 a)\tab}Sub again\par
}
)x";

} // namespace

TEST(RtfReader, Samples)
{
    EXPECT_EQ(markdown(editorSample),
              QString::fromUtf8("# Title\n"
                                "Plain **bold** and *italic* and [link](https://example.com/a) and ``co`de``.\n\n"
                                "- first\n- second\n\n<!-- -->\n\n3. three\n4. four\n\n"
                                "> Indented quote\n> Caf\u00e9 \u20ac \U0001F600!"));
    EXPECT_EQ(markdown(wordSample),
              QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442 `mono`\n\n"
                                "1. One\n    1. Sub\n2. Two\n    1. Sub again"));
}

TEST(RtfReader, Text)
{
    struct Case {
        const char* name;
        const char* rtf;
        const char* text;
    };
    const Case cases[] = {
        {"not rtf", "hello", "<nil>"},
        {"empty document", "{\\rtf1}", ""},
        {"escapes", "{\\rtf1 a\\{b\\}c\\\\d\\~e\\_f\\-g}", "a{b}c\\d\u00a0e\u2011fg"},
        {"tabs and breaks", "{\\rtf1 a\\tab b\\line c\\par d}", "a\tb\u2028c\nd"},
        {"named characters", "{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}",
         "\u2014\u2013\u2022\u2018\u2019\u201c\u201d"},
        {"unicode with default fallback", "{\\rtf1 \\u20320?\\u22909?}", "\u4f60\u597d"},
        {"fallback ends with the group", "{\\rtf1\\uc3 {\\u233 a}b}", "\u00e9b"},
        {"fallback of escaped bytes", "{\\rtf1\\uc1 \\u8364\\'80x}", "\u20acx"},
        {"lone surrogate repaired", "{\\rtf1\\uc0 \\u-10179 x}", "\ufffdx"},
        {"mac code page", "{\\rtf1\\mac \\'8e}", "\u00e9"},
        {"shift-jis pair", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0}", "\u3042"},
        {"raw high byte in 1252", "{\\rtf1\\ansi \x93q\x94}", "\u201cq\u201d"},
        {"binary skipped", "{\\rtf1 a\\bin3 }}}b}", "ab"},
        {"unknown starred destination", "{\\rtf1 a{\\*\\foo hidden}b}", "ab"},
        {"skipped destinations", "{\\rtf1{\\info{\\title T}}{\\colortbl;\\red0;}{\\stylesheet{\\s0 Normal;}}x}", "x"},
        {"picture skipped", "{\\rtf1 a{\\pict\\pngblip 89504e47\\'ff}b}", "ab"},
        {"unbalanced end", "{\\rtf1 a{\\b b", "ab"},
        {"text after the document", "{\\rtf1 a}b", "a"},
        {"cells and rows", "{\\rtf1 a\\cell b\\cell\\row c}", "a\tb\t\nc"},
        {"non-link field keeps its result", "{\\rtf1{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}}", "7"},
        {"hidden text left out", "{\\rtf1 a\\v b\\v0 c{\\v d\\par e}f\\line}", "acf\u2028"},
        {"plain shows hidden text again", "{\\rtf1 a\\v b\\plain c}", "ac"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plain(c.rtf), QString::fromUtf8(c.text)) << c.name;
}

TEST(RtfReader, Attributes)
{
    const auto text = RtfReader::read(
        "{\\rtf1{\\fonttbl{\\f0 Helvetica;}{\\f1\\fnil Menlo-Regular;}}\\f0\\fs30 \\strike s\\strike0 "
        "\\b\\i bi\\plain p{\\field{\\*\\fldinst{HYPERLINK \\\\l \"anchor\" \"mailto:a@b.c\"}}{\\fldrslt m}}"
        "{\\field{\\*\\fldinst HYPERLINK \"notes/a b.txt\"}{\\fldrslt r}}}");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "sbipmr");
    const auto& s = text->attributesAt(0);
    EXPECT_EQ(s.strikethroughStyle, 1);
    EXPECT_EQ(s.font->pointSize, 15.0);
    EXPECT_EQ(s.font->name, "Helvetica");
    EXPECT_FALSE(s.heading);
    const auto& bi = text->attributesAt(1);
    EXPECT_TRUE(bi.font->bold && bi.font->italic);
    EXPECT_EQ(bi.strikethroughStyle, 0);
    EXPECT_EQ(text->attributesAt(3).font->pointSize, 12.0);
    ASSERT_TRUE(text->attributesAt(4).link);
    EXPECT_EQ(text->attributesAt(4).link->target, "mailto:a@b.c");
    EXPECT_EQ(text->attributesAt(4).link->kind, AttributedText::Link::Kind::url);
    ASSERT_TRUE(text->attributesAt(5).link);
    EXPECT_EQ(text->attributesAt(5).link->kind, AttributedText::Link::Kind::string);
    EXPECT_EQ(markdown("{\\rtf1{\\fonttbl{\\f1\\fnil Menlo-Regular;}}\\f1 x}"), "`x`");
}

TEST(RtfReader, Limits)
{
    auto nested = [](int depth) {
        QByteArray rtf = "{\\rtf1 ";
        for (int i = 1; i < depth; ++i)
            rtf.append('{');
        rtf.append('x');
        return rtf;
    };
    EXPECT_TRUE(RtfReader::read(nested(RtfReader::maximumGroupDepth)));
    EXPECT_FALSE(RtfReader::read(nested(RtfReader::maximumGroupDepth + 1)));
    EXPECT_FALSE(RtfReader::readRtfd("rtfd"));
    const QByteArray huge = "{\\rtf1 " + QByteArray(RtfReader::maximumInputSize, 'x');
    EXPECT_FALSE(RtfReader::read(huge));
    EXPECT_EQ(plain("{\\rtf1 \\fs99999999999999999999 \\ls99999999999 \\ilvl-5 \\u99999999999 xy}").size(), 2);
    const auto indented = RtfReader::read("{\\rtf1 \\li99999999999\\fi99999999999 x\\par}");
    ASSERT_TRUE(indented);
    EXPECT_EQ(indented->attributesAt(0).paragraphStyle->firstLineHeadIndent, 2.0 * 2147483647 / 20);

    // Words repeated without end keep to their limits instead of costing memory with the square
    // of the document's size: tab stops that pile up over paragraphs, list levels of one list.
    QByteArray tabs = "{\\rtf1 ";
    for (int i = 0; i < 20000; ++i)
        tabs.append("\\tx1 x\\par ");
    const auto tabbed = RtfReader::read(tabs + '}');
    ASSERT_TRUE(tabbed);
    EXPECT_EQ(tabbed->attributesAt(tabbed->length() - 2).paragraphStyle->tabStops.size(), 64);
    QByteArray levels = "{\\rtf1{\\*\\listtable{\\list";
    for (int i = 0; i < 20000; ++i)
        levels.append("\\listlevel\\levelnfc23\\levelstartat5");
    for (int i = 0; i < 2000; ++i)
        levels.append("\\listid" + QByteArray::number(i));
    EXPECT_EQ(plain(levels + "}}x}"), QStringLiteral("x"));
}
