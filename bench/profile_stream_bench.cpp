// Streaming a profile report of 4 tiles x 1,000,000 samples with visit_profile, counting the
// samples and summing their cycles, against the zero-copy traversal through the generated
// readers of the same bytes.
#include <benchmark/benchmark.h>

#include "fixtures.hpp"
#include "raw_capnp.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package::bench {
namespace {

const Bytes& message() {
    static const Bytes bytes = [] {
        Bytes written;
        if (!large_profile_report().write(written)) {
            fail("profile write failed");
        }
        return written;
    }();
    return bytes;
}

class CycleCount final : public ProfileVisitor {
  public:
    void sample(const CycleSampleView& sample) override {
        ++samples;
        cycles += sample.end_cycle - sample.start_cycle;
    }

    std::uint64_t samples = 0;
    std::uint64_t cycles = 0;
};

void profile_stream(benchmark::State& state) {
    const std::span<const std::uint8_t> input = message();
    for (auto _ : state) {
        CycleCount count;
        if (!visit_profile(input, count) || count.samples != 4'000'000) {
            fail("profile stream failed");
        }
        benchmark::DoNotOptimize(count.cycles);
    }
}

BENCHMARK(profile_stream)->Name("profile/stream")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexa_package::bench
