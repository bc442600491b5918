#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vexa_package::detail {

// A hash set in one flat array with linear probing, sized once for the keys it will receive.
// Validation only inserts and looks up; std::unordered_set allocates a node per key and
// follows a pointer per lookup, which made its sets the largest part of validating a package
// with many tiles and bindings, and of reading one.
template <typename Key>
class FlatSet {
  public:
    // Room for `count` insertions at a load factor of at most 2/3, so probing always ends.
    explicit FlatSet(std::size_t count)
        : slots_(std::bit_ceil(std::max<std::size_t>(count + count / 2 + 1, 8))),
          shift_(64 - std::countr_zero(slots_.size())) {}

    // False when `key` was present already.
    bool insert(const Key& key) {
        const std::uint64_t tag = tag_of(key);
        for (std::size_t index = tag >> shift_;; index = (index + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[index];
            if (slot.tag == 0) {
                slot = Slot{.tag = tag, .key = key};
                return true;
            }
            if (slot.tag == tag && slot.key == key) {
                return false;
            }
        }
    }

    [[nodiscard]] bool contains(const Key& key) const {
        const std::uint64_t tag = tag_of(key);
        for (std::size_t index = tag >> shift_;; index = (index + 1) & (slots_.size() - 1)) {
            const Slot& slot = slots_[index];
            if (slot.tag == 0) {
                return false;
            }
            if (slot.tag == tag && slot.key == key) {
                return true;
            }
        }
    }

  private:
    // The key's hash mixed by 2^64 / phi, which spreads std::hash's identity hash of integers
    // (and any other hash) over the slots through its high bits; the low bit is set so that 0
    // marks an empty slot. Comparing tags first spares most key comparisons.
    struct Slot {
        std::uint64_t tag = 0;
        Key key{};
    };

    [[nodiscard]] static std::uint64_t tag_of(const Key& key) noexcept {
        return (std::uint64_t{std::hash<Key>{}(key)} * 0x9e3779b97f4a7c15ULL) | 1;
    }

    std::vector<Slot> slots_;
    int shift_;
};

}  // namespace vexa_package::detail
