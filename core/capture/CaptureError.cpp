#include "core/capture/CaptureError.h"

namespace vellicord {

QString CaptureError::errorDescription() const
{
    switch (kind) {
    case Kind::noSelection:
        return QStringLiteral("No text was selected in the frontmost application.");
    case Kind::notTrusted:
        return QStringLiteral("Vellicord needs Accessibility permission to read selected text.");
    case Kind::noFrontmostApp:
        return QStringLiteral("No frontmost application found.");
    case Kind::chromePDF:
        return QStringLiteral("Chrome\u2019s built-in PDF viewer can\u2019t be captured programmatically. Open the PDF "
                              "in a PDF viewer (or use right-click \u2192 Copy inside Chrome), then capture again.");
    case Kind::clipboardRestoreFailed:
        return QStringLiteral("Capture was not saved because Vellicord could not restore your clipboard. Copy the "
                              "original content again.");
    case Kind::unreadableFormat:
        return QStringLiteral("The frontmost application copied its selection in a format that could not be read.");
    }
    return {};
}

} // namespace vellicord
