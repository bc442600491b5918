#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "flat_set.hpp"

namespace vexa_package::testing {

// Keys below 100 whose hashes all collide, so that probing meets slots with the same tag;
// their hash is mixed into a tag whose high bits start probing at the last of the 16 slots
// that a set sized for six keys has, so probing wraps around. Other keys hash to themselves.
struct CollidingKey {
    int value;
    friend bool operator==(const CollidingKey&, const CollidingKey&) = default;
};

}  // namespace vexa_package::testing

template <>
struct std::hash<vexa_package::testing::CollidingKey> {
    std::size_t operator()(const vexa_package::testing::CollidingKey& key) const noexcept {
        return key.value < 100 ? 0x1800000000000000 : static_cast<std::size_t>(key.value);
    }
};

namespace vexa_package {
namespace {

using testing::CollidingKey;

// Equal tags are only a hint: keys are told apart by comparing them, also when probing wraps
// around the end of the slots.
TEST(FlatSet, KeysWithEqualTagsAreToldApartByValue) {
    // 102 and 110 hash to themselves and start probing at slots 0 and 15, among the colliders.
    const std::vector<int> values = {0, 1, 102, 2, 110, 3};
    detail::FlatSet<CollidingKey> set(values.size());
    for (const int value : values) {
        EXPECT_FALSE(set.contains(CollidingKey{value})) << value;
        EXPECT_TRUE(set.insert(CollidingKey{value})) << value;
    }
    for (const int value : values) {
        EXPECT_TRUE(set.contains(CollidingKey{value})) << value;
        EXPECT_FALSE(set.insert(CollidingKey{value})) << value;
    }
    EXPECT_FALSE(set.contains(CollidingKey{4}));
    EXPECT_FALSE(set.contains(CollidingKey{123}));
}

TEST(FlatSet, EveryDistinctKeyOfTheSizedCountFits) {
    constexpr std::size_t COUNT = 1000;
    detail::FlatSet<std::uint32_t> set(COUNT);
    for (std::uint32_t key = 0; key < COUNT; ++key) {
        ASSERT_TRUE(set.insert(key * 4096)) << key;
    }
    for (std::uint32_t key = 0; key < COUNT; ++key) {
        EXPECT_TRUE(set.contains(key * 4096)) << key;
        EXPECT_FALSE(set.contains(key * 4096 + 1)) << key;
    }
}

}  // namespace
}  // namespace vexa_package
