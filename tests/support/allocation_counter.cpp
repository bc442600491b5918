#include "support/allocation_counter.hpp"

#include <algorithm>
#include <cstdlib>
#include <new>

// The test program replaces the global allocation functions so that tests can measure how
// much memory an operation takes. Every block carries its size in a header in front of it.
namespace {

thread_local std::size_t held_bytes = 0;
thread_local std::size_t peak_held_bytes = 0;

constexpr std::size_t HEADER = alignof(std::max_align_t);

void* allocate(std::size_t size) {
    void* block = std::malloc(size + HEADER);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    held_bytes += size;
    peak_held_bytes = std::max(peak_held_bytes, held_bytes);
    return static_cast<char*>(block) + HEADER;
}

void release(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    void* block = static_cast<char*>(pointer) - HEADER;
    held_bytes -= std::min(held_bytes, *static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* pointer) noexcept {
    release(pointer);
}
void operator delete[](void* pointer) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    release(pointer);
}

namespace vexa_package::testing {

AllocationCounter::AllocationCounter() noexcept : start_(held_bytes), saved_peak_(peak_held_bytes) {
    peak_held_bytes = held_bytes;
}

AllocationCounter::~AllocationCounter() {
    peak_held_bytes = std::max(saved_peak_, peak_held_bytes);
}

std::size_t AllocationCounter::peak_bytes() const noexcept {
    return peak_held_bytes > start_ ? peak_held_bytes - start_ : 0;
}

}  // namespace vexa_package::testing
