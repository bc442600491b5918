// Replays inputs through a fuzz target: every file named, and every file of every directory
// named (not recursing, skipping hidden files and READMEs). Broken invariants abort; a path
// that does not exist fails, so a misplaced corpus is not mistaken for a clean one. When the
// process dies on an input, the input's name is printed last.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// GCC names a sanitized build with macros, Clang with __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEXA_REPLAY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VEXA_REPLAY_SANITIZED 1
#endif
#endif

#ifdef VEXA_REPLAY_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

#include "fuzz_target.hpp"
#include "input_file.hpp"

namespace {

namespace fs = std::filesystem;

// The input being replayed, for the report of a death; only async-signal-safe calls use it.
std::string current_input;

volatile std::sig_atomic_t named = 0;

void name_current_input() {
    if (named != 0) {
        return;
    }
    named = 1;
    constexpr char prefix[] = "replay died on input: ";
    (void)!write(STDERR_FILENO, prefix, sizeof prefix - 1);
    (void)!write(STDERR_FILENO, current_input.data(), current_input.size());
    (void)!write(STDERR_FILENO, "\n", 1);
}

extern "C" void on_fatal_signal(int signal) {
    name_current_input();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::vector<fs::path> inputs_of(const fs::path& path) {
    if (!fs::is_directory(path)) {
        return {path};
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(path)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.starts_with('.') && !name.starts_with("README")) {
            files.push_back(entry.path());
        }
    }
    std::ranges::sort(files);
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
        return 2;
    }
    // Under a sanitizer its own handlers report faults, and its death callback names the
    // input; an abort for a broken invariant is caught here in every build.
#ifdef VEXA_REPLAY_SANITIZED
    __sanitizer_set_death_callback(name_current_input);
    std::signal(SIGABRT, on_fatal_signal);
#else
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        std::signal(signal, on_fatal_signal);
    }
#endif
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 1;
        }
        for (const fs::path& file : inputs_of(argv[i])) {
            const auto input = vexa_package::fuzzing::read_file(file.string());
            if (!input) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            current_input = file.string();
            LLVMFuzzerTestOneInput(input->data(), input->size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
