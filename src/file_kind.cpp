#include "vexa_package/file_kind.hpp"

#include <cstddef>

namespace vexa_package {
namespace {

// The stream framing's limits and the two roots' shapes (data words, pointers).
constexpr std::uint64_t MOST_SEGMENTS = 512;
constexpr std::uint64_t WORD_BYTES = 8;
constexpr std::uint32_t ROOT_DATA_WORDS = 2;
constexpr std::uint32_t PACKAGE_ROOT_POINTERS = 9;
constexpr std::uint32_t REPORT_ROOT_POINTERS = 1;

std::uint32_t load_le32(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::string_view to_string(FileKind kind) noexcept {
    switch (kind) {
        case FileKind::ApplicationPackage:
            return "application package";
        case FileKind::ProfileReport:
            return "profile report";
        case FileKind::Unknown:
            break;
    }
    return "unknown";
}

FileIdentity identify_file(std::span<const std::uint8_t> bytes) noexcept {
    FileIdentity identity;
    if (bytes.size() < 4) {
        return identity;
    }
    // The segment table: a count less one, one 32-bit size per segment, padded to a word.
    const std::uint64_t segments = std::uint64_t{load_le32(bytes, 0)} + 1;
    if (segments > MOST_SEGMENTS) {
        return identity;
    }
    const std::uint64_t table_bytes = (segments / 2 + 1) * WORD_BYTES;
    if (bytes.size() < table_bytes) {
        return identity;
    }
    std::uint64_t words = 0;
    for (std::uint64_t segment = 0; segment < segments; ++segment) {
        words += load_le32(bytes, static_cast<std::size_t>(4 + 4 * segment));
    }
    identity.message_bytes = table_bytes + words * WORD_BYTES;
    // The root pointer is the first word of the first segment; a struct pointer holds the
    // sizes of the struct's sections in its upper half.
    const std::uint32_t first_segment_words = load_le32(bytes, 4);
    if (first_segment_words == 0 || bytes.size() < table_bytes + WORD_BYTES) {
        return identity;
    }
    const auto at = static_cast<std::size_t>(table_bytes);
    const std::uint32_t lower = load_le32(bytes, at);
    const std::uint32_t upper = load_le32(bytes, at + 4);
    const bool struct_pointer = (lower & 3) == 0 && (lower != 0 || upper != 0);
    const std::uint32_t data_words = upper & 0xffff;
    const std::uint32_t pointers = upper >> 16;
    if (struct_pointer && data_words == ROOT_DATA_WORDS) {
        if (pointers == PACKAGE_ROOT_POINTERS) {
            identity.kind = FileKind::ApplicationPackage;
        } else if (pointers == REPORT_ROOT_POINTERS) {
            identity.kind = FileKind::ProfileReport;
        }
    }
    return identity;
}

}  // namespace vexa_package
