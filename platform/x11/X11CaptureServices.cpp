#include "platform/x11/X11CaptureServices.h"

#include "platform/atspi/AtspiAccessibility.h"
#include "platform/qt/QtProcessRunner.h"
#include "platform/x11/X11KeyEvents.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"

namespace vellicord {

X11CaptureServices::X11CaptureServices(Clock& clock)
    : clock_(clock)
    , clipboard_(std::make_unique<X11Pasteboard>())
    , workspace_(std::make_unique<X11Workspace>())
    , accessibility_(std::make_unique<AtspiAccessibility>())
    , keyEvents_(std::make_unique<X11KeyEvents>())
    , runner_(std::make_unique<QtProcessRunner>())
{
}

X11CaptureServices::~X11CaptureServices() = default;

CaptureServices X11CaptureServices::services()
{
    return CaptureServices{.pasteboard = *clipboard_,
                           .workspace = *workspace_,
                           .accessibility = *accessibility_,
                           .keyEvents = *keyEvents_,
                           .processRunner = *runner_,
                           .clock = clock_};
}

X11Pasteboard& X11CaptureServices::pasteboard()
{
    return *clipboard_;
}

} // namespace vellicord
