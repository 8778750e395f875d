#pragma once

#include "core/library/RecordCodec.h"
#include "core/library/Selection.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>
#include <ostream>

namespace vellicord::test {

// A fixed id from a small number, so expected JSON and orders can be written down.
inline QUuid uuid(int n)
{
    return QUuid(QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 16, QChar(u'0')));
}

inline QDateTime at(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC);
}

struct CaptureSpec {
    QString text = QStringLiteral("text");
    QString appName = QStringLiteral("App");
    std::optional<QString> bundleID;
    std::optional<QString> sourceURL;
    std::optional<QString> sourceTitle;
    std::optional<QString> filePath;
    qint64 createdAt = 1'700'000'000;
    int id = 1;
};

inline Selection capture(const CaptureSpec& spec)
{
    return Selection(uuid(spec.id), spec.text, std::nullopt, spec.appName, spec.bundleID, spec.sourceURL,
                     spec.sourceTitle, spec.filePath, {}, at(spec.createdAt));
}

} // namespace vellicord::test

namespace vellicord {

// Failures print records as their JSON.
inline void PrintTo(const Selection& s, std::ostream* os) { *os << RecordCodec::toJson(s); }
inline void PrintTo(const ContextDraft& d, std::ostream* os) { *os << RecordCodec::toJson(d); }
inline void PrintTo(const SelectionGroup& g, std::ostream* os) { *os << RecordCodec::toJson(g); }

} // namespace vellicord
