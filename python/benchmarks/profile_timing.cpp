// The C++ side of comparing `ProfileReport.read_samples` with `ProfileReport::read`.
//
//   vexa_python_profile_timing write FILE     writes a report of 4 tiles x 1,000,000 samples
//   vexa_python_profile_timing read FILE [N]  prints the best of N (default 5) wall-clock
//                                             and processor times of ProfileReport::read on
//                                             FILE, in seconds, on one line
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "vexa_package/profile.hpp"

namespace {

using namespace vexa_package;

constexpr std::uint32_t TILES = 4;
constexpr std::uint32_t SAMPLES_PER_TILE = 1000000;

// A few dozen distinct names, as a compiled program has, each sample with one metadata
// entry.
ProfileReport large_report() {
    ProfileReport report{.clock_hz = 1500000000, .tiles = {}};
    for (std::uint32_t tile = 0; tile < TILES; ++tile) {
        TileProfile profile{.physical_tile = tile, .samples = {}};
        profile.samples.reserve(SAMPLES_PER_TILE);
        for (std::uint32_t i = 0; i < SAMPLES_PER_TILE; ++i) {
            profile.samples.push_back(CycleSample{
                .step = ProfileStep{.local_index = i,
                                    .phase = i % 8,
                                    .epoch = i / 1000,
                                    .operation = "operation_" + std::to_string(i % 40),
                                    .kind = static_cast<ProfileStepKind>(i % 4),
                                    .kernel = "kernel_function_" + std::to_string(i % 24),
                                    .metadata = {ProfileMetadata{.name = "innerBlock",
                                                                 .value = std::to_string(i % 16)}}},
                .start_cycle = i * 40,
                .end_cycle = i * 40 + 30});
        }
        report.tiles.push_back(std::move(profile));
    }
    return report;
}

int write(const char* path) {
    Bytes bytes;
    if (auto written = large_report().write(bytes); !written) {
        std::cerr << written.error() << '\n';
        return EXIT_FAILURE;
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out ? EXIT_SUCCESS : EXIT_FAILURE;
}

int read(const char* path, int repeats) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
    // Word-aligned like the buffer of a Python bytes object, so neither side copies.
    std::vector<std::uint64_t> words(file.size() / 8 + 1);
    std::copy(file.begin(), file.end(), reinterpret_cast<char*>(words.data()));
    const std::span<const std::uint8_t> input(reinterpret_cast<const std::uint8_t*>(words.data()),
                                              file.size());
    double best_wall = 0;
    double best_processor = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t processor_start = std::clock();
        auto report = ProfileReport::read(input);
        const double processor =
            static_cast<double>(std::clock() - processor_start) / CLOCKS_PER_SEC;
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        if (!report) {
            std::cerr << report.error() << '\n';
            return EXIT_FAILURE;
        }
        best_wall = i == 0 ? wall.count() : std::min(best_wall, wall.count());
        best_processor = i == 0 ? processor : std::min(best_processor, processor);
    }
    std::cout << best_wall << ' ' << best_processor << '\n';
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc >= 3 ? argv[1] : "";
    if (command == "write" && argc == 3) {
        return write(argv[2]);
    }
    if (command == "read" && (argc == 3 || argc == 4)) {
        return read(argv[2], argc == 4 ? std::atoi(argv[3]) : 5);
    }
    std::cerr << "usage: vexa_python_profile_timing write FILE | read FILE [REPEATS]\n";
    return EXIT_FAILURE;
}
