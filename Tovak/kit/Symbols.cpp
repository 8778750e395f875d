#include "Tovak/kit/Symbols.h"

#include <QHash>
#include <QIconEngine>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

namespace vellicord::Symbols {
namespace {

Q_LOGGING_CATEGORY(symbolsLog, "com.ruvo.vellicord.symbols")

void reportUnknown(const QString& name)
{
    qCCritical(symbolsLog, "unknown symbol \"%s\" drawn as nothing", qUtf8Printable(name));
}

// 24 × 24 drawings. INK is the symbol's colour; the inner marks of filled symbols are white.
const QHash<QString, QString>& drawings()
{
    // One entry per symbol, its drawing on lines of its own as an SVG editor writes them.
    // clang-format off
    static const QHash<QString, QString> table{
        {QStringLiteral("checkmark.circle.fill"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="10.5" fill="INK"/>
<path d="M7.2 12.4 L10.6 15.8 L16.8 8.6" fill="none" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("exclamationmark.triangle.fill"),
         QStringLiteral(R"(<path d="M10.3 3.2 C11.1 1.9 12.9 1.9 13.7 3.2 L22.3 18.6 C23.0 19.9 22.1 21.5 20.6 21.5 L3.4 21.5 C1.9 21.5 1.0 19.9 1.7 18.6 Z" fill="INK"/>
<path d="M12 8.2 L12 13.6" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round"/>
<circle cx="12" cy="17.4" r="1.35" fill="#ffffff"/>)")},
        {QStringLiteral("info.circle"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="9.6" fill="none" stroke="INK" stroke-width="1.7"/>
<path d="M12 10.8 L12 17" stroke="INK" stroke-width="2" stroke-linecap="round"/>
<circle cx="12" cy="7.6" r="1.3" fill="INK"/>)")},
        {QStringLiteral("hand.raised"),
         QStringLiteral(R"(<path d="M8.2 12.6 L8.2 5.2 C8.2 3.6 10.6 3.6 10.6 5.2 L10.6 11 L10.6 3.6 C10.6 2 13 2 13 3.6 L13 11 L13 4.6 C13 3 15.4 3 15.4 4.6 L15.4 11.4 L15.4 7 C15.4 5.4 17.8 5.4 17.8 7 L17.8 14.6 C17.8 18.8 15.2 21.6 11.6 21.6 C9 21.6 7.6 20.4 6.2 18.2 L3.9 14.4 C3.1 13 4.9 11.8 6 12.9 L8.2 15" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("text.viewfinder"),
         QStringLiteral(R"(<path d="M3 8 L3 5 C3 3.9 3.9 3 5 3 L8 3 M16 3 L19 3 C20.1 3 21 3.9 21 5 L21 8 M21 16 L21 19 C21 20.1 20.1 21 19 21 L16 21 M8 21 L5 21 C3.9 21 3 20.1 3 19 L3 16" fill="none" stroke="INK" stroke-width="1.7" stroke-linecap="round"/>
<path d="M7.5 8.8 L16.5 8.8 M7.5 12 L16.5 12 M7.5 15.2 L13 15.2" stroke="INK" stroke-width="1.7" stroke-linecap="round"/>)")},
        {QStringLiteral("text.bubble"),
         QStringLiteral(R"(<path d="M5.5 3.5 L18.5 3.5 C20.2 3.5 21.5 4.8 21.5 6.5 L21.5 14.5 C21.5 16.2 20.2 17.5 18.5 17.5 L10 17.5 L5.6 21 L6 17.5 L5.5 17.5 C3.8 17.5 2.5 16.2 2.5 14.5 L2.5 6.5 C2.5 4.8 3.8 3.5 5.5 3.5 Z" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M7 8.3 L17 8.3 M7 12.2 L14 12.2" stroke="INK" stroke-width="1.6" stroke-linecap="round"/>)")},
        {QStringLiteral("arrow.up.forward.app"),
         QStringLiteral(R"(<path d="M11 3.5 L6.5 3.5 C4.8 3.5 3.5 4.8 3.5 6.5 L3.5 17.5 C3.5 19.2 4.8 20.5 6.5 20.5 L17.5 20.5 C19.2 20.5 20.5 19.2 20.5 17.5 L20.5 13" fill="none" stroke="INK" stroke-width="1.7" stroke-linecap="round"/>
<path d="M10.5 13.5 L20 4 M13.5 3.6 L20.4 3.6 L20.4 10.5" fill="none" stroke="INK" stroke-width="1.7" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("magnifyingglass"),
         QStringLiteral(R"(<circle cx="10.2" cy="10.2" r="6.6" fill="none" stroke="INK" stroke-width="1.9"/>
<path d="M15.1 15.1 L20.6 20.6" stroke="INK" stroke-width="2.2" stroke-linecap="round"/>)")},
        {QStringLiteral("doc.on.doc"),
         QStringLiteral(R"(<rect x="8" y="7" width="11.5" height="14" rx="2" fill="none" stroke="INK" stroke-width="1.6"/>
<path d="M5.5 16.5 L5 16.5 C4.2 16.5 4.5 16.2 4.5 15.5 L4.5 5 C4.5 3.9 5.4 3 6.5 3 L14 3 C15.1 3 16 3.9 16 5" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round"/>)")},
        {QStringLiteral("trash"),
         QStringLiteral(R"(<path d="M3.5 6 L20.5 6 M9 6 L9 4 C9 3.4 9.4 3 10 3 L14 3 C14.6 3 15 3.4 15 4 L15 6 M5.5 6 L6.5 19.5 C6.6 20.4 7.3 21 8.2 21 L15.8 21 C16.7 21 17.4 20.4 17.5 19.5 L18.5 6 M10 10 L10.3 17 M14 10 L13.7 17" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("plus"),
         QStringLiteral(R"(<path d="M12 4.5 L12 19.5 M4.5 12 L19.5 12" stroke="INK" stroke-width="2" stroke-linecap="round"/>)")},
        {QStringLiteral("xmark"),
         QStringLiteral(R"(<path d="M6 6 L18 18 M18 6 L6 18" stroke="INK" stroke-width="2" stroke-linecap="round"/>)")},
        {QStringLiteral("checkmark"),
         QStringLiteral(R"(<path d="M5 12.5 L10 17.5 L19 6.5" fill="none" stroke="INK" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("folder"),
         QStringLiteral(R"(<path d="M3 7 C3 5.6 3.9 4.5 5.2 4.5 L9.4 4.5 L11.4 6.8 L18.8 6.8 C20.1 6.8 21 7.8 21 9.1 L21 17.3 C21 18.6 20.1 19.5 18.8 19.5 L5.2 19.5 C3.9 19.5 3 18.6 3 17.3 Z M3 9.6 L21 9.6" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>)")},
        {QStringLiteral("tray.full"),
         QStringLiteral(R"(<path d="M3 13 L6 5.5 C6.3 4.9 6.8 4.5 7.5 4.5 L16.5 4.5 C17.2 4.5 17.7 4.9 18 5.5 L21 13 L21 18 C21 19 20.2 19.5 19.5 19.5 L4.5 19.5 C3.8 19.5 3 19 3 18 Z M3 13 L8.5 13 C8.5 14.7 10 16 12 16 C14 16 15.5 14.7 15.5 13 L21 13 M8 8 L16 8 M7.2 10.5 L16.8 10.5" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round" stroke-linecap="round"/>)")},
        {QStringLiteral("gearshape"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="3.2" fill="none" stroke="INK" stroke-width="1.7"/>
<path d="M12 2.8 L13.6 2.8 L14.1 5.4 L16.2 6.4 L18.4 4.9 L19.6 6.1 L18.1 8.3 L19 10.4 L21.2 10.9 L21.2 13.1 L19 13.6 L18.1 15.7 L19.6 17.9 L18.4 19.1 L16.2 17.6 L14.1 18.6 L13.6 21.2 L10.4 21.2 L9.9 18.6 L7.8 17.6 L5.6 19.1 L4.4 17.9 L5.9 15.7 L5 13.6 L2.8 13.1 L2.8 10.9 L5 10.4 L5.9 8.3 L4.4 6.1 L5.6 4.9 L7.8 6.4 L9.9 5.4 L10.4 2.8 Z" fill="none" stroke="INK" stroke-width="1.5" stroke-linejoin="round"/>)")},
        {QStringLiteral("checkmark.circle"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="9.6" fill="none" stroke="INK" stroke-width="1.7"/>
<path d="M7.6 12.4 L10.7 15.5 L16.4 8.9" fill="none" stroke="INK" stroke-width="1.9" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("exclamationmark.triangle"),
         QStringLiteral(R"(<path d="M10.5 3.9 C11.2 2.7 12.8 2.7 13.5 3.9 L21.6 18.4 C22.2 19.6 21.4 20.9 20.1 20.9 L3.9 20.9 C2.6 20.9 1.8 19.6 2.4 18.4 Z" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M12 8.8 L12 13.8" stroke="INK" stroke-width="1.9" stroke-linecap="round"/>
<circle cx="12" cy="17.2" r="1.2" fill="INK"/>)")},
        {QStringLiteral("arrow.counterclockwise.circle.fill"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="10.5" fill="INK"/>
<path d="M7.9 8.5 A5.8 5.8 0 1 0 12.4 6.6" fill="none" stroke="#ffffff" stroke-width="2.2" stroke-linecap="round"/>
<path d="M10 6.6 L13.6 3.8 L13.6 9.4 Z" fill="#ffffff" stroke="#ffffff" stroke-width="0.8" stroke-linejoin="round"/>)")},
        {QStringLiteral("text.quote"),
         QStringLiteral(R"(<circle cx="5.8" cy="9.2" r="2.3" fill="INK"/>
<circle cx="11.6" cy="9.2" r="2.3" fill="INK"/>
<path d="M3.6 9.4 C3.6 6.8 4.8 4.8 7.3 3.8 M9.4 9.4 C9.4 6.8 10.6 4.8 13.1 3.8" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round"/>
<path d="M16.5 7.5 L20.5 7.5 M3.5 14.5 L20.5 14.5 M3.5 19.5 L14.5 19.5" stroke="INK" stroke-width="1.7" stroke-linecap="round"/>)")},
        {QStringLiteral("safari"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="9.6" fill="none" stroke="INK" stroke-width="1.7"/>
<path d="M16.2 7.8 L13.5 13.5 L10.5 10.5 Z" fill="INK" stroke="INK" stroke-width="1" stroke-linejoin="round"/>
<path d="M7.8 16.2 L10.5 10.5 L13.5 13.5 Z" fill="none" stroke="INK" stroke-width="1.2" stroke-linejoin="round"/>)")},
        {QStringLiteral("doc"),
         QStringLiteral(R"(<path d="M13.6 2.8 L7 2.8 C5.9 2.8 5 3.7 5 4.8 L5 19.2 C5 20.3 5.9 21.2 7 21.2 L17 21.2 C18.1 21.2 19 20.3 19 19.2 L19 8.2 Z M13.6 2.8 L13.6 6.7 C13.6 7.5 14.3 8.2 15.1 8.2 L19 8.2" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>)")},
        {QStringLiteral("doc.text"),
         QStringLiteral(R"(<path d="M13.6 2.8 L7 2.8 C5.9 2.8 5 3.7 5 4.8 L5 19.2 C5 20.3 5.9 21.2 7 21.2 L17 21.2 C18.1 21.2 19 20.3 19 19.2 L19 8.2 Z M13.6 2.8 L13.6 6.7 C13.6 7.5 14.3 8.2 15.1 8.2 L19 8.2" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M8.5 11.8 L15.5 11.8 M8.5 15 L15.5 15 M8.5 18.2 L12.5 18.2" stroke="INK" stroke-width="1.4" stroke-linecap="round"/>)")},
        {QStringLiteral("doc.text.magnifyingglass"),
         QStringLiteral(R"(<path d="M10.2 20.6 L6 20.6 C4.9 20.6 4 19.7 4 18.6 L4 4.4 C4 3.3 4.9 2.4 6 2.4 L12 2.4 L17 7.4 L17 9.6 M12 2.4 L12 5.9 C12 6.7 12.7 7.4 13.5 7.4 L17 7.4" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>
<path d="M7 10.5 L12.5 10.5 M7 13.5 L10 13.5" stroke="INK" stroke-width="1.5" stroke-linecap="round"/>
<circle cx="15.4" cy="15.4" r="3.7" fill="none" stroke="INK" stroke-width="1.7"/>
<path d="M18.1 18.1 L21.2 21.2" stroke="INK" stroke-width="2" stroke-linecap="round"/>)")},
        {QStringLiteral("app"),
         QStringLiteral(R"(<rect x="3.5" y="3.5" width="17" height="17" rx="4.6" fill="none" stroke="INK" stroke-width="1.7"/>)")},
        {QStringLiteral("app.dashed"),
         QStringLiteral(R"(<rect x="3.5" y="3.5" width="17" height="17" rx="4.6" fill="none" stroke="INK" stroke-width="1.7" stroke-dasharray="2.6 2.42"/>)")},
        {QStringLiteral("viewfinder"),
         QStringLiteral(R"(<path d="M3 8 L3 5 C3 3.9 3.9 3 5 3 L8 3 M16 3 L19 3 C20.1 3 21 3.9 21 5 L21 8 M21 16 L21 19 C21 20.1 20.1 21 19 21 L16 21 M8 21 L5 21 C3.9 21 3 20.1 3 19 L3 16" fill="none" stroke="INK" stroke-width="1.8" stroke-linecap="round"/>)")},
        {QStringLiteral("line.3.horizontal"),
         QStringLiteral(R"(<path d="M4 6.5 L20 6.5 M4 12 L20 12 M4 17.5 L20 17.5" stroke="INK" stroke-width="1.9" stroke-linecap="round"/>)")},
        {QStringLiteral("link"),
         QStringLiteral(R"(<path d="M9.53 18.86 L12.99 15.39 A3.1 3.1 0 0 0 8.61 11.01 L5.14 14.47 A3.1 3.1 0 0 0 9.53 18.86 Z M15.39 12.99 L18.86 9.53 A3.1 3.1 0 0 0 14.47 5.14 L11.01 8.61 A3.1 3.1 0 0 0 15.39 12.99 Z" fill="none" stroke="INK" stroke-width="1.8"/>)")},
        {QStringLiteral("arrow.up.arrow.down"),
         QStringLiteral(R"(<path d="M8 19.5 L8 4.5 M4.3 8.2 L8 4.5 L11.7 8.2 M16 4.5 L16 19.5 M12.3 15.8 L16 19.5 L19.7 15.8" fill="none" stroke="INK" stroke-width="1.7" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("arrow.down.to.line"),
         QStringLiteral(R"(<path d="M12 3.5 L12 15.5 M7 10.5 L12 15.5 L17 10.5 M5 20.2 L19 20.2" fill="none" stroke="INK" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("arrow.up.to.line"),
         QStringLiteral(R"(<path d="M12 20.5 L12 8.5 M7 13.5 L12 8.5 L17 13.5 M5 3.8 L19 3.8" fill="none" stroke="INK" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("text.badge.plus"),
         QStringLiteral(R"(<path d="M3.5 4.5 L20.5 4.5 M3.5 9.5 L20.5 9.5 M3.5 14.5 L11 14.5" stroke="INK" stroke-width="1.7" stroke-linecap="round"/>
<path d="M17.5 13.6 L17.5 21.4 M13.6 17.5 L21.4 17.5" stroke="INK" stroke-width="1.9" stroke-linecap="round"/>)")},
        {QStringLiteral("rectangle.stack.badge.plus"),
         QStringLiteral(R"(<path d="M6.5 4.2 L16.5 4.2" stroke="INK" stroke-width="1.6" stroke-linecap="round"/>
<path d="M12.4 19.3 L5.5 19.3 C4.4 19.3 3.5 18.4 3.5 17.3 L3.5 9.5 C3.5 8.4 4.4 7.5 5.5 7.5 L17.5 7.5 C18.6 7.5 19.5 8.4 19.5 9.5 L19.5 12.2" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>
<path d="M18 14.3 L18 21.7 M14.3 18 L21.7 18" stroke="INK" stroke-width="1.9" stroke-linecap="round"/>)")},
        {QStringLiteral("folder.badge.plus"),
         QStringLiteral(R"(<path d="M12.5 18.8 L5 18.8 C3.7 18.8 2.8 17.9 2.8 16.6 L2.8 6.1 C2.8 4.8 3.7 3.9 5 3.9 L9 3.9 L11 6.1 L17.8 6.1 C19.1 6.1 20 7.1 20 8.4 L20 12.4 M2.8 8.8 L20 8.8" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>
<path d="M18 14.3 L18 21.7 M14.3 18 L21.7 18" stroke="INK" stroke-width="1.9" stroke-linecap="round"/>)")},
        {QStringLiteral("ellipsis"),
         QStringLiteral(R"(<circle cx="5" cy="12" r="1.9" fill="INK"/>
<circle cx="12" cy="12" r="1.9" fill="INK"/>
<circle cx="19" cy="12" r="1.9" fill="INK"/>)")},
        {QStringLiteral("ellipsis.circle"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="9.6" fill="none" stroke="INK" stroke-width="1.7"/>
<circle cx="7.9" cy="12" r="1.35" fill="INK"/>
<circle cx="12" cy="12" r="1.35" fill="INK"/>
<circle cx="16.1" cy="12" r="1.35" fill="INK"/>)")},
        {QStringLiteral("pin.fill"),
         QStringLiteral(R"(<path d="M8.2 2.8 L15.8 2.8 C16.5 2.8 16.8 3.6 16.4 4.1 L14.9 6 L15.5 10.9 C17.6 11.9 18.9 13.4 18.9 15 L5.1 15 C5.1 13.4 6.4 11.9 8.5 10.9 L9.1 6 L7.6 4.1 C7.2 3.6 7.5 2.8 8.2 2.8 Z" fill="INK"/>
<path d="M12 15 L12 21.3" stroke="INK" stroke-width="1.8" stroke-linecap="round"/>)")},
        {QStringLiteral("lock.doc"),
         QStringLiteral(R"(<path d="M13.6 2.8 L7 2.8 C5.9 2.8 5 3.7 5 4.8 L5 19.2 C5 20.3 5.9 21.2 7 21.2 L17 21.2 C18.1 21.2 19 20.3 19 19.2 L19 8.2 Z M13.6 2.8 L13.6 6.7 C13.6 7.5 14.3 8.2 15.1 8.2 L19 8.2" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<rect x="8.6" y="13" width="6.8" height="5.2" rx="1" fill="INK"/>
<path d="M10.1 13.2 L10.1 11.8 C10.1 10.7 10.9 10 12 10 C13.1 10 13.9 10.7 13.9 11.8 L13.9 13.2" fill="none" stroke="INK" stroke-width="1.4"/>)")},
        {QStringLiteral("note.text"),
         QStringLiteral(R"(<path d="M20.5 14.5 L14.5 20.5 L6 20.5 C4.6 20.5 3.5 19.4 3.5 18 L3.5 6 C3.5 4.6 4.6 3.5 6 3.5 L18 3.5 C19.4 3.5 20.5 4.6 20.5 6 Z M14.5 20.5 L14.5 16.7 C14.5 15.5 15.5 14.5 16.7 14.5 L20.5 14.5" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M7.5 8.3 L16.5 8.3 M7.5 11.8 L16.5 11.8 M7.5 15.3 L11.5 15.3" stroke="INK" stroke-width="1.5" stroke-linecap="round"/>)")},
        {QStringLiteral("scissors"),
         QStringLiteral(R"(<circle cx="6" cy="6.8" r="2.9" fill="none" stroke="INK" stroke-width="1.6"/>
<circle cx="6" cy="17.2" r="2.9" fill="none" stroke="INK" stroke-width="1.6"/>
<path d="M8.5 8.4 L20.8 17.6 M8.5 15.6 L20.8 6.4" stroke="INK" stroke-width="1.7" stroke-linecap="round"/>)")},
        {QStringLiteral("scissors.badge.ellipsis"),
         QStringLiteral(R"(<circle cx="5.2" cy="5.4" r="2.5" fill="none" stroke="INK" stroke-width="1.5"/>
<circle cx="5.2" cy="14.2" r="2.5" fill="none" stroke="INK" stroke-width="1.5"/>
<path d="M7.4 6.8 L17.6 14 M7.4 12.8 L17.6 5.6" stroke="INK" stroke-width="1.6" stroke-linecap="round"/>
<circle cx="13.6" cy="20" r="1.45" fill="INK"/>
<circle cx="17.4" cy="20" r="1.45" fill="INK"/>
<circle cx="21.2" cy="20" r="1.45" fill="INK"/>)")},
        {QStringLiteral("wand.and.stars"),
         QStringLiteral(R"(<path d="M3.8 20.2 L13.6 10.4" stroke="INK" stroke-width="2.2" stroke-linecap="round"/>
<path d="M15.2 8.8 L16.6 7.4" stroke="INK" stroke-width="2.2" stroke-linecap="round"/>
<path d="M18.2 2.4 L19 4.4 L21 5.2 L19 6 L18.2 8 L17.4 6 L15.4 5.2 L17.4 4.4 Z" fill="INK"/>
<path d="M9 3 L9.6 4.5 L11.1 5.1 L9.6 5.7 L9 7.2 L8.4 5.7 L6.9 5.1 L8.4 4.5 Z" fill="INK"/>
<path d="M19.2 11.6 L19.8 13.1 L21.3 13.7 L19.8 14.3 L19.2 15.8 L18.6 14.3 L17.1 13.7 L18.6 13.1 Z" fill="INK"/>)")},
        {QStringLiteral("doc.badge.plus"),
         QStringLiteral(R"(<path d="M12.2 20.8 L6.5 20.8 C5.4 20.8 4.5 19.9 4.5 18.8 L4.5 4.8 C4.5 3.7 5.4 2.8 6.5 2.8 L12.6 2.8 L18 8.2 L18 12 M12.6 2.8 L12.6 6.7 C12.6 7.5 13.3 8.2 14.1 8.2 L18 8.2" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>
<path d="M18 14.3 L18 21.7 M14.3 18 L21.7 18" stroke="INK" stroke-width="1.9" stroke-linecap="round"/>)")},
        {QStringLiteral("doc.on.clipboard"),
         QStringLiteral(R"(<path d="M8.5 4.2 L6.5 4.2 C5.4 4.2 4.5 5.1 4.5 6.2 L4.5 19.5 C4.5 20.6 5.4 21.5 6.5 21.5 L17.5 21.5 C18.6 21.5 19.5 20.6 19.5 19.5 L19.5 6.2 C19.5 5.1 18.6 4.2 17.5 4.2 L15.5 4.2" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round"/>
<rect x="8.5" y="2.5" width="7" height="3.6" rx="1.2" fill="none" stroke="INK" stroke-width="1.5"/>
<path d="M8.2 10.8 L15.8 10.8 M8.2 14.3 L15.8 14.3 M8.2 17.8 L12.6 17.8" stroke="INK" stroke-width="1.5" stroke-linecap="round"/>)")},
        {QStringLiteral("square.and.arrow.down"),
         QStringLiteral(R"(<path d="M8.5 9.5 L6.5 9.5 C5.4 9.5 4.5 10.4 4.5 11.5 L4.5 19 C4.5 20.1 5.4 21 6.5 21 L17.5 21 C18.6 21 19.5 20.1 19.5 19 L19.5 11.5 C19.5 10.4 18.6 9.5 17.5 9.5 L15.5 9.5" fill="none" stroke="INK" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>
<path d="M12 2.8 L12 15 M8.4 11.5 L12 15.1 L15.6 11.5" fill="none" stroke="INK" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("doc.plaintext"),
         QStringLiteral(R"(<path d="M7 2.8 L17 2.8 C18.1 2.8 19 3.7 19 4.8 L19 19.2 C19 20.3 18.1 21.2 17 21.2 L7 21.2 C5.9 21.2 5 20.3 5 19.2 L5 4.8 C5 3.7 5.9 2.8 7 2.8 Z" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M8.5 7.5 L15.5 7.5 M8.5 10.8 L15.5 10.8 M8.5 14.1 L15.5 14.1 M8.5 17.4 L12.5 17.4" stroke="INK" stroke-width="1.4" stroke-linecap="round"/>)")},
        {QStringLiteral("checkmark.shield"),
         QStringLiteral(R"(<path d="M12 2.6 L19.6 5.4 L19.6 11.2 C19.6 16 16.4 19.6 12 21.4 C7.6 19.6 4.4 16 4.4 11.2 L4.4 5.4 Z" fill="none" stroke="INK" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M8.4 11.8 L11 14.4 L15.8 9" fill="none" stroke="INK" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>)")},
        {QStringLiteral("circle"),
         QStringLiteral(R"(<circle cx="12" cy="12" r="9.6" fill="none" stroke="INK" stroke-width="1.7"/>)")},
    };
    // clang-format on
    return table;
}

QSvgRenderer& renderer(const QString& name, const QColor& color)
{
    // A handful of symbols in a handful of colours: the cache stays small.
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    const QString key = name + u'|' + color.name(QColor::HexArgb);
    auto found = cache.find(key);
    if (found != cache.end())
        return **found;
    QString body = drawings().value(name);
    body.replace(QStringLiteral("INK"), color.name(QColor::HexRgb));
    const QString svg
        = QStringLiteral(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" width="24" height="24">)")
        + QStringLiteral(R"(<g opacity="%1">)").arg(color.alphaF()) + body + QStringLiteral("</g></svg>");
    auto made = std::make_shared<QSvgRenderer>(svg.toUtf8());
    cache.insert(key, made);
    return *made;
}

class SymbolEngine final : public QIconEngine {
public:
    SymbolEngine(QString name, QColor color)
        : name_(std::move(name))
        , color_(color)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = color_;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.35);
        Symbols::paint(*painter, name_, rect, color);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    // QIcon hands over the size in device pixels.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), (QSizeF(size) / scale).toSize()), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new SymbolEngine(name_, color_); }

private:
    QString name_;
    QColor color_;
};

} // namespace

bool has(const QString& name)
{
    return drawings().contains(name);
}

void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color)
{
    if (!has(name)) {
        reportUnknown(name);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(rect.width(), rect.height());
    const QRectF square(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    renderer(name, color).render(&painter, square);
    painter.restore();
}

QIcon icon(const QString& name, const QColor& color)
{
    // Toolbars and menus may never paint their icons in a test; report the name when the icon is made.
    if (!has(name))
        reportUnknown(name);
    return QIcon(new SymbolEngine(name, color));
}

} // namespace vellicord::Symbols
