#include "cli/filter_options.hpp"

namespace vexa_cli {

void add_filter_options(CLI::App& command, SampleFilterOptions& options) {
    const CLI::Validator name_pattern(
        [](const std::string& text) {
            const auto checked = check_name_pattern(text);
            return checked ? std::string() : checked.error();
        },
        "REGEX");
    command.add_option("--tiles", options.tiles, "Only these physical tiles (0-3,8)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                const auto parsed = parse_tile_list(text);
                return parsed ? std::string() : parsed.error();
            },
            "LIST"))
        ->type_name("LIST");
    command.add_option("--kernel", options.kernel, "Only kernels matching REGEX")
        ->check(name_pattern)
        ->type_name("REGEX");
    command.add_option("--operation", options.operation, "Only operations matching REGEX")
        ->check(name_pattern)
        ->type_name("REGEX");
    command.add_option("--kind", options.kind, "Only samples of this kind")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return kind_named(text)
                           ? std::string()
                           : "expected Exchange, Compute, Synchronization or Idle, got " + text;
            },
            "KIND"))
        ->type_name("KIND");
    // CLI11 would take "-1" for an unsigned number and wrap it.
    const CLI::Validator cycle(
        [](const std::string& text) {
            return text.starts_with('-') ? "expected a cycle on the device timeline, 0 or more, "
                                           "got " +
                                               text
                                         : std::string();
        },
        "");
    command.add_option("--from", options.from, "Only samples starting at or after CYCLE")
        ->check(cycle)
        ->type_name("CYCLE");
    command.add_option("--to", options.to, "Only samples starting before CYCLE")
        ->check(cycle)
        ->type_name("CYCLE");
}

}  // namespace vexa_cli
