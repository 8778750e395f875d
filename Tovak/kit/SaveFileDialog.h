#pragma once

#include "Tovak/kit/ViewServices.h"

class QWidget;

namespace vellicord {

// The desktop's save dialog (through the platform theme where it has one), sheet-like: modal to
// the view's window only and run without an event loop of its own. Overwriting a file is
// confirmed in the dialog.
namespace SaveFileDialog {

void run(QWidget& view, const ViewServices::SaveFileRequest& request, ViewServices::SaveFileAnswer answer);

} // namespace SaveFileDialog
} // namespace vellicord
