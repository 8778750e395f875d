#pragma once

#include <QDebug>
#include <QString>

#include <string>
#include <string_view>
#include <type_traits>

namespace vellicord {

// The one-call debug log: the tag, then each item's text after a blank, to the system log's
// "app" category (debug level) and to the file log. Most callers pass one finished text.
//   logApp(QStringLiteral("Capture started"));
//   logApp(QStringLiteral("Saved"), 1, true);   // "Saved 1 true"
void logAppMessage(const QString& message);

namespace AppLog {

// The textual description of one item: texts as they are, Booleans as "true" or "false",
// numbers in the C locale, anything else as Qt's debug stream shows it.
template <typename T>
QString describe(const T& item)
{
    if constexpr (std::is_same_v<T, bool>) {
        return item ? QStringLiteral("true") : QStringLiteral("false");
    } else if constexpr (std::is_arithmetic_v<T>) {
        return QString::number(item);
    } else if constexpr (std::is_convertible_v<const T&, QString>) {
        return QString(item);
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        const std::string_view text(item);
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    } else {
        QString text;
        QDebug(&text).noquote().nospace() << item;
        return text;
    }
}

} // namespace AppLog

template <typename... Items>
void logApp(const QString& tag, const Items&... items)
{
    QString message = tag;
    ((message += QLatin1Char(' '), message += AppLog::describe(items)), ...);
    logAppMessage(message);
}

} // namespace vellicord
