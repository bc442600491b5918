// The interning table of the Perfetto writer against a plain map of the same texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "trace/interned_texts.hpp"

namespace vexa_cli {
namespace {

TEST(InternedTexts, GivesEachTextItsFirstIdUntilFullAndStartsAfreshWhenCleared) {
    std::mt19937_64 random(5);
    InternedTexts table(3000);
    for (int round = 0; round < 3; ++round) {
        std::map<std::string, std::uint64_t> ids;
        std::uint64_t refused = 0;
        // Texts of every length around the eight-byte steps, repeated in random order, with
        // NUL bytes and an empty text among them; more distinct ones than the table holds.
        for (int i = 0; i < 40000; ++i) {
            const std::uint64_t n = random() % 4000;
            std::string text(n % 19, static_cast<char>('a' + n % 26));
            text += std::to_string(n);
            if (n % 7 == 0) {
                text = std::string(n % 11, '\0');
            }
            const InternedTexts::Id id = table.intern(text);
            const auto known = ids.find(text);
            if (known != ids.end()) {
                ASSERT_EQ(id.id, known->second) << text;
                ASSERT_FALSE(id.added);
            } else if (ids.size() == 3000) {
                ASSERT_EQ(id.id, 0U) << text;
                ++refused;
            } else {
                ASSERT_TRUE(id.added);
                ASSERT_EQ(id.id, ids.size() + 1);
                ids.emplace(text, id.id);
            }
        }
        EXPECT_EQ(table.size(), 3000U);
        EXPECT_GT(refused, 0U);
        table.clear();
        EXPECT_EQ(table.size(), 0U);
        EXPECT_EQ(table.intern("after").id, 1U);
        table.clear();
    }
}

}  // namespace
}  // namespace vexa_cli
