#pragma once

#include "platform/PasteboardType.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <utility>

namespace vellicord {

// One clipboard item: its content under each target, in the order the owner offered them.
using PasteboardItem = QList<std::pair<QString, QByteArray>>;

// What reading one target gave: its bytes; the bytes that arrived of a transfer cut short (the
// owner stopped sending, or the read's time ran out); nothing because the owner refused that
// target; or nothing because the owner did not answer in time (the clipboard is then unreadable,
// not empty). Reading a kind of content may also give nothing because what arrived is in an
// encoding that cannot be read.
struct PasteboardData {
    enum class Status { ok, partial, refused, noAnswer, unreadable };
    Status status = Status::refused;
    QByteArray bytes;
};

// The system clipboard. Reads may be made from any one thread at a time; writes are made by the
// implementation on the thread that owns the clipboard, whatever thread calls them.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Grows by at least one whenever the clipboard gets new content or a new owner.
    virtual qint64 changeCount() = 0;

    // The content targets each item offers, in the owner's order (meta targets left out). An empty
    // list is an empty clipboard; nullopt means the owner did not answer.
    virtual std::optional<QList<QStringList>> itemTargets() = 0;
    virtual PasteboardData data(int item, const QString& target) = 0;

    // The first item's content of a known kind, decoded to UTF-8 for text kinds (see
    // PasteboardTypes::read): ok, or partial with what arrived; refused when the clipboard has
    // none; unreadable when it has some only in encodings that cannot be read.
    virtual PasteboardData dataForType(PasteboardType type) = 0;

    // Replaces the clipboard's content by these items; an empty list clears it. True when the
    // clipboard holds them (or is empty) afterwards.
    virtual bool write(const QList<PasteboardItem>& items) = 0;

    // Reads end by this time whatever their own timeouts allow (a read cut short is partial when
    // something arrived, else unanswered); nullopt lifts the limit. A capture bounds all its reads
    // so. Writes are never cut short.
    virtual void limitReads(std::optional<std::chrono::steady_clock::time_point> end) = 0;
};

} // namespace vellicord
