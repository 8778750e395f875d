#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/EmptyStateView.h"
#include "Tovak/library/PermissionBanner.h"
#include "Tovak/library/PersistenceStatusBanner.h"
#include "Tovak/library/UnavailableLibraryView.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vellicord;

namespace {

QPushButton* buttonTitled(const QWidget& view, const QString& title)
{
    for (QPushButton* button : view.findChildren<QPushButton*>()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

EmptyStateView::Content emptyLibrary(bool needsAccessibility)
{
    return {false, needsAccessibility, QString(), SidebarItem::allSelections(), QStringLiteral("Ctrl+Alt+Super+C")};
}

} // namespace

TEST(LibraryStateViews, ButtonsAskForTheirActionsOnce)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QWidget>()> make;
        QString button;
        const char* signal;
    };
    const Case cases[] = {
        {"empty state",
         [] {
             auto view = std::make_unique<EmptyStateView>();
             view->setContent(emptyLibrary(true));
             return view;
         },
         QStringLiteral("Enable Accessibility"), SIGNAL(enableAccessibilityRequested())},
        {"permission banner", [] { return std::make_unique<PermissionBanner>(); }, QStringLiteral("Open Settings"),
         SIGNAL(openSettingsRequested())},
        {"unavailable library",
         [] { return std::make_unique<UnavailableLibraryView>(LibraryRecoveryPresentation::unreadable); },
         QStringLiteral("Reveal Library Folder"), SIGNAL(revealLibraryFolderRequested())},
        {"status banner",
         [] { return std::make_unique<PersistenceStatusBanner>(StorePersistenceStatus::unreadablePrimary); },
         QStringLiteral("Reveal Library Folder"), SIGNAL(revealLibraryFolderRequested())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> view = c.make();
        QSignalSpy spy(view.get(), c.signal);
        QPushButton* button = buttonTitled(*view, c.button);
        ASSERT_TRUE(button);
        view->show();
        EXPECT_TRUE(button->isVisible());
        // A screen reader finds the button by its title.
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), c.button);
        button->click();
        EXPECT_EQ(spy.count(), 1);
    }
}

// Secondary texts take the secondary label colour of the appearance in force, also after the
// desktop switches between light and dark.
TEST(LibraryStateViews, SecondaryTextsFollowTheAppearance)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QWidget>()> make;
        const char* label;
    };
    const Case cases[] = {
        {"empty state", [] { return std::make_unique<EmptyStateView>(); }, "subtitle"},
        {"unavailable library",
         [] { return std::make_unique<UnavailableLibraryView>(LibraryRecoveryPresentation::incompatibleVersion); },
         "message"},
        {"status banner", [] { return std::make_unique<PersistenceStatusBanner>(StorePersistenceStatus::saveFailed); },
         "message"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> view = c.make();
        auto* label = view->findChild<QLabel*>(QLatin1String(c.label));
        ASSERT_TRUE(label);
        for (Appearance appearance : {Appearance::dark, Appearance::light}) {
            Theme::apply(*view, appearance);
            EXPECT_EQ(label->palette().color(QPalette::WindowText), Theme::colors(appearance).secondaryLabel);
        }
    }
}

// Every view draws in both appearances at both scales, at the width of the list column; with
// VELLICORD_RENDER_DIR set the images are kept there to be looked at.
TEST(LibraryStateViews, RenderInBothAppearancesAndScales)
{
    struct Surface {
        const char* name;
        std::function<std::unique_ptr<QWidget>()> make;
        int width;
        int height; // 0: the height the view needs at that width
    };
    const auto empty = [](EmptyStateView::Content content) {
        return [content] {
            auto view = std::make_unique<EmptyStateView>();
            view->setContent(content);
            return std::unique_ptr<QWidget>(std::move(view));
        };
    };
    const auto status = [](StorePersistenceStatus value) {
        return [value] { return std::unique_ptr<QWidget>(std::make_unique<PersistenceStatusBanner>(value)); };
    };
    const SourceIdentity page{QStringLiteral("https://arxiv.org/abs/1706.03762"), QStringLiteral("Firefox"),
                              std::nullopt, QStringLiteral("https://arxiv.org/abs/1706.03762"), std::nullopt};
    const std::vector<Surface> surfaces{
        {"empty-welcome", empty(emptyLibrary(true)), 360, 420},
        {"empty-welcome-narrow", empty(emptyLibrary(true)), 300, 420},
        {"empty-nothing", empty(emptyLibrary(false)), 360, 420},
        {"empty-source", empty({true, false, QString(), SidebarItem::source(page), QStringLiteral("Ctrl+Alt+Super+C")}),
         360, 420},
        {"empty-search-pasted",
         empty({true, false, QStringLiteral("<b>attention</b> is all you need ").repeated(500),
                SidebarItem::group(QUuid::createUuid()), QStringLiteral("Ctrl+Alt+Super+C")}),
         360, 420},
        {"unavailable-unreadable",
         [] { return std::make_unique<UnavailableLibraryView>(LibraryRecoveryPresentation::unreadable); }, 360, 420},
        {"unavailable-version",
         [] { return std::make_unique<UnavailableLibraryView>(LibraryRecoveryPresentation::incompatibleVersion); }, 360,
         420},
        {"unavailable-unreadable-wide",
         [] { return std::make_unique<UnavailableLibraryView>(LibraryRecoveryPresentation::unreadable); }, 800, 500},
        {"permission", [] { return std::make_unique<PermissionBanner>(); }, 336, 0},
        {"permission-wide", [] { return std::make_unique<PermissionBanner>(); }, 760, 0},
        {"status-ready", status(StorePersistenceStatus::ready), 336, 0},
        {"status-recovered", status(StorePersistenceStatus::recoveredFromBackup), 336, 0},
        {"status-unreadable", status(StorePersistenceStatus::unreadablePrimary), 336, 0},
        {"status-version", status(StorePersistenceStatus::incompatibleVersion), 336, 0},
        {"status-backup", status(StorePersistenceStatus::backupUnavailable), 336, 0},
        {"status-save", status(StorePersistenceStatus::saveFailed), 656, 0},
    };
    Theme::apply(*qApp, Appearance::light);
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    for (const Surface& surface : surfaces) {
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            for (qreal scale : {1.0, 2.0}) {
                const QString name
                    = QStringLiteral("%1-%2@%3x")
                          .arg(QString::fromLatin1(surface.name), appearance == Appearance::dark ? u"dark" : u"light")
                          .arg(int(scale));
                SCOPED_TRACE(name.toStdString());
                std::unique_ptr<QWidget> widget = surface.make();
                Theme::apply(*widget, appearance);
                const int height = surface.height > 0 ? surface.height : widget->heightForWidth(surface.width);
                ASSERT_GT(height, 0);
                const QImage image = OffscreenRenderer::render(*widget, QSize(surface.width, height), scale);
                EXPECT_EQ(image.size(), QSize(surface.width, height) * scale);
                // Nothing is cut off: every child fits inside the view.
                for (QWidget* child : widget->findChildren<QWidget*>()) {
                    const QRect placed(child->mapTo(widget.get(), QPoint()), child->size());
                    if (child->isVisibleTo(widget.get())) {
                        EXPECT_TRUE(widget->rect().contains(placed)) << child->metaObject()->className();
                    }
                }
                if (!folder.isEmpty())
                    image.save(folder + u'/' + name + QStringLiteral(".png"));
            }
        }
    }
}
