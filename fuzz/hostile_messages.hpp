#pragma once

// Hand-made hostile messages for both readers, assembled word by word: lists that claim far
// more elements than the message holds, forged segment tables, far pointers that point at each
// other, objects nested past the nesting limit, texts without their NUL and data of the wrong
// element size. The seed corpus generator writes them out and the hostile input tests read
// them; header-only so the test program can include it.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "support/wire_bytes.hpp"
#include "vexa_package/constants.hpp"

namespace vexa_package::fuzzing::hostile {

namespace wb = testing::wire_bytes;

/// The largest element count a Cap'n Proto list pointer can hold.
inline constexpr std::uint32_t MAX_LIST_ELEMENTS = (1u << 29) - 1;

/// A single message segment being laid out: objects are appended and pointers aimed at them.
class Segment {
  public:
    /// Room for `count` words, zeroed; returns the index of the first.
    std::size_t add(std::size_t count) {
        const std::size_t at = words.size();
        words.resize(at + count, 0);
        return at;
    }
    void struct_pointer(std::size_t at, std::size_t target, std::uint16_t data_words,
                        std::uint16_t pointers) {
        words[at] = wb::struct_pointer(offset(at, target), data_words, pointers);
    }
    void list_pointer(std::size_t at, std::size_t target, wb::ElementSize size,
                      std::uint32_t count) {
        words[at] = wb::list_pointer(offset(at, target), size, count);
    }
    /// A composite list of `count` elements of the given sections; returns the first element.
    std::size_t composite_list(std::size_t at, std::uint32_t count, std::uint16_t data_words,
                               std::uint16_t pointers) {
        const std::size_t element_words = std::size_t{data_words} + pointers;
        const std::size_t tag = add(1 + count * element_words);
        list_pointer(at, tag, wb::Composite, static_cast<std::uint32_t>(count * element_words));
        words[tag] = wb::composite_tag(count, data_words, pointers);
        return tag + 1;
    }
    /// Bytes as a byte list, with the NUL a text needs only when `terminated`.
    void byte_list(std::size_t at, std::string_view bytes, bool terminated) {
        const std::size_t length = bytes.size() + (terminated ? 1 : 0);
        const std::size_t target = add((length + 7) / 8);
        if (!bytes.empty()) {
            std::memcpy(words.data() + target, bytes.data(), bytes.size());
        }
        list_pointer(at, target, wb::Byte, static_cast<std::uint32_t>(length));
    }

    std::vector<std::uint64_t> words;

  private:
    static std::int32_t offset(std::size_t at, std::size_t target) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(target) -
                                         static_cast<std::int64_t>(at + 1));
    }
};

/// Several segments in standard stream framing.
inline Bytes frame_segments(const std::vector<std::vector<std::uint64_t>>& segments) {
    std::vector<std::uint32_t> table{static_cast<std::uint32_t>(segments.size() - 1)};
    for (const auto& segment : segments) {
        table.push_back(static_cast<std::uint32_t>(segment.size()));
    }
    if (table.size() % 2 != 0) {
        table.push_back(0);
    }
    Bytes bytes(table.size() * 4);
    std::memcpy(bytes.data(), table.data(), bytes.size());
    for (const auto& segment : segments) {
        const std::size_t at = bytes.size();
        bytes.resize(at + segment.size() * 8);
        if (!segment.empty()) {
            std::memcpy(bytes.data() + at, segment.data(), segment.size() * 8);
        }
    }
    return bytes;
}

/// A far pointer to word `position` of segment `segment`; a double-far one when `double_far`.
constexpr std::uint64_t far_pointer(std::uint32_t segment, std::uint32_t position,
                                    bool double_far = false) {
    return 2 | (std::uint64_t{double_far} << 2) | (std::uint64_t{position} << 3) |
           (std::uint64_t{segment} << 32);
}

enum class Schema { Application, Profile };

/// One step from a struct into a struct field, or into the single element of a struct list
/// field: the pointer slot and the sections of the struct reached.
struct Hop {
    std::uint16_t slot;
    bool through_list;
    std::uint16_t data_words;
    std::uint16_t pointers;
};

/// A pointer field somewhere in a message: the struct that holds it, reached from the root
/// by `hops`, and its slot there.
struct Field {
    std::string name;
    Schema schema;
    std::vector<Hop> hops;
    std::uint16_t slot;
};

// Sections of the structs, as the schemas lay them out.
inline constexpr Hop TILES{2, true, 2, 1};
inline constexpr Hop INPUTS{3, true, 0, 4};
inline constexpr Hop HOST_EXCHANGE{6, false, 2, 3};
inline constexpr Hop HOST_CALLS{2, true, 2, 5};
inline constexpr Hop ENTRY_POINTS{7, true, 1, 1};
inline constexpr Hop SEGMENTS{0, true, 2, 1};
inline constexpr Hop PROFILE_TILES{0, true, 1, 1};
inline constexpr Hop SAMPLES{0, true, 1, 1};
inline constexpr Hop STEP{0, false, 2, 3};
inline constexpr Hop METADATA{2, true, 0, 2};

/// Every list field of both schemas.
inline std::vector<Field> list_fields() {
    using enum Schema;
    return {
        {"Application.tiles", Application, {}, 2},
        {"TileImage.segments", Application, {TILES}, 0},
        {"Application.inputs", Application, {}, 3},
        {"Binding.shape", Application, {INPUTS}, 2},
        {"Binding.slices", Application, {INPUTS}, 3},
        {"Application.outputs", Application, {}, 4},
        {"Application.weights", Application, {}, 5},
        {"HostExchange.pages", Application, {HOST_EXCHANGE}, 0},
        {"HostExchange.attachOrder", Application, {HOST_EXCHANGE}, 1},
        {"HostExchange.calls", Application, {HOST_EXCHANGE}, 2},
        {"HostCall.inputs", Application, {HOST_EXCHANGE, HOST_CALLS}, 1},
        {"HostCall.outputs", Application, {HOST_EXCHANGE, HOST_CALLS}, 2},
        {"HostCall.inputBatchEnds", Application, {HOST_EXCHANGE, HOST_CALLS}, 3},
        {"HostCall.outputBatchEnds", Application, {HOST_EXCHANGE, HOST_CALLS}, 4},
        {"Application.entryPoints", Application, {}, 7},
        {"Application.deviceConfigWrites", Application, {}, 8},
        {"Profile.tiles", Profile, {}, 0},
        {"TileProfile.samples", Profile, {PROFILE_TILES}, 0},
        {"ProfileStep.metadata", Profile, {PROFILE_TILES, SAMPLES, STEP}, 2},
    };
}

/// Every text field of both schemas.
inline std::vector<Field> text_fields() {
    using enum Schema;
    return {
        {"Application.target", Application, {}, 1},
        {"Application.compilerVersion", Application, {}, 0},
        {"Binding.name", Application, {INPUTS}, 0},
        {"Binding.dtype", Application, {INPUTS}, 1},
        {"HostCall.name", Application, {HOST_EXCHANGE, HOST_CALLS}, 0},
        {"EntryPoint.name", Application, {ENTRY_POINTS}, 0},
        {"ProfileStep.operation", Profile, {PROFILE_TILES, SAMPLES, STEP}, 0},
        {"ProfileStep.kernel", Profile, {PROFILE_TILES, SAMPLES, STEP}, 1},
        {"MetadataEntry.name", Profile, {PROFILE_TILES, SAMPLES, STEP, METADATA}, 0},
        {"MetadataEntry.value", Profile, {PROFILE_TILES, SAMPLES, STEP, METADATA}, 1},
    };
}

/// The one data field: a segment's bytes.
inline Field segment_data_field() {
    return {"Segment.data", Schema::Application, {TILES, SEGMENTS}, 0};
}

/// A root with the header that lets reading go past it: schema version 3 and, for packages,
/// the device target and tile memory window. `extra_pointers` adds slots no schema field uses.
/// Returns the index of the root's first pointer.
inline std::size_t add_root(Segment& segment, Schema schema, std::uint16_t extra_pointers = 0) {
    segment.add(1);
    if (schema == Schema::Profile) {
        const auto pointers = static_cast<std::uint16_t>(1 + extra_pointers);
        const std::size_t root = segment.add(2 + pointers);
        segment.struct_pointer(0, root, 2, pointers);
        segment.words[root] = wb::pack32(PROFILE_SCHEMA_VERSION, 0);
        return root + 2;
    }
    const auto pointers = static_cast<std::uint16_t>(9 + extra_pointers);
    const std::size_t root = segment.add(2 + pointers);
    segment.struct_pointer(0, root, 2, pointers);
    segment.words[root] = wb::pack32(PACKAGE_SCHEMA_VERSION, TILE_MEMORY_BASE);
    segment.words[root + 1] = wb::pack32(TILE_MEMORY_SIZE, 0);
    segment.byte_list(root + 2 + 1, PACKAGE_TARGET, true);
    return root + 2;
}

/// Lays out a valid header and the structs on the way to `field` (one element per list on the
/// way, all other fields at their defaults); returns the index of the field's pointer.
inline std::size_t add_path(Segment& segment, const Field& field) {
    std::size_t pointers = add_root(segment, field.schema);
    for (const Hop& hop : field.hops) {
        std::size_t element = 0;
        if (hop.through_list) {
            element = segment.composite_list(pointers + hop.slot, 1, hop.data_words, hop.pointers);
        } else {
            element = segment.add(std::size_t{hop.data_words} + hop.pointers);
            segment.struct_pointer(pointers + hop.slot, element, hop.data_words, hop.pointers);
        }
        pointers = element + hop.data_words;
    }
    return pointers + field.slot;
}

enum class Claim { ZeroSizedStructs, Voids };

/// `field` holds a list of `count` elements that occupy no words: zero-sized structs behind a
/// composite tag, or voids. With the largest count, about a hundred bytes claiming half a
/// billion records.
inline Bytes list_claim(const Field& field, Claim claim, std::uint32_t count = MAX_LIST_ELEMENTS) {
    Segment segment;
    const std::size_t at = add_path(segment, field);
    if (claim == Claim::Voids) {
        segment.words[at] = wb::list_pointer(0, wb::Void, count);
    } else {
        const std::size_t tag = segment.add(1);
        segment.list_pointer(at, tag, wb::Composite, 0);
        segment.words[tag] = wb::composite_tag(count, 0, 0);
    }
    return wb::frame(segment.words);
}

/// `field` holds the bytes of a text without the NUL that ends every stored text; with no
/// bytes at all when `text` is empty.
inline Bytes text_without_nul(const Field& field, std::string_view text) {
    Segment segment;
    segment.byte_list(add_path(segment, field), text, false);
    return wb::frame(segment.words);
}

/// `field`, a text or data field, holds a list of 32-bit elements instead of bytes.
inline Bytes bytes_of_wrong_element_size(const Field& field) {
    Segment segment;
    const std::size_t at = add_path(segment, field);
    const std::size_t target = segment.add(1);
    segment.words[target] = wb::pack32(0x61626364, 0);
    segment.list_pointer(at, target, wb::FourBytes, 2);
    return wb::frame(segment.words);
}

/// A segment table claiming 512 segments of 2^32 - 1 words each (about 16 TiB) in front of a
/// few bytes.
inline Bytes forged_segment_table() {
    Bytes bytes(4 + 512 * 4, 0xff);
    const std::uint32_t count_minus_one = 511;
    std::memcpy(bytes.data(), &count_minus_one, 4);
    bytes.resize(bytes.size() + 64, 0);
    return bytes;
}

/// Two segments whose far pointers point at each other: the root (or, with `field`, that
/// field) leads to a landing pad in the second segment that points back. With `double_far`
/// the pad is a double-far pad whose two words both point back.
inline Bytes far_pointer_cycle(const Field* field, bool double_far) {
    Segment first;
    std::size_t at = 0;
    if (field == nullptr) {
        first.add(1);
    } else {
        at = add_path(first, *field);
    }
    const auto at32 = static_cast<std::uint32_t>(at);
    first.words[at] = far_pointer(1, 0, double_far);
    std::vector<std::uint64_t> second{far_pointer(0, at32)};
    if (double_far) {
        second.push_back(far_pointer(0, at32, true));
    }
    return frame_segments({first.words, second});
}

/// A message that reads successfully but carries, in a pointer slot beyond the schema's, a
/// chain of structs nested `depth` levels deep; for packages the rest is the smallest valid
/// application (one tile, one segment).
inline Bytes nested_chain(Schema schema, std::size_t depth) {
    Segment segment;
    const std::size_t pointers = add_root(segment, schema, 1);
    if (schema == Schema::Application) {
        const std::size_t tile = segment.composite_list(pointers + TILES.slot, 1, 2, 1);
        const std::size_t segment_element = segment.composite_list(tile + 2, 1, 2, 1);
        segment.words[segment_element] = wb::pack32(TILE_MEMORY_BASE, 8);
    }
    std::size_t at = pointers + (schema == Schema::Application ? 9 : 1);
    for (std::size_t level = 0; level < depth; ++level) {
        const std::size_t link = segment.add(1);
        segment.struct_pointer(at, link, 0, 1);
        at = link;
    }
    return wb::frame(segment.words);
}

}  // namespace vexa_package::fuzzing::hostile
