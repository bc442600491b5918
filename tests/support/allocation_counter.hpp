#pragma once

#include <cstddef>

namespace vexa_package::testing {

/// Measures the heap memory that operator new hands out on this thread while it is alive:
/// the peak of bytes held at once above what was held when it started. Counters nest.
class AllocationCounter {
  public:
    AllocationCounter() noexcept;
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    [[nodiscard]] std::size_t peak_bytes() const noexcept;

  private:
    std::size_t start_;
    std::size_t saved_peak_;
};

}  // namespace vexa_package::testing
