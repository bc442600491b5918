#include "io/loading.hpp"

#include "cli/diagnostics.hpp"
#include "io/file_io.hpp"
#include "io/file_problems.hpp"
#include "package/rule_location.hpp"

namespace vexa_cli {

using vexa_package::FileKind;

int fail(const Failure& failure) {
    const int status = fail(failure.subject, failure.what);
    if (!failure.detail.empty()) {
        fail(failure.subject, failure.detail);
    }
    return failure.usage ? EXIT_USAGE : status;
}

Failure output_failure(const std::string& path, OutputFailure failure) {
    return Failure{
        .subject = output_name(path), .what = std::move(failure.what), .usage = failure.usage};
}

namespace {

Failure read_failure(const std::string& path, std::span<const std::uint8_t> bytes,
                     const vexa_package::PackageError& error, FileKind expected) {
    const auto problem = file_problem(bytes, expected);
    if (!problem) {
        return Failure{.subject = input_name(path), .what = to_string(error)};
    }
    return Failure{.subject = input_name(path), .what = *problem, .detail = to_string(error)};
}

}  // namespace

Failure package_failure(const std::string& path, std::span<const std::uint8_t> bytes,
                        const vexa_package::PackageError& error) {
    return read_failure(path, bytes, error, FileKind::ApplicationPackage);
}

Failure report_failure(const std::string& path, std::span<const std::uint8_t> bytes,
                       const vexa_package::PackageError& error) {
    return read_failure(path, bytes, error, FileKind::ProfileReport);
}

std::expected<vexa_package::Bytes, Failure> read_report_file(const std::string& path) {
    auto bytes = read_input(path);
    if (!bytes) {
        return std::unexpected(Failure{input_name(path), bytes.error()});
    }
    // A package reads as a report of nonsense, so it is refused before it is read.
    if (vexa_package::identify_file(*bytes).kind == FileKind::ApplicationPackage) {
        return std::unexpected(Failure{.subject = input_name(path),
                                       .what = *file_problem(*bytes, FileKind::ProfileReport)});
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
        Failure failure = package_failure(path, *bytes, application.error());
        // A package that breaks a rule is read again without validation, to say where.
        if (failure.detail.empty() &&
            application.error().kind() == vexa_package::PackageError::Kind::Invalid) {
            if (const auto decoded = vexa_package::Application::decode(*bytes)) {
                failure.detail = locate_rule_failure(*decoded, application.error()).value_or("");
            }
        }
        return std::unexpected(std::move(failure));
    }
    return PackageFile{.application = std::move(*application),
                       .file_bytes = bytes->size(),
                       .trailing_bytes = trailing_bytes(*bytes)};
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
        return std::unexpected(report_failure(path, *bytes, visited.error()));
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

std::expected<void, Failure> store(const std::string& path, std::string_view contents,
                                   const OutputRules& rules) {
    auto written = write_output(path, contents, rules);
    if (!written) {
        return std::unexpected(output_failure(path, std::move(written.error())));
    }
    return {};
}

std::expected<void, Failure> store(const std::string& path, std::span<const std::uint8_t> contents,
                                   const OutputRules& rules) {
    auto written = write_output(path, contents, rules);
    if (!written) {
        return std::unexpected(output_failure(path, std::move(written.error())));
    }
    return {};
}

}  // namespace vexa_cli
