#include "Tovak/library/EmptyStateView.h"

#include "QtPrinters.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

const QString accessSubtitle = QStringLiteral(
    "Run Vellicord on an X display to read selected text, then select anything on your computer and press "
    "Ctrl+Alt+Super+C to save it.");
const QString captureSubtitle = QStringLiteral(
    "Select text anywhere on your computer and press Ctrl+Alt+Super+C to save it here (or click the viewfinder "
    "button).");

QString noMatch(const QString& query)
{
    return QStringLiteral("No captures match “") + query + QStringLiteral("”.");
}

} // namespace

TEST(EmptyStateView, SymbolTitleAndSubtitleByWhatIsShown)
{
    const SourceIdentity page{QStringLiteral("https://a.example/x"), QStringLiteral("Firefox"), std::nullopt,
                              QStringLiteral("https://a.example/x"), std::nullopt};
    const SidebarItem group = SidebarItem::group(QUuid::createUuid());
    const SidebarItem source = SidebarItem::source(page);
    const SidebarItem all = SidebarItem::allSelections();
    const QString pasted = QStringLiteral("word ").repeated(20000);
    const QString a199 = QString(199, u'a');

    struct Case {
        const char* name;
        bool isFiltering;
        bool needsAccessibility;
        QString search;
        std::optional<SidebarItem> selection;
        const char* symbol;
        const char* title;
        QString subtitle;
    };
    const Case cases[] = {
        {"a search of only spaces in a group counts as empty", true, false, QStringLiteral(" \t \n"), group, "folder",
         "No Captures Here", QStringLiteral("This group does not contain any captures.")},
        {"spaces around a word", true, false, QStringLiteral("  attention \n"), all, "magnifyingglass",
         "No Search Results", noMatch(QStringLiteral("attention"))},
        {"a search within a group", true, false, QStringLiteral("x"), group, "magnifyingglass", "No Search Results",
         noMatch(QStringLiteral("x"))},
        {"an empty source", true, true, QString(), source, "link", "No Captures Here",
         QStringLiteral("This source does not contain any captures.")},
        {"empty library without access", false, true, QString(), all, "text.quote", "Welcome to Vellicord",
         accessSubtitle},
        {"empty library with access", false, false, QString(), all, "text.quote", "Nothing Here Yet", captureSubtitle},
        {"the prompt falls through", false, true, QString(), SidebarItem::prompt(), "text.quote",
         "Welcome to Vellicord", accessSubtitle},
        {"a draft falls through", false, false, QString(), SidebarItem::draft(QUuid::createUuid()), "text.quote",
         "Nothing Here Yet", captureSubtitle},
        {"no selection", false, false, QString(), std::nullopt, "text.quote", "Nothing Here Yet", captureSubtitle},
        {"an HTML-looking query stays as typed", true, false, QStringLiteral("<b>bold</b> &amp;"), all,
         "magnifyingglass", "No Search Results", noMatch(QStringLiteral("<b>bold</b> &amp;"))},
        {"a pasted novel keeps its first 200 characters", true, false, pasted, all, "magnifyingglass",
         "No Search Results", noMatch(QStringLiteral("word ").repeated(40).trimmed() + u'…')},
        {"an accent is not cut from its letter", true, false, a199 + QStringLiteral("e\u0301 and more"), all,
         "magnifyingglass", "No Search Results", noMatch(a199 + u'…')},
        {"an emoji is not cut in half", true, false, a199 + QStringLiteral("👍🏽 and more"), all, "magnifyingglass",
         "No Search Results", noMatch(a199 + u'…')},
        {"an emoji after Thai letters is not cut in half", true, false,
         QString(199, QChar(0x0E01)) + QStringLiteral("😀 and more"), all, "magnifyingglass", "No Search Results",
         noMatch(QString(199, QChar(0x0E01)) + u'…')},
        {"one grapheme longer than the limit is cut anyway", true, false, u'e' + QString(400, QChar(0x0301)), all,
         "magnifyingglass", "No Search Results", noMatch(u'e' + QString(199, QChar(0x0301)) + u'…')},
    };
    EmptyStateView view;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EmptyStateView::Content content{c.isFiltering, c.needsAccessibility, c.search, c.selection,
                                              QStringLiteral("Ctrl+Alt+Super+C")};
        EXPECT_EQ(EmptyStateView::symbolName(content), QLatin1String(c.symbol));
        EXPECT_EQ(EmptyStateView::title(content), QString::fromUtf8(c.title));
        EXPECT_EQ(EmptyStateView::subtitle(content), c.subtitle);

        view.setContent(content);
        EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("title"))->text(), QString::fromUtf8(c.title));
        EXPECT_EQ(view.accessibleName(), QString::fromUtf8(c.title));
        EXPECT_EQ(view.accessibleDescription(), c.subtitle);
        auto* button = view.findChild<QPushButton*>();
        EXPECT_EQ(!button->isHidden(), c.needsAccessibility);
    }
}

// However long or however broken into lines the query is, the subtitle takes at most three lines
// of at most 360 pixels, and any text that does fit is shown as typed, markup included.
TEST(EmptyStateView, SubtitleShowsAtMostThreeLinesOfPlainText)
{
    struct Case {
        const char* name;
        QString search;
        int viewWidth;
        bool elided;
    };
    const Case cases[] = {
        {"markup is text", QStringLiteral("<b>bold</b> &amp; <img src=x>"), 600, false},
        {"a short query in a narrow column", QStringLiteral("tokens"), 300, false},
        {"a pasted novel", QStringLiteral("word ").repeated(20000), 600, true},
        {"a pasted novel in a narrow column", QStringLiteral("word ").repeated(20000), 300, true},
        {"one long word", QString(5000, u'x'), 600, true},
        {"many short lines", QStringLiteral("line\n").repeated(50), 600, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyStateView view;
        view.setContent({true, false, c.search, SidebarItem::allSelections(), QStringLiteral("Ctrl+Alt+Super+C")});
        view.resize(c.viewWidth, view.heightForWidth(c.viewWidth));
        view.show();
        auto* subtitle = view.findChild<QLabel*>(QStringLiteral("subtitle"));
        ASSERT_TRUE(subtitle);
        EXPECT_EQ(subtitle->textFormat(), Qt::PlainText);
        const QStringList lines = subtitle->text().split(u'\n');
        EXPECT_LE(lines.size(), 3);
        EXPECT_LE(subtitle->width(), 360);
        EXPECT_LE(subtitle->height(), 3 * subtitle->fontMetrics().height() + 2);
        for (const QString& line : lines)
            EXPECT_LE(subtitle->fontMetrics().horizontalAdvance(line), subtitle->width()) << line.toStdString();
        if (c.elided)
            EXPECT_TRUE(lines.last().endsWith(u'…')) << lines.last().toStdString();
        else
            EXPECT_EQ(lines.join(u' '), EmptyStateView::subtitle(view.content()));
    }
}
