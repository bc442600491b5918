// Writes the large inputs on which the tool's commands are measured (bench/measure_tool):
//   large.vxpkg, large2.vxpkg  the 64 MiB package, and a copy that differs in one segment's
//                              flags and in the compiler version
//   big.vxprof, big2.vxprof    two runs of 4,194,304 samples on 64 tiles
// into the directory given, which must exist.
#include <cstdio>
#include <fstream>
#include <string>

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

void store_report(const std::string& path, std::uint32_t seed) {
    Bytes bytes;
    if (!tool_profile_report(seed).write(bytes)) {
        fail("report cannot be written");
    }
    store(path, bytes);
}

}  // namespace
}  // namespace vexa_package::bench

int main(int argc, char** argv) {
    using namespace vexa_package;
    using namespace vexa_package::bench;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    Application application = bulk_application();
    store(directory + "/large.vxpkg", checked_package(application));
    application.compiler_version = "vexa-cc 2.4.2";
    application.tiles[5].segments[0].flags = 3;
    store(directory + "/large2.vxpkg", checked_package(application));
    store_report(directory + "/big.vxprof", 1);
    store_report(directory + "/big2.vxprof", 2);
    return 0;
}
