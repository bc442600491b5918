#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <span>
#include <string_view>

namespace vexa_cli {

/// What runs once a command was chosen and its options parsed; returns the exit status.
using CommandAction = std::function<int()>;

/// One command of the tool. `declare` adds the command's options and help to its CLI11 app
/// and returns the action, which holds the parsed options.
struct Command {
    /// The command it belongs under ("profile"), or empty at the top level.
    std::string_view group;
    std::string_view name;
    /// The line `--help` shows beside the name.
    std::string_view summary;
    CommandAction (*declare)(CLI::App& command);
};

/// A command that only groups others ("profile").
struct CommandGroup {
    std::string_view name;
    std::string_view summary;
};

/// Every command, in the order `--help` lists them.
[[nodiscard]] std::span<const Command> command_table();
[[nodiscard]] std::span<const CommandGroup> command_groups();

CommandAction declare_inspect(CLI::App& command);
CommandAction declare_validate(CLI::App& command);
CommandAction declare_size(CLI::App& command);
CommandAction declare_diff(CLI::App& command);
CommandAction declare_dump(CLI::App& command);
CommandAction declare_pack(CLI::App& command);
CommandAction declare_image(CLI::App& command);
CommandAction declare_profile_summary(CLI::App& command);
CommandAction declare_profile_diff(CLI::App& command);
CommandAction declare_profile_export(CLI::App& command);
CommandAction declare_profile_collapsed(CLI::App& command);
CommandAction declare_profile_trace(CLI::App& command);
CommandAction declare_profile_svg(CLI::App& command);
CommandAction declare_profile_dump(CLI::App& command);
CommandAction declare_profile_pack(CLI::App& command);

}  // namespace vexa_cli
