#include "stored_kind.hpp"

#include <cstddef>

namespace vexa_cli {
namespace {

constexpr std::uint32_t PACKAGE_ROOT_POINTERS = 9;
constexpr std::uint32_t REPORT_ROOT_POINTERS = 1;
// More segments than any writer of either format produces; it keeps the header arithmetic
// small.
constexpr std::uint32_t MOST_SEGMENTS = 1024;

std::uint32_t little_endian(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

StoredKind stored_kind(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) {
        return StoredKind::Unknown;
    }
    const std::uint32_t segments_less_one = little_endian(bytes, 0);
    if (segments_less_one >= MOST_SEGMENTS) {
        return StoredKind::Unknown;
    }
    // The segment table: a count, one size per segment, padded to a whole word.
    const std::size_t header = (4 + 4 * (std::size_t{segments_less_one} + 1) + 7) / 8 * 8;
    if (bytes.size() < header + 8) {
        return StoredKind::Unknown;
    }
    const std::uint32_t kind = little_endian(bytes, header) & 3;
    if (kind != 0) {
        return StoredKind::Unknown;
    }
    const std::uint32_t pointers = little_endian(bytes, header + 4) >> 16;
    if (pointers == PACKAGE_ROOT_POINTERS) {
        return StoredKind::Package;
    }
    return pointers == REPORT_ROOT_POINTERS ? StoredKind::Report : StoredKind::Unknown;
}

}  // namespace vexa_cli
