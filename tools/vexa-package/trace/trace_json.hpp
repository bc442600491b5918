#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_io.hpp"
#include "trace/trace_writer.hpp"

namespace vexa_cli {

/// Writes the trace as Chrome trace event JSON ("traceEvents"), event by event while the
/// report is read: all tiles are threads of one process, a sample is a complete event ("X")
/// with times in microseconds at nanosecond resolution, and its fields, cycles and metadata
/// are its arguments (a repeated metadata name collects its values in a list). The busy
/// counters are counter events ("C") of the process, one series "tile N busy" per tile with
/// an argument per kind, since the format gives threads no counters.
class JsonTraceWriter final : public TraceWriter {
  public:
    /// `source` names the report in the process name.
    JsonTraceWriter(OutputFile& output, std::string_view source, TracePlan plan);

  private:
    void begin() override;
    void entry(std::uint32_t physical_tile, bool new_track) override;
    void slice(const Slice& slice, const vexa_package::CycleSampleView& sample) override;
    void counter_point(std::uint32_t physical_tile, std::uint64_t time,
                       std::span<const CounterValue> values) override;
    void end() override;
    void append_metadata(const vexa_package::CycleSampleView& sample);
    void event();

    OutputFile& output_;
    bool first_event_ = true;
    // Reused for every event, so writing one allocates nothing once they have grown.
    std::string line_;
    std::vector<std::size_t> by_name_;
    std::vector<std::size_t> groups_;
};

}  // namespace vexa_cli
