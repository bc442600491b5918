#include "output/svg_timeline.hpp"

#include <algorithm>
#include <cmath>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/file_io.hpp"
#include "output/svg_writer.hpp"
#include "output/text_format.hpp"
#include "profile/profile_timeline.hpp"
#include "profile/sample_filter.hpp"
#include "profile/timeline_report.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

constexpr std::array<std::string_view, 4> KIND_COLOURS{"#4e79a7", "#59a14f", "#f28e2b", "#bab0ac"};
constexpr double LABEL_WIDTH = 90;
constexpr double RIGHT_MARGIN = 24;
constexpr double ROWS_TOP = 100;
constexpr double ROW_HEIGHT = 14;
constexpr double ROW_PITCH = 18;
constexpr double BOTTOM_MARGIN = 16;
constexpr std::size_t TARGET_TICKS = 8;
// Opacity steps of merged columns, by how much of the pixel the samples fill.
constexpr std::array<std::string_view, 4> FILL_LEVELS{"0.4", "0.6", "0.8", "1"};

// Where time maps to pixels: cycle `origin` at the left edge of the plot.
struct Layout {
    std::uint64_t origin = 0;
    std::uint64_t span = 1;
    double scale = 1;
    std::size_t plot_width = 0;
    std::uint64_t clock_hz = 0;
};

// The longest sample merged into a column, kept by value: the samples stream past.
struct Longest {
    bool present = false;
    std::uint32_t cycles = 0;
    std::string name;

    void offer(const CycleSampleView& sample) {
        if (!present || sample_cycles(sample) > cycles) {
            present = true;
            cycles = sample_cycles(sample);
            name.assign(sample_name(sample));
        }
    }
};

// What the samples narrower than a pixel leave in one pixel column of a row.
struct Column {
    std::array<double, 4> cover{};
    std::array<std::uint32_t, 4> samples{};
    Longest longest;

    [[nodiscard]] std::uint32_t sample_count() const {
        return samples[0] + samples[1] + samples[2] + samples[3];
    }
    [[nodiscard]] double total_cover() const { return cover[0] + cover[1] + cover[2] + cover[3]; }
    // The kind that fills most of the column; by sample count when none has a length.
    [[nodiscard]] std::size_t dominant_kind() const {
        std::size_t best = 0;
        const bool by_cover = total_cover() > 0;
        for (std::size_t kind = 1; kind < cover.size(); ++kind) {
            if (by_cover ? cover[kind] > cover[best] : samples[kind] > samples[best]) {
                best = kind;
            }
        }
        return best;
    }
    [[nodiscard]] std::size_t fill_level() const {
        const double filled = std::ceil(std::min(total_cover(), 1.0) * 4);
        return static_cast<std::size_t>(std::clamp(filled, 1.0, 4.0)) - 1;
    }
    void absorb(const Column& other) {
        for (std::size_t kind = 0; kind < cover.size(); ++kind) {
            cover[kind] += other.cover[kind];
            samples[kind] += other.samples[kind];
        }
        if (other.longest.present && (!longest.present || other.longest.cycles > longest.cycles)) {
            longest = other.longest;
        }
    }
};

std::string duration_text(std::uint64_t cycles, std::uint64_t clock_hz) {
    std::string text = std::to_string(cycles) + " cycles";
    if (const auto seconds = cycles_to_seconds(cycles, clock_hz)) {
        text += ", " + seconds_text(*seconds);
    }
    return text;
}

std::string sample_title(std::uint32_t tile, const CycleSampleView& sample,
                         std::uint64_t clock_hz) {
    std::string title = "tile " + std::to_string(tile) + " · " + std::string(sample_name(sample)) +
                        " (" + std::string(to_string(sample.kind)) + ")";
    if (!sample.operation.empty()) {
        title.append(" · operation ").append(sample.operation);
    }
    return title + " · " + duration_text(sample_cycles(sample), clock_hz);
}

std::string merged_title(std::uint32_t tile, const Column& run, std::uint64_t clock_hz) {
    std::string title = "tile " + std::to_string(tile) + " · " +
                        std::to_string(run.sample_count()) + " samples merged ·";
    const double total = run.total_cover();
    for (const auto kind : STEP_KINDS) {
        const std::size_t index = kind_index(kind);
        if (run.samples[index] == 0) {
            continue;
        }
        char share[16];
        std::snprintf(share, sizeof share, " %.0f%%",
                      total > 0 ? 100 * run.cover[index] / total : 0.0);
        title.append(" ").append(to_string(kind)).append(share);
    }
    if (run.longest.present) {
        title += " · longest " + run.longest.name + " (" +
                 duration_text(run.longest.cycles, clock_hz) + ")";
    }
    return title;
}

void rect(std::string& out, double x, double y, double width, std::size_t kind,
          std::string_view opacity, const std::string& title) {
    out.append("<rect class=\"k").append(std::to_string(kind)).append("\" x=\"");
    out.append(coordinate(x)).append("\" y=\"").append(coordinate(y));
    out.append("\" width=\"").append(coordinate(width)).append("\" height=\"");
    out.append(coordinate(ROW_HEIGHT)).append("\"");
    if (opacity != "1") {
        out.append(" fill-opacity=\"").append(opacity).append("\"");
    }
    out.append("><title>").append(xml_text(title)).append("</title></rect>\n");
}

// The figures the picture needs before its first row: they take a first pass over the kept
// samples.
class Extent final : public FilteredVisitor {
  public:
    using FilteredVisitor::FilteredVisitor;

    [[nodiscard]] std::uint64_t covered() const { return earliest ? latest - *earliest : 0; }

    std::uint64_t clock_hz = 0;
    std::size_t rows = 0;
    std::size_t samples = 0;
    std::array<std::uint64_t, 4> kind_cycles{};
    std::uint64_t cycles = 0;
    std::optional<std::uint64_t> earliest;
    std::uint64_t latest = 0;

  private:
    void on_header(const ProfileHeaderView& header) override { clock_hz = header.clock_hz; }
    void on_tile(const TileProfileView& /*tile*/) override { ++rows; }
    void on_sample(const KeptSample& kept) override {
        ++samples;
        // Sums of 32-bit durations stay far below 2^64 for any report that fits in memory.
        kind_cycles[kind_index(kept.sample.kind)] += kept.cycles;
        cycles += kept.cycles;
        earliest = std::min(earliest.value_or(kept.start), kept.start);
        latest = std::max(latest, kept.end);
    }
};

// Draws one row per kept tile entry on the second pass: samples a pixel wide or more as bars of
// their own; narrower ones gathered per pixel column, and neighbouring columns of the same
// kind and fill drawn as one bar. What a row holds is bounded by the plot width, however many
// samples the tile has, and each row is written out when its tile ends.
class Rows final : public FilteredVisitor {
  public:
    Rows(SampleFilter& filter, OutputFile& output, const Layout& layout)
        : FilteredVisitor(filter), output_(output), layout_(layout) {}

  private:
    void on_tile(const TileProfileView& tile) override {
        physical_tile_ = tile.physical_tile;
        columns_.assign(layout_.plot_width, Column{});
        bars_.clear();
        out_.clear();
        out_.append("<rect class=\"row\" x=\"").append(coordinate(LABEL_WIDTH)).append("\" y=\"");
        out_.append(coordinate(top_)).append("\" width=\"");
        out_.append(std::to_string(layout_.plot_width));
        out_.append("\" height=\"").append(coordinate(ROW_HEIGHT)).append("\"/>\n");
        out_.append("<text x=\"").append(coordinate(LABEL_WIDTH - 6)).append("\" y=\"");
        out_.append(coordinate(top_ + ROW_HEIGHT - 3)).append("\" text-anchor=\"end\">tile ");
        out_.append(std::to_string(tile.physical_tile)).append("</text>\n");
    }

    void on_sample(const KeptSample& kept) override {
        const CycleSampleView& sample = kept.sample;
        const double x0 = static_cast<double>(kept.start - layout_.origin) * layout_.scale;
        const double x1 = static_cast<double>(kept.end - layout_.origin) * layout_.scale;
        const std::size_t kind = kind_index(sample.kind);
        if (x1 - x0 >= 1) {
            rect(bars_, LABEL_WIDTH + x0, top_, x1 - x0, kind, "1",
                 sample_title(physical_tile_, sample, layout_.clock_hz));
            return;
        }
        const std::size_t last = layout_.plot_width - 1;
        const std::size_t first = std::min(static_cast<std::size_t>(x0), last);
        const std::size_t second = std::min(static_cast<std::size_t>(x1), last);
        if (first == second) {
            columns_[first].cover[kind] += x1 - x0;
        } else {
            columns_[first].cover[kind] += static_cast<double>(second) - x0;
            columns_[second].cover[kind] += x1 - static_cast<double>(second);
        }
        Column& column = columns_[first];
        ++column.samples[kind];
        column.longest.offer(sample);
    }

    void on_tile_end(const TileProfileView& /*tile*/) override {
        merged_bars();
        // Whole samples are drawn over the merged columns.
        out_ += bars_;
        output_.write(out_);
        top_ += ROW_PITCH;
    }

    // A run of columns shares its dominant kind and fill level, which colour its bar.
    void merged_bars() {
        std::size_t run_start = 0;
        std::size_t run_kind = 0;
        std::size_t run_level = 0;
        Column run;
        const auto flush = [&](std::size_t end) {
            if (run.sample_count() != 0) {
                rect(out_, LABEL_WIDTH + static_cast<double>(run_start), top_,
                     static_cast<double>(end - run_start), run_kind, FILL_LEVELS[run_level],
                     merged_title(physical_tile_, run, layout_.clock_hz));
            }
            run = Column{};
        };
        for (std::size_t x = 0; x < columns_.size(); ++x) {
            const Column& column = columns_[x];
            if (column.sample_count() == 0) {
                flush(x);
                continue;
            }
            const std::size_t kind = column.dominant_kind();
            const std::size_t level = column.fill_level();
            if (run.sample_count() == 0 || kind != run_kind || level != run_level) {
                flush(x);
                run_start = x;
                run_kind = kind;
                run_level = level;
            }
            run.absorb(column);
        }
        flush(columns_.size());
    }

    OutputFile& output_;
    const Layout& layout_;
    double top_ = ROWS_TOP;
    std::uint32_t physical_tile_ = 0;
    std::vector<Column> columns_;
    std::string bars_;
    std::string out_;
};

// A step of 1, 2 or 5 times a power of ten that cuts `span` into about `TARGET_TICKS`.
double tick_step(double span) {
    const double raw = span / TARGET_TICKS;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw) {
            return factor * power;
        }
    }
    return 10 * power;
}

void time_axis(std::string& out, const Layout& layout, double bottom) {
    const double axis_y = ROWS_TOP - 8;
    const double right = LABEL_WIDTH + static_cast<double>(layout.plot_width);
    out.append("<line class=\"axis\" x1=\"").append(coordinate(LABEL_WIDTH));
    out.append("\" y1=\"").append(coordinate(axis_y)).append("\" x2=\"").append(coordinate(right));
    out.append("\" y2=\"").append(coordinate(axis_y)).append("\"/>\n");
    // Ticks are placed in seconds when the clock is known, else in cycles.
    const double units_per_cycle =
        layout.clock_hz == 0 ? 1.0 : 1.0 / static_cast<double>(layout.clock_hz);
    const double span = static_cast<double>(layout.span) * units_per_cycle;
    const double step = tick_step(span);
    for (std::size_t tick = 0; static_cast<double>(tick) * step <= span * (1 + 1e-9); ++tick) {
        const double value = static_cast<double>(tick) * step;
        const double x = LABEL_WIDTH + value / units_per_cycle * layout.scale;
        out.append("<line class=\"grid\" x1=\"").append(coordinate(x)).append("\" y1=\"");
        out.append(coordinate(axis_y)).append("\" x2=\"").append(coordinate(x));
        out.append("\" y2=\"").append(coordinate(bottom)).append("\"/>\n");
        const std::string label =
            tick == 0 ? "0" : (layout.clock_hz == 0 ? coordinate(value) : seconds_text(value));
        out.append("<text x=\"").append(coordinate(x)).append("\" y=\"");
        // A label at the right edge ends there instead of running out of the picture.
        const bool at_edge = x > right - 30;
        out.append(coordinate(axis_y - 4)).append("\" text-anchor=\"");
        out.append(at_edge ? "end" : "middle").append("\">");
        out.append(xml_text(label)).append("</text>\n");
    }
}

void legend(std::string& out, const Extent& extent) {
    double x = LABEL_WIDTH;
    for (const auto kind : STEP_KINDS) {
        const std::size_t index = kind_index(kind);
        const std::string label =
            std::string(to_string(kind)) + " " + percent(extent.kind_cycles[index], extent.cycles);
        out.append("<rect class=\"k").append(std::to_string(index)).append("\" x=\"");
        out.append(coordinate(x)).append("\" y=\"52\" width=\"12\" height=\"12\"/>\n");
        out.append("<text x=\"").append(coordinate(x + 16)).append("\" y=\"62\">");
        out.append(xml_text(label)).append("</text>\n");
        x += 40 + 7 * static_cast<double>(label.size());
    }
}

// Everything above the rows.
std::string svg_head(const Extent& extent, const Layout& layout, std::string_view source,
                     unsigned width) {
    const double bottom = ROWS_TOP + ROW_PITCH * static_cast<double>(extent.rows) + BOTTOM_MARGIN;
    std::string out;
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    out.append("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"").append(std::to_string(width));
    out.append("\" height=\"").append(coordinate(bottom)).append("\" viewBox=\"0 0 ");
    out.append(std::to_string(width)).append(" ").append(coordinate(bottom)).append("\"");
    out.append(" font-family=\"sans-serif\" font-size=\"11\">\n<style>");
    for (std::size_t kind = 0; kind < KIND_COLOURS.size(); ++kind) {
        out.append(".k").append(std::to_string(kind)).append("{fill:");
        out.append(KIND_COLOURS[kind]).append("}");
    }
    out.append(".axis{stroke:#444}.grid{stroke:#ddd}.row{fill:#f4f4f4}</style>\n");
    out.append("<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n");

    const std::string heading = std::string(source) + " · " + counted(extent.rows, "tile") + " · " +
                                counted(extent.samples, "sample") + " · clock " +
                                (extent.clock_hz == 0 ? std::string("unknown (axis in cycles)")
                                                      : frequency_text(extent.clock_hz)) +
                                " · covered " + duration_text(extent.covered(), extent.clock_hz);
    out.append("<text x=\"")
        .append(coordinate(LABEL_WIDTH))
        .append("\" y=\"20\" font-size=\"14\">");
    out.append(xml_text(heading)).append("</text>\n");
    const std::string note = "time from the earliest start, cycle " +
                             std::to_string(layout.origin) +
                             " on the device timeline; bars narrower than a pixel are merged, "
                             "hover for details";
    out.append("<text x=\"").append(coordinate(LABEL_WIDTH)).append("\" y=\"38\" fill=\"#666\">");
    out.append(xml_text(note)).append("</text>\n");
    legend(out, extent);
    time_axis(out, layout, bottom - BOTTOM_MARGIN);
    return out;
}

}  // namespace

std::expected<SvgTimeline, vexa_package::PackageError> write_svg_timeline(
    OutputFile& output, std::span<const std::uint8_t> report, std::string_view source,
    SampleFilter& filter, unsigned width) {
    Extent extent(filter);
    if (auto read = visit_profile(report, extent); !read) {
        return std::unexpected(std::move(read.error()));
    }
    Layout layout{.clock_hz = extent.clock_hz};
    layout.plot_width = static_cast<std::size_t>(width - LABEL_WIDTH - RIGHT_MARGIN);
    layout.origin = extent.earliest.value_or(0);
    layout.span = std::max<std::uint64_t>(extent.covered(), 1);
    layout.scale = static_cast<double>(layout.plot_width) / static_cast<double>(layout.span);

    output.write(svg_head(extent, layout, source, width));
    Rows rows(filter, output, layout);
    if (auto read = visit_profile(report, rows); !read) {
        return std::unexpected(std::move(read.error()));
    }
    output.write("</svg>\n");
    return SvgTimeline{.rows = extent.rows, .timeline_notes = timeline_notes(extent, true)};
}

}  // namespace vexa_cli
