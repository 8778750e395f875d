#include "Tovak/shell/CaptureRequest.h"

#include "core/library/Store.h"
#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/Sound.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QUuid>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vellicord {

using namespace std::chrono_literals;

// The state of one capture shared with its thread: the thread may outlive a request that gave up
// waiting for it.
struct CaptureRequest::Job {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

CaptureRequest::CaptureRequest(Services services, QObject* parent)
    : QObject(parent)
    , services_(std::move(services))
    , toast_(services_.desktop)
{
    // A capture is confirmed before the save that writes it, which may then fail.
    connect(&services_.store, &Store::persistenceStatusChanged, this, [this] {
        if (services_.store.persistenceStatus() == StorePersistenceStatus::saveFailed)
            toast_.showSaveFailed();
    });
}

CaptureRequest::~CaptureRequest()
{
    waitForCapture(waitOnQuit);
}

QString CaptureRequest::ownAppInFrontMessage()
{
    return QStringLiteral(
        "You're inside Vellicord. Switch to the app that has your text selected, then press the hotkey.");
}

QString CaptureRequest::captureFailedMessage()
{
    return QStringLiteral("Vellicord could not capture the selected text.");
}

void CaptureRequest::refuse(const QString& message)
{
    toast_.present(CaptureToastController::failureContent(message));
    services_.sound.beep();
}

void CaptureRequest::captureNow()
{
    if (capturing_)
        return;

    if (const std::optional<QString> blocked = services_.store.persistenceStatus().blockedCaptureMessage()) {
        if (services_.showMainWindow)
            services_.showMainWindow();
        refuse(*blocked);
        return;
    }

    if (!services_.accessibility.isProcessTrusted()) {
        if (services_.showAccessibilityPrompt)
            services_.showAccessibilityPrompt();
        return;
    }

    // Only a window of this very process counts as being inside Vellicord: on Linux many
    // applications have no identifier, and they must not be taken for us.
    const std::optional<RunningApplication> front = services_.workspace.frontmostApplication();
    if (front && front->pid > 0 && front->pid == services_.processId) {
        refuse(ownAppInFrontMessage());
        return;
    }

    capturing_ = true;
    services_.log(QStringLiteral("Capture started"));
    auto job = std::make_shared<Job>();
    job_ = job;
    QPointer<CaptureRequest> self(this);
    QObject* mainContext = QCoreApplication::instance();
    std::thread([job, capture = services_.capture, self, mainContext] {
        std::optional<SelectionCapture::Outcome> outcome;
        try {
            outcome = capture();
        } catch (...) {
            // Reported as a capture that failed for no known reason.
        }
        QMetaObject::invokeMethod(
            mainContext,
            [self, outcome = std::move(outcome)] {
                if (self)
                    self->complete(outcome);
            },
            Qt::QueuedConnection);
        std::lock_guard lock(job->mutex);
        job->done = true;
        job->finished.notify_all();
    }).detach();
}

bool CaptureRequest::waitForCapture(std::chrono::milliseconds limit)
{
    if (!job_)
        return true;
    std::unique_lock lock(job_->mutex);
    return job_->finished.wait_for(lock, limit, [this] { return job_->done; });
}

bool CaptureRequest::finish(std::chrono::milliseconds limit)
{
    QElapsedTimer waited;
    waited.start();
    bool finished = waitForCapture(0ms);
    while (!finished && waited.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        finished = waitForCapture(5ms);
    }
    if (finished) {
        // A capture that ended while we waited still belongs in the library.
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    }
    return finished;
}

void CaptureRequest::complete(const std::optional<SelectionCapture::Outcome>& outcome)
{
    capturing_ = false;
    job_.reset();

    if (!outcome || std::holds_alternative<CaptureError>(*outcome)) {
        const QString message = outcome ? std::get<CaptureError>(*outcome).errorDescription() : captureFailedMessage();
        refuse(message);
        services_.log(QStringLiteral("Capture failed: ") + message);
        Q_EMIT finished();
        return;
    }

    const auto& result = std::get<CaptureResult>(*outcome);
    const Selection selection(QUuid::createUuid(), result.text, result.markdown, result.appName, result.bundleID,
                              result.sourceURL, result.sourceTitle, result.filePath, {}, services_.clock.now());
    Store& store = services_.store;
    store.add(selection);
    const bool addedToPrompt = store.collectIntoActiveDraft() && store.addSelectionToActiveDraft(selection.id);
    // The capture is written with the library's next save; while the last one failed, it may never be.
    const bool lastSaveFailed = store.persistenceStatus() == StorePersistenceStatus::saveFailed;
    toast_.showSaved(selection, addedToPrompt, lastSaveFailed);
    services_.sound.playPop();
    services_.log(QStringLiteral("Saved selection from ") + result.appName
                  + (addedToPrompt ? QStringLiteral(" + prompt") : QString())
                  + (lastSaveFailed ? QStringLiteral(" (not yet on disk: the last save failed)") : QString()));
    Q_EMIT finished();
}

} // namespace vellicord
