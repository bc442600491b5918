#include "trace/trace_writer.hpp"

#include <utility>
#include <vector>

#include "json/json_document.hpp"

namespace vexa_cli {

TraceWriter::TraceWriter(std::string_view source, TracePlan plan) : plan_(std::move(plan)) {
    // A file name need not be UTF-8; the JSON library's writer replaces what is not, and its
    // reader gives the text back.
    const std::string quoted = JsonOutput("vexa device (" + std::string(source) + ")")
                                   .dump(-1, ' ', false, JsonOutput::error_handler_t::replace);
    device_name_ = JsonValue::parse(quoted).get<std::string>();
}

void TraceWriter::header(const vexa_package::ProfileHeaderView& header) {
    clock_hz_ = header.clock_hz;
    begin();
}

void TraceWriter::tile(const vexa_package::TileProfileView& tile) {
    entry(tile.physical_tile, tracks_.insert(tile.physical_tile).second);
}

void TraceWriter::sample(const KeptSample& kept) {
    if (plan_.overview) {
        plan_.overview->add(kept.physical_tile, kept.sample.kind, kept.start, kept.end);
    }
    if (plan_.cut && kept.start >= *plan_.cut) {
        ++cut_off_;
        return;
    }
    ++slices_;
    slice({.physical_tile = kept.physical_tile,
           .start = trace_nanoseconds(kept.start, clock_hz_),
           .end = trace_nanoseconds(kept.end, clock_hz_)},
          kept.sample);
}

void TraceWriter::finish() {
    if (plan_.overview) {
        write_counters(*plan_.overview);
    }
    end();
}

void TraceWriter::write_counters(BusyOverview& overview) {
    overview.finish();
    // The series of a tile are neighbours: each tile's run from its first series to the next
    // tile's first.
    const auto& series = overview.series();
    std::vector<std::size_t> firsts;
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (i == 0 || series[i].physical_tile != series[i - 1].physical_tile) {
            firsts.push_back(i);
        }
    }
    firsts.push_back(series.size());
    std::vector<vexa_package::ProfileStepKind> kinds;
    for (std::size_t t = 0; t + 1 < firsts.size(); ++t) {
        kinds.clear();
        for (std::size_t i = firsts[t]; i < firsts[t + 1]; ++i) {
            kinds.push_back(series[i].kind);
        }
        counter_tracks(series[firsts[t]].physical_tile, kinds);
    }
    // Past the last bucket, at the end of the run, every share drops to 0.
    std::vector<std::optional<double>> last(series.size());
    std::vector<CounterValue> values;
    for (std::size_t bucket = 0; bucket <= overview.buckets(); ++bucket) {
        const std::uint64_t time = trace_nanoseconds(overview.bucket_start(bucket), clock_hz_);
        for (std::size_t t = 0; t + 1 < firsts.size(); ++t) {
            values.clear();
            bool changed = false;
            for (std::size_t i = firsts[t]; i < firsts[t + 1]; ++i) {
                const double percent = bucket < overview.buckets() ? overview.share(i, bucket) : 0;
                values.push_back(
                    {.kind = series[i].kind, .percent = percent, .changed = last[i] != percent});
                changed = changed || values.back().changed;
                last[i] = percent;
            }
            if (changed) {
                counter_point(series[firsts[t]].physical_tile, time, values);
            }
        }
    }
}

}  // namespace vexa_cli
