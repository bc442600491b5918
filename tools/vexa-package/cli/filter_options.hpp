#pragma once

#include <CLI/CLI.hpp>

#include <string_view>

#include "profile/sample_filter.hpp"

namespace vexa_cli {

/// Adds --tiles, --kernel, --operation, --kind, --from and --to, each checked as it is
/// parsed, so a bad list or pattern is a usage error.
void add_filter_options(CLI::App& command, SampleFilterOptions& options);

/// What the filters mean, for a command's help.
inline constexpr std::string_view FILTER_HELP =
    "Filters keep the samples that pass all of them: --tiles by physical tile (0-3,8),\n"
    "--kernel and --operation by an ECMAScript regular expression found anywhere in the name\n"
    "(anchor it with ^...$), --kind by kind, and --from/--to the samples that start at or\n"
    "after FROM and before TO, in cycles on the device timeline (profile summary shows where\n"
    "the report lies on it). Every sample is placed before any is filtered, so a filter\n"
    "never moves a kept one.";

}  // namespace vexa_cli
