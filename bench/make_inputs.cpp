// Writes the large inputs on which the tool's commands are measured (bench/measure_tool):
//   large.vxpkg, large2.vxpkg  the 64 MiB package, and a copy that differs in one segment's
//                              flags and in the compiler version
//   big.vxprof, big2.vxprof    two runs of 4,194,304 samples on 64 tiles
// into the directory given, which must exist; or with --huge only
//   huge.vxprof                a run of 16,777,216 samples on 64 tiles, about 2.1 GB (making
//                              it takes about 6 GB of memory)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fixtures.hpp"

namespace vexa_package::bench {
namespace {

void store(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        fail("cannot write an input file");
    }
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
}

void store_report(const std::string& path, const ProfileReport& report) {
    Bytes bytes;
    if (!report.write(bytes)) {
        fail("report cannot be written");
    }
    store(path, bytes);
}

// Four runs of the 4M-sample report one after another on the same 64 tiles: each tile's next
// run starts 5000 cycles after its last sample ended, with its step indices counting on.
ProfileReport huge_report() {
    constexpr std::uint32_t runs = 4;
    ProfileReport huge = tool_profile_report(3);
    for (std::uint32_t run = 1; run < runs; ++run) {
        ProfileReport next = tool_profile_report(3 + run);
        for (std::size_t tile = 0; tile < huge.tiles.size(); ++tile) {
            std::vector<CycleSample>& samples = huge.tiles[tile].samples;
            std::vector<CycleSample>& more = next.tiles[tile].samples;
            // Counter values wrap: the shift is taken modulo 2^32.
            const std::uint32_t shift = samples.back().end_cycle + 5000 - more.front().start_cycle;
            const auto first_index = static_cast<std::uint32_t>(samples.size());
            for (CycleSample& sample : more) {
                sample.start_cycle += shift;
                sample.end_cycle += shift;
                sample.step.local_index += first_index;
                samples.push_back(std::move(sample));
            }
        }
    }
    return huge;
}

}  // namespace
}  // namespace vexa_package::bench

int main(int argc, char** argv) {
    using namespace vexa_package;
    using namespace vexa_package::bench;
    const bool huge = argc == 3 && std::string_view(argv[2]) == "--huge";
    if (argc != 2 && !huge) {
        std::fprintf(stderr, "usage: %s DIRECTORY [--huge]\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    if (huge) {
        store_report(directory + "/huge.vxprof", huge_report());
        return 0;
    }
    Application application = bulk_application();
    store(directory + "/large.vxpkg", checked_package(application));
    application.compiler_version = "vexa-cc 2.4.2";
    application.tiles[5].segments[0].flags = 3;
    store(directory + "/large2.vxpkg", checked_package(application));
    store_report(directory + "/big.vxprof", tool_profile_report(1));
    store_report(directory + "/big2.vxprof", tool_profile_report(2));
    return 0;
}
