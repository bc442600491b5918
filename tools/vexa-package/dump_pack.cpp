#include "commands.hpp"
#include "diagnostics.hpp"
#include "file_io.hpp"
#include "json_application.hpp"
#include "json_profile.hpp"
#include "json_text.hpp"
#include "loading.hpp"
#include "profile_dump_writer.hpp"
#include "rule_location.hpp"
#include "text_format.hpp"
#include "timeline_report.hpp"

namespace vexa_cli {
namespace {

// Converts the JSON of an input file into a record, naming the file in any problem.
template <typename Record, typename Convert>
std::expected<Record, Failure> from_json_file(const std::string& path, Convert convert) {
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

}  // namespace

int run_dump(const DumpOptions& options) {
    const auto application = load_application(options.input);
    if (!application) {
        return fail(application.error());
    }
    const auto spelling = options.hex ? ByteSpelling::Hex : ByteSpelling::Base64;
    // The JSON tree is gone before the text is written; only one of them is held at a time
    // beside the application.
    const std::string text =
        json_text(application_to_json(*application, spelling), options.compact);
    if (const auto stored = store(options.output, text, {.inputs = {options.input}}); !stored) {
        return fail(stored.error());
    }
    file_status(options.output,
                output_name(options.output) + ": " + counted(text.size(), "byte") + " of JSON");
    return EXIT_OK;
}

int run_pack(const PackOptions& options) {
    const auto application =
        from_json_file<vexa_package::Application>(options.input, application_from_json);
    if (!application) {
        return fail(application.error());
    }
    // The writer validates first; a package that breaks a rule is refused with its message,
    // followed by the record that breaks it.
    vexa_package::Bytes package;
    if (const auto written = application->write(package); !written) {
        return fail(
            Failure{.subject = input_name(options.input),
                    .what = to_string(written.error()),
                    .detail = locate_rule_failure(*application, written.error()).value_or("")});
    }
    if (const auto stored =
            store(options.output, package, {.inputs = {options.input}, .binary = true});
        !stored) {
        return fail(stored.error());
    }
    file_status(options.output, output_name(options.output) + ": application package of " +
                                    counted(application->tiles.size(), "tile") + ", " +
                                    counted(package.size(), "byte"));
    return EXIT_OK;
}

int run_profile_dump(const ProfileDumpOptions& options) {
    const auto bytes = read_report_file(options.input);
    if (!bytes) {
        return fail(bytes.error());
    }
    OutputFile output;
    if (auto opened = output.open(options.output, {.inputs = {options.input}}); !opened) {
        return fail(output_failure(options.output, std::move(opened.error())));
    }
    // The JSON is written while the report is read; neither is ever held whole.
    SampleFilter filter(options.filter);
    ProfileDumpWriter writer(filter, output, options.compact);
    if (auto read = vexa_package::visit_profile(*bytes, writer); !read) {
        return fail(report_failure(options.input, *bytes, read.error()));
    }
    report_timeline(input_name(options.input), writer, false);
    writer.finish();
    if (const auto committed = output.commit(); !committed) {
        return fail(output_name(options.output), committed.error());
    }
    file_status(options.output,
                output_name(options.output) + ": " + counted(writer.kept(), "sample") + " as JSON");
    return EXIT_OK;
}

int run_profile_pack(const PackOptions& options) {
    const auto report =
        from_json_file<vexa_package::ProfileReport>(options.input, profile_from_json);
    if (!report) {
        return fail(report.error());
    }
    vexa_package::Bytes bytes;
    if (const auto written = report->write(bytes); !written) {
        return fail(input_name(options.input), written.error());
    }
    if (const auto stored =
            store(options.output, bytes, {.inputs = {options.input}, .binary = true});
        !stored) {
        return fail(stored.error());
    }
    std::size_t samples = 0;
    for (const vexa_package::TileProfile& tile : report->tiles) {
        samples += tile.samples.size();
    }
    file_status(options.output, output_name(options.output) + ": profile report of " +
                                    counted(report->tiles.size(), "tile") + ", " +
                                    counted(samples, "sample") + ", " +
                                    counted(bytes.size(), "byte"));
    return EXIT_OK;
}

}  // namespace vexa_cli
