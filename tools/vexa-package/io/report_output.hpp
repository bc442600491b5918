#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "io/file_io.hpp"
#include "io/loading.hpp"
#include "profile/sample_filter.hpp"
#include "vexa_package/profile.hpp"

namespace vexa_cli {

/// The sequence of every command that streams a profile report into an output file: read
/// the report, open the output (never over the report), stream the report through a visitor
/// into it, commit, and print the status line. Only the report's bytes are held, never the
/// output, and a failure at any step leaves no file behind.
class ReportOutput {
  public:
    ReportOutput(std::string report, std::string output);

    /// Reads the report, refusing an application package, then opens the output; `binary`
    /// output goes to a terminal only when asked for by name.
    [[nodiscard]] std::expected<void, Failure> open(bool binary = false);

    /// The report's bytes, once opened.
    [[nodiscard]] const vexa_package::Bytes& bytes() const { return bytes_; }
    [[nodiscard]] OutputFile& file() { return file_; }
    /// The report as messages name it.
    [[nodiscard]] std::string report_name() const { return input_name(report_); }

    /// Streams the report through `visitor`, then warns of what the device timeline could
    /// not place and of a filter that kept nothing (see `report_timeline`).
    [[nodiscard]] std::expected<void, Failure> visit(FilteredVisitor& visitor, bool shows_times);
    /// A library error met while reading the report, in plain words.
    [[nodiscard]] Failure read_failure(const vexa_package::PackageError& error) const;

    /// Puts the output in place.
    [[nodiscard]] std::expected<void, Failure> commit();
    /// Prints "OUTPUT: WHAT" as a status line, for an output written to a file.
    void report(std::string_view what) const;

  private:
    std::string report_;
    std::string output_;
    vexa_package::Bytes bytes_;
    OutputFile file_;
};

}  // namespace vexa_cli
