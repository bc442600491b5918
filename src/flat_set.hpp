#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vexa_package::detail {

// A hash map in one flat array with linear probing, sized once for the keys it will receive.
// Validation only inserts and looks up; std::unordered_set and std::unordered_map allocate a
// node per key, follow a pointer and divide by the bucket count per lookup, which made them
// the largest part of validating a package with many tiles, bindings and host slices, and of
// reading one.
template <typename Key, typename Value>
class FlatMap {
  public:
    // Room for `count` insertions at a load factor of at most 2/3, so probing always ends.
    explicit FlatMap(std::size_t count)
        : slots_(std::bit_ceil(std::max<std::size_t>(count + count / 2 + 1, 8))),
          shift_(64 - std::countr_zero(slots_.size())) {}

    // The most bytes a map made for `count` insertions holds: its slots, rounded up to a power
    // of two from 1.5 per key plus one, number fewer than 3 per key plus 8.
    [[nodiscard]] static constexpr std::uint64_t most_bytes(std::size_t count) noexcept {
        return (3 * std::uint64_t{count} + 8) * sizeof(Slot);
    }

    // False, keeping the stored value, when `key` was present already.
    bool insert(const Key& key, const Value& value = {}) {
        const std::uint64_t tag = tag_of(key);
        for (std::size_t index = tag >> shift_;; index = (index + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[index];
            if (slot.tag == 0) {
                slot = Slot{.tag = tag, .key = key, .value = value};
                return true;
            }
            if (slot.tag == tag && slot.key == key) {
                return false;
            }
        }
    }

    // The value stored for `key`, or null.
    [[nodiscard]] const Value* find(const Key& key) const {
        const std::uint64_t tag = tag_of(key);
        for (std::size_t index = tag >> shift_;; index = (index + 1) & (slots_.size() - 1)) {
            const Slot& slot = slots_[index];
            if (slot.tag == 0) {
                return nullptr;
            }
            if (slot.tag == tag && slot.key == key) {
                return &slot.value;
            }
        }
    }

    [[nodiscard]] bool contains(const Key& key) const { return find(key) != nullptr; }

  private:
    // The key's hash mixed by 2^64 / phi, which spreads std::hash's identity hash of integers
    // (and any other hash) over the slots through its high bits; the low bit is set so that 0
    // marks an empty slot. Comparing tags first spares most key comparisons.
    struct Slot {
        std::uint64_t tag = 0;
        Key key{};
        [[no_unique_address]] Value value{};
    };

    [[nodiscard]] static std::uint64_t tag_of(const Key& key) noexcept {
        return (std::uint64_t{std::hash<Key>{}(key)} * 0x9e3779b97f4a7c15ULL) | 1;
    }

    std::vector<Slot> slots_;
    int shift_;
};

// The map without values.
struct NoValue {};
template <typename Key>
using FlatSet = FlatMap<Key, NoValue>;

}  // namespace vexa_package::detail
