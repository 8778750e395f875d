#pragma once

#include "platform/Pasteboard.h"

#include <QPointer>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

class QMimeData;

namespace vellicord {

class X11SelectionReader;
class X11SelectionServer;

// The X11 CLIPBOARD selection. Reading goes through a connection of our own (so the capture
// thread never touches Qt's); writing goes through QClipboard on the main thread, which then serves
// the content to other applications. Qt makes some targets anew from others (STRING from its text,
// text/x-moz-url from text/uri-list): content with such a target, which Qt would not give back
// byte for byte, is served by a selection server of our own on a thread of its own instead. X11
// has one item per clipboard: items after the first are not written. Made once for the
// application's life, as a write handed to the main thread may run after its caller stopped waiting.
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
    PasteboardData dataForType(PasteboardType type) override;
    bool write(const QList<PasteboardItem>& items) override;
    void limitReads(std::optional<std::chrono::steady_clock::time_point> end) override;

    // What became of the clipboard content we owned when the application ended.
    // keeperStarting: the keeper had not taken it by the time we stopped waiting; it will while the
    // clipboard has no other owner.
    enum class Handover { notOurs, manager, keeper, keeperStarting, failed };
    // At exit, on the main thread: content we put on the clipboard and still own goes to the
    // clipboard manager where one runs (Qt hands it over with SAVE_TARGETS as it closes its
    // display connection; what our own server holds is handed over at once), else to the keeper
    // program, which serves the exact bytes of every format we saved until another client owns
    // the clipboard. Waits up to keeperWait for the keeper to take it, so that the clipboard is
    // never empty between the two.
    Handover keepAfterExit(const QString& keeperProgram);
    static constexpr std::chrono::milliseconds keeperWait{100};
    // How long the clipboard manager may take to save what our own server serves.
    static constexpr std::chrono::milliseconds managerWait{2000};

private:
    bool writeOnMainThread(const QList<PasteboardItem>& items);
    void writeAtTurnsOfTheLoop(const QList<PasteboardItem>& items, const std::shared_ptr<std::promise<bool>>& done,
                               int attempts);
    bool serveExactly(const PasteboardItem& item);
    // With servingMutex_ held.
    void stopServing();
    std::chrono::steady_clock::time_point deadline() const;

    std::unique_ptr<X11SelectionReader> reader_;
    std::chrono::steady_clock::time_point budgetEnd_;
    std::chrono::steady_clock::time_point readLimit_ = std::chrono::steady_clock::time_point::max();
    // The last item we wrote, as it was given (Qt offers text under merged targets), and the
    // content Qt holds for it: when Qt still holds that, the clipboard is still that item.
    PasteboardItem lastWritten_;
    QPointer<const QMimeData> lastMime_;
    // Our own server, while it serves (or until it is stopped after it lost the clipboard).
    struct Serving {
        std::unique_ptr<X11SelectionServer> server;
        std::thread thread;
        PasteboardItem item;
    };
    std::mutex servingMutex_;
    std::unique_ptr<Serving> serving_;
};

} // namespace vellicord
