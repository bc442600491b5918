#include <array>

#include "cli/command.hpp"

namespace vexa_cli {
namespace {

constexpr std::array GROUPS{
    CommandGroup{"profile", "Summarise, compare, draw and convert profile reports"}};

constexpr std::array COMMANDS{
    Command{"", "inspect", "Show what a package holds", declare_inspect},
    Command{"", "validate", "Check packages: one line per file, ok or the error", declare_validate},
    Command{"", "size", "Where the bytes of a package go", declare_size},
    Command{"", "diff", "What changed between two packages", declare_diff},
    Command{"", "dump", "Write a package as lossless JSON", declare_dump},
    Command{"", "pack", "Write the package a JSON file describes", declare_pack},
    Command{"", "image", "Write the rebuilt memory image of a tile", declare_image},
    Command{"profile", "summary", "Where the cycles went, by tile, kind, kernel and operation",
            declare_profile_summary},
    Command{"profile", "diff", "Compare two reports by kernel, operation, kind and tile",
            declare_profile_diff},
    Command{"profile", "export", "Write one row per sample as CSV or NDJSON",
            declare_profile_export},
    Command{"profile", "collapsed", "Write folded stacks for flame-graph viewers",
            declare_profile_collapsed},
    Command{"profile", "trace",
            "Write a trace for Perfetto (ui.perfetto.dev): protobuf or Chrome JSON",
            declare_profile_trace},
    Command{"profile", "svg", "Draw the run as an SVG timeline", declare_profile_svg},
    Command{"profile", "dump", "Write a profile report as lossless JSON", declare_profile_dump},
    Command{"profile", "pack", "Write the profile report a JSON file describes",
            declare_profile_pack},
};

}  // namespace

std::span<const Command> command_table() {
    return COMMANDS;
}

std::span<const CommandGroup> command_groups() {
    return GROUPS;
}

}  // namespace vexa_cli
