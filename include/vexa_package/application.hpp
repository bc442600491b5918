#pragma once

#include <cstddef>
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

/// One loadable piece of tile memory.
struct Segment {
    /// Tile memory address of the segment's first byte.
    std::uint32_t address = 0;
    /// Bytes the segment occupies from `address` on; may be 0.
    std::uint32_t memory_size = 0;
    /// Initial contents of the first bytes; the rest up to `memory_size` is zero.
    Bytes data;
    /// Attribute word, carried for the loader.
    std::uint32_t flags = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const Segment&, const Segment&) = default;
};

/// The image of one physical tile.
struct TileImage {
    /// Physical tile the image is loaded onto; unique within an application.
    std::uint32_t physical_tile = 0;
    /// Tile memory address of the tile's entry point.
    std::uint32_t entry_point = 0;
    /// Tile memory address used for commands to the tile.
    std::uint32_t command_address = 0;
    /// Tile memory address of the tile's diagnostic area.
    std::uint32_t diagnostic_address = 0;
    /// The segments loaded onto the tile.
    std::vector<Segment> segments;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const TileImage&, const TileImage&) = default;
};

/// One piece of a binding: a byte range of its data placed at an address of one tile.
struct RegionSlice {
    /// `physical_tile` of the tile that holds the piece.
    std::uint32_t tile = 0;
    /// Tile memory address of the piece's first byte.
    std::uint32_t tile_address = 0;
    /// Offset of the piece on the data (file) side.
    std::uint64_t file_offset = 0;
    /// Length of the piece in bytes.
    std::uint64_t size = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const RegionSlice&, const RegionSlice&) = default;
};

/// A named tensor and where its bytes live in tile memory.
struct Binding {
    /// Tensor name; non-empty and unique among all bindings of an application.
    std::string name;
    /// Element type name.
    std::string dtype;
    /// Dimension sizes.
    std::vector<std::uint32_t> shape;
    /// The pieces of the tensor and their places in tile memory.
    std::vector<RegionSlice> slices;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const Binding&, const Binding&) = default;
};

/// One entry of the host page table.
struct HostPage {
    /// Page number by which slices, the command page and the attach order refer to it.
    std::uint32_t index = 0;
    /// Page size in bytes.
    std::uint64_t size = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const HostPage&, const HostPage&) = default;
};

/// One byte range of a host page used by a host call.
struct HostSlice {
    /// `index` of the host page.
    std::uint32_t page = 0;
    /// Offset of the range inside the page.
    std::uint64_t page_offset = 0;
    /// Offset of the range on the data (file) side.
    std::uint64_t file_offset = 0;
    /// Length of the range in bytes.
    std::uint64_t size = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const HostSlice&, const HostSlice&) = default;
};

/// A host call: a named operation with its input and output ranges in host pages.
struct HostCall {
    /// Name, used in validation messages.
    std::string name;
    /// Command value of the call.
    std::uint32_t command = 0;
    /// Phase count of the call.
    std::uint32_t phases = 0;
    /// Host page ranges the call reads.
    std::vector<HostSlice> inputs;
    /// Host page ranges the call writes.
    std::vector<HostSlice> outputs;
    /// How often the call is invoked; never 0.
    std::uint32_t invocations = 1;
    /// Exclusive end index of each batch of consecutive input slices.
    std::vector<std::uint32_t> input_batch_ends;
    /// Exclusive end index of each batch of consecutive output slices.
    std::vector<std::uint32_t> output_batch_ends;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const HostCall&, const HostCall&) = default;
};

/// How the host and the device exchange data.
struct HostExchange {
    /// Marker value of the host startup protocol.
    std::uint32_t startup_mark = 0;
    /// `index` of the page holding the 4-byte startup command word.
    std::uint32_t command_page = 0;
    /// Offset of the command word inside the command page.
    std::uint64_t command_offset = 0;
    /// The host page table.
    std::vector<HostPage> pages;
    /// Page indices in the order in which pages are attached.
    std::vector<std::uint32_t> attach_order;
    /// The host calls of the application.
    std::vector<HostCall> calls;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const HostExchange&, const HostExchange&) = default;
};

/// A named way into the application.
struct EntryPoint {
    /// Name of the entry point.
    std::string name;
    /// Command value of the entry point.
    std::uint32_t command = 0;
    /// Count of external synchronisations of the entry point.
    std::uint32_t external_syncs = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const EntryPoint&, const EntryPoint&) = default;
};

/// One write to a device configuration register.
struct DeviceConfigWrite {
    /// Byte offset of the register; a multiple of 4, unique within an application.
    std::uint32_t offset = 0;
    /// Value written.
    std::uint32_t value = 0;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const DeviceConfigWrite&, const DeviceConfigWrite&) = default;
};

/// One application package: everything a loader needs to put a compiled application onto
/// the tiles of the device and to exchange data with it from the host.
struct Application {
    /// Version text of the compiler that produced the package.
    std::string compiler_version = "0.1.0";
    /// One loadable image per physical tile used.
    std::vector<TileImage> tiles;
    /// Input tensor bindings.
    std::vector<Binding> inputs;
    /// Output tensor bindings.
    std::vector<Binding> outputs;
    /// Weight tensor bindings. Binding names are unique across inputs, outputs and weights.
    std::vector<Binding> weights;
    /// Host page table, attach order, startup protocol and host calls.
    HostExchange host_exchange;
    /// Named entry points, carried unchanged.
    std::vector<EntryPoint> entry_points;
    /// Device configuration register writes.
    std::vector<DeviceConfigWrite> device_config_writes;

    /// Field-by-field equality; texts byte for byte, lists element by element in order.

    friend bool operator==(const Application&, const Application&) = default;

    /// Reads one package from the start of `input` and validates it; bytes after the
    /// package are not examined.
    ///
    /// Errors: `Capnp` for malformed or truncated messages, `Invalid` "incompatible package
    /// header" for a foreign header, `Utf8` for a text that is not UTF-8, and any error of
    /// `validate`. Events: "reading application package" on entry, "application package
    /// read" (fields `tiles`, `compiler`) on success.
    [[nodiscard]] static std::expected<Application, PackageError> read(
        std::span<const std::uint8_t> input);
    /// Reads one package from a stream, consuming exactly its bytes; as above.
    [[nodiscard]] static std::expected<Application, PackageError> read(kj::InputStream& input);

    /// Reads one package exactly as `read` does, with the same errors, but does not validate
    /// the result and emits no events: for tools that show what a package which breaks a rule
    /// holds, and where it breaks it. `read` is `decode` followed by `validate`.
    [[nodiscard]] static std::expected<Application, PackageError> decode(
        std::span<const std::uint8_t> input);

    /// Validates the application and appends it as a package to `output`; on a validation
    /// error nothing is appended.
    ///
    /// Errors: any error of `validate`; `Utf8` for a text that is not UTF-8 and `Capnp` for a
    /// list or text too long for the format, since no reader would accept either; nothing is
    /// appended then.
    /// Events: "writing application package" (field `tiles`) after validation, "application
    /// package written" on success.
    [[nodiscard]] std::expected<void, PackageError> write(Bytes& output) const;
    /// Writes the package to a stream; a failing stream gives `Capnp`.
    [[nodiscard]] std::expected<void, PackageError> write(kj::OutputStream& output) const;

    /// Checks every package rule, in order, and returns the first one broken as `Invalid`.
    [[nodiscard]] std::expected<void, PackageError> validate() const;

    /// Rebuilds the contiguous memory image of the first tile with this physical tile
    /// number: segment data at its offset from the load base (the lowest segment address),
    /// every other byte zero.
    ///
    /// Errors (`Invalid`): "unknown tile {}", "tile has no loadable segments", and the
    /// segment rules of `validate` for an application that was never validated. Event:
    /// "reconstructing tile image" (TRACE; `physical_tile`, `load_base`, `image_bytes`).
    [[nodiscard]] std::expected<Bytes, PackageError> tile_image(std::uint32_t physical_tile) const;
};

/// Checks the batch end list of one direction ("input" or "output") of a host call against
/// the number of slices in that direction: strictly increasing, none above the slice count,
/// the last equal to it.
[[nodiscard]] std::expected<void, PackageError> validate_host_batch_ends(
    const HostCall& call, std::string_view direction, std::span<const std::uint32_t> ends,
    std::size_t slice_count);

/// Diagnostic rendering: the record name, then each field name and value in declaration
/// order, texts in double quotes and lists in brackets.
std::ostream& operator<<(std::ostream& out, const Segment& value);
std::ostream& operator<<(std::ostream& out, const TileImage& value);
std::ostream& operator<<(std::ostream& out, const RegionSlice& value);
std::ostream& operator<<(std::ostream& out, const Binding& value);
std::ostream& operator<<(std::ostream& out, const HostPage& value);
std::ostream& operator<<(std::ostream& out, const HostSlice& value);
std::ostream& operator<<(std::ostream& out, const HostCall& value);
std::ostream& operator<<(std::ostream& out, const HostExchange& value);
std::ostream& operator<<(std::ostream& out, const EntryPoint& value);
std::ostream& operator<<(std::ostream& out, const DeviceConfigWrite& value);
std::ostream& operator<<(std::ostream& out, const Application& value);

[[nodiscard]] std::string to_string(const Segment& value);
[[nodiscard]] std::string to_string(const TileImage& value);
[[nodiscard]] std::string to_string(const RegionSlice& value);
[[nodiscard]] std::string to_string(const Binding& value);
[[nodiscard]] std::string to_string(const HostPage& value);
[[nodiscard]] std::string to_string(const HostSlice& value);
[[nodiscard]] std::string to_string(const HostCall& value);
[[nodiscard]] std::string to_string(const HostExchange& value);
[[nodiscard]] std::string to_string(const EntryPoint& value);
[[nodiscard]] std::string to_string(const DeviceConfigWrite& value);
[[nodiscard]] std::string to_string(const Application& value);

}  // namespace vexa_package
