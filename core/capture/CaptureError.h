#pragma once

#include <QString>

namespace vellicord {

// Why a capture failed; the description is the message the user sees.
struct CaptureError {
    // unreadableFormat: the copy changed the clipboard, but its text is only in encodings that
    // cannot be read.
    enum class Kind { noSelection, notTrusted, noFrontmostApp, chromePDF, clipboardRestoreFailed, unreadableFormat };

    Kind kind;
    QString detail; // for noSelection and unreadableFormat: the diagnostic line; never shown to the user

    static CaptureError noSelection(QString detail) { return {Kind::noSelection, std::move(detail)}; }
    static CaptureError notTrusted() { return {Kind::notTrusted, {}}; }
    static CaptureError noFrontmostApp() { return {Kind::noFrontmostApp, {}}; }
    static CaptureError chromePDF() { return {Kind::chromePDF, {}}; }
    static CaptureError clipboardRestoreFailed() { return {Kind::clipboardRestoreFailed, {}}; }
    static CaptureError unreadableFormat(QString detail) { return {Kind::unreadableFormat, std::move(detail)}; }

    QString errorDescription() const;

    friend bool operator==(const CaptureError&, const CaptureError&) = default;
};

} // namespace vellicord
