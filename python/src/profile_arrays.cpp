#include "profile_arrays.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

#include <pybind11/numpy.h>

#include "byte_view.hpp"
#include "field_conversion.hpp"
#include "python_errors.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package::python {

namespace py = pybind11;

std::uint32_t NameTable::code(std::string_view name) {
    if (const auto found = codes_.find(name); found != codes_.end()) {
        return found->second;
    }
    if (names_.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("more distinct names than 32-bit codes");
    }
    const auto next = static_cast<std::uint32_t>(names_.size());
    codes_.emplace(name, next);
    names_.emplace_back(name);
    return next;
}

void register_sample_dtype() {
    PYBIND11_NUMPY_DTYPE(SampleRow, physical_tile, start_cycle, end_cycle, duration, start, end,
                         local_index, phase, epoch, kernel, operation, kind);
}

namespace {

// Appends the next sample of the current tile, placed on the table's timeline. `Step` is a
// `ProfileStep` or a `CycleSampleView`: both name the step's fields alike.
template <typename Step>
void add_row(SampleTable& table, std::uint32_t physical_tile, std::uint32_t start_cycle,
             std::uint32_t end_cycle, const Step& step) {
    const TimelinePlace place = table.timeline.place(start_cycle, end_cycle);
    table.rows.push_back(SampleRow{.physical_tile = physical_tile,
                                   .start_cycle = start_cycle,
                                   .end_cycle = end_cycle,
                                   .duration = end_cycle - start_cycle,
                                   .start = place.start,
                                   .end = place.end,
                                   .local_index = step.local_index,
                                   .phase = step.phase,
                                   .epoch = step.epoch,
                                   .kernel = table.kernels.code(step.kernel),
                                   .operation = table.operations.code(step.operation),
                                   .kind = static_cast<std::uint8_t>(step.kind)});
}

// Fills the table from the streaming reader: the same checks in the same order as
// ProfileReport::read, without building the report.
class RowCollector final : public ProfileVisitor {
  public:
    void header(const ProfileHeaderView& header) override { table.clock_hz = header.clock_hz; }

    void tile(const TileProfileView& tile) override {
        physical_tile_ = tile.physical_tile;
        table.timeline.tile(tile);
        // The rows of all tiles are reserved as they are announced, growing geometrically so
        // that many small tiles do not copy the rows once each.
        const std::size_t needed = table.rows.size() + tile.sample_count;
        if (needed > table.rows.capacity()) {
            table.rows.reserve(std::max(needed, 2 * table.rows.capacity()));
        }
    }

    void sample(const CycleSampleView& sample) override {
        add_row(table, physical_tile_, sample.start_cycle, sample.end_cycle, sample);
    }

    SampleTable table;

  private:
    std::uint32_t physical_tile_ = 0;
};

// The anomalies that occurred, by kind, as `TimelineAnomaly` records.
py::dict anomalies_to_python(const TimelineAnomalies& anomalies, const RecordClasses& classes) {
    py::dict result;
    const auto add = [&](const char* kind, const TimelineAnomaly& anomaly) {
        if (anomaly.count != 0) {
            result[kind] = classes.timeline_anomaly(
                python_int(anomaly.count), python_int(anomaly.tile_index),
                python_int(anomaly.physical_tile), python_int(anomaly.sample_index));
        }
    };
    add("backwards", anomalies.backwards);
    add("ambiguous", anomalies.ambiguous);
    add("out_of_range", anomalies.out_of_range);
    return result;
}

}  // namespace

SampleTable sample_table(const ProfileReport& report) {
    SampleTable table{
        .clock_hz = report.clock_hz, .rows = {}, .kernels = {}, .operations = {}, .timeline = {}};
    std::size_t count = 0;
    for (const TileProfile& tile : report.tiles) {
        count += tile.samples.size();
    }
    table.rows.reserve(count);
    for (const TileProfile& tile : report.tiles) {
        table.timeline.tile(tile.physical_tile);
        for (const CycleSample& sample : tile.samples) {
            add_row(table, tile.physical_tile, sample.start_cycle, sample.end_cycle, sample.step);
        }
    }
    return table;
}

py::object samples_to_python(SampleTable&& table, const RecordClasses& classes) {
    const auto name_list = [](const NameTable& names) {
        return python_list(names.names(),
                           [](const std::string& name) { return python_text(name); });
    };
    py::object kernels = name_list(table.kernels);
    py::object operations = name_list(table.operations);

    // The array takes over the rows' memory; the capsule frees it with the array.
    auto rows = std::make_unique<std::vector<SampleRow>>(std::move(table.rows));
    const py::capsule owner(
        rows.get(), [](void* pointer) { delete static_cast<std::vector<SampleRow>*>(pointer); });
    const std::vector<SampleRow>& owned = *rows.release();
    const py::array_t<SampleRow> samples(static_cast<py::ssize_t>(owned.size()), owned.data(),
                                         owner);
    const std::optional<TimelineSpan> span = table.timeline.span();
    const py::object python_span =
        span ? classes.timeline_span(python_int(span->first_start), python_int(span->last_end))
             : py::object(py::none());
    return classes.profile_samples(samples, kernels, operations, python_int(table.clock_hz),
                                   python_span,
                                   anomalies_to_python(table.timeline.anomalies(), classes));
}

py::object read_profile_samples(py::handle data) {
    const ByteView input(data);
    const RecordClasses classes = RecordClasses::import();
    RowCollector collector;
    without_gil([&] { return visit_profile(input.bytes(), collector); });
    return samples_to_python(std::move(collector.table), classes);
}

}  // namespace vexa_package::python
