#include <map>
#include <memory>

#include "cli/command.hpp"
#include "cli/command_options.hpp"
#include "cli/diagnostics.hpp"
#include "cli/filter_options.hpp"
#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "output/text_format.hpp"
#include "profile/sample_filter.hpp"
#include "profile/timeline_report.hpp"

namespace vexa_cli {
namespace {

struct CollapsedOptions {
    std::string report;
    std::string output = "-";
    SampleFilterOptions filter;
};

// A frame may hold neither the separator nor a line break; an empty name shows as (none).
void append_frame(std::string& out, std::string_view name) {
    if (name.empty()) {
        out.append("(none)");
        return;
    }
    for (const char character : name) {
        out.push_back(character == ';'                           ? ':'
                      : (character == '\n' || character == '\r') ? ' '
                                                                 : character);
    }
}

// Sums the cycles of each distinct stack; only the stacks are held, not the samples.
class StackCounter final : public FilteredVisitor {
  public:
    using FilteredVisitor::FilteredVisitor;

    [[nodiscard]] std::string folded() const {
        std::string out;
        for (const auto& [stack, cycles] : stacks_) {
            out.append(stack).append(" ").append(std::to_string(cycles)).append("\n");
        }
        return out;
    }

  private:
    void on_sample(const KeptSample& kept) override {
        key_ = "tile " + std::to_string(kept.physical_tile) + ";";
        key_.append(to_string(kept.sample.kind)).append(";");
        append_frame(key_, kept.sample.operation);
        key_.push_back(';');
        append_frame(key_, kept.sample.kernel);
        stacks_[key_] += kept.cycles;
    }

    std::map<std::string, std::uint64_t> stacks_;

  public:
    [[nodiscard]] std::size_t stacks() const { return stacks_.size(); }

  private:
    std::string key_;
};

int run_profile_collapsed(const CollapsedOptions& options) {
    SampleFilter filter(options.filter);
    StackCounter counter(filter);
    if (const auto visited = visit_profile_file(options.report, counter); !visited) {
        return fail(visited.error());
    }
    report_timeline(input_name(options.report), counter, false);
    const std::string folded = counter.folded();
    if (const auto stored = store(options.output, folded, {.inputs = {options.report}}); !stored) {
        return fail(stored.error());
    }
    file_status(options.output,
                output_name(options.output) + ": " + counted(counter.stacks(), "stack"));
    return EXIT_OK;
}

}  // namespace

CommandAction declare_profile_collapsed(CLI::App& command) {
    auto options = std::make_shared<CollapsedOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    add_output(command, options->output, "Where to write the stacks")->capture_default_str();
    add_filter_options(command, options->filter);
    footer(command,
           "One line per distinct stack, \"tile N;KIND;OPERATION;KERNEL CYCLES\", sorted by\n"
           "stack, with the cycles of all its samples summed: the folded format of\n"
           "flamegraph.pl, speedscope and inferno. A ';' in a name becomes ':' and a line\n"
           "break a space; an empty name is (none).\n" +
               std::string(FILTER_HELP) +
               "\nExample: vexa-package profile collapsed run.vxprof | flamegraph.pl >run.svg");
    return [options] { return run_profile_collapsed(*options); };
}

}  // namespace vexa_cli
