// What the tool says about a whole input that the library could not read as the kind a
// command expects: empty, text or JSON, the other format, or cut short.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "io/file_problems.hpp"
#include "support/profile_reports.hpp"
#include "support/sample_applications.hpp"

namespace vexa_cli {
namespace {

using vexa_package::Bytes;
using vexa_package::FileKind;

constexpr FileKind PACKAGE = FileKind::ApplicationPackage;
constexpr FileKind REPORT = FileKind::ProfileReport;

Bytes bytes_of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes package_bytes() {
    Bytes bytes;
    EXPECT_TRUE(vexa_package::testing::minimal_application().write(bytes).has_value());
    return bytes;
}

Bytes report_bytes() {
    return testing::report_bytes(testing::profile_report(
        1'000'000'000, {{.physical_tile = 3, .samples = {{.start_cycle = 1, .end_cycle = 2}}}}));
}

TEST(FileProblem, AnEmptyFileIsEmptyWhateverWasExpected) {
    EXPECT_EQ(file_problem({}, PACKAGE), "the file is empty");
    EXPECT_EQ(file_problem({}, REPORT), "the file is empty");
}

TEST(FileProblem, TextIsNamedAndJsonOfEitherFormPointsToItsPackCommand) {
    const std::string report_json =
        "this is JSON text, not an application package; it looks like a profile report as "
        "JSON, which 'vexa-package profile pack JSON -o REPORT' turns into a report";
    const std::string package_json =
        "this is JSON text, not a profile report; it looks like an application as JSON, which "
        "'vexa-package pack JSON -o PACKAGE' turns into a package";
    struct Case {
        std::string_view text;
        FileKind expected;
        std::string problem;
    };
    const Case cases[] = {
        {"hello\n", PACKAGE, "this is a text file, not an application package (a binary file)"},
        {"a\tb\r\n", REPORT, "this is a text file, not a profile report (a binary file)"},
        {" \n\t", REPORT, "this is a text file, not a profile report (a binary file)"},
        {"{\"clock_hz\": 1, \"tiles\": []}", PACKAGE, report_json},
        {"\r\n  [{\"clock_hz\": 1}]", PACKAGE, report_json},
        {"{\"compiler_version\": \"1\"}", REPORT, package_json},
        // JSON of the expected form is still not the binary file.
        {"{\"clock_hz\": 1}", REPORT,
         "this is JSON text, not a profile report; it looks like a profile report as JSON, "
         "which 'vexa-package profile pack JSON -o REPORT' turns into a report"},
        // Neither form, or both: the generic advice.
        {"{}", PACKAGE,
         "this is JSON text, not an application package; 'vexa-package pack' (or 'profile "
         "pack' for a report) turns JSON into one"},
        {"[\"clock_hz\", \"compiler_version\"]", REPORT,
         "this is JSON text, not a profile report; 'vexa-package pack' (or 'profile pack' for "
         "a report) turns JSON into one"},
        // A field name that is not quoted is no field.
        {"{clock_hz}", REPORT,
         "this is JSON text, not a profile report; 'vexa-package pack' (or 'profile pack' for "
         "a report) turns JSON into one"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file_problem(bytes_of(c.text), c.expected), c.problem) << c.text;
    }
}

TEST(FileProblem, OnlyTheStartOfAFileIsLookedAtToTellText) {
    // Binary bytes past the first 4096 do not make text binary.
    std::string text(4096, 'x');
    text += '\0';
    EXPECT_EQ(file_problem(bytes_of(text), REPORT),
              "this is a text file, not a profile report (a binary file)");
    text[4095] = '\0';
    EXPECT_EQ(file_problem(bytes_of(text), REPORT), std::nullopt);
}

TEST(FileProblem, NamesTheOtherFormat) {
    EXPECT_EQ(file_problem(package_bytes(), REPORT),
              "this is an application package, not a profile report; use 'vexa-package "
              "inspect', 'size' or 'diff' on it");
    EXPECT_EQ(file_problem(report_bytes(), PACKAGE),
              "this is a profile report, not an application package; use 'vexa-package profile "
              "summary' or another profile command on it");
}

TEST(FileProblem, TellsHowMuchOfATruncatedFileIsThere) {
    for (const FileKind kind : {PACKAGE, REPORT}) {
        Bytes bytes = kind == PACKAGE ? package_bytes() : report_bytes();
        const std::size_t whole = bytes.size();
        EXPECT_EQ(file_problem(bytes, kind), std::nullopt);
        bytes.resize(whole - 1);
        EXPECT_EQ(file_problem(bytes, kind), "the file is truncated: it holds " +
                                                 std::to_string(whole - 1) + " bytes of the " +
                                                 std::to_string(whole) + " its header announces");
        // Only the segment table: the root cannot be told, the size still can.
        bytes.resize(8);
        EXPECT_EQ(file_problem(bytes, kind), "the file is truncated: it holds 8 bytes of the " +
                                                 std::to_string(whole) + " its header announces");
    }
}

TEST(FileProblem, LeavesBinaryDataNeitherFormExplainsToTheLibrary) {
    EXPECT_EQ(file_problem(Bytes{0x00}, PACKAGE), std::nullopt);
    EXPECT_EQ(file_problem(Bytes{0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00}, REPORT),
              std::nullopt);
}

TEST(TrailingBytes, CountsWhatFollowsTheFirstMessage) {
    Bytes bytes = package_bytes();
    EXPECT_EQ(trailing_bytes(bytes), 0U);
    const std::size_t whole = bytes.size();
    bytes.resize(whole + 5, 0xaa);
    EXPECT_EQ(trailing_bytes(bytes), 5U);
    // Two whole messages: the second is trailing bytes to the first.
    bytes.resize(whole);
    const Bytes second = report_bytes();
    bytes.insert(bytes.end(), second.begin(), second.end());
    EXPECT_EQ(trailing_bytes(bytes), second.size());
    // A cut message has nothing after it; framing that cannot be read tells nothing.
    bytes.resize(whole - 1);
    EXPECT_EQ(trailing_bytes(bytes), 0U);
    EXPECT_EQ(trailing_bytes(Bytes{}), 0U);
    EXPECT_EQ(trailing_bytes(bytes_of("not a message")), 0U);
}

}  // namespace
}  // namespace vexa_cli
