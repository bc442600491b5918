#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexa_cli {

/// One table of texts interned on a Perfetto sequence: each distinct text gets the next id
/// from 1, up to `limit` texts; past that, new texts get none (and are written out), which
/// bounds the table's memory. A trace looks a text up for nearly every field of every slice,
/// so the table is built for that: open addressing in a power-of-two array at most half full,
/// a hash that reads eight bytes at a time, and the texts side by side in one buffer.
/// Clearing touches only the slots in use, so a table that grew large for one tile entry
/// costs the next ones nothing.
class InternedTexts {
  public:
    explicit InternedTexts(std::size_t limit) : limit_(limit) {}

    struct Id {
        /// 0 when the text is new and the table full.
        std::uint64_t id = 0;
        /// Whether the text was new and got `id` now.
        bool added = false;
    };
    [[nodiscard]] Id intern(std::string_view text);

    void clear() noexcept;
    [[nodiscard]] std::size_t size() const noexcept { return used_.size(); }

  private:
    struct Slot {
        std::uint64_t hash = 0;
        std::size_t offset = 0;
        std::size_t size = 0;
        // 0 for a free slot.
        std::uint64_t id = 0;
    };

    [[nodiscard]] std::string_view text(const Slot& slot) const noexcept {
        return std::string_view(texts_).substr(slot.offset, slot.size);
    }
    // The slot that holds `text`, or the free slot where it would go.
    [[nodiscard]] std::size_t find(std::uint64_t hash, std::string_view text) const noexcept;
    void grow();

    std::size_t limit_;
    std::vector<Slot> slots_;
    // The slots in use, by id.
    std::vector<std::size_t> used_;
    std::string texts_;
};

}  // namespace vexa_cli
