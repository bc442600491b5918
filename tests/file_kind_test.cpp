#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/random_models.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/file_kind.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package {
namespace {

Bytes package_bytes() {
    Bytes bytes;
    EXPECT_TRUE(testing::rich_application().write(bytes).has_value());
    return bytes;
}

Bytes report_bytes() {
    testing::RandomSource random(3);
    Bytes bytes;
    EXPECT_TRUE(testing::random_profile(random).write(bytes).has_value());
    return bytes;
}

Bytes of_text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(FileKind, TellsWrittenPackagesFromReports) {
    const Bytes package = package_bytes();
    EXPECT_EQ(identify_file(package),
              (FileIdentity{FileKind::ApplicationPackage, std::uint64_t{package.size()}}));
    const Bytes report = report_bytes();
    EXPECT_EQ(identify_file(report),
              (FileIdentity{FileKind::ProfileReport, std::uint64_t{report.size()}}));
    // The root pointer of each: a struct pointer with two data words and nine or one pointers.
    std::uint32_t upper = 0;
    std::memcpy(&upper, package.data() + 12, 4);
    EXPECT_EQ(upper, 0x00090002U);
    std::memcpy(&upper, report.data() + 12, 4);
    EXPECT_EQ(upper, 0x00010002U);
}

TEST(FileKind, AnnouncedSizeShowsTruncationAndTrailingBytes) {
    const Bytes report = report_bytes();
    const Bytes package = package_bytes();
    Bytes both = report;
    both.insert(both.end(), package.begin(), package.end());
    EXPECT_EQ(identify_file(both),
              (FileIdentity{FileKind::ProfileReport, std::uint64_t{report.size()}}));
    // A prefix that still holds the root pointer keeps its kind and the full announced size.
    const Bytes cut(package.begin(), package.begin() + 40);
    EXPECT_EQ(identify_file(cut),
              (FileIdentity{FileKind::ApplicationPackage, std::uint64_t{package.size()}}));
    // A segment table without the root after it.
    const Bytes table_only(package.begin(), package.begin() + 8);
    EXPECT_EQ(identify_file(table_only),
              (FileIdentity{FileKind::Unknown, std::uint64_t{package.size()}}));
}

TEST(FileKind, WhatIsNeitherIsUnknown) {
    struct Case {
        const char* what;
        Bytes bytes;
        FileIdentity identity;
    };
    // Two segments: a table of two words; the root in the first segment.
    Bytes two_segments{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                       0, 0, 0, 0, 2, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Case> cases{
        {"empty", {}, {}},
        {"shorter than a count", {0, 0, 0}, {}},
        {"a table cut short", {1, 0, 0, 0, 1, 0, 0, 0}, {}},
        {"more segments than the framing allows", {0, 2, 0, 0, 0, 0, 0, 0}, {}},
        {"JSON text", of_text("{\n  \"compiler_version\": \"x\"\n}\n"), {}},
        {"an empty first segment", {0, 0, 0, 0, 0, 0, 0, 0}, {FileKind::Unknown, 8}},
        {"a null root", {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {FileKind::Unknown, 16}},
        {"a list as root",
         {0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 9, 0},
         {FileKind::Unknown, 16}},
        {"a far pointer as root",
         {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 2, 0, 9, 0},
         {FileKind::Unknown, 16}},
        {"other sections",
         {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 9, 0},
         {FileKind::Unknown, 16}},
        {"a package root in the first of two segments",
         two_segments,
         {FileKind::ApplicationPackage, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(identify_file(c.bytes), c.identity);
    }
}

TEST(FileKind, NamesItsKinds) {
    EXPECT_EQ(to_string(FileKind::Unknown), "unknown");
    EXPECT_EQ(to_string(FileKind::ApplicationPackage), "application package");
    EXPECT_EQ(to_string(FileKind::ProfileReport), "profile report");
}

}  // namespace
}  // namespace vexa_package
