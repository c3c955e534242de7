// The game's random numbers: the classic generator's sequence, and a fixed seed winning.
#include "platform/random.h"

#include <gtest/gtest.h>

namespace {

TEST(Random, ClassicSequenceInRange) {
    random_fix_seed(false, 0);
    random_seed(1);
    for (int expected : {16838, 5758, 10113, 17515, 31051}) EXPECT_EQ(random_next(), expected);
    random_seed(12345);
    for (int i = 0; i < 10000; ++i) {
        int value = random_next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, RANDOM_MAX);
    }
}

TEST(Random, FixedSeedReplacesTheGamesSeed) {
    random_fix_seed(false, 0);
    random_seed(4711);
    int first = random_next(), second = random_next();
    random_fix_seed(true, 4711);
    random_seed(999);
    EXPECT_EQ(random_last_seed(), 4711u);
    EXPECT_EQ(random_next(), first);
    EXPECT_EQ(random_next(), second);
    random_fix_seed(false, 0);
    random_seed(999);
    EXPECT_EQ(random_last_seed(), 999u);
}

}  // namespace
