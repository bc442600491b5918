#include "io/file_problems.hpp"

#include <algorithm>
#include <string_view>

#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

using vexa_package::FileKind;

// How much of a file is looked at to tell text from binary data.
constexpr std::size_t TEXT_PROBE_BYTES = 4096;

constexpr std::string_view NOT_A_REPORT =
    "this is an application package, not a profile report; use 'vexa-package inspect', "
    "'size' or 'diff' on it";
constexpr std::string_view NOT_A_PACKAGE =
    "this is a profile report, not an application package; use 'vexa-package profile "
    "summary' or another profile command on it";

std::string_view probe(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), TEXT_PROBE_BYTES)};
}

// Text has no control characters but white space; a stored message has zero bytes in its
// segment table and pointers within its first words.
bool looks_like_text(std::string_view start) {
    return std::ranges::all_of(start, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 || c == '\n' || c == '\r' || c == '\t';
    });
}

std::string text_problem(std::string_view start, FileKind expected) {
    const std::size_t first = start.find_first_not_of(" \t\r\n");
    const bool json =
        first != std::string_view::npos && (start[first] == '{' || start[first] == '[');
    // The JSON of each format names its own first field.
    const bool report_json = start.find("\"clock_hz\"") != std::string_view::npos;
    const bool package_json = start.find("\"compiler_version\"") != std::string_view::npos;
    const std::string wanted =
        expected == FileKind::ProfileReport ? "a profile report" : "an application package";
    if (!json) {
        return "this is a text file, not " + wanted + " (a binary file)";
    }
    if (report_json && !package_json) {
        return "this is JSON text, not " + wanted +
               "; it looks like a profile report as JSON, which 'vexa-package profile pack "
               "JSON -o REPORT' turns into a report";
    }
    if (package_json && !report_json) {
        return "this is JSON text, not " + wanted +
               "; it looks like an application as JSON, which 'vexa-package pack JSON -o "
               "PACKAGE' turns into a package";
    }
    return "this is JSON text, not " + wanted +
           "; 'vexa-package pack' (or 'profile pack' for a report) turns JSON into one";
}

}  // namespace

std::optional<std::string> file_problem(std::span<const std::uint8_t> bytes, FileKind expected) {
    if (bytes.empty()) {
        return "the file is empty";
    }
    const std::string_view start = probe(bytes);
    if (looks_like_text(start)) {
        return text_problem(start, expected);
    }
    const vexa_package::FileIdentity identity = vexa_package::identify_file(bytes);
    if (identity.kind != FileKind::Unknown && identity.kind != expected) {
        return std::string(expected == FileKind::ProfileReport ? NOT_A_REPORT : NOT_A_PACKAGE);
    }
    if (identity.message_bytes && *identity.message_bytes > bytes.size()) {
        return "the file is truncated: it holds " + counted(bytes.size(), "byte") + " of the " +
               std::to_string(*identity.message_bytes) + " its header announces";
    }
    return std::nullopt;
}

std::uint64_t trailing_bytes(std::span<const std::uint8_t> bytes) {
    const vexa_package::FileIdentity identity = vexa_package::identify_file(bytes);
    return identity.message_bytes && *identity.message_bytes < bytes.size()
               ? bytes.size() - *identity.message_bytes
               : 0;
}

}  // namespace vexa_cli
