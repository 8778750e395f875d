#include "core/foundation/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vellicord;

namespace {

// Whichever thread takes a piece, every item is worked on once, in the piece that covers it, and
// the pieces follow each other; the error of the earliest failing piece is the one the caller sees
// (the list of failing pieces ends with it).
TEST(ParallelTest, PiecesCoverTheWorkOnceWhateverThreadTakesThem)
{
    struct Row {
        size_t count, pieces, threads;
        std::vector<size_t> failing;
    };
    const std::vector<Row> rows = {
        {0, 4, 4, {}},           {1, 8, 8, {}},          {10, 3, 1, {}},       {7, 16, 4, {}},
        {100000, 64, 8, {}},     {1000, 8, 3, {5, 2}},   {1000, 8, 1, {6, 3}},
    };
    for (const Row& row : rows) {
        const std::string name = std::to_string(row.count) + " in " + std::to_string(row.pieces);
        std::vector<std::atomic<int>> visits(row.count);
        std::vector<std::pair<size_t, size_t>> ranges(row.pieces, {1, 0});
        std::string error;
        try {
            Parallel::forPieces(row.count, row.pieces, row.threads, [&](size_t piece, size_t begin, size_t end) {
                ranges[piece] = {begin, end};
                for (size_t i = begin; i < end; ++i)
                    ++visits[i];
                for (const size_t failing : row.failing) {
                    if (piece == failing)
                        throw std::runtime_error("piece " + std::to_string(piece));
                }
            });
        } catch (const std::runtime_error& thrown) {
            error = thrown.what();
        }
        EXPECT_EQ(error, row.failing.empty() ? "" : "piece " + std::to_string(row.failing.back())) << name;
        if (!row.failing.empty())
            continue; // on one thread the work stops at the first error
        for (size_t i = 0; i < row.count; ++i)
            ASSERT_EQ(visits[i], 1) << name << ", item " << i;
        size_t next = 0;
        for (const auto& [begin, end] : ranges) {
            if (begin > end)
                continue; // a piece not made: there were fewer items than pieces
            EXPECT_EQ(begin, next) << name;
            next = end;
        }
        EXPECT_EQ(next, row.count) << name;
    }
}

} // namespace
