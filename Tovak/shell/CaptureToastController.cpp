#include "Tovak/shell/CaptureToastController.h"

#include "core/library/Selection.h"
#include "platform/Desktop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

namespace vellicord {

CaptureToastController::CaptureToastController(Desktop& desktop, QObject* parent)
    : QObject(parent)
    , desktop_(desktop)
    , dismissTimer_(new QTimer(this))
{
    dismissTimer_->setSingleShot(true);
    connect(dismissTimer_, &QTimer::timeout, this, &CaptureToastController::dismiss);
}

CaptureToastController::~CaptureToastController()
{
    if (panel_)
        panel_->deleteLater();
}

CaptureToastView::Content CaptureToastController::savedContent(const Selection& selection, bool addedToPrompt)
{
    const std::optional<QString> detail = selection.sourceDetail();
    std::optional<QString> source = detail;
    if (addedToPrompt)
        source = QStringLiteral("added to Prompt") + (detail ? QStringLiteral(" · ") + *detail : QString());
    return {true, QStringLiteral("Saved · ") + selection.appName, selection.headline(), source};
}

CaptureToastView::Content CaptureToastController::failureContent(const QString& message)
{
    return {false, QStringLiteral("Nothing saved"), message, std::nullopt};
}

CaptureToastView::Content CaptureToastController::keptContent(const Selection& selection, bool addedToPrompt)
{
    const QString reason = QStringLiteral("Vellicord could not save the latest changes.");
    return {false, QStringLiteral("Kept, not yet on disk · ") + selection.appName, selection.headline(),
            addedToPrompt ? QStringLiteral("added to Prompt · ") + reason : reason};
}

void CaptureToastController::showSaved(const Selection& selection, bool addedToPrompt, bool lastSaveFailed)
{
    if (lastSaveFailed) {
        present(keptContent(selection, addedToPrompt));
        return;
    }
    present(savedContent(selection, addedToPrompt));
    savedPanel_ = panel_;
    keptForm_ = keptContent(selection, addedToPrompt);
}

void CaptureToastController::showSaveFailed()
{
    if (savedPanel_ && savedPanel_ == panel_)
        present(keptForm_);
}

void CaptureToastController::present(const CaptureToastView::Content& content)
{
    dismissTimer_->stop();
    if (panel_) {
        panel_->hide();
        panel_->deleteLater();
    }

    const bool translucent = desktop_.isCompositing();
    auto* view = new CaptureToastView(content, translucent);
    view->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                         | Qt::X11BypassWindowManagerHint);
    view->setAttribute(Qt::WA_ShowWithoutActivating);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowOpacity(0.0);

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect visible = screen->availableGeometry();
        // The panel itself, not its shadow margin, sits 8 points below the top of the screen.
        const int x = visible.center().x() + 1 - view->width() / 2;
        const int y = visible.top() + 8 - int(view->panelRect().top());
        view->move(x, y);
    }
    view->show();
    panel_ = view;

    auto* fadeIn = new QPropertyAnimation(view, "windowOpacity", view);
    fadeIn->setDuration(fadeInMs);
    fadeIn->setEndValue(1.0);
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
    dismissTimer_->start(visibleMs);
}

void CaptureToastController::dismiss()
{
    QPointer<QWidget> fading = panel_;
    if (!fading)
        return;
    auto* fadeOut = new QPropertyAnimation(fading, "windowOpacity", fading);
    fadeOut->setDuration(fadeOutMs);
    fadeOut->setEndValue(0.0);
    connect(fadeOut, &QPropertyAnimation::finished, this, [this, fading] {
        // A newer panel may have replaced this one meanwhile; only this one goes.
        if (fading && panel_ == fading) {
            fading->close();
            panel_.clear();
        }
    });
    fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace vellicord
