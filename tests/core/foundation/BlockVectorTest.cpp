#include "core/foundation/BlockVector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vellicord;

namespace {

// Elements appended across several blocks read back in order, start as zero, and stay where they
// were put while more come.
TEST(BlockVectorTest, ElementsStayWhereTheyArePut)
{
    BlockVector<std::string, 4> strings;
    BlockVector<long, 4> numbers;
    std::vector<const std::string*> places;
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(numbers.emplace_back(), 0) << i;
        numbers.back() = i * 10;
        strings.push_back(std::to_string(i));
        places.push_back(&strings[size_t(i)]);
    }
    ASSERT_EQ(strings.size(), 11u);
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(strings[i], std::to_string(i)) << i;
        EXPECT_EQ(&strings[i], places[i]) << i;
        EXPECT_EQ(numbers[i], long(i) * 10) << i;
    }
    // Taken back across a block's edge, and put again where they were.
    for (int i = 0; i < 3; ++i)
        strings.pop_back();
    strings.push_back("x");
    EXPECT_EQ(strings.size(), 9u);
    EXPECT_EQ(strings.back(), "x");
    EXPECT_EQ(&strings[8], places[8]);
}

} // namespace
