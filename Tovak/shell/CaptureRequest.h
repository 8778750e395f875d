#pragma once

#include "Tovak/shell/CaptureToastController.h"
#include "core/capture/SelectionCapture.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vellicord {

class Accessibility;
class Clock;
class Desktop;
class Sound;
class Store;
class Workspace;

// The road of one capture request, from the shortcut, the tray menu, the launch option or the
// toolbar: refused (busy, an unusable library, no permission, our own window in front) with its
// feedback, or read on a worker thread and, back on the main thread, stored and confirmed.
class CaptureRequest final : public QObject {
    Q_OBJECT
public:
    // What the request works with; all must outlive it.
    struct Services {
        Store& store;
        Workspace& workspace; // the frontmost application
        Accessibility& accessibility; // whether captures may read other applications
        Sound& sound;
        Clock& clock; // stamps the captures
        Desktop& desktop;
        // One capture, run on a worker thread; it blocks for up to a few seconds.
        std::function<SelectionCapture::Outcome()> capture;
        qint64 processId = 0; // this process, to tell our own windows in front
        std::function<void(const QString&)> log;
        // What a refusal asks of the application: the main window forward, the Accessibility alert.
        std::function<void()> showMainWindow;
        std::function<void()> showAccessibilityPrompt;
    };

    // How long quitting waits for a capture under way to put the clipboard back.
    static constexpr std::chrono::milliseconds waitOnQuit{2000};

    explicit CaptureRequest(Services services, QObject* parent = nullptr);
    // Waits a little for a capture still running, so its thread does not outlive what it uses.
    ~CaptureRequest() override;

    void captureNow();

    bool isCapturing() const { return capturing_; }
    // Waits for the capture that is running on its thread; true when none is running.
    bool waitForCapture(std::chrono::milliseconds limit);
    // Before the process ends: waits up to the limit for a running capture while serving the main
    // thread (the capture puts the clipboard back through it), and stores what it read. False when
    // the capture was still running.
    bool finish(std::chrono::milliseconds limit);

    CaptureToastController& toast() { return toast_; }

    static QString ownAppInFrontMessage();
    static QString captureFailedMessage();

Q_SIGNALS:
    // A capture that was read has been stored or reported, back on the main thread.
    void finished();

private:
    struct Job;

    // No outcome: the capture failed in a way it could not name.
    void complete(const std::optional<SelectionCapture::Outcome>& outcome);
    void refuse(const QString& message);

    Services services_;
    CaptureToastController toast_;
    bool capturing_ = false;
    std::shared_ptr<Job> job_;
};

} // namespace vellicord
