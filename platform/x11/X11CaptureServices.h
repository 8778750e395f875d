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
    X11CaptureServices();
    ~X11CaptureServices();

    CaptureServices services();
    Pasteboard& pasteboard();

private:
    std::unique_ptr<X11Pasteboard> clipboard;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<AtspiAccessibility> accessibility;
    std::unique_ptr<X11KeyEvents> keyEvents;
    std::unique_ptr<QtProcessRunner> runner;
};

} // namespace vellicord
