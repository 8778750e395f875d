#include "core/library/SelectionList.h"

namespace vellicord {

SelectionList::SelectionList(const QList<Selection>& selections)
{
    chunks_.reserve((selections.size() + chunkCapacity - 1) / chunkCapacity);
    for (qsizetype start = 0; start < selections.size(); start += chunkCapacity)
        chunks_.append(selections.mid(start, chunkCapacity));
    recount();
}

SelectionList SelectionList::fromChunks(QList<QList<Selection>> chunks)
{
    SelectionList list;
    list.chunks_.reserve(chunks.size());
    for (QList<Selection>& chunk : chunks) {
        if (chunk.size() <= chunkCapacity) {
            list.chunks_.append(std::move(chunk));
            continue;
        }
        for (qsizetype start = 0; start < chunk.size(); start += chunkCapacity)
            list.chunks_.append(chunk.mid(start, chunkCapacity));
    }
    list.compact();
    list.recount();
    return list;
}

qsizetype SelectionList::chunkOf(qsizetype index) const
{
    Q_ASSERT(index >= 0 && index < size_);
    // The last chunk that starts at or before the index.
    return qsizetype(std::upper_bound(starts_.cbegin(), starts_.cend(), index) - starts_.cbegin()) - 1;
}

const Selection& SelectionList::at(qsizetype index) const
{
    const qsizetype chunk = chunkOf(index);
    return chunks_[chunk][index - starts_[chunk]];
}

Selection& SelectionList::operator[](qsizetype index)
{
    const qsizetype chunk = chunkOf(index);
    return chunks_[chunk][index - starts_[chunk]];
}

void SelectionList::prepend(const Selection& selection)
{
    if (chunks_.isEmpty() || chunks_.first().size() >= chunkCapacity) {
        chunks_.prepend(QList<Selection>{selection});
        starts_.prepend(0);
    } else {
        chunks_.first().prepend(selection);
    }
    for (qsizetype chunk = 1; chunk < starts_.size(); ++chunk)
        ++starts_[chunk];
    ++size_;
}

void SelectionList::append(const Selection& selection)
{
    if (chunks_.isEmpty() || chunks_.last().size() >= chunkCapacity) {
        chunks_.append(QList<Selection>{selection});
        starts_.append(size_);
    } else {
        chunks_.last().append(selection);
    }
    ++size_;
}

void SelectionList::removeAt(const std::vector<qsizetype>& indices)
{
    if (indices.empty())
        return;
    auto next = indices.cbegin();
    for (qsizetype chunk = 0; chunk < chunks_.size() && next != indices.cend(); ++chunk) {
        const qsizetype start = starts_[chunk];
        const QList<Selection>& old = std::as_const(chunks_)[chunk];
        const qsizetype end = start + old.size();
        if (*next >= end)
            continue;
        if (chunks_.isDetached() && old.isDetached()) {
            // No other list holds the chunk: the kept captures move up in place.
            QList<Selection>& items = chunks_[chunk];
            qsizetype kept = 0;
            for (qsizetype index = start; index < end; ++index) {
                if (next != indices.cend() && *next == index) {
                    ++next;
                    continue;
                }
                if (kept != index - start)
                    items[kept] = std::move(items[index - start]);
                ++kept;
            }
            items.remove(kept, items.size() - kept);
            continue;
        }
        // Only the kept captures are copied, also when another list shares the chunk.
        QList<Selection> kept;
        kept.reserve(old.size());
        for (qsizetype index = start; index < end; ++index) {
            if (next != indices.cend() && *next == index)
                ++next;
            else
                kept.append(old[index - start]);
        }
        chunks_[chunk] = std::move(kept);
    }
    compact();
    recount();
}

QList<Selection> SelectionList::toList() const
{
    QList<Selection> list;
    list.reserve(size_);
    for (const QList<Selection>& chunk : chunks_)
        list.append(chunk);
    return list;
}

bool operator==(const SelectionList& a, const SelectionList& b)
{
    return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
}

void SelectionList::recount()
{
    starts_.resize(chunks_.size());
    qsizetype start = 0;
    for (qsizetype chunk = 0; chunk < chunks_.size(); ++chunk) {
        starts_[chunk] = start;
        start += std::as_const(chunks_)[chunk].size();
    }
    size_ = start;
}

void SelectionList::compact()
{
    // Neighbours that fit in one chunk are merged, so that the chunks stay at least half full on
    // average however many captures are removed.
    QList<QList<Selection>> merged;
    merged.reserve(chunks_.size());
    for (const QList<Selection>& chunk : std::as_const(chunks_)) {
        if (chunk.isEmpty())
            continue;
        if (!merged.isEmpty() && merged.last().size() + chunk.size() <= chunkCapacity)
            merged.last().append(chunk);
        else
            merged.append(chunk);
    }
    chunks_ = std::move(merged);
}

} // namespace vellicord
