#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "profile/profile_timeline.hpp"
#include "vexa_package/cycle_timeline.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// The filters every profile command takes, as given on the command line (checked there by
/// `add_filter_options`).
struct SampleFilterOptions {
    // Each filter is off unless given, so options name only the filters they set.
    std::string tiles = {};
    std::string kernel = {};
    std::string operation = {};
    std::string kind = {};
    std::optional<std::uint64_t> from = std::nullopt;
    std::optional<std::uint64_t> to = std::nullopt;
};

/// Inclusive ranges of physical tiles from "0-3,8"; the error says what is wrong.
[[nodiscard]] std::expected<std::vector<std::pair<std::uint32_t, std::uint32_t>>, std::string>
parse_tile_list(std::string_view text);

/// Whether `text` is an ECMAScript regular expression; the error says what is wrong.
[[nodiscard]] std::expected<void, std::string> check_name_pattern(const std::string& text);

/// The kind named `name`, in any case; none for a name that is no kind.
[[nodiscard]] std::optional<vexa_package::ProfileStepKind> kind_named(std::string_view name);

/// Names matched against one --kernel or --operation pattern; defined where it is used.
class NameMatcher;

/// Decides which samples a command sees. Names are matched once each and remembered, so a
/// report of millions of samples costs one match per distinct name.
class SampleFilter {
  public:
    /// The options were checked while parsing.
    explicit SampleFilter(const SampleFilterOptions& options);
    SampleFilter(const SampleFilter&) = delete;
    SampleFilter& operator=(const SampleFilter&) = delete;
    ~SampleFilter();

    /// Whether any filter was given.
    [[nodiscard]] bool active() const;
    /// Whether --from or --to was given.
    [[nodiscard]] bool windowed() const { return from_ || to_; }

    [[nodiscard]] bool keep_tile(std::uint32_t physical_tile) const;
    /// `start` is the sample's start on the device timeline.
    [[nodiscard]] bool keep(const vexa_package::CycleSampleView& sample, std::uint64_t start);

  private:
    std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> tiles_;
    // None: every name is kept.
    std::unique_ptr<NameMatcher> kernel_;
    std::unique_ptr<NameMatcher> operation_;
    std::optional<vexa_package::ProfileStepKind> kind_;
    std::optional<std::uint64_t> from_;
    std::optional<std::uint64_t> to_;
};

/// A sample that passed the filters, placed on the device timeline.
struct KeptSample {
    const vexa_package::CycleSampleView& sample;
    std::uint32_t physical_tile = 0;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    /// end - start: the stored cycles modulo 2^32.
    std::uint32_t cycles = 0;
};

/// Streams a report through the filters: places every sample on the device timeline, kept or
/// not, and hands on the tiles and samples that are kept. Tiles left out by --tiles are not
/// announced; a tile whose samples are all filtered out still is.
class FilteredVisitor : public vexa_package::ProfileVisitor {
  public:
    explicit FilteredVisitor(SampleFilter& filter) : filter_(&filter) {}

    void header(const vexa_package::ProfileHeaderView& header) final;
    void tile(const vexa_package::TileProfileView& tile) final;
    void sample(const vexa_package::CycleSampleView& sample) final;
    void tile_end(const vexa_package::TileProfileView& tile) final;

    /// Where the samples seen so far lie, and what their counter values could not settle.
    [[nodiscard]] const vexa_package::CycleTimeline& timeline() const { return timeline_; }
    /// Samples handed on so far.
    [[nodiscard]] std::uint64_t kept() const { return kept_; }
    [[nodiscard]] const SampleFilter& filter() const { return *filter_; }

  protected:
    virtual void on_header(const vexa_package::ProfileHeaderView& /*header*/) {}
    virtual void on_tile(const vexa_package::TileProfileView& /*tile*/) {}
    virtual void on_sample(const KeptSample& sample) = 0;
    virtual void on_tile_end(const vexa_package::TileProfileView& /*tile*/) {}

  private:
    SampleFilter* filter_;
    bool tile_kept_ = false;
    std::uint32_t physical_tile_ = 0;
    vexa_package::CycleTimeline timeline_;
    std::uint64_t kept_ = 0;
};

}  // namespace vexa_cli
