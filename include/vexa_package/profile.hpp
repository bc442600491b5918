#pragma once

#include <cstdint>
#include <expected>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vexa_package/constants.hpp"
#include "vexa_package/error.hpp"

namespace kj {
class InputStream;
class OutputStream;
}  // namespace kj

namespace vexa_package {

/// What a profiled step does; the codes are the stored codes.
enum class ProfileStepKind : std::uint8_t {
    Exchange = 0,
    Compute = 1,
    Synchronization = 2,
    Idle = 3
};

/// One named attribute of a step.
struct ProfileMetadata {
    /// Attribute name.
    std::string name;
    /// Attribute value, as text.
    std::string value;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const ProfileMetadata&, const ProfileMetadata&) = default;
};

/// The identity of a step.
struct ProfileStep {
    /// Index of the step, local to its tile.
    std::uint32_t local_index = 0;
    /// Phase number of the step.
    std::uint32_t phase = 0;
    /// Epoch number of the step.
    std::uint32_t epoch = 0;
    /// Name of the operation the step belongs to.
    std::string operation;
    /// What the step does.
    ProfileStepKind kind = ProfileStepKind::Exchange;
    /// Name of the kernel the step runs.
    std::string kernel;
    /// Further attributes in the producer's order; names need not be unique.
    std::vector<ProfileMetadata> metadata;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const ProfileStep&, const ProfileStep&) = default;
};

/// One step as it ran on a tile, between two values of the tile's 32-bit cycle counter.
/// The counter may have wrapped, so `end_cycle` may be below `start_cycle`.
struct CycleSample {
    /// The step that ran.
    ProfileStep step;
    /// Cycle counter value at the start of the step.
    std::uint32_t start_cycle = 0;
    /// Cycle counter value at the end of the step.
    std::uint32_t end_cycle = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const CycleSample&, const CycleSample&) = default;
};

/// The samples of one physical tile.
struct TileProfile {
    /// Physical tile the samples were taken on.
    std::uint32_t physical_tile = 0;
    /// The tile's samples in the producer's order.
    std::vector<CycleSample> samples;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const TileProfile&, const TileProfile&) = default;
};

/// A profile of one run: per physical tile, cycle-stamped samples of the steps it ran.
/// Reports are not validated: whatever the producer stored is carried unchanged.
struct ProfileReport {
    /// Clock frequency of the profiled device in hertz.
    std::uint64_t clock_hz = 0;
    /// One entry per profiled tile, in the producer's order.
    std::vector<TileProfile> tiles;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const ProfileReport&, const ProfileReport&) = default;

    /// Reads one report from the start of `input`; bytes after it are not examined.
    ///
    /// Errors: `Invalid` "unsupported profile schema version {}" for a stored version of 0
    /// or above `PROFILE_SCHEMA_VERSION`, checked before anything else; `Capnp` for
    /// malformed or truncated messages; `Utf8` for a text that is not UTF-8; `SchemaEnum`
    /// for a step kind code above 3. Emits no events.
    [[nodiscard]] static std::expected<ProfileReport, PackageError> read(
        std::span<const std::uint8_t> input);
    /// Reads one report from a stream, consuming exactly its bytes; as above.
    [[nodiscard]] static std::expected<ProfileReport, PackageError> read(kj::InputStream& input);

    /// Appends the report to `output`. Errors: `Utf8` for a text that is not UTF-8; `Capnp`
    /// for a list or text too long for the format, or for a step kind outside
    /// `ProfileStepKind`'s enumerators. No reader would accept any of these, so nothing is
    /// appended then. Emits no events.
    [[nodiscard]] std::expected<void, PackageError> write(Bytes& output) const;
    /// Writes the report to a stream; a failing stream gives `Capnp`.
    [[nodiscard]] std::expected<void, PackageError> write(kj::OutputStream& output) const;
};

/// The enumerator name: "Exchange", "Compute", "Synchronization" or "Idle".
[[nodiscard]] std::string_view to_string(ProfileStepKind kind) noexcept;

/// Diagnostic rendering in the style of the application records.
std::ostream& operator<<(std::ostream& out, ProfileStepKind kind);
std::ostream& operator<<(std::ostream& out, const ProfileMetadata& value);
std::ostream& operator<<(std::ostream& out, const ProfileStep& value);
std::ostream& operator<<(std::ostream& out, const CycleSample& value);
std::ostream& operator<<(std::ostream& out, const TileProfile& value);
std::ostream& operator<<(std::ostream& out, const ProfileReport& value);

[[nodiscard]] std::string to_string(const ProfileMetadata& value);
[[nodiscard]] std::string to_string(const ProfileStep& value);
[[nodiscard]] std::string to_string(const CycleSample& value);
[[nodiscard]] std::string to_string(const TileProfile& value);
[[nodiscard]] std::string to_string(const ProfileReport& value);

}  // namespace vexa_package
