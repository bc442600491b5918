#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string_view>

#include "vexa_package/error.hpp"
#include "vexa_package/profile.hpp"

namespace kj {
class InputStream;
}

namespace vexa_package {

/// What a report holds before its tiles: the version it was stored with, the clock and the
/// number of tiles.
struct ProfileHeaderView {
    /// Stored schema version, 1 to `PROFILE_SCHEMA_VERSION`.
    std::uint32_t schema_version = 0;
    /// Clock frequency of the profiled device in hertz.
    std::uint64_t clock_hz = 0;
    /// Number of tiles that follow.
    std::size_t tile_count = 0;

    /// Field-by-field equality; texts byte for byte.
    friend bool operator==(const ProfileHeaderView&, const ProfileHeaderView&) = default;
};

/// One tile, announced before its samples.
struct TileProfileView {
    /// Position of the tile in the report, from 0.
    std::size_t index = 0;
    /// Physical tile the samples were taken on.
    std::uint32_t physical_tile = 0;
    /// Number of samples that follow for this tile.
    std::size_t sample_count = 0;

    /// Field-by-field equality; texts byte for byte.
    friend bool operator==(const TileProfileView&, const TileProfileView&) = default;
};

/// One named attribute of a step; the texts are valid UTF-8.
struct ProfileMetadataView {
    /// Attribute name.
    std::string_view name;
    /// Attribute value, as text.
    std::string_view value;

    /// Field-by-field equality; texts byte for byte.
    friend bool operator==(const ProfileMetadataView&, const ProfileMetadataView&) = default;
};

/// One sample as stored, with its step's fields flattened in. Every text has been checked to
/// be valid UTF-8 before the sample is delivered.
struct CycleSampleView {
    /// Position of the sample in its tile, from 0.
    std::size_t index = 0;
    /// Index of the step, local to its tile.
    std::uint32_t local_index = 0;
    /// Phase number of the step.
    std::uint32_t phase = 0;
    /// Epoch number of the step.
    std::uint32_t epoch = 0;
    /// Name of the operation the step belongs to.
    std::string_view operation;
    /// What the step does.
    ProfileStepKind kind = ProfileStepKind::Exchange;
    /// Name of the kernel the step runs.
    std::string_view kernel;
    /// The step's attributes in stored order.
    std::span<const ProfileMetadataView> metadata;
    /// Cycle counter value at the start of the step.
    std::uint32_t start_cycle = 0;
    /// Cycle counter value at the end of the step; may be below `start_cycle` after a wrap.
    std::uint32_t end_cycle = 0;
};

/// Receives a report piece by piece from `visit_profile`, in stored order: the header once,
/// then for each tile `tile`, its samples one by one, and `tile_end`.
///
/// Texts and the metadata span are views that stay valid only until the call that received
/// them returns: copy what must outlive it. A visitor that throws ends the read; the
/// exception propagates to the caller of `visit_profile` unchanged.
class ProfileVisitor {
  public:
    virtual ~ProfileVisitor() = default;

    /// Once, after the version check, before the first tile.
    virtual void header(const ProfileHeaderView& /*header*/) {}
    /// Once per tile, before its samples.
    virtual void tile(const TileProfileView& /*tile*/) {}
    /// Once per sample, after all of its fields were read and checked.
    virtual void sample(const CycleSampleView& sample) = 0;
    /// After the last sample of a tile.
    virtual void tile_end(const TileProfileView& /*tile*/) {}

  protected:
    /// Visitors are made and copied only as the derived classes that implement them.
    ProfileVisitor() = default;
    /// Copies the derived visitor's base; the base holds nothing.
    ProfileVisitor(const ProfileVisitor&) = default;
    /// Assigns the derived visitor's base; the base holds nothing.
    ProfileVisitor& operator=(const ProfileVisitor&) = default;
};

/// Reads one report from the start of `input` sample by sample, without building a
/// `ProfileReport`, handing each piece to `visitor`; bytes after the report are not examined.
///
/// It checks exactly what `ProfileReport::read` checks, in the same order, and for every
/// input fails with the same `PackageError` (`ProfileReport::read` is built on it). The
/// failure may come after some tiles and samples were delivered: everything delivered before
/// it was read and checked, and nothing is delivered after it.
///
/// Memory beyond the input does not grow with the number of samples: an 8-byte-aligned
/// buffer is read in place, any other buffer is copied once. Emits no events.
[[nodiscard]] std::expected<void, PackageError> visit_profile(std::span<const std::uint8_t> input,
                                                              ProfileVisitor& visitor);
/// Reads one report from a stream, consuming exactly its bytes, which are copied once; as
/// above.
[[nodiscard]] std::expected<void, PackageError> visit_profile(kj::InputStream& input,
                                                              ProfileVisitor& visitor);

}  // namespace vexa_package
