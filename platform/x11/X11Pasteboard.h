#pragma once

#include "platform/Pasteboard.h"

#include <chrono>
#include <memory>

namespace vellicord {

class X11SelectionReader;

// The X11 CLIPBOARD selection. Reading goes through a connection of our own (so the capture
// thread never touches Qt's); writing goes through QClipboard on the main thread, which then serves
// the content to other applications. X11 has one item per clipboard: items after the first are
// not written. Made once for the application's life, as a write handed to the main thread may run
// after its caller stopped waiting.
class X11Pasteboard final : public Pasteboard {
public:
    X11Pasteboard();
    ~X11Pasteboard() override;

    // How long one target may take to arrive, and all the reads of one snapshot together (a
    // snapshot starts with itemTargets()).
    static constexpr std::chrono::milliseconds targetTimeout{500};
    static constexpr std::chrono::milliseconds snapshotBudget{3000};
    // How long a write from another thread waits for the main thread to make it.
    static constexpr std::chrono::milliseconds mainThreadTimeout{2000};

    qint64 changeCount() override;
    std::optional<QList<QStringList>> itemTargets() override;
    PasteboardData data(int item, const QString& target) override;
    std::optional<QByteArray> dataForType(PasteboardType type) override;
    bool write(const QList<PasteboardItem>& items) override;

private:
    bool writeOnMainThread(const QList<PasteboardItem>& items);
    std::chrono::steady_clock::time_point deadline() const;

    std::unique_ptr<X11SelectionReader> reader_;
    std::chrono::steady_clock::time_point budgetEnd_;
};

} // namespace vellicord
