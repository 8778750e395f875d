#pragma once

#include "core/library/SourceIdentity.h"

#include <QString>
#include <QUuid>

#include <variant>

namespace vellicord {

// What the main window shows: the whole library, one group, one source, the active prompt, or one
// prompt draft. A group or draft named here may since have been deleted; readers look it up and
// cope. Never stored.
class SidebarItem {
public:
    struct AllSelections {
        friend bool operator==(const AllSelections&, const AllSelections&) = default;
    };
    struct Group {
        QUuid id;
        friend bool operator==(const Group&, const Group&) = default;
    };
    struct Source {
        SourceIdentity identity;
        friend bool operator==(const Source&, const Source&) = default;
    };
    struct Prompt {
        friend bool operator==(const Prompt&, const Prompt&) = default;
    };
    struct Draft {
        QUuid id;
        friend bool operator==(const Draft&, const Draft&) = default;
    };
    // In the declaration order that hashing feeds.
    using Value = std::variant<AllSelections, Group, Source, Prompt, Draft>;

    // The whole library, the first case.
    SidebarItem() = default;
    SidebarItem(Value value)
        : value_(std::move(value))
    {
    }
    static SidebarItem allSelections() { return SidebarItem(AllSelections{}); }
    static SidebarItem group(const QUuid& id) { return SidebarItem(Group{id}); }
    static SidebarItem source(const SourceIdentity& identity) { return SidebarItem(Source{identity}); }
    static SidebarItem prompt() { return SidebarItem(Prompt{}); }
    static SidebarItem draft(const QUuid& id) { return SidebarItem(Draft{id}); }

    const Value& value() const { return value_; }
    template<typename Case> const Case* as() const { return std::get_if<Case>(&value_); }
    template<typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
    // The prompt or a draft: the window shows the composer.
    bool showsComposer() const { return is<Prompt>() || is<Draft>(); }

    // "all", "group:<UUID>", "source:<identifier>", "prompt", "draft:<UUID>".
    QString id() const;

    friend bool operator==(const SidebarItem&, const SidebarItem&) = default;

private:
    Value value_;
};

size_t qHash(const SidebarItem& item, size_t seed = 0);

} // namespace vellicord
