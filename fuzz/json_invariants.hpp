#pragma once

// What must hold for any text given to the tool's JSON readers (`pack` and `profile pack`):
// the text parses and converts to a model, or the tool reports its error; a model that is
// built either is refused by the writer with a `PackageError` or writes, reads back equal and
// dumps to the same JSON as the model it came from, JSON that converts back to that model.
// Reaching the end without an exception is the other half of the property: libFuzzer reports
// an escaping exception as a crash.

#include <unistd.h>

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "io/file_io.hpp"
#include "json/json_application.hpp"
#include "json/json_document.hpp"
#include "json/json_profile.hpp"
#include "json/json_text.hpp"
#include "json/profile_dump_writer.hpp"
#include "profile/sample_filter.hpp"
#include "read_invariants.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package::fuzzing {

namespace detail {

// The JSON of `vexa-package profile dump`, which streams into a file while the report is
// read; the file is this process's own, in the temporary directory.
[[nodiscard]] inline std::expected<std::string, std::string> dumped_profile(const Bytes& bytes) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("vexa-profile-json-fuzz-" + std::to_string(::getpid()) + ".json"))
                                 .string();
    {
        vexa_cli::OutputFile output;
        if (auto opened = output.open(path, vexa_cli::OutputRules{.inputs = {}, .binary = false});
            !opened) {
            return std::unexpected(opened.error().what);
        }
        // No filter options: every sample is kept.
        vexa_cli::SampleFilter filter(vexa_cli::SampleFilterOptions{});
        vexa_cli::ProfileDumpWriter writer(filter, output, false);
        if (auto read = visit_profile(bytes, writer); !read) {
            return std::unexpected(to_string(read.error()));
        }
        writer.finish();
        if (auto committed = output.commit(); !committed) {
            return std::unexpected(committed.error());
        }
    }
    auto text = vexa_cli::read_input(path);
    std::filesystem::remove(path);
    if (!text) {
        return std::unexpected(text.error());
    }
    return std::string(text->begin(), text->end());
}

// `dump(model, bytes)` gives the JSON that `dump` makes of a model written as `bytes`.
template <typename Model, typename FromJson, typename Dump>
[[nodiscard]] Violation check_json_input(std::span<const std::uint8_t> input, FromJson from_json,
                                         Dump dump) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    const auto document = vexa_cli::parse_json_document(text);
    if (!document) {
        return document.error().empty() ? Violation("JSON refused without a message") : Violation();
    }
    const auto model = from_json(*document);
    if (!model) {
        return model.error().empty() ? Violation("model refused without a message") : Violation();
    }
    Bytes bytes;
    if (!model->write(bytes)) {
        return std::nullopt;
    }
    const auto reread = Model::read(bytes);
    if (!reread) {
        return "written model does not read back: " + to_string(reread.error());
    }
    if (*reread != *model) {
        return std::string("model read back differs from the one written");
    }
    Bytes rewritten;
    if (!reread->write(rewritten)) {
        return std::string("model read back does not write");
    }
    const auto dumped = dump(*model, bytes);
    const auto redumped = dump(*reread, rewritten);
    if (!dumped || !redumped) {
        return "model does not dump: " + (dumped ? redumped.error() : dumped.error());
    }
    if (*redumped != *dumped) {
        return std::string("model read back dumps to other JSON");
    }
    const auto redocument = vexa_cli::parse_json_document(*dumped);
    if (!redocument) {
        return "dumped JSON does not parse: " + redocument.error();
    }
    const auto remodel = from_json(*redocument);
    if (!remodel) {
        return "dumped JSON does not convert: " + remodel.error();
    }
    if (*remodel != *model) {
        return std::string("dumped JSON converts to another model");
    }
    return std::nullopt;
}

}  // namespace detail

/// Everything `vexa-package pack` must do with one arbitrary JSON text.
[[nodiscard]] inline Violation check_application_json_input(std::span<const std::uint8_t> input) {
    return detail::check_json_input<Application>(
        input,
        [](const vexa_cli::JsonValue& json) { return vexa_cli::application_from_json(json); },
        [](const Application& application,
           const Bytes&) -> std::expected<std::string, std::string> {
            return vexa_cli::json_text(
                vexa_cli::application_to_json(application, vexa_cli::ByteSpelling::Base64), false);
        });
}

/// Everything `vexa-package profile pack` must do with one arbitrary JSON text.
[[nodiscard]] inline Violation check_profile_json_input(std::span<const std::uint8_t> input) {
    return detail::check_json_input<ProfileReport>(
        input, [](const vexa_cli::JsonValue& json) { return vexa_cli::profile_from_json(json); },
        [](const ProfileReport&, const Bytes& bytes) { return detail::dumped_profile(bytes); });
}

}  // namespace vexa_package::fuzzing
