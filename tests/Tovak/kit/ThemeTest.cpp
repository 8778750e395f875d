#include "Tovak/kit/Theme.h"

#include "QtPrinters.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "Tovak/export/AppScreenshotExporter.h"
#include "Tovak/export/UISurfaceCanvas.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/library/NameSheet.h"
#include "Tovak/library/WelcomeView.h"
#include "Tovak/shell/SettingsView.h"
#include "core/library/Store.h"
#include "support/Contrast.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSemaphore>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QThreadPool>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iostream>
#include <memory>

using namespace vellicord;
using vellicord::test::contrast;

namespace {

// Where a control's edge is drawn, in the view's coordinates: a check box's box; an editor without
// a frame of its own, the box around it; any other control, the widget. None for what is not a
// control, or is one identified by its symbol alone (a tool button that raises only under the
// pointer), or is disabled.
std::optional<QRect> edgeOf(QWidget& widget, QWidget& view)
{
    if (!widget.isVisibleTo(&view) || !widget.isEnabled())
        return std::nullopt;
    QWidget* drawn = &widget;
    QRect local = widget.rect();
    if (auto* box = qobject_cast<QCheckBox*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        local = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    } else if (auto* tool = qobject_cast<QToolButton*>(&widget); tool && tool->autoRaise()) {
        return std::nullopt;
    } else if (auto* editor = qobject_cast<QPlainTextEdit*>(&widget)) {
        if (editor->isReadOnly())
            return std::nullopt;
        if (editor->frameShape() == QFrame::NoFrame) {
            drawn = editor->parentWidget();
            local = drawn->rect();
        }
    } else if (!qobject_cast<QAbstractButton*>(&widget) && !qobject_cast<QLineEdit*>(&widget)
               && !qobject_cast<QComboBox*>(&widget)) {
        return std::nullopt;
    }
    return QRect(drawn->mapTo(&view, local.topLeft()), local.size());
}

QString nameOf(const QWidget& widget)
{
    if (!widget.accessibleName().isEmpty())
        return widget.accessibleName();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget); button && !button->text().isEmpty())
        return button->text();
    return QString::fromLatin1(widget.metaObject()->className());
}

// How well a control's edge stands out: at the middle of each side, the strongest contrast between
// the colour three pixels outside and the pixels from one outside to one inside the edge; the
// weakest side is the figure, as every side must be seen.
double edgeContrast(const QImage& image, const QRect& edge)
{
    const QPoint centre = edge.center();
    const struct {
        QPoint at;
        QPoint outward;
    } sides[] = {{{edge.left(), centre.y()}, {-1, 0}},
                 {{edge.right(), centre.y()}, {1, 0}},
                 {{centre.x(), edge.top()}, {0, -1}},
                 {{centre.x(), edge.bottom()}, {0, 1}}};
    double weakest = 21;
    for (const auto& side : sides) {
        const QPoint around = side.at + 3 * side.outward;
        if (!image.rect().contains(around))
            continue;
        double strongest = 1;
        for (int step = 1; step >= -1; --step)
            strongest = std::max(strongest, contrast(image.pixel(side.at + step * side.outward), image.pixel(around)));
        weakest = std::min(weakest, strongest);
    }
    return weakest;
}

struct Surface {
    const char* name;
    std::function<std::unique_ptr<QWidget>(ViewFakes&)> make;
    QSize size;
};

// The catalogue's library, with its prompt holding one excluded source.
void populate(ViewFakes& fakes)
{
    AppScreenshotExporter::populateSampleStore(*fakes.store);
    ContextDraft draft = *fakes.store->activeDraft();
    draft.entries[1].include = false;
    fakes.store->updateDraft(draft);
}

std::unique_ptr<QWidget> composer(ViewFakes& fakes)
{
    populate(fakes);
    return std::make_unique<UISurfaceCanvas>(fakes.services(),
                                             UISurfaceCanvas::Mode::compose(fakes.store->activeDraft()->id));
}

const Surface surfaces[] = {
    {"composer", composer, {1280, 760}},
    {"composer, compact", composer, {700, 560}},
    {"library",
     [](ViewFakes& fakes) {
         populate(fakes);
         return std::make_unique<UISurfaceCanvas>(fakes.services(),
                                                  UISurfaceCanvas::Mode::library(fakes.store->selections().first().id));
     },
     {1120, 660}},
    {"settings",
     [](ViewFakes&) {
         return std::make_unique<SettingsView>(SettingsView::SnapshotValues{
             .shortcut = QStringLiteral("Alt+Shift+C"), .libraryPath = QStringLiteral("/home/a/Vellicord.json")});
     },
     {520, 380}},
    {"welcome",
     [](ViewFakes&) { return std::make_unique<WelcomeView>(true, QStringLiteral("Alt+Shift+C")); },
     {520, 520}},
    {"trim sheet",
     [](ViewFakes&) {
         return std::make_unique<EntryTrimSheet>(ModelProfile::gpt4o(), QStringLiteral("Text."), nullptr);
     },
     {520, 380}},
    {"import sheet", [](ViewFakes&) { return std::make_unique<ImportSheet>(QString(), nullptr); }, {540, 420}},
    {"save-template sheet",
     [](ViewFakes&) { return std::make_unique<SaveTemplateSheet>(QStringLiteral("Summary"), nullptr); },
     {340, 180}},
    {"new-group sheet",
     [](ViewFakes&) {
         return std::make_unique<NameSheet>(QStringLiteral("New Group"), QStringLiteral("Create"), QString());
     },
     {360, 190}},
};

// A list's scroll bar, as tall as a window, looks as Fusion draws it, on screens of one and two
// device pixels to the point, and is drawn without handing part of it to the painting threads of
// the raster engine (while those threads are all held, a paint that needed one would wait).
TEST(Theme, TallScrollBarsLookAsFusionDrawsThemWithoutThePaintingThreads)
{
    const std::unique_ptr<QStyle> theme(Theme::makeStyle());
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
        for (const qreal ratio : {1.0, 2.0}) {
            const std::string where = std::string(appearance == Appearance::dark ? "dark" : "light") + " at "
                + std::to_string(int(ratio)) + "x";
            QScrollBar bar(Qt::Vertical);
            bar.setPalette(Theme::palette(appearance));
            bar.setRange(0, 5000);
            bar.setValue(1200);
            bar.resize(14, 700);
            const auto drawn = [&](QStyle* style) {
                bar.setStyle(style);
                QImage image(bar.size() * ratio, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(ratio);
                image.fill(Qt::transparent);
                bar.render(&image);
                return image;
            };
            QThreadPool& painters = *QThreadPool::globalInstance();
            QSemaphore letGo;
            std::atomic<int> heldToTheEnd = 0;
            for (int i = 0; i < painters.maxThreadCount(); ++i)
                painters.start([&] { heldToTheEnd += letGo.tryAcquire(1, 5000); });
            const QImage themed = drawn(theme.get());
            letGo.release(painters.maxThreadCount());
            painters.waitForDone();
            EXPECT_EQ(heldToTheEnd, painters.maxThreadCount()) << where << ": a painting thread was waited for";
            EXPECT_EQ(themed, drawn(fusion.get())) << where;
        }
    }
}

} // namespace

// Every enabled control of the catalogue's surfaces shows its edge at 3:1 or more against what
// surrounds it, in both appearances (an excluded source's box included, so it can be included
// again). With VELLICORD_RENDER_DIR set, the figures are printed and the renders kept there.
TEST(Theme, EveryControlsEdgeStandsOutInBothAppearances)
{
    Theme::apply(*qApp, Appearance::light);
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    for (const Surface& surface : surfaces) {
        for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
            const QString appearanceName = QString::fromLatin1(appearance == Appearance::dark ? "dark" : "light");
            ViewFakes fakes;
            std::unique_ptr<QWidget> view = surface.make(fakes);
            Theme::apply(*view, appearance);
            const QImage image = OffscreenRenderer::render(*view, surface.size, 1.0);
            int measured = 0;
            for (QWidget* widget : view->findChildren<QWidget*>()) {
                const std::optional<QRect> edge = edgeOf(*widget, *view);
                if (!edge)
                    continue;
                ++measured;
                const double figure = edgeContrast(image, *edge);
                const std::string where = std::string(surface.name) + ", " + appearanceName.toStdString() + ": "
                    + nameOf(*widget).toStdString();
                EXPECT_GE(figure, 3.0) << where;
                if (!folder.isEmpty())
                    std::cout << where << " " << QString::number(figure, 'f', 2).toStdString() << ":1\n";
            }
            EXPECT_GT(measured, 0) << surface.name;
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                image.save(QStringLiteral("%1/controls-%2-%3.png")
                               .arg(folder, QString::fromLatin1(surface.name).replace(u' ', u'-').remove(u','),
                                    appearanceName));
            }
        }
    }
}

// The button Return presses looks the same in every sheet and alert, in both appearances: filled
// with the accent and titled in white, beside a "Cancel" that is not filled.
TEST(Theme, DefaultButtonIsFilledAlikeEverywhere)
{
    Theme::apply(*qApp, Appearance::light);
    const struct {
        const char* name;
        std::function<std::unique_ptr<QWidget>()> make;
    } windows[] = {
        {"new group", [] { return std::make_unique<NameSheet>("New Group", "Create", "Research"); }},
        {"rename group", [] { return std::make_unique<NameSheet>("Rename Group", "Rename", "Research"); }},
        {"trim", [] { return std::make_unique<EntryTrimSheet>(ModelProfile::gpt4o(), "Text.", nullptr); }},
        {"import", [] { return std::make_unique<ImportSheet>("First.\n\nSecond.", nullptr); }},
        {"save template", [] { return std::make_unique<SaveTemplateSheet>("Summary", nullptr); }},
        {"welcome", [] { return std::make_unique<WelcomeView>(false, "Alt+Shift+C"); }},
        {"alert",
         [] {
             auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, "Token budget", "Token budget",
                                                      QMessageBox::Ok | QMessageBox::Cancel);
             box->setDefaultButton(QMessageBox::Ok);
             return box;
         }},
    };
    for (const auto& w : windows) {
        for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
            const std::string where = std::string(w.name) + (appearance == Appearance::dark ? ", dark" : ", light");
            std::unique_ptr<QWidget> window = w.make();
            Theme::apply(*window, appearance);
            const QImage image = OffscreenRenderer::render(*window, QSize(), 1.0);
            const QColor accent = Theme::colors(appearance).accent;
            int defaults = 0;
            for (QPushButton* button : window->findChildren<QPushButton*>()) {
                if (!button->isVisibleTo(window.get()))
                    continue;
                // Beside the title, inside the rounded corners.
                const QColor fill = image.pixelColor(button->mapTo(window.get(), QPoint(4, button->height() / 2)));
                if (!button->isDefault()) {
                    EXPECT_NE(fill.name(), accent.name()) << where << ": " << button->text().toStdString();
                    continue;
                }
                ++defaults;
                EXPECT_EQ(fill.name(), accent.name()) << where << ": " << button->text().toStdString();
                int brightest = 0;
                const QRect inside(button->mapTo(window.get(), QPoint()), button->size());
                for (int y = inside.top(); y <= inside.bottom(); ++y)
                    for (int x = inside.left(); x <= inside.right(); ++x)
                        brightest = std::max(brightest, qGray(image.pixel(x, y)));
                EXPECT_GE(brightest, 250) << where << ": a white title";
            }
            EXPECT_EQ(defaults, 1) << where;
        }
    }
}
