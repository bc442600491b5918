#include <gtest/gtest.h>

#include <string_view>
#include <system_error>
#include <utility>

#include "vexa_package/error.hpp"

namespace vexa_package {
namespace {

TEST(PackageError, InvalidRendersItsTextQuotedBehindTheKindName) {
    const auto error = PackageError::invalid("application has no tiles");
    EXPECT_EQ(error.kind(), PackageError::Kind::Invalid);
    EXPECT_EQ(error.message(), "application has no tiles");
    EXPECT_EQ(to_string(error), "Invalid(\"application has no tiles\")");
    EXPECT_EQ(error.capnp(), nullptr);
    EXPECT_EQ(error.utf8(), nullptr);
}

TEST(PackageError, EachKindCarriesItsValueAndOnlyThatAccessorAnswers) {
    const PackageError utf8 = Utf8Error{.valid_up_to = 3, .error_len = 1};
    EXPECT_EQ(utf8.kind(), PackageError::Kind::Utf8);
    ASSERT_NE(utf8.utf8(), nullptr);
    EXPECT_EQ(*utf8.utf8(), (Utf8Error{.valid_up_to = 3, .error_len = 1}));
    EXPECT_EQ(utf8.schema_enum(), nullptr);
    EXPECT_EQ(to_string(utf8), "Utf8(invalid utf-8 sequence of 1 bytes from index 3)");

    const PackageError truncated = Utf8Error{.valid_up_to = 5, .error_len = std::nullopt};
    EXPECT_EQ(truncated.message(), "incomplete utf-8 byte sequence from index 5");

    const PackageError schema_enum = NotInSchema{4};
    EXPECT_EQ(schema_enum.kind(), PackageError::Kind::SchemaEnum);
    ASSERT_NE(schema_enum.schema_enum(), nullptr);
    EXPECT_EQ(*schema_enum.schema_enum(), 4);
    EXPECT_EQ(to_string(schema_enum), "SchemaEnum(4)");
    EXPECT_EQ(schema_enum.message(), "enum value not in schema: 4");

    const PackageError capnp =
        kj::Exception(kj::Exception::Type::FAILED, "file", 1, kj::heapString("broken"));
    EXPECT_EQ(capnp.kind(), PackageError::Kind::Capnp);
    ASSERT_NE(capnp.capnp(), nullptr);
    EXPECT_EQ(capnp.message(), "broken");
    EXPECT_EQ(to_string(capnp), "Capnp(broken)");

    const PackageError io = std::make_error_code(std::errc::io_error);
    EXPECT_EQ(io.kind(), PackageError::Kind::Io);
    ASSERT_NE(io.io(), nullptr);
    EXPECT_EQ(*io.io(), std::make_error_code(std::errc::io_error));
    EXPECT_EQ(io.message(), std::make_error_code(std::errc::io_error).message());
    EXPECT_EQ(to_string(io), "Io(" + io.message() + ")");
}

TEST(PackageError, KindNamesAreTheEnumeratorNames) {
    using Kind = PackageError::Kind;
    const std::pair<Kind, std::string_view> names[] = {
        {Kind::Capnp, "Capnp"},           {Kind::Io, "Io"},           {Kind::Utf8, "Utf8"},
        {Kind::SchemaEnum, "SchemaEnum"}, {Kind::Invalid, "Invalid"},
    };
    for (const auto& [kind, name] : names) {
        EXPECT_EQ(kind_name(kind), name);
    }
    EXPECT_EQ(kind_name(static_cast<Kind>(5)), "Unknown");
}

TEST(PackageError, InvalidTextWithQuotesStaysReadable) {
    EXPECT_EQ(to_string(PackageError::invalid("empty or duplicate binding a\"b")),
              "Invalid(\"empty or duplicate binding a\\\"b\")");
}

}  // namespace
}  // namespace vexa_package
