#include "profile_arrays.hpp"

#include <limits>
#include <memory>
#include <stdexcept>

#include <capnp/serialize.h>
#include <pybind11/numpy.h>

#include "byte_view.hpp"
#include "field_conversion.hpp"
#include "message_input.hpp"
#include "profile.capnp.h"
#include "python_errors.hpp"
#include "reader_options.hpp"
#include "utf8.hpp"

namespace vexa_package::python {

namespace py = pybind11;

std::pair<std::uint32_t, bool> NameTable::code(std::string_view name) {
    const auto found = codes_.find(name);
    if (found != codes_.end()) {
        return {found->second, false};
    }
    if (names_.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("more distinct names than 32-bit codes");
    }
    const auto next = static_cast<std::uint32_t>(names_.size());
    codes_.emplace(name, next);
    names_.push_back(name);
    return {next, true};
}

void register_sample_dtype() {
    PYBIND11_NUMPY_DTYPE(SampleRow, physical_tile, start_cycle, end_cycle, duration, local_index,
                         phase, epoch, kernel, operation, kind);
}

SampleTable sample_table(const ProfileReport& report) {
    SampleTable table{.clock_hz = report.clock_hz};
    std::size_t count = 0;
    for (const TileProfile& tile : report.tiles) {
        count += tile.samples.size();
    }
    table.rows.reserve(count);
    for (const TileProfile& tile : report.tiles) {
        for (const CycleSample& sample : tile.samples) {
            const ProfileStep& step = sample.step;
            table.rows.push_back(SampleRow{.physical_tile = tile.physical_tile,
                                           .start_cycle = sample.start_cycle,
                                           .end_cycle = sample.end_cycle,
                                           .duration = sample.end_cycle - sample.start_cycle,
                                           .local_index = step.local_index,
                                           .phase = step.phase,
                                           .epoch = step.epoch,
                                           .kernel = table.kernels.code(step.kernel).first,
                                           .operation = table.operations.code(step.operation).first,
                                           .kind = static_cast<std::uint8_t>(step.kind)});
        }
    }
    return table;
}

namespace {

std::string_view view(capnp::Text::Reader text) noexcept {
    return {text.begin(), text.size()};
}

// The code of a stored name, or nothing when it is not UTF-8. A name already in the table
// was checked when it was added.
std::optional<std::uint32_t> checked_code(NameTable& table, capnp::Text::Reader text) {
    const std::string_view name = view(text);
    const auto [code, added] = table.code(name);
    if (added && detail::find_utf8_error(name)) {
        return std::nullopt;
    }
    return code;
}

}  // namespace

std::optional<SampleTable> sample_table_from_message(kj::ArrayPtr<const capnp::word> message) {
    // The same reader options, and the same getters once each, as ProfileReport::read: the
    // traversal limit then runs out exactly where it runs out there.
    capnp::FlatArrayMessageReader reader(message, detail::bounded_reader_options(message.size()));
    const auto root = reader.getRoot<profile_capnp::Profile>();
    const std::uint32_t version = root.getSchemaVersion();
    if (version == 0 || version > PROFILE_SCHEMA_VERSION) {
        return std::nullopt;
    }

    const auto tiles = root.getTiles();
    std::vector<capnp::List<profile_capnp::CycleSample>::Reader> tile_samples;
    tile_samples.reserve(tiles.size());
    std::size_t count = 0;
    for (const auto tile : tiles) {
        tile_samples.push_back(tile.getSamples());
        count += tile_samples.back().size();
    }

    SampleTable table;
    table.rows.reserve(count);
    for (std::uint32_t t = 0; t < tiles.size(); ++t) {
        const std::uint32_t physical_tile = tiles[t].getPhysicalTile();
        for (const auto sample : tile_samples[t]) {
            const auto step = sample.getStep();
            const auto operation = checked_code(table.operations, step.getOperation());
            const auto kind = static_cast<std::uint16_t>(step.getKind());
            const auto kernel = checked_code(table.kernels, step.getKernel());
            if (!operation || kind > static_cast<std::uint16_t>(ProfileStepKind::Idle) || !kernel) {
                return std::nullopt;
            }
            for (const auto entry : step.getMetadata()) {
                if (detail::find_utf8_error(view(entry.getName())) ||
                    detail::find_utf8_error(view(entry.getValue()))) {
                    return std::nullopt;
                }
            }
            const std::uint32_t start = sample.getStartCycle();
            const std::uint32_t end = sample.getEndCycle();
            table.rows.push_back(SampleRow{.physical_tile = physical_tile,
                                           .start_cycle = start,
                                           .end_cycle = end,
                                           .duration = end - start,
                                           .local_index = step.getLocalIndex(),
                                           .phase = step.getPhase(),
                                           .epoch = step.getEpoch(),
                                           .kernel = *kernel,
                                           .operation = *operation,
                                           .kind = static_cast<std::uint8_t>(kind)});
        }
    }
    table.clock_hz = root.getClockHz();
    return table;
}

py::object samples_to_python(SampleTable&& table, const RecordClasses& classes) {
    const auto name_list = [](const NameTable& names) {
        return python_list(names.names(), [](std::string_view name) { return python_text(name); });
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
    return classes.profile_samples(samples, kernels, operations, python_int(table.clock_hz));
}

py::object read_profile_samples(py::handle data) {
    const ByteView input(data);
    const RecordClasses classes = RecordClasses::import();

    // The message must outlive the table, whose names view it.
    std::optional<detail::FramedMessage> message;
    std::optional<SampleTable> table;
    {
        const py::gil_scoped_release released;
        try {
            message.emplace(detail::FramedMessage::from_bytes(input.bytes()));
            table = sample_table_from_message(message->words());
        } catch (const kj::Exception&) {
            // Left to the library's reader below, which reports what is wrong.
        }
    }
    if (table) {
        return samples_to_python(std::move(*table), classes);
    }

    // Whatever is wrong with the message, the library's reader names it, so the error is
    // exactly the one ProfileReport::read gives.
    const ProfileReport report = without_gil([&] { return ProfileReport::read(input.bytes()); });
    SampleTable from_report;
    {
        const py::gil_scoped_release released;
        from_report = sample_table(report);
    }
    return samples_to_python(std::move(from_report), classes);
}

}  // namespace vexa_package::python
