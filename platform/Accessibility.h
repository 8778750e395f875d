#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <chrono>
#include <memory>
#include <optional>

namespace vellicord {

// One element of another application's user interface.
class AccessibilityElement {
public:
    virtual ~AccessibilityElement() = default;
    // The attribute's value when it is a text ("AXSelectedText", "AXDocument", "AXURL", "AXTitle",
    // "AXSubrole": "AXSecureTextField" for a password field); nullopt when the element has none, it
    // is not a text, or the read failed. An element that holds text with nothing selected gives an
    // empty "AXSelectedText".
    virtual std::optional<QString> stringAttribute(QStringView name) = 0;
    // The enclosing element; null at the top or when the read failed.
    virtual std::unique_ptr<AccessibilityElement> parent() = 0;
    // Whether the last read gave nothing because the application did not answer in time.
    virtual bool lastReadTimedOut() const { return false; }
};

class Accessibility {
public:
    virtual ~Accessibility() = default;
    // Whether this process may read other applications' interfaces and post keyboard events.
    virtual bool isProcessTrusted() = 0;
    // The element that has the keyboard focus in the process; null when it cannot be found. Reads
    // of it and of its ancestors wait for their answers until the deadline, and give nothing after.
    virtual std::unique_ptr<AccessibilityElement> focusedElement(qint32 pid,
                                                                 std::chrono::steady_clock::time_point deadline)
        = 0;
    // The text the process last selected, where the desktop keeps it apart from the interface
    // (X11's PRIMARY selection): for applications whose elements tell nothing. Nullopt when
    // another process holds it. A long selection that is still arriving at `end` (or whose owner
    // stops sending) gives what arrived, not complete.
    struct SelectionText {
        QString text;
        bool complete = true;
    };
    virtual std::optional<SelectionText> primarySelection(qint32 pid, std::chrono::steady_clock::time_point end) = 0;
};

} // namespace vellicord
