// The baseline of the tool's profile commands in bench/measure_tool: reads a report file
// whole and builds the model with ProfileReport::read, as a program that needs every sample
// at once would, and nothing else.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fixtures.hpp"

int main(int argc, char** argv) {
    using namespace vexa_package;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s REPORT\n", argv[0]);
        return 2;
    }
    Bytes bytes(std::filesystem::file_size(argv[1]));
    std::ifstream file(argv[1], std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()))) {
        bench::fail("cannot read the report");
    }
    const auto report = ProfileReport::read(bytes);
    if (!report) {
        bench::fail("the report does not read");
    }
    std::printf("%zu tiles\n", report->tiles.size());
    return 0;
}
