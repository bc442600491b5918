#include "loading.hpp"

#include "diagnostics.hpp"
#include "file_io.hpp"
#include "stored_kind.hpp"

namespace vexa_cli {

int fail(const Failure& failure) {
    return fail(failure.subject, failure.what);
}

namespace {

constexpr std::string_view NOT_A_REPORT =
    "this is an application package, not a profile report; use 'vexa-package inspect', "
    "'size' or 'diff' on it";
constexpr std::string_view NOT_A_PACKAGE =
    "this is a profile report, not an application package; use 'vexa-package profile "
    "summary' or another profile command on it";

}  // namespace

std::expected<vexa_package::Bytes, Failure> read_report_file(const std::string& path) {
    auto bytes = read_input(path);
    if (!bytes) {
        return std::unexpected(Failure{input_name(path), bytes.error()});
    }
    if (stored_kind(*bytes) == StoredKind::Package) {
        return std::unexpected(Failure{input_name(path), std::string(NOT_A_REPORT)});
    }
    return std::move(*bytes);
}

std::expected<PackageFile, Failure> load_package_file(const std::string& path) {
    const auto bytes = read_input(path);
    if (!bytes) {
        return std::unexpected(Failure{input_name(path), bytes.error()});
    }
    auto application = vexa_package::Application::read(*bytes);
    if (!application) {
        // Only a file that fails as a package is looked at again, so every package error
        // stays as the library gives it.
        return std::unexpected(Failure{input_name(path), stored_kind(*bytes) == StoredKind::Report
                                                             ? std::string(NOT_A_PACKAGE)
                                                             : to_string(application.error())});
    }
    return PackageFile{.application = std::move(*application), .file_bytes = bytes->size()};
}

std::expected<vexa_package::Application, Failure> load_application(const std::string& path) {
    auto file = load_package_file(path);
    if (!file) {
        return std::unexpected(std::move(file.error()));
    }
    return std::move(file->application);
}

std::expected<void, Failure> visit_profile_file(const std::string& path,
                                                vexa_package::ProfileVisitor& visitor) {
    const auto bytes = read_report_file(path);
    if (!bytes) {
        return std::unexpected(bytes.error());
    }
    const auto visited = vexa_package::visit_profile(*bytes, visitor);
    if (!visited) {
        return std::unexpected(Failure{input_name(path), to_string(visited.error())});
    }
    return {};
}

std::expected<JsonValue, Failure> load_json(const std::string& path) {
    const auto bytes = read_input(path);
    if (!bytes) {
        return std::unexpected(Failure{input_name(path), bytes.error()});
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    auto document = parse_json_document(text);
    if (!document) {
        return std::unexpected(Failure{input_name(path), document.error()});
    }
    return std::move(*document);
}

std::expected<void, Failure> store(const std::string& path, std::string_view contents) {
    auto written = write_output(path, contents);
    if (!written) {
        return std::unexpected(Failure{output_name(path), written.error()});
    }
    return {};
}

std::expected<void, Failure> store(const std::string& path,
                                   std::span<const std::uint8_t> contents) {
    auto written = write_output(path, contents);
    if (!written) {
        return std::unexpected(Failure{output_name(path), written.error()});
    }
    return {};
}

}  // namespace vexa_cli
