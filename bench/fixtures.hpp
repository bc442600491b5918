#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <benchmark/benchmark.h>

#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_package::bench {

/// 128 tiles, each with one 0x80000-byte segment full of data: 64 MiB of bulk data.
[[nodiscard]] Application bulk_application();

/// Many small records: 4096 tiles of 32 small segments, 20000 bindings of 4 slices, 2000
/// host calls of 32 slices, 1000 entry points and 1000 configuration writes.
[[nodiscard]] Application many_records_application();

/// One tile holding 600,000 one-byte segments in shuffled address order.
[[nodiscard]] Application shuffled_segments_application();

/// One tile whose 64 segments, listed in shuffled order, fill the whole 0x9c000-byte tile
/// memory window with data.
[[nodiscard]] Application tile_image_application();

/// 4 tiles of 1,000,000 samples each, every sample with one metadata entry.
[[nodiscard]] ProfileReport large_profile_report();

/// A run as the tool meets it: 64 tiles of 65,536 samples (4,194,304 in all) of a 24-layer
/// model, with kernel and operation names that repeat, zero to two metadata entries per
/// sample, and counters that wrap on every eighth tile. `seed` varies the durations, so two
/// seeds give two runs of the same program to compare.
[[nodiscard]] ProfileReport tool_profile_report(std::uint32_t seed);

/// Bytes at an address of chosen alignment: `offset` bytes past an 8-byte boundary.
class PlacedBytes {
  public:
    PlacedBytes(std::span<const std::uint8_t> bytes, std::size_t offset);

    [[nodiscard]] std::span<const std::uint8_t> bytes() const noexcept {
        return {storage_.data() + offset_, size_};
    }

  private:
    Bytes storage_;
    std::size_t offset_;
    std::size_t size_;
};

/// Gives the memory freed while building and checking a fixture back to the system, so that
/// cases run with fresh memory (bench/main.cpp) do not find it and reuse it without page
/// faults.
void give_back_freed_memory();

/// Gives freed memory back to the system at the start of an iteration, outside the timed
/// part, for the cases compared with copying into fresh memory: once the heap holds a freed
/// block large enough, malloc serves even blocks above the mmap threshold from it, so without
/// this a case and its baseline would find warm memory or not depending on the cases that ran
/// before them. With it, every iteration of both pays the page faults of the memory it uses.
void start_in_fresh_memory(benchmark::State& state);

/// Reports the minor page faults of the timed iterations of a case, per iteration, as the
/// counter `page_faults`: whether a case and its baseline touch equally fresh memory shows
/// there.
class PageFaultCounter {
  public:
    explicit PageFaultCounter(benchmark::State& state);
    ~PageFaultCounter();
    PageFaultCounter(const PageFaultCounter&) = delete;
    PageFaultCounter& operator=(const PageFaultCounter&) = delete;

  private:
    benchmark::State& state_;
    long start_;
};

/// Aborts the benchmark program with a message; fixtures that do not read back as they were
/// written would make every figure meaningless.
[[noreturn]] void fail(const char* what);

/// The package bytes of `application`, aborting when it cannot be written or does not read
/// back equal.
[[nodiscard]] Bytes checked_package(const Application& application);

}  // namespace vexa_package::bench
