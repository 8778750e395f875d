#include "Tovak/library/SidebarItem.h"

#include "core/foundation/UuidText.h"

#include <QHashFunctions>

namespace vellicord {

QString SidebarItem::id() const
{
    struct Identify {
        QString operator()(const AllSelections&) const { return QStringLiteral("all"); }
        QString operator()(const Group& g) const { return QStringLiteral("group:") + UuidText::format(g.id); }
        QString operator()(const Source& s) const { return QStringLiteral("source:") + s.identity.identifier; }
        QString operator()(const Prompt&) const { return QStringLiteral("prompt"); }
        QString operator()(const Draft& d) const { return QStringLiteral("draft:") + UuidText::format(d.id); }
    };
    return std::visit(Identify{}, value_);
}

size_t qHash(const SidebarItem& item, size_t seed)
{
    seed = qHashMulti(seed, item.value().index());
    if (const auto* group = item.as<SidebarItem::Group>())
        return qHash(group->id, seed);
    if (const auto* source = item.as<SidebarItem::Source>())
        return qHash(source->identity, seed);
    if (const auto* draft = item.as<SidebarItem::Draft>())
        return qHash(draft->id, seed);
    return seed;
}

} // namespace vellicord
