#pragma once

#include "core/foundation/Parallel.h"
#include "core/library/Selection.h"

#include <QList>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

namespace vellicord {

// The captures in library order, kept in chunks of at most a few hundred that copies of the list
// share. Copying the list (a save's snapshot, a thread's view of the library) copies no record,
// and a change to one capture, or a capture put at the front, copies at most the one chunk it
// touches while a copy holds it: the cost of a change does not grow with the library.
class SelectionList {
public:
    static constexpr qsizetype chunkCapacity = 256;

    using value_type = Selection;
    using size_type = qsizetype;
    using reference = const Selection&;
    using const_reference = const Selection&;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Selection;
        using difference_type = std::ptrdiff_t;
        using pointer = const Selection*;
        using reference = const Selection&;

        const_iterator() = default;
        reference operator*() const { return (*chunks_)[chunk_][offset_]; }
        pointer operator->() const { return &**this; }
        const_iterator& operator++()
        {
            if (++offset_ == (*chunks_)[chunk_].size()) {
                ++chunk_;
                offset_ = 0;
            }
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b)
        {
            return a.chunk_ == b.chunk_ && a.offset_ == b.offset_;
        }

    private:
        friend class SelectionList;
        const_iterator(const QList<QList<Selection>>* chunks, qsizetype chunk)
            : chunks_(chunks)
            , chunk_(chunk)
        {
        }

        const QList<QList<Selection>>* chunks_ = nullptr;
        qsizetype chunk_ = 0;
        qsizetype offset_ = 0;
    };
    using iterator = const_iterator;

    SelectionList() = default;
    explicit SelectionList(const QList<Selection>& selections);
    // Takes chunks made elsewhere (a decode on several threads); empty ones are dropped and
    // overfull ones split.
    static SelectionList fromChunks(QList<QList<Selection>> chunks);

    qsizetype size() const { return size_; }
    bool isEmpty() const { return size_ == 0; }
    bool empty() const { return size_ == 0; }

    const Selection& at(qsizetype index) const;
    const Selection& operator[](qsizetype index) const { return at(index); }
    // Detaches the one chunk that holds the capture, when a copy shares it.
    Selection& operator[](qsizetype index);
    const Selection& first() const { return chunks_.first().first(); }
    const Selection& last() const { return chunks_.last().last(); }

    const_iterator begin() const { return const_iterator(&chunks_, 0); }
    const_iterator end() const { return const_iterator(&chunks_, chunks_.size()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // Calls visit(index, capture) for every capture, a large list on several threads, each a run
    // of whole chunks; visit may only write what belongs to its index.
    template<typename Visit> void forEachInParallel(Visit visit) const;

    // The chunks, for work split over threads: every chunk holds at least one capture.
    qsizetype chunkCount() const { return chunks_.size(); }
    const QList<Selection>& chunk(qsizetype index) const { return chunks_[index]; }
    // The list index of a chunk's first capture.
    qsizetype chunkStart(qsizetype index) const { return starts_[index]; }
    // The chunk that holds the capture at a list index.
    qsizetype chunkOf(qsizetype index) const;

    void reserve(qsizetype size) { chunks_.reserve((size + chunkCapacity - 1) / chunkCapacity); }
    void prepend(const Selection& selection);
    void append(const Selection& selection);
    // Removes the captures at these list indices, which must be ascending and distinct.
    void removeAt(const std::vector<qsizetype>& indices);
    template<typename Predicate> qsizetype removeIf(Predicate remove);

    QList<Selection> toList() const;

    friend bool operator==(const SelectionList& a, const SelectionList& b);

private:
    void recount();
    // Drops empty chunks and merges neighbours that fit in one.
    void compact();

    QList<QList<Selection>> chunks_;
    QList<qsizetype> starts_;
    qsizetype size_ = 0;
};

template<typename Visit> void SelectionList::forEachInParallel(Visit visit) const
{
    Parallel::forChunks(size_t(chunks_.size()), Parallel::threadsFor(size_t(size_), 16384),
                        [&](size_t, size_t begin, size_t end) {
                            for (size_t chunk = begin; chunk < end; ++chunk) {
                                qsizetype index = starts_[qsizetype(chunk)];
                                for (const Selection& selection : chunks_[qsizetype(chunk)])
                                    visit(index++, selection);
                            }
                        });
}

template<typename Predicate> qsizetype SelectionList::removeIf(Predicate remove)
{
    std::vector<qsizetype> indices;
    qsizetype index = 0;
    for (const Selection& selection : std::as_const(*this)) {
        if (remove(selection))
            indices.push_back(index);
        ++index;
    }
    removeAt(indices);
    return qsizetype(indices.size());
}

} // namespace vellicord
