#pragma once

#include <expected>
#include <string>

#include "io/file_io.hpp"
#include "json/json_document.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// Why an input could not be used: the file as named in messages and what is wrong with it.
struct Failure {
    std::string subject;
    std::string what;
    /// A second line for those who need more, such as the library's own error beneath a
    /// plain description; empty for none.
    std::string detail = {};
    /// The command line asked for something refused, such as overwriting an input.
    bool usage = false;
};

/// Prints the failure as "vexa-package: SUBJECT: WHAT" and returns the failing exit status:
/// 2 for a refused request, else 1.
int fail(const Failure& failure);

/// Why `bytes` from the input `path` did not read as a package or report: the file-level
/// problem in plain words with the library's error beneath it, or the library's error alone.
[[nodiscard]] Failure package_failure(const std::string& path, std::span<const std::uint8_t> bytes,
                                      const vexa_package::PackageError& error);
[[nodiscard]] Failure report_failure(const std::string& path, std::span<const std::uint8_t> bytes,
                                     const vexa_package::PackageError& error);

/// The failure of an output, named as outputs are.
[[nodiscard]] Failure output_failure(const std::string& path, OutputFailure failure);

/// A package with the size of the file it was read from.
struct PackageFile {
    vexa_package::Application application;
    std::size_t file_bytes = 0;
    /// Bytes after the package, which were not read.
    std::uint64_t trailing_bytes = 0;
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

/// Reads a JSON file and converts it into a record with `convert`, which returns the record or
/// what is wrong ("tiles[2].segments[0].address: ..."); the file is named in any problem.
template <typename Record, typename Convert>
[[nodiscard]] std::expected<Record, Failure> load_json_record(const std::string& path,
                                                              Convert convert) {
    auto document = load_json(path);
    if (!document) {
        return std::unexpected(document.error());
    }
    auto record = convert(*document);
    if (!record) {
        return std::unexpected(Failure{input_name(path), record.error()});
    }
    return std::move(*record);
}

/// Writes a whole output file under `rules`, or reports why it could not be written.
[[nodiscard]] std::expected<void, Failure> store(const std::string& path, std::string_view contents,
                                                 const OutputRules& rules);
[[nodiscard]] std::expected<void, Failure> store(const std::string& path,
                                                 std::span<const std::uint8_t> contents,
                                                 const OutputRules& rules);

}  // namespace vexa_cli
