#include "profile/timeline_report.hpp"

#include "cli/diagnostics.hpp"
#include "output/text_format.hpp"

namespace vexa_cli {
namespace {

using vexa_package::TimelineAnomaly;

// "1 sample starts", "2 samples start".
std::string samples_that(std::uint64_t count, std::string_view verb) {
    return counted(count, "sample") + " " + std::string(verb) + (count == 1 ? "s" : "");
}

std::string first_at(const TimelineAnomaly& anomaly) {
    return "first: tile " + std::to_string(anomaly.physical_tile) + " (tile entry " +
           std::to_string(anomaly.tile_index) + "), sample " + std::to_string(anomaly.sample_index);
}

}  // namespace

std::vector<std::string> timeline_notes(const FilteredVisitor& visitor, bool shows_times) {
    std::vector<std::string> notes;
    const vexa_package::CycleTimeline& timeline = visitor.timeline();
    const vexa_package::TimelineAnomalies& anomalies = timeline.anomalies();
    if (shows_times || visitor.filter().windowed()) {
        if (const TimelineAnomaly& backwards = anomalies.backwards; backwards.count != 0) {
            notes.push_back(
                samples_that(backwards.count, "start") +
                " earlier than the sample listed just before on the same tile (" +
                first_at(backwards) +
                "); each is placed up to 2^31 cycles back, which is right if the report lists "
                "samples out of order and wrong if the counter wrapped between them");
        }
        if (const TimelineAnomaly& ambiguous = anomalies.ambiguous; ambiguous.count != 0) {
            notes.push_back(
                samples_that(ambiguous.count, "start") +
                " nearly 2^31 cycles from the previous start of their tile or, for a tile's "
                "first sample, from the report's first start (" +
                first_at(ambiguous) +
                "); forwards and backwards are about as likely, and the nearer "
                "was taken");
        }
        if (const TimelineAnomaly& outside = anomalies.out_of_range; outside.count != 0) {
            notes.push_back(
                samples_that(outside.count, "fall") +
                " outside the device timeline, more than a counter wrap before the report's "
                "first sample (" +
                first_at(outside) +
                "); each is placed at the nearest cycle inside it with the same "
                "stored start_cycle");
        }
    }
    if (visitor.filter().active() && visitor.kept() == 0) {
        const auto span = timeline.span();
        notes.push_back(span ? "no samples kept; the report spans cycles " +
                                   std::to_string(span->first_start) + " to " +
                                   std::to_string(span->last_end) + " on the device timeline"
                             : std::string("no samples kept; the report holds no samples"));
    }
    return notes;
}

void report_timeline(std::string_view subject, const FilteredVisitor& visitor, bool shows_times) {
    for (const std::string& note : timeline_notes(visitor, shows_times)) {
        warn(subject, note);
    }
}

}  // namespace vexa_cli
