#pragma once

#include "platform/Pasteboard.h"

namespace vellicord {

// The clipboard of the export, which runs without a display and so without a clipboard: empty,
// and it keeps nothing. The views drawn have no way to be clicked, so nothing writes to it.
class DetachedPasteboard final : public Pasteboard {
public:
    qint64 changeCount() override { return 0; }
    std::optional<QList<QStringList>> itemTargets() override { return QList<QStringList>(); }
    PasteboardData data(int, const QString&) override { return {}; }
    PasteboardData dataForType(PasteboardType) override { return {}; }
    bool write(const QList<PasteboardItem>&) override { return false; }
    void limitReads(std::optional<std::chrono::steady_clock::time_point>) override {}
};

} // namespace vellicord
