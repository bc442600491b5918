// Model records filled through their field tables, every field with a value of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vexa_package/record_fields.hpp"

namespace vexa_package {

// Fills records field by field with values no other field gets: numbers from a counter,
// 64-bit ones above 32 bits so that a 32-bit slot would cut them, texts with a multi-byte
// character, and lists of two elements, each filled in turn.
class DistinctValues {
  public:
    // Texts are padded to `text_bytes`, so that long texts can push a message past the first
    // segment the builder allocates.
    explicit DistinctValues(std::size_t text_bytes = 0) : text_bytes_(text_bytes) {}

    template <ModelRecord Record>
    void fill(Record& record) {
        for_each_field(record, [&](const auto& /*field*/, auto& value) { assign(value); });
    }

  private:
    std::uint32_t next() { return ++counter_; }

    void assign(std::uint32_t& value) { value = 0x1000'0000U + next(); }
    void assign(std::uint64_t& value) { value = 0x1'0000'0000ULL + next(); }
    void assign(std::string& value) {
        value = "f" + std::to_string(next()) + "\xc3\xa9";
        if (value.size() < text_bytes_) {
            value.resize(text_bytes_, '.');
        }
    }
    void assign(Bytes& value) {
        const std::uint32_t first = next();
        value.clear();
        for (std::uint32_t i = 0; i <= first % 7; ++i) {
            value.push_back(static_cast<std::uint8_t>(first + i));
        }
    }
    void assign(std::vector<std::uint32_t>& value) {
        value = {0x2000'0000U + next(), 0x2000'0000U + next()};
    }
    // Any kind but the default.
    void assign(ProfileStepKind& value) { value = static_cast<ProfileStepKind>(1 + next() % 3); }
    template <ModelRecord Record>
    void assign(Record& value) {
        fill(value);
    }
    template <ModelRecord Record>
    void assign(std::vector<Record>& value) {
        value.resize(2);
        for (Record& element : value) {
            fill(element);
        }
    }

    std::uint32_t counter_ = 0;
    std::size_t text_bytes_;
};

}  // namespace vexa_package
