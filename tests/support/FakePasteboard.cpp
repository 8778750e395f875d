#include "support/FakePasteboard.h"

namespace vellicord {

void FakePasteboard::set(QList<PasteboardItem> newItems)
{
    items = std::move(newItems);
    ++count;
}

qint64 FakePasteboard::changeCount()
{
    if (beforeCountRead)
        beforeCountRead();
    return count;
}

bool FakePasteboard::answersNow()
{
    if (beforeRead)
        beforeRead();
    return answers && !(clock && readLimit && clock->steadyNow() >= *readLimit);
}

std::optional<QList<QStringList>> FakePasteboard::itemTargets()
{
    if (!answersNow())
        return std::nullopt;
    QList<QStringList> targets;
    for (const PasteboardItem& item : items) {
        QStringList names;
        for (const auto& [target, bytes] : item)
            names.append(target);
        targets.append(names);
    }
    return targets;
}

PasteboardData FakePasteboard::data(int item, const QString& target)
{
    if (!answersNow() || silentTargets.contains(target))
        return {PasteboardData::Status::noAnswer, {}};
    if (refusedTargets.contains(target) || item < 0 || item >= items.size())
        return {};
    for (const auto& [name, bytes] : items.at(item)) {
        if (name == target && cutShortTargets.contains(target))
            return {PasteboardData::Status::partial, bytes.first(bytes.size() / 2)};
        if (name == target)
            return {PasteboardData::Status::ok, bytes};
    }
    return {};
}

PasteboardData FakePasteboard::dataForType(PasteboardType type)
{
    if (items.isEmpty())
        return {};
    QStringList offered;
    for (const auto& [target, bytes] : items.first())
        offered.append(target);
    return PasteboardTypes::read(type, offered, [this](const QString& target) { return data(0, target); });
}

bool FakePasteboard::write(const QList<PasteboardItem>& newItems)
{
    ++writes;
    if (duringWrite)
        duringWrite();
    if (!writesSucceed)
        return false;
    set(newItems);
    return true;
}

} // namespace vellicord
