#include <gtest/gtest.h>

#include "utf8.hpp"

namespace vexa_package {
namespace {

using detail::find_utf8_error;

TEST(Utf8, ValidTextsPass) {
    for (const std::string_view text :
         {std::string_view(""), std::string_view("plain ascii, longer than one word"),
          std::string_view("\0embedded\0nul", 13), std::string_view("\xc2\x80\xdf\xbf"),
          std::string_view("\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf"),
          std::string_view("\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"),
          std::string_view("12345678\xf0\x9f\x9a\x80tail")}) {
        EXPECT_EQ(find_utf8_error(text), std::nullopt) << text;
    }
}

TEST(Utf8, FaultsReportWhereValidTextEndsAndHowLongTheBadSequenceIs) {
    struct Case {
        std::string_view text;
        std::size_t valid_up_to;
        std::optional<std::size_t> error_len;
    };
    const Case cases[] = {
        {"\x80", 0, 1},                      // lone continuation byte
        {"ab\xff", 2, 1},                    // byte that never starts a sequence
        {"\xc0\x80", 0, 1},                  // overlong two-byte form
        {"\xc1\xbf", 0, 1},
        {"x\xc2", 1, std::nullopt},          // text ends inside a sequence
        {"\xc2\x41", 0, 1},                  // sequence cut by an ASCII byte
        {"\xe0\x80\x80", 0, 1},              // overlong three-byte form
        {"\xed\xa0\x80", 0, 1},              // surrogate
        {"\xe1\x80", 0, std::nullopt},
        {"\xe1\x80\x41", 0, 2},              // third byte is not a continuation
        {"\xf0\x80\x80\x80", 0, 1},          // overlong four-byte form
        {"\xf4\x90\x80\x80", 0, 1},          // above U+10FFFF
        {"\xf5\x80\x80\x80", 0, 1},
        {"\xf0\x9f\x9a", 0, std::nullopt},
        {"\xf0\x9f\x41\x80", 0, 2},
        {"\xf0\x9f\x9a\x41", 0, 3},
        {"01234567\xe2\x82\xac\xff", 11, 1},  // after the eight-byte ASCII fast path
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        const auto error = find_utf8_error(c.text);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->valid_up_to, c.valid_up_to);
        EXPECT_EQ(error->error_len, c.error_len);
    }
}

}  // namespace
}  // namespace vexa_package
