#include <memory>

#include "command.hpp"
#include "command_options.hpp"
#include "commands.hpp"

namespace vexa_cli {

CommandAction declare_profile_summary(CLI::App& command) {
    auto options = std::make_shared<SummaryOptions>();
    add_input(command, "REPORT", options->report, "The profile report to read");
    command.add_flag("--json", options->json, "The same figures as JSON");
    command.add_option("--top", options->top, "How many kernels and operations to list")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}))
        ->capture_default_str()
        ->type_name("N");
    footer(command,
           "Shows the clock, tiles, samples and covered time; per tile the share of cycles by\n"
           "kind (exchange, compute, synchronization, idle); and the kernels and operations\n"
           "that took the most cycles.\n" +
               std::string(UNWRAPPING) + "\nExample: vexa-package profile summary run.vxprof");
    return [options] { return run_profile_summary(*options); };
}

}  // namespace vexa_cli
