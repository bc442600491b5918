#pragma once

#include <string>
#include <string_view>

#include "vexa_package/error.hpp"

namespace vexa_cli {

/// Exit status of a command that succeeded.
inline constexpr int EXIT_OK = 0;
/// Exit status for bad input or an operation that failed.
inline constexpr int EXIT_FAILED = 1;
/// Exit status for a command line that does not parse.
inline constexpr int EXIT_USAGE = 2;

/// The program name that starts every message.
inline constexpr std::string_view PROGRAM = "vexa-package";

/// Prints "vexa-package: SUBJECT: WHAT" on standard error and returns `EXIT_FAILED`, so a
/// command can end with `return fail(...)`.
int fail(std::string_view subject, std::string_view what);
/// The same for an error of the library, as the library renders it.
int fail(std::string_view subject, const vexa_package::PackageError& error);
/// Prints "vexa-package: SUBJECT: warning: WHAT" on standard error.
void warn(std::string_view subject, std::string_view what);

/// Writes text to standard output; a failing stream is reported when the program ends.
void print(std::string_view text);
/// Writes a status line about a finished output ("out.pftrace: 3386 slices ...") on standard
/// error, where it never mixes into an output, unless status lines are silenced.
void status(std::string_view line);
/// A status line about an output file; none when the output is standard output, where the
/// line would only race the output through a pipeline to the terminal.
void file_status(std::string_view output_path, std::string_view line);
/// Silences status lines (-q, --quiet); warnings and errors are still printed.
void set_quiet(bool quiet);
/// Whether everything printed to standard output reached it.
[[nodiscard]] bool standard_output_ok();

}  // namespace vexa_cli
