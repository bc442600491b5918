#include "io/report_output.hpp"

#include <utility>

#include "cli/diagnostics.hpp"
#include "profile/timeline_report.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

ReportOutput::ReportOutput(std::string report, std::string output)
    : report_(std::move(report)), output_(std::move(output)) {}

std::expected<void, Failure> ReportOutput::open(bool binary) {
    auto bytes = read_report_file(report_);
    if (!bytes) {
        return std::unexpected(std::move(bytes.error()));
    }
    bytes_ = std::move(*bytes);
    if (auto opened = file_.open(output_, {.inputs = {report_}, .binary = binary}); !opened) {
        return std::unexpected(output_failure(output_, std::move(opened.error())));
    }
    return {};
}

std::expected<void, Failure> ReportOutput::visit(FilteredVisitor& visitor, bool shows_times) {
    if (const auto read = vexa_package::visit_profile(bytes_, visitor); !read) {
        return std::unexpected(read_failure(read.error()));
    }
    report_timeline(report_name(), visitor, shows_times);
    return {};
}

Failure ReportOutput::read_failure(const vexa_package::PackageError& error) const {
    return report_failure(report_, bytes_, error);
}

std::expected<void, Failure> ReportOutput::commit() {
    if (auto committed = file_.commit(); !committed) {
        return std::unexpected(Failure{output_name(output_), std::move(committed.error())});
    }
    return {};
}

void ReportOutput::report(std::string_view what) const {
    file_status(output_, output_name(output_) + ": " + std::string(what));
}

}  // namespace vexa_cli
