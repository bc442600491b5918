#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <google/protobuf/io/coded_stream.h>

namespace vexa_cli {

/// Protocol buffer fields written straight into reused bytes, for messages written millions of
/// times, where filling and serialising message objects costs more than the encoding itself.
/// Fields appear in the order they are written, so writing them in field-number order gives
/// the bytes libprotobuf gives.
class WireBuffer {
  public:
    void clear() noexcept { size_ = 0; }
    [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
    [[nodiscard]] std::string_view view() const noexcept { return {bytes_.data(), size_}; }

    /// An integer field (varint wire type).
    void varint_field(std::uint32_t field, std::uint64_t value) {
        std::uint8_t* next = room(MOST_TAG_BYTES + MOST_VARINT_BYTES);
        next = Coded::WriteTagToArray(field << 3 | VARINT, next);
        done(Coded::WriteVarint64ToArray(value, next));
    }

    /// A string, bytes or embedded message field (length-delimited wire type).
    void bytes_field(std::uint32_t field, std::string_view bytes) {
        std::uint8_t* next = room(MOST_TAG_BYTES + MOST_VARINT_BYTES + bytes.size());
        next = Coded::WriteTagToArray(field << 3 | LENGTH_DELIMITED, next);
        next = Coded::WriteVarint64ToArray(bytes.size(), next);
        if (!bytes.empty()) {
            std::memcpy(next, bytes.data(), bytes.size());
        }
        done(next + bytes.size());
    }

    void message_field(std::uint32_t field, const WireBuffer& message) {
        bytes_field(field, message.view());
    }

    /// Bytes already encoded, such as fields written once and repeated.
    void append(const WireBuffer& fields) {
        const std::string_view bytes = fields.view();
        std::uint8_t* next = room(bytes.size());
        if (!bytes.empty()) {
            std::memcpy(next, bytes.data(), bytes.size());
        }
        done(next + bytes.size());
    }

    /// A double field (64-bit wire type).
    void double_field(std::uint32_t field, double value) {
        std::uint8_t* next = room(MOST_TAG_BYTES + sizeof(value));
        next = Coded::WriteTagToArray(field << 3 | FIXED64, next);
        done(Coded::WriteLittleEndian64ToArray(std::bit_cast<std::uint64_t>(value), next));
    }

  private:
    using Coded = google::protobuf::io::CodedOutputStream;
    static constexpr std::uint32_t VARINT = 0;
    static constexpr std::uint32_t FIXED64 = 1;
    static constexpr std::uint32_t LENGTH_DELIMITED = 2;
    static constexpr std::size_t MOST_TAG_BYTES = 5;
    static constexpr std::size_t MOST_VARINT_BYTES = 10;

    std::uint8_t* room(std::size_t bytes) {
        if (bytes_.size() - size_ < bytes) {
            bytes_.resize(std::max(2 * bytes_.size(), size_ + bytes));
        }
        return reinterpret_cast<std::uint8_t*>(bytes_.data()) + size_;
    }
    void done(const std::uint8_t* end) noexcept {
        size_ =
            static_cast<std::size_t>(end - reinterpret_cast<const std::uint8_t*>(bytes_.data()));
    }

    // Grown, never shrunk; only the first `size_` bytes are the message.
    std::string bytes_;
    std::size_t size_ = 0;
};

}  // namespace vexa_cli
