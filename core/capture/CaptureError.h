#pragma once

#include <QString>

namespace vellicord {

// Why a capture failed; the description is the message the user sees.
struct CaptureError {
    enum class Kind { noSelection, notTrusted, noFrontmostApp, chromePDF, clipboardRestoreFailed };

    Kind kind;
    QString detail; // for noSelection: the diagnostic line; never shown to the user

    static CaptureError noSelection(QString detail) { return {Kind::noSelection, std::move(detail)}; }
    static CaptureError notTrusted() { return {Kind::notTrusted, {}}; }
    static CaptureError noFrontmostApp() { return {Kind::noFrontmostApp, {}}; }
    static CaptureError chromePDF() { return {Kind::chromePDF, {}}; }
    static CaptureError clipboardRestoreFailed() { return {Kind::clipboardRestoreFailed, {}}; }

    QString errorDescription() const;

    friend bool operator==(const CaptureError&, const CaptureError&) = default;
};

} // namespace vellicord
