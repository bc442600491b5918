// Base64 and hexadecimal as the JSON forms store bytes: round trips, the one valid encoding
// of each byte string, and messages that point at the first bad character.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/byte_encoding.hpp"

namespace vexa_cli {
namespace {

using vexa_package::Bytes;

Bytes bytes_of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(Base64, EncodesTheStandardTestVectorsWithPadding) {
    // RFC 4648's vectors: every length modulo 3, so no, one and two padding characters.
    const std::pair<std::string_view, std::string_view> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64_encode(bytes_of(plain)), encoded);
        const auto decoded = base64_decode(encoded);
        ASSERT_TRUE(decoded.has_value()) << encoded << ": " << decoded.error();
        EXPECT_EQ(*decoded, bytes_of(plain));
    }
    // The two characters past the letters and digits, and every bit set.
    EXPECT_EQ(base64_encode(Bytes{0xfb, 0xff, 0xbf}), "+/+/");
    EXPECT_EQ(base64_encode(Bytes{0xff, 0xff, 0xff}), "////");
    EXPECT_EQ(base64_encode(Bytes{0x00, 0x00, 0x00}), "AAAA");
}

TEST(Base64, RoundTripsEveryLengthAndByte) {
    std::mt19937 random(11);
    for (std::size_t length = 0; length < 70; ++length) {
        Bytes bytes(length);
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        const std::string text = base64_encode(bytes);
        EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(base64_decode(text), bytes) << text;
    }
    Bytes every(256);
    for (std::size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(base64_decode(base64_encode(every)), every);
}

TEST(Base64, RefusesWhatIsNotPaddedStandardBase64) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Zg", "invalid base64: length 2 is not a multiple of 4"},
        {"Zm9vY", "invalid base64: length 5 is not a multiple of 4"},
        {"=", "invalid base64: length 1 is not a multiple of 4"},
        // Characters outside the alphabet, the URL-safe ones included.
        {"Zm9*", "invalid base64 at character 4"},
        {"Zm-v", "invalid base64 at character 3"},
        {"Zm_v", "invalid base64 at character 3"},
        {"Zm9v Zm9v", "invalid base64: length 9 is not a multiple of 4"},
        {"Zm9vZm9\n", "invalid base64 at character 8"},
        {"\xc3\xa4xx", "invalid base64 at character 1"},
        // Padding only at the end, and at most two characters of it.
        {"Zg==Zm8=", "invalid base64 at character 3"},
        {"Z===", "invalid base64 at character 2"},
        {"====", "invalid base64 at character 1"},
        {"Zm=v", "invalid base64 at character 3"},
        // Bits below the last whole byte must be zero: "Zh==" and "Zm9=" would also read
        // as "f" and "fo".
        {"Zh==", "invalid base64 at character 2"},
        {"Zm9=", "invalid base64 at character 3"},
    };
    for (const auto& [text, message] : cases) {
        const auto decoded = base64_decode(text);
        ASSERT_FALSE(decoded.has_value()) << text;
        EXPECT_EQ(decoded.error(), message) << text;
    }
}

TEST(Hex, EncodesLowercaseAndDecodesEitherCase) {
    EXPECT_EQ(hex_encode(Bytes{}), "");
    EXPECT_EQ(hex_encode(Bytes{0x00, 0x0f, 0xa5, 0xff}), "000fa5ff");
    EXPECT_EQ(hex_decode(""), Bytes{});
    EXPECT_EQ(hex_decode("000fa5ff"), (Bytes{0x00, 0x0f, 0xa5, 0xff}));
    EXPECT_EQ(hex_decode("000FA5Ff"), (Bytes{0x00, 0x0f, 0xa5, 0xff}));
    Bytes every(256);
    for (std::size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(hex_decode(hex_encode(every)), every);
}

TEST(Hex, RefusesOddLengthsAndNonDigitsNamingTheFirst) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a", "invalid hex: odd number of digits"}, {"abc", "invalid hex: odd number of digits"},
        {"g0", "invalid hex at character 1"},       {"0g", "invalid hex at character 2"},
        {"00zz", "invalid hex at character 3"},     {"0x12", "invalid hex at character 2"},
        {"12 3", "invalid hex at character 3"},     {"12\n3", "invalid hex at character 3"},
        {"@0", "invalid hex at character 1"},       {"0G", "invalid hex at character 2"},
        {"\xff\xff", "invalid hex at character 1"},
    };
    for (const auto& [text, message] : cases) {
        const auto decoded = hex_decode(text);
        ASSERT_FALSE(decoded.has_value()) << text;
        EXPECT_EQ(decoded.error(), message) << text;
    }
}

}  // namespace
}  // namespace vexa_cli
