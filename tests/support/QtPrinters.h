#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

// Readable failure messages for the Qt types the tests compare.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join(QStringLiteral("\", \"")).prepend(u'"').append(u'"').toStdString() << ']';
}
QT_END_NAMESPACE
