#pragma once

#include <expected>
#include <string>

#include "json_document.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// Why an input could not be used: the file as named in messages and what is wrong with it.
struct Failure {
    std::string subject;
    std::string what;
};

/// Prints the failure as "vexa-package: SUBJECT: WHAT" and returns the failing exit status.
int fail(const Failure& failure);

/// A package with the size of the file it was read from.
struct PackageFile {
    vexa_package::Application application;
    std::size_t file_bytes = 0;
};

/// Reads a package file (`-`: standard input) and decodes and validates it with the library.
/// A profile report is named as such, with the command to use on it.
[[nodiscard]] std::expected<PackageFile, Failure> load_package_file(const std::string& path);
[[nodiscard]] std::expected<vexa_package::Application, Failure> load_application(
    const std::string& path);
/// Reads the bytes of a profile report file (`-`: standard input), refusing an application
/// package, which would otherwise read as a report of nonsense.
[[nodiscard]] std::expected<vexa_package::Bytes, Failure> read_report_file(const std::string& path);
/// Reads a profile report file and streams it through `visitor`, with the same refusal of
/// packages; only the file's bytes are held.
[[nodiscard]] std::expected<void, Failure> visit_profile_file(
    const std::string& path, vexa_package::ProfileVisitor& visitor);
/// Reads and parses a JSON file (`-`: standard input).
[[nodiscard]] std::expected<JsonValue, Failure> load_json(const std::string& path);

/// Writes a whole output file, or reports why it could not be written.
[[nodiscard]] std::expected<void, Failure> store(const std::string& path,
                                                 std::string_view contents);
[[nodiscard]] std::expected<void, Failure> store(const std::string& path,
                                                 std::span<const std::uint8_t> contents);

}  // namespace vexa_cli
