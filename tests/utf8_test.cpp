#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

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
        {"\x80", 0, 1},      // lone continuation byte
        {"ab\xff", 2, 1},    // byte that never starts a sequence
        {"\xc0\x80", 0, 1},  // overlong two-byte form
        {"\xc1\xbf", 0, 1},
        {"x\xc2", 1, std::nullopt},  // text ends inside a sequence
        {"\xc2\x41", 0, 1},          // sequence cut by an ASCII byte
        {"\xe0\x80\x80", 0, 1},      // overlong three-byte form
        {"\xed\xa0\x80", 0, 1},      // surrogate
        {"\xe1\x80", 0, std::nullopt},
        {"\xe1\x80\x41", 0, 2},      // third byte is not a continuation
        {"\xf0\x80\x80\x80", 0, 1},  // overlong four-byte form
        {"\xf4\x90\x80\x80", 0, 1},  // above U+10FFFF
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

// Lengths around the eight-byte ASCII windows: texts shorter than one window, which are
// gathered into one word, one window exactly, one window and a byte, one byte short of two
// windows, two windows, two and a byte, and longer.
constexpr std::size_t WINDOW_LENGTHS[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 23, 24, 25, 40};

// `before` ASCII bytes, then `middle`, then `after` ASCII bytes.
std::string ascii_around(std::size_t before, std::string_view middle, std::size_t after) {
    std::string text(before, 'a');
    text += middle;
    text.append(after, 'z');
    return text;
}

struct FaultShape {
    std::string_view name;
    std::string_view bytes;
    std::optional<std::size_t> error_len;
};

// Every fault shape at every position: on the first and the last byte of a window and in the
// tail after the last whole window, wherever the fast path hands over to the byte-wise check.
TEST(Utf8, FaultsAreFoundAtEveryPositionAroundTheAsciiWindows) {
    const FaultShape shapes[] = {
        {"stray continuation", "\x80", 1},
        {"stray continuation", "\xbf", 1},
        {"byte that never leads", "\xff", 1},
        {"two-byte sequence cut by ASCII", "\xc3\x61", 1},
        {"three-byte sequence cut by ASCII", "\xe2\x82\x61", 2},
        {"four-byte sequence cut by ASCII", "\xf0\x9f\x9a\x61", 3},
        {"overlong two-byte form", "\xc0\x80", 1},
        {"overlong three-byte form", "\xe0\x9f\xbf", 1},
        {"overlong four-byte form", "\xf0\x8f\xbf\xbf", 1},
        {"surrogate", "\xed\xa0\x80", 1},
        {"last surrogate", "\xed\xbf\xbf", 1},
        {"above U+10FFFF", "\xf4\x90\x80\x80", 1},
        {"lead byte above U+10FFFF", "\xf5\x80\x80\x80", 1},
    };
    for (const std::size_t length : WINDOW_LENGTHS) {
        for (const FaultShape& shape : shapes) {
            for (std::size_t at = 0; at + shape.bytes.size() <= length; ++at) {
                const std::string text =
                    ascii_around(at, shape.bytes, length - at - shape.bytes.size());
                SCOPED_TRACE(std::string(shape.name) + " at " + std::to_string(at) + " of " +
                             std::to_string(length));
                const auto error = find_utf8_error(text);
                ASSERT_TRUE(error.has_value());
                EXPECT_EQ(error->valid_up_to, at);
                EXPECT_EQ(error->error_len, shape.error_len);
            }
        }
    }
}

// A text that ends inside a sequence, for every length: the end falls on every byte of a
// window and of the tail.
TEST(Utf8, TextEndingInsideASequenceIsFoundAtEveryLength) {
    for (const std::string_view cut :
         {std::string_view("\xc3"), std::string_view("\xe2\x82"), std::string_view("\xf0"),
          std::string_view("\xf0\x9f\x9a")}) {
        for (std::size_t length = cut.size(); length <= 25; ++length) {
            const std::size_t at = length - cut.size();
            SCOPED_TRACE(testing::PrintToString(cut) + " ending text of " + std::to_string(length));
            const auto error = find_utf8_error(ascii_around(at, cut, 0));
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->valid_up_to, at);
            EXPECT_EQ(error->error_len, std::nullopt);
        }
    }
}

// After a multi-byte character the windows start at odd offsets: valid text still passes,
// and a fault anywhere behind the character is found where it is.
TEST(Utf8, WindowsAfterAMultiByteCharacterStartWhereItEnds) {
    for (const std::string_view character :
         {std::string_view("\xc3\xa9"), std::string_view("\xe2\x82\xac"),
          std::string_view("\xf0\x9f\x9a\x80")}) {
        for (const std::size_t length : WINDOW_LENGTHS) {
            for (std::size_t at = 0; at + character.size() <= length; ++at) {
                const std::size_t after = length - at - character.size();
                SCOPED_TRACE(testing::PrintToString(character) + " at " + std::to_string(at) +
                             " of " + std::to_string(length));
                EXPECT_EQ(find_utf8_error(ascii_around(at, character, after)), std::nullopt);
                for (std::size_t fault = 0; fault < after; ++fault) {
                    std::string text = ascii_around(at, character, after);
                    text[at + character.size() + fault] = '\x80';
                    const auto error = find_utf8_error(text);
                    ASSERT_TRUE(error.has_value()) << "fault " << fault;
                    EXPECT_EQ(error->valid_up_to, at + character.size() + fault);
                    EXPECT_EQ(error->error_len, 1u);
                }
            }
        }
    }
}

}  // namespace
}  // namespace vexa_package
