#include "profile/sample_filter.hpp"

#include <algorithm>
#include <charconv>
#include <regex>
#include <unordered_map>

#include "profile/profile_timeline.hpp"

namespace vexa_cli {
namespace {

using vexa_package::ProfileStepKind;

std::optional<std::uint32_t> tile_number(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

// A pattern with the names it was tried on and whether they matched, so a report of millions
// of samples costs one match per distinct name.
class NameMatcher {
  public:
    explicit NameMatcher(const std::string& pattern) : regex_(pattern) {}

    [[nodiscard]] bool matches(std::string_view name) {
        const std::string key(name);
        const auto known = seen_.find(key);
        if (known != seen_.end()) {
            return known->second;
        }
        const bool result = std::regex_search(key, regex_);
        seen_.emplace(key, result);
        return result;
    }

  private:
    std::regex regex_;
    std::unordered_map<std::string, bool> seen_;
};

std::optional<ProfileStepKind> kind_named(std::string_view name) {
    for (const ProfileStepKind kind : STEP_KINDS) {
        const std::string_view known = to_string(kind);
        if (std::ranges::equal(name, known, [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return kind;
        }
    }
    return std::nullopt;
}

std::expected<void, std::string> check_name_pattern(const std::string& text) {
    try {
        const std::regex pattern(text);
        return {};
    } catch (const std::regex_error& error) {
        return std::unexpected("not a regular expression: " + std::string(error.what()));
    }
}

std::expected<std::vector<std::pair<std::uint32_t, std::uint32_t>>, std::string> parse_tile_list(
    std::string_view text) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = tile_number(item.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : tile_number(item.substr(dash + 1));
        if (!first || !last || *last < *first) {
            return std::unexpected("expected tile numbers and ranges such as 0-3,8, got '" +
                                   std::string(item) + "'");
        }
        ranges.emplace_back(*first, *last);
        if (comma == std::string_view::npos) {
            return ranges;
        }
        text.remove_prefix(comma + 1);
    }
}

SampleFilter::SampleFilter(const SampleFilterOptions& options)
    : from_(options.from), to_(options.to) {
    if (!options.tiles.empty()) {
        tiles_ = parse_tile_list(options.tiles).value_or(decltype(tiles_)::value_type{});
    }
    if (!options.kernel.empty()) {
        kernel_ = std::make_unique<NameMatcher>(options.kernel);
    }
    if (!options.operation.empty()) {
        operation_ = std::make_unique<NameMatcher>(options.operation);
    }
    if (!options.kind.empty()) {
        kind_ = kind_named(options.kind);
    }
}

SampleFilter::~SampleFilter() = default;

bool SampleFilter::active() const {
    return tiles_ || kernel_ || operation_ || kind_ || windowed();
}

bool SampleFilter::keep_tile(std::uint32_t physical_tile) const {
    return !tiles_ || std::ranges::any_of(*tiles_, [physical_tile](const auto& range) {
        return range.first <= physical_tile && physical_tile <= range.second;
    });
}

bool SampleFilter::keep(const vexa_package::CycleSampleView& sample, std::uint64_t start) {
    if (kind_ && sample.kind != *kind_) {
        return false;
    }
    if ((from_ && start < *from_) || (to_ && start >= *to_)) {
        return false;
    }
    return (!kernel_ || kernel_->matches(sample.kernel)) &&
           (!operation_ || operation_->matches(sample.operation));
}

void FilteredVisitor::header(const vexa_package::ProfileHeaderView& header) {
    on_header(header);
}

void FilteredVisitor::tile(const vexa_package::TileProfileView& tile) {
    tile_kept_ = filter_->keep_tile(tile.physical_tile);
    physical_tile_ = tile.physical_tile;
    timeline_.tile(tile);
    if (tile_kept_) {
        on_tile(tile);
    }
}

void FilteredVisitor::sample(const vexa_package::CycleSampleView& sample) {
    // Samples of tiles left out are placed too: the device timeline is the same whatever the
    // filters keep.
    const vexa_package::TimelinePlace place = timeline_.place(sample);
    if (!tile_kept_ || !filter_->keep(sample, place.start)) {
        return;
    }
    ++kept_;
    on_sample({.sample = sample,
               .physical_tile = physical_tile_,
               .start = place.start,
               .end = place.end,
               .cycles = sample_cycles(sample)});
}

void FilteredVisitor::tile_end(const vexa_package::TileProfileView& tile) {
    if (tile_kept_) {
        on_tile_end(tile);
    }
}

}  // namespace vexa_cli
