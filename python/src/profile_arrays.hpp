#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pybind11/pybind11.h>

#include "record_classes.hpp"
#include "vexa_package/cycle_timeline.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::python {

/// One sample as a row of the structured array `ProfileReport.samples` returns.
struct SampleRow {
    std::uint32_t physical_tile;
    std::uint32_t start_cycle;
    std::uint32_t end_cycle;
    /// `end_cycle - start_cycle` modulo 2^32: the length of a step across a counter wrap.
    std::uint32_t duration;
    /// Where the sample lies on the report's device timeline (`CycleTimeline`).
    std::uint64_t start;
    std::uint64_t end;
    std::uint32_t local_index;
    std::uint32_t phase;
    std::uint32_t epoch;
    /// Codes into the kernel and operation name tables.
    std::uint32_t kernel;
    std::uint32_t operation;
    /// The `ProfileStepKind` code.
    std::uint8_t kind;
};

/// Distinct names in order of first appearance, each with its position as its code. The table
/// owns its names: the texts it is given may be gone once a sample has been read.
class NameTable {
  public:
    /// The code of `name`, which is added if new.
    [[nodiscard]] std::uint32_t code(std::string_view name);
    [[nodiscard]] const std::vector<std::string>& names() const noexcept { return names_; }

  private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> codes_;
    std::vector<std::string> names_;
};

/// The samples of one report as rows, with the name tables their codes refer to and the
/// timeline that placed them.
struct SampleTable {
    std::uint64_t clock_hz = 0;
    std::vector<SampleRow> rows;
    NameTable kernels;
    NameTable operations;
    CycleTimeline timeline;
};

/// Registers the NumPy dtype of `SampleRow`; once, when the module is imported.
void register_sample_dtype();

/// The table of a C++ report. Runs without the GIL.
[[nodiscard]] SampleTable sample_table(const ProfileReport& report);

/// The table as a `ProfileSamples`; the rows become the array's memory without a copy.
[[nodiscard]] pybind11::object samples_to_python(SampleTable&& table, const RecordClasses& classes);

/// `ProfileReport.read_samples`: the report in `data` (any buffer) straight into arrays.
/// Fails exactly as `ProfileReport::read` fails on the same bytes.
[[nodiscard]] pybind11::object read_profile_samples(pybind11::handle data);

}  // namespace vexa_package::python
