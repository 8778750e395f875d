#include "QtPrinters.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(MarkdownOf, PrintsWhatACaptureKeeps)
{
    struct Case {
        const char* name;
        const char* file;
        QByteArray content;
        int status;
        QByteArray output;
    };
    // A word processor's list: bullets, then "o", then numbers, each item's marker in its list text.
    const auto wordList = [](const QByteArray& items) {
        return R"({\rtf1{\fonttbl{\f0 Calibri;}{\f1\fcharset2 Symbol;}{\f2 Courier New;}}{\*\listtable{\list)"
               R"({\listlevel\levelnfc23}{\listlevel\levelnfc23}{\listlevel\levelnfc0}\listid1}})"
               R"({\*\listoverridetable{\listoverride\listid1\ls1}}\f0 )"
            + items + '}';
    };
    const QByteArray bullet = R"(\pard\ls1\ilvl0{\listtext\pard\plain\f1\'B7\tab})";
    const QByteArray circle = R"(\pard\ls1\ilvl1{\listtext\pard\plain\f2 o\tab})";
    const QByteArray number = R"(\pard\ls1\ilvl2{\listtext\pard\plain\f0 1.\tab})";
    const Case cases[] = {
        {"HTML", "page.html", "<p>It <b>works</b> &amp;&amp; <code>echo `date`</code></p><p>x</p>", 0,
         "It **works** && `` echo `date` ``\nx"},
        {"upper-case suffix", "PAGE.HTM", "<h2>Title</h2>", 0, "## Title"},
        {"RTF", "note.rtf", "{\\rtf1 \\b bold\\b0\\line next\\par}", 0, "**bold**\\\nnext"},
        {"RTF hidden text", "hidden.rtf", R"({\rtf1\ansi{\fonttbl{\f0 Times;}}\f0 Keep {\v HIDDEN }this\par})", 0,
         "Keep this"},
        {"RTF lists as WordPad writes them", "lists.rtf",
         R"({\rtf1{\fonttbl{\f0 Calibri;}{\f1\fcharset2 Symbol;}}\pard{\pntext\f1\'B7\tab}{\*\pn\pnlvlblt{\pntxtb\'B7}})"
         R"(\fi-360\li720\f0 eggs\par{\pntext\f1\'B7\tab}milk\par\pard{\pntext\f0 1.\tab}{\*\pn\pnlvlbody\pndec{\pntxta.}})"
         R"(\fi-360\li720 first\par{\pntext\f0 2.\tab}second\par})",
         0, "- eggs\n- milk\n\n<!-- -->\n\n1. first\n2. second"},
        {"RTF list item with a tab in its words", "total.rtf", wordList(bullet + R"(Total:\tab 42 units\par)"), 0,
         "- Total:\t42 units"},
        {"RTF nested list item with a tab in its words", "nested.rtf",
         wordList(bullet + R"(Contact\par)" + circle + R"(Name:\tab Alice Smith\par)"), 0,
         "- Contact\n  - Name:\tAlice Smith"},
        {"RTF third-level list item with tabs", "steps.rtf",
         wordList(bullet + R"(Setup\par)" + circle + R"(Server\par)" + number
                  + R"(Step 1\tab do this\tab then that\par)"),
         0, "- Setup\n  - Server\n    1. Step 1\tdo this\tthen that"},
        {"RTF list paragraph without its list text", "bare.rtf", wordList(R"(\pard\ls1\ilvl0 Name:\tab Alice\par)"), 0,
         "- Name:\tAlice"},
        {"HTML the converter refuses", "broken.html", "<p>never closed <b", 1, ""},
        {"HTML without text", "empty.html", "<p> </p><script>x()</script>", 1, ""},
        {"not RTF", "plain.rtf", "just text", 1, ""},
        {"another kind of file", "notes.txt", "text", 2, ""},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const Case& c : cases) {
        const QString path = folder.filePath(QString::fromLatin1(c.file));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.content) == c.content.size()) << c.name;
        file.close();
        QProcess process;
        process.start(QStringLiteral(MARKDOWN_OF), {path});
        ASSERT_TRUE(process.waitForFinished(10000)) << c.name;
        EXPECT_EQ(process.exitCode(), c.status) << c.name;
        EXPECT_EQ(process.readAllStandardOutput(), c.output) << c.name;
    }
}

} // namespace
