#include "trace/interned_texts.hpp"

#include <cstring>

namespace vexa_cli {
namespace {

constexpr std::size_t FIRST_SLOTS = 64;

// Mixes eight bytes at a time with multiplications and shifts (constants of SplitMix64), so
// that the low bits, which pick the slot, depend on every byte.
std::uint64_t text_hash(std::string_view text) noexcept {
    std::uint64_t hash = text.size() * 0x9e3779b97f4a7c15U;
    const auto mix = [&hash](std::uint64_t chunk) {
        hash = (hash ^ chunk) * 0xbf58476d1ce4e5b9U;
        hash ^= hash >> 31;
    };
    std::size_t at = 0;
    for (; text.size() - at >= sizeof(std::uint64_t); at += sizeof(std::uint64_t)) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, text.data() + at, sizeof(chunk));
        mix(chunk);
    }
    if (at < text.size()) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, text.data() + at, text.size() - at);
        mix(chunk);
    }
    return (hash ^ hash >> 29) * 0x94d049bb133111ebU;
}

}  // namespace

std::size_t InternedTexts::find(std::uint64_t hash, std::string_view text) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.id == 0 || (slot.hash == hash && this->text(slot) == text)) {
            return at;
        }
    }
}

InternedTexts::Id InternedTexts::intern(std::string_view text) {
    if (slots_.empty()) {
        slots_.resize(FIRST_SLOTS);
    }
    const std::uint64_t hash = text_hash(text);
    std::size_t at = find(hash, text);
    if (slots_[at].id != 0) {
        return {.id = slots_[at].id};
    }
    if (used_.size() == limit_) {
        return {};
    }
    // At most half full, so that a search soon meets a free slot.
    if (2 * (used_.size() + 1) > slots_.size()) {
        grow();
        at = find(hash, text);
    }
    slots_[at] = {
        .hash = hash, .offset = texts_.size(), .size = text.size(), .id = used_.size() + 1};
    texts_.append(text);
    used_.push_back(at);
    return {.id = slots_[at].id, .added = true};
}

void InternedTexts::grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t& at : used_) {
        const Slot& slot = old[at];
        at = slot.hash & mask;
        while (slots_[at].id != 0) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

void InternedTexts::clear() noexcept {
    for (const std::size_t at : used_) {
        slots_[at] = {};
    }
    used_.clear();
    texts_.clear();
}

}  // namespace vexa_cli
