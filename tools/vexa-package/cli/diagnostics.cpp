#include "cli/diagnostics.hpp"

#include <cstdio>

#include "io/file_io.hpp"

namespace vexa_cli {
namespace {

// Set once from the command line before any command runs.
bool quiet_status = false;

void put(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int fail(std::string_view subject, std::string_view what) {
    std::string line;
    line.append(PROGRAM).append(": ").append(subject).append(": ").append(what).append("\n");
    // Whatever went to standard output so far comes first when both go to one terminal.
    std::fflush(stdout);
    put(stderr, line);
    return EXIT_FAILED;
}

int fail(std::string_view subject, const vexa_package::PackageError& error) {
    return fail(subject, vexa_package::to_string(error));
}

void warn(std::string_view subject, std::string_view what) {
    std::string line;
    line.append(PROGRAM).append(": ").append(subject).append(": warning: ").append(what);
    line.append("\n");
    std::fflush(stdout);
    put(stderr, line);
}

void print(std::string_view text) {
    put(stdout, text);
}

void status(std::string_view line) {
    if (quiet_status) {
        return;
    }
    std::fflush(stdout);
    put(stderr, line);
    put(stderr, "\n");
}

void file_status(std::string_view output_path, std::string_view line) {
    if (!output_path.empty() && output_path != STANDARD_STREAM) {
        status(line);
    }
}

void set_quiet(bool quiet) {
    quiet_status = quiet;
}

bool standard_output_ok() {
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

}  // namespace vexa_cli
