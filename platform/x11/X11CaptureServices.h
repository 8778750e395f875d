#pragma once

#include "core/capture/SelectionCapture.h"

#include <memory>

namespace vellicord {

class AtspiAccessibility;
class QtProcessRunner;
class X11KeyEvents;
class X11Pasteboard;
class X11Workspace;

// The desktop services of a capture on an X11 session, made once and kept for the application's
// life. Its pasteboard also serves the clipboard writes of the library and the composer.
class X11CaptureServices {
public:
    explicit X11CaptureServices(Clock& clock);
    ~X11CaptureServices();

    CaptureServices services();
    X11Pasteboard& pasteboard();

private:
    Clock& clock_;
    std::unique_ptr<X11Pasteboard> clipboard_;
    std::unique_ptr<X11Workspace> workspace_;
    std::unique_ptr<AtspiAccessibility> accessibility_;
    std::unique_ptr<X11KeyEvents> keyEvents_;
    std::unique_ptr<QtProcessRunner> runner_;
};

} // namespace vellicord
