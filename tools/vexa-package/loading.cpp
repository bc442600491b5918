#include "loading.hpp"

#include "diagnostics.hpp"
#include "file_io.hpp"

namespace vexa_cli {

int fail(const Failure& failure) {
    return fail(failure.subject, failure.what);
}

std::expected<vexa_package::Application, Failure> load_application(const std::string& path) {
    const auto bytes = read_input(path);
    if (!bytes) {
        return std::unexpected(Failure{input_name(path), bytes.error()});
    }
    auto application = vexa_package::Application::read(*bytes);
    if (!application) {
        return std::unexpected(Failure{input_name(path), to_string(application.error())});
    }
    return std::move(*application);
}

std::expected<vexa_package::ProfileReport, Failure> load_profile(const std::string& path) {
    const auto bytes = read_input(path);
    if (!bytes) {
        return std::unexpected(Failure{input_name(path), bytes.error()});
    }
    auto report = vexa_package::ProfileReport::read(*bytes);
    if (!report) {
        return std::unexpected(Failure{input_name(path), to_string(report.error())});
    }
    return std::move(*report);
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
