#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sample_filter.hpp"

namespace vexa_cli {

// Every command returns its exit status and has printed its own messages.

struct InspectOptions {
    std::string package;
    bool json = false;
};
/// The overview of a package: compiler, tiles, bindings, host exchange, entry points and
/// configuration writes, as aligned text or as JSON.
int run_inspect(const InspectOptions& options);

/// One line per package: "FILE: ok" on standard output, or "vexa-package: FILE: ERROR" on
/// standard error; fails when any package does.
int run_validate(const std::vector<std::string>& packages);

struct DumpOptions {
    std::string input;
    std::string output = "-";
    bool hex = false;
    bool compact = false;
};
struct ProfileDumpOptions {
    std::string input;
    std::string output = "-";
    bool compact = false;
    SampleFilterOptions filter;
};
struct PackOptions {
    std::string input;
    std::string output;
};
/// A package as lossless JSON, and back.
int run_dump(const DumpOptions& options);
int run_pack(const PackOptions& options);
/// A profile report as lossless JSON, of the samples that pass the filters, and back.
int run_profile_dump(const ProfileDumpOptions& options);
int run_profile_pack(const PackOptions& options);

struct ImageOptions {
    std::string package;
    std::optional<std::uint32_t> tile;
    bool all = false;
    std::string output;
};
/// The rebuilt memory image of one tile, or of every tile into a directory.
int run_image(const ImageOptions& options);

struct TraceOptions {
    std::string report;
    std::string output;
    /// "json" or "perfetto"; empty: JSON for an output ending in .json and for standard
    /// output, else Perfetto.
    std::string format;
    /// The most slices written; 0: no limit. By default a Perfetto file of about 300 MB,
    /// which the Perfetto UI loads in a browser tab in 0.6 to 1.2 GB.
    std::uint64_t max_slices = 5'000'000;
    SampleFilterOptions filter;
};
/// The report as a trace for Perfetto: its protobuf format, or Chrome trace event JSON.
int run_profile_trace(const TraceOptions& options);

struct SvgOptions {
    std::string report;
    std::string output;
    unsigned width = 1200;
    SampleFilterOptions filter;
};
/// The report as an SVG timeline.
int run_profile_svg(const SvgOptions& options);

}  // namespace vexa_cli
