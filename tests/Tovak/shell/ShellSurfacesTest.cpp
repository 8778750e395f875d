#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/shell/CaptureToastController.h"
#include "Tovak/shell/CaptureToastView.h"
#include "Tovak/shell/SettingsView.h"
#include "Tovak/kit/VellicordMark.h"
#include "Tovak/kit/VellicordMarkView.h"
#include "Tovak/library/WelcomeView.h"
#include "core/library/Selection.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vellicord;

namespace {

struct Surface {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    QSize size; // invalid: the view's own size
};

Selection sampleCapture()
{
    return Selection(QUuid::createUuid(),
                     QStringLiteral("  Attention is all you need: the transformer replaces recurrence "
                                    "with self-attention, so every position sees every other.\nSecond line"),
                     std::nullopt, QStringLiteral("Firefox"), QStringLiteral("org.mozilla.firefox"),
                     QStringLiteral("https://arxiv.org/abs/1706.03762"), QStringLiteral("Attention"),
                     std::nullopt, {}, QDateTime::currentDateTimeUtc());
}

const std::vector<Surface>& surfaces()
{
    static const std::vector<Surface> list{
        {"settings",
         [] {
             return std::make_unique<SettingsView>(SettingsView::SnapshotValues{
                 QStringLiteral("Ctrl+Alt+Super+C"), true,
                 QStringLiteral("/home/ada/.local/share/Vellicord/Vellicord.json"),
                 QStringLiteral("1.0 (1)")});
         },
         QSize(520, 360)},
        {"welcome",
         [] { return std::make_unique<WelcomeView>(true, QStringLiteral("Ctrl+Alt+Super+C")); },
         QSize()},
        {"toast-saved",
         [] {
             return std::make_unique<CaptureToastView>(
                 CaptureToastController::savedContent(sampleCapture(), true));
         },
         QSize()},
        {"toast-failed",
         [] {
             return std::make_unique<CaptureToastView>(CaptureToastController::failureContent(
                 QStringLiteral("You're inside Vellicord. Switch to the app that has your text "
                                "selected, then press the hotkey.")));
         },
         QSize()},
        {"mark-44", [] { return std::make_unique<VellicordMarkView>(44); }, QSize()},
    };
    return list;
}

// Pixels that differ from the corner pixel: something was drawn.
int drawnPixels(const QImage& image)
{
    const QRgb corner = image.pixel(0, 0);
    int count = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            count += image.pixel(x, y) != corner;
    }
    return count;
}

} // namespace

// Every surface draws something in both appearances and at both scales; with
// VELLICORD_RENDER_DIR set the images are kept there to be looked at.
TEST(ShellSurfaces, RenderInBothAppearancesAndScales)
{
    Theme::apply(*qApp, Appearance::light);
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    for (const Surface& surface : surfaces()) {
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            for (qreal scale : {1.0, 2.0}) {
                const QString name = QStringLiteral("%1-%2@%3x")
                                         .arg(QString::fromLatin1(surface.name),
                                              appearance == Appearance::dark ? u"dark" : u"light")
                                         .arg(int(scale));
                SCOPED_TRACE(name.toStdString());
                std::unique_ptr<QWidget> widget = surface.make();
                Theme::apply(*widget, appearance);
                const QImage image = OffscreenRenderer::render(*widget, surface.size, scale);
                const QSize expected = surface.size.isValid() ? surface.size : widget->sizeHint();
                EXPECT_EQ(image.size(), expected * scale);
                EXPECT_GT(drawnPixels(image), 50);
                if (!folder.isEmpty())
                    image.save(folder + u'/' + name + QStringLiteral(".png"));
            }
        }
    }
    if (!folder.isEmpty()) {
        for (qreal scale : {1.0, 2.0})
            VellicordMark::statusImage(scale).save(folder + QStringLiteral("/status-%1x.png").arg(int(scale)));
    }
}
