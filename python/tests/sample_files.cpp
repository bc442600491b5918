// Writes, with the C++ API, the packages and profile reports that the Python tests compare
// their own results against: for each sample NAME, NAME.bin holds the bytes the C++ writer
// produced and NAME.txt the C++ rendering of the record written. default_RECORD.txt holds the
// rendering of a default-constructed record.
//
// Usage: vexa_python_sample_files DIRECTORY
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>

#include "support/sample_applications.hpp"
#include "vexa_package/vexa_package.hpp"

namespace {

using namespace vexa_package;

constexpr std::uint32_t MAX32 = std::numeric_limits<std::uint32_t>::max();

void save(const std::filesystem::path& path, std::string_view contents) {
    std::ofstream out(path, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) {
        std::cerr << "cannot write " << path << '\n';
        std::exit(EXIT_FAILURE);
    }
}

template <typename Record>
void save_default(const std::filesystem::path& directory, const std::string& name) {
    save(directory / ("default_" + name + ".txt"), to_string(Record{}));
}

template <typename Record>
void save_sample(const std::filesystem::path& directory, const std::string& name,
                 const Record& record) {
    Bytes bytes;
    if (auto written = record.write(bytes); !written) {
        std::cerr << name << ": " << written.error() << '\n';
        std::exit(EXIT_FAILURE);
    }
    save(directory / (name + ".bin"),
         std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    save(directory / (name + ".txt"), to_string(record));
}

ProfileStep step(std::uint32_t index, ProfileStepKind kind) {
    return ProfileStep{.local_index = index,
                       .phase = 5,
                       .epoch = 8,
                       .operation = "accumulate",
                       .kind = kind,
                       .kernel = "gemm_f32_accumulate",
                       .metadata = {ProfileMetadata{.name = "innerBlock", .value = "8"}}};
}

// One tile 17 with one sample per kind, whose cycles straddle the counter's wrap.
ProfileReport wrapping_report() {
    TileProfile tile{.physical_tile = 17, .samples = {}};
    for (std::uint32_t i = 0; i < 4; ++i) {
        tile.samples.push_back(CycleSample{.step = step(i, static_cast<ProfileStepKind>(i)),
                                           .start_cycle = MAX32 - 10 + i,
                                           .end_cycle = 7 + i});
    }
    return ProfileReport{.clock_hz = 1500000000, .tiles = {tile}};
}

// Several tiles, one of them empty and two with the same number, empty and multi-byte
// texts, repeated metadata names and the largest numbers.
ProfileReport varied_report() {
    ProfileReport report{.clock_hz = std::numeric_limits<std::uint64_t>::max(), .tiles = {}};
    report.tiles.push_back(TileProfile{.physical_tile = 3, .samples = {}});
    TileProfile busy{.physical_tile = 9, .samples = {}};
    busy.samples.push_back(CycleSample{.step = ProfileStep{.local_index = MAX32,
                                                           .phase = MAX32,
                                                           .epoch = MAX32,
                                                           .operation = "",
                                                           .kind = ProfileStepKind::Idle,
                                                           .kernel = "",
                                                           .metadata = {}},
                                       .start_cycle = 0,
                                       .end_cycle = MAX32});
    busy.samples.push_back(
        CycleSample{.step = ProfileStep{.local_index = 1,
                                        .phase = 2,
                                        .epoch = 3,
                                        .operation = "f\xc3\xbcge \xe2\x86\x92 sch\xc3\xa4tzen",
                                        .kind = ProfileStepKind::Compute,
                                        .kernel = "\xf0\x9f\x9a\x80 kernel",
                                        .metadata = {ProfileMetadata{.name = "k", .value = "1"},
                                                     ProfileMetadata{.name = "k", .value = "2"},
                                                     ProfileMetadata{.name = "", .value = ""}}},
                    .start_cycle = 500,
                    .end_cycle = 100});
    report.tiles.push_back(busy);
    TileProfile again{.physical_tile = 9, .samples = {}};
    again.samples.push_back(CycleSample{
        .step = step(0, ProfileStepKind::Synchronization), .start_cycle = 40, .end_cycle = 90});
    report.tiles.push_back(again);
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vexa_python_sample_files DIRECTORY\n";
        return EXIT_FAILURE;
    }
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    save_sample(directory, "minimal_application", testing::minimal_application());
    save_sample(directory, "batched_application", testing::batched_application());
    save_sample(directory, "rich_application", testing::rich_application());
    save_sample(directory, "wrapping_report", wrapping_report());
    save_sample(directory, "varied_report", varied_report());

    save_default<Segment>(directory, "segment");
    save_default<TileImage>(directory, "tile_image");
    save_default<RegionSlice>(directory, "region_slice");
    save_default<Binding>(directory, "binding");
    save_default<HostPage>(directory, "host_page");
    save_default<HostSlice>(directory, "host_slice");
    save_default<HostCall>(directory, "host_call");
    save_default<HostExchange>(directory, "host_exchange");
    save_default<EntryPoint>(directory, "entry_point");
    save_default<DeviceConfigWrite>(directory, "device_config_write");
    save_default<Application>(directory, "application");
    save_default<ProfileMetadata>(directory, "profile_metadata");
    save_default<ProfileStep>(directory, "profile_step");
    save_default<CycleSample>(directory, "cycle_sample");
    save_default<TileProfile>(directory, "tile_profile");
    save_default<ProfileReport>(directory, "profile_report");
    return EXIT_SUCCESS;
}
