#include "profile/percentiles.hpp"

#include <algorithm>

namespace vexa_cli {

std::uint32_t nearest_rank(std::deque<std::uint32_t>& values, unsigned percent) {
    // In 64 bits percent * n cannot overflow for any count that fits in memory.
    const std::uint64_t count = values.size();
    if (count == 0) {
        return 0;
    }
    const std::uint64_t share = std::min(percent, 100U);
    const std::uint64_t rank = std::max<std::uint64_t>(1, (share * count + 99) / 100);
    const auto nth = values.begin() + static_cast<std::ptrdiff_t>(rank - 1);
    std::nth_element(values.begin(), nth, values.end());
    return *nth;
}

}  // namespace vexa_cli
