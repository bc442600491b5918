#include <memory>
#include <optional>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "io/report_output.hpp"
#include "json/json_document.hpp"
#include "json/json_profile.hpp"
#include "output/csv.hpp"
#include "output/text_format.hpp"
#include "profile/sample_filter.hpp"

namespace vexa_cli {
namespace {

struct ExportOptions {
    std::string report;
    /// "csv" or "ndjson"; empty: from the output's extension, CSV unless it is .ndjson or
    /// .jsonl.
    std::string format;
    std::string output;
    std::string metadata;
    SampleFilterOptions filter;
};

constexpr std::array<std::string_view, 13> SAMPLE_COLUMNS{
    "tile",   "sample",      "local_index", "phase", "epoch", "operation", "kind",
    "kernel", "start_cycle", "end_cycle",   "start", "end",   "cycles"};
constexpr std::array<std::string_view, 4> METADATA_COLUMNS{"tile", "sample", "name", "value"};

// Writes each kept sample as a row as it streams past, and its metadata pairs to the second
// table when there is one.
class ExportWriter final : public FilteredVisitor {
  public:
    ExportWriter(SampleFilter& filter, bool csv, OutputFile& samples, OutputFile* metadata)
        : FilteredVisitor(filter), csv_(csv), samples_(&samples), metadata_(metadata) {
        if (csv_) {
            header_row(*samples_, SAMPLE_COLUMNS);
            if (metadata_ != nullptr) {
                header_row(*metadata_, METADATA_COLUMNS);
            }
        }
    }
    [[nodiscard]] std::size_t rows() const { return rows_; }

  private:
    // A row with the columns' names as keys, in their order, for filling in place.
    template <std::size_t N>
    static JsonOutput row_of(const std::array<std::string_view, N>& names) {
        JsonOutput row = JsonOutput::object();
        for (const std::string_view name : names) {
            row[std::string(name)] = nullptr;
        }
        return row;
    }

    template <std::size_t N>
    static void header_row(OutputFile& out, const std::array<std::string_view, N>& names) {
        std::vector<std::string> fields(names.begin(), names.end());
        std::string line;
        append_csv_row(line, fields);
        out.write(line);
    }

    void on_sample(const KeptSample& kept) override {
        const vexa_package::CycleSampleView& sample = kept.sample;
        const std::string tile = std::to_string(kept.physical_tile);
        const std::string index = std::to_string(sample.index);
        line_.clear();
        if (csv_) {
            fields_ = {tile,
                       index,
                       std::to_string(sample.local_index),
                       std::to_string(sample.phase),
                       std::to_string(sample.epoch),
                       std::string(sample.operation),
                       std::string(to_string(sample.kind)),
                       std::string(sample.kernel),
                       std::to_string(sample.start_cycle),
                       std::to_string(sample.end_cycle),
                       std::to_string(kept.start),
                       std::to_string(kept.end),
                       std::to_string(kept.cycles)};
            append_csv_row(line_, fields_);
        } else {
            sample_row_["tile"] = kept.physical_tile;
            sample_row_["sample"] = sample.index;
            assign_step_fields(sample_row_, sample);
            sample_row_["start_cycle"] = sample.start_cycle;
            sample_row_["end_cycle"] = sample.end_cycle;
            sample_row_["start"] = kept.start;
            sample_row_["end"] = kept.end;
            sample_row_["cycles"] = kept.cycles;
            line_ = sample_row_.dump();
            line_.push_back('\n');
        }
        samples_->write(line_);
        ++rows_;
        if (metadata_ == nullptr) {
            return;
        }
        for (const vexa_package::ProfileMetadataView& entry : sample.metadata) {
            line_.clear();
            if (csv_) {
                fields_ = {tile, index, std::string(entry.name), std::string(entry.value)};
                append_csv_row(line_, fields_);
            } else {
                metadata_row_["tile"] = kept.physical_tile;
                metadata_row_["sample"] = sample.index;
                assign_text(metadata_row_["name"], entry.name);
                assign_text(metadata_row_["value"], entry.value);
                line_ = metadata_row_.dump();
                line_.push_back('\n');
            }
            metadata_->write(line_);
        }
    }

    bool csv_;
    OutputFile* samples_;
    OutputFile* metadata_;
    std::size_t rows_ = 0;
    std::string line_;
    std::vector<std::string> fields_;
    // The NDJSON rows, filled in place for each sample; keys in column order.
    JsonOutput sample_row_ = row_of(SAMPLE_COLUMNS);
    JsonOutput metadata_row_ = row_of(METADATA_COLUMNS);
};

bool csv_wanted(const ExportOptions& options) {
    if (!options.format.empty()) {
        return options.format == "csv";
    }
    return !options.output.ends_with(".ndjson") && !options.output.ends_with(".jsonl");
}

int run_profile_export(const ExportOptions& options) {
    if (!options.metadata.empty() && same_path(options.metadata, options.output)) {
        return fail(Failure{.subject = output_name(options.metadata),
                            .what = "--metadata and -o name the same file; give two files",
                            .usage = true});
    }
    ReportOutput run(options.report, options.output);
    if (auto opened = run.open(); !opened) {
        return fail(opened.error());
    }
    std::optional<OutputFile> metadata;
    if (!options.metadata.empty()) {
        metadata.emplace();
        if (auto opened = metadata->open(options.metadata, {.inputs = {options.report}}); !opened) {
            return fail(output_failure(options.metadata, std::move(opened.error())));
        }
    }
    SampleFilter filter(options.filter);
    ExportWriter writer(filter, csv_wanted(options), run.file(), metadata ? &*metadata : nullptr);
    if (const auto visited = run.visit(writer, true); !visited) {
        return fail(visited.error());
    }
    if (const auto done = run.commit(); !done) {
        return fail(done.error());
    }
    if (metadata) {
        if (const auto done = metadata->commit(); !done) {
            return fail(output_name(options.metadata), done.error());
        }
    }
    run.report(counted(writer.rows(), "sample"));
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_export(CLI::App& command) {
    auto options = std::make_shared<ExportOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    command
        .add_option("--format", options->format,
                    "csv or ndjson; by default ndjson for a FILE ending in .ndjson or .jsonl,\n"
                    "csv for any other FILE and for standard output")
        ->check(CLI::IsMember({"csv", "ndjson"}))
        ->type_name("FORMAT");
    add_output(command, options->output, "Where to write the samples")->required();
    command
        .add_option("--metadata", options->metadata,
                    "Also write the metadata pairs, keyed by tile and sample, to FILE")
        ->type_name("FILE");
    add_filter_options(command, options->filter);
    footer(
        command,
        "One row per sample, in stored order, columns:\n"
        "  tile,sample,local_index,phase,epoch,operation,kind,kernel,start_cycle,end_cycle,\n"
        "  start,end,cycles\n"
        "start_cycle and end_cycle as stored; start and end on the device timeline, 64-bit;\n"
        "cycles is end - start. The metadata table has tile,sample,name,value, one row per pair.\n"
        "CSV has a header row, CRLF line ends and RFC 4180 quoting; NDJSON has one object\n"
        "per line with the same names. Both are written as the report streams past.\n" +
            std::string(FILTER_HELP) + "\n" + std::string(DEVICE_TIMELINE) +
            "\nExample: vexa-package profile export run.vxprof -o run.csv --metadata meta.csv\n"
            "         python3 -c 'import pandas; print(pandas.read_csv(\"run.csv\"))'");
    return [options] { return run_profile_export(*options); };
}

}  // namespace vexa_cli
