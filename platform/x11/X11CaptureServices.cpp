#include "platform/x11/X11CaptureServices.h"

#include "platform/atspi/AtspiAccessibility.h"
#include "platform/qt/QtProcessRunner.h"
#include "platform/x11/X11KeyEvents.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"

namespace vellicord {

X11CaptureServices::X11CaptureServices()
    : clipboard(std::make_unique<X11Pasteboard>()), workspace(std::make_unique<X11Workspace>()),
      accessibility(std::make_unique<AtspiAccessibility>()), keyEvents(std::make_unique<X11KeyEvents>()),
      runner(std::make_unique<QtProcessRunner>())
{
}

X11CaptureServices::~X11CaptureServices() = default;

CaptureServices X11CaptureServices::services()
{
    return CaptureServices{*clipboard, *workspace, *accessibility, *keyEvents, *runner, CaptureClock::system()};
}

Pasteboard& X11CaptureServices::pasteboard() { return *clipboard; }

} // namespace vellicord
