#include "Tovak/library/PersistenceStatusBanner.h"

#include "QtPrinters.h"
#include "Tovak/library/UnavailableLibraryView.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

const QString unreadableMessage = QStringLiteral(
    "Vellicord could not open the library. Restore a valid library or backup file, then relaunch Vellicord.");
const QString newerFormatMessage = QStringLiteral(
    "The library or backup uses a format this version of Vellicord cannot open. Both files are unchanged. Open "
    "them with a compatible version of Vellicord.");

bool revealOffered(const QWidget& view)
{
    for (QPushButton* button : view.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Reveal Library Folder"))
            return button->isVisibleTo(&view);
    }
    return false;
}

// What a screen reader is told about the view as one element.
QString accessible(QWidget& view, QAccessible::Text text)
{
    return QAccessible::queryAccessibleInterface(&view)->text(text);
}

} // namespace

TEST(PersistenceStatusBanner, PresentationByStatus)
{
    using S = StorePersistenceStatus;
    const char* warning = "exclamationmark.triangle.fill";
    struct Case {
        S status;
        const char* symbol;
        bool warning;
        const char* title;
        QString message;
        bool canReveal;
    };
    const Case cases[] = {
        {S::ready, "checkmark.circle.fill", false, "Local library ready",
         QStringLiteral("Vellicord stores this library and its backup on this computer."), false},
        {S::recoveredFromBackup, "arrow.counterclockwise.circle.fill", false, "Library recovered",
         QStringLiteral("Vellicord restored a known-good local backup and preserved the unreadable data."), false},
        {S::unreadablePrimary, warning, true, "Library unavailable", unreadableMessage, true},
        {S::incompatibleVersion, warning, true, "Library version not supported", newerFormatMessage, false},
        {S::backupUnavailable, warning, true, "Backup unavailable",
         QStringLiteral("The library is open, but Vellicord could not refresh its local backup."), false},
        {S::saveFailed, warning, true, "Changes not saved",
         QStringLiteral("Vellicord could not save the latest changes. The current library remains open."), false},
    };
    // One banner moved through every status: nothing of an earlier status may stay behind.
    PersistenceStatusBanner banner(S::unreadablePrimary);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status.name());
        const PersistenceStatusBanner::Presentation shown = PersistenceStatusBanner::presentation(c.status);
        EXPECT_EQ(shown.symbol, QLatin1String(c.symbol));
        EXPECT_EQ(shown.warning, c.warning);
        EXPECT_EQ(shown.title, QLatin1String(c.title));
        EXPECT_EQ(shown.message, c.message);
        EXPECT_EQ(shown.canReveal, c.canReveal);

        banner.setStatus(c.status);
        EXPECT_EQ(banner.status(), c.status);
        EXPECT_EQ(banner.findChild<QLabel*>(QStringLiteral("title"))->text(), QLatin1String(c.title));
        EXPECT_EQ(banner.findChild<QLabel*>(QStringLiteral("message"))->text(), c.message);
        EXPECT_EQ(revealOffered(banner), c.canReveal);
        EXPECT_EQ(accessible(banner, QAccessible::Name), QLatin1String(c.title));
        EXPECT_EQ(accessible(banner, QAccessible::Description), c.message);

        // The unavailable-library view says the same and offers the same, for the two statuses
        // that replace the browser.
        if (const auto recovery = c.status.unavailableLibraryPresentation()) {
            UnavailableLibraryView view(*recovery);
            EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("title"))->text(), QLatin1String(c.title));
            EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("message"))->text(), c.message);
            EXPECT_EQ(revealOffered(view), c.canReveal);
            EXPECT_EQ(accessible(view, QAccessible::Name), QLatin1String(c.title));
            EXPECT_EQ(accessible(view, QAccessible::Description), c.message);
        }
    }
}
