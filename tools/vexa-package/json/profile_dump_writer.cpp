#include "json/profile_dump_writer.hpp"

#include "json/json_text.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;

// Four tiles without samples already overflow a line, and any sample overflows it anyway.
constexpr std::size_t MOST_TILES_ON_ONE_LINE = 3;

// Nesting depths of the document: the report, its tiles list, a tile, its samples list, a
// sample.
constexpr std::size_t TILE_DEPTH = 2;
constexpr std::size_t SAMPLE_DEPTH = 4;

JsonOutput empty_tile(std::uint32_t physical_tile) {
    return {{"physical_tile", physical_tile}, {"samples", JsonOutput::array()}};
}

}  // namespace

ProfileDumpWriter::ProfileDumpWriter(SampleFilter& filter, OutputFile& output, bool compact)
    : FilteredVisitor(filter), output_(output), compact_(compact) {}

void ProfileDumpWriter::on_header(const ProfileHeaderView& header) {
    clock_hz_ = header.clock_hz;
    held_ = {{"clock_hz", header.clock_hz}, {"tiles", JsonOutput::array()}};
    // One line holds no sample, so the compact form has nothing to wait for.
    if (compact_) {
        stream();
    }
}

void ProfileDumpWriter::stream() {
    streaming_ = true;
    text_.assign(compact_ ? "{\"clock_hz\":" : "{\n  \"clock_hz\": ");
    text_.append(std::to_string(clock_hz_));
    text_.append(compact_ ? ",\"tiles\":[" : ",\n  \"tiles\": [\n");
    for (const JsonOutput& tile : held_["tiles"]) {
        text_.append(first_tile_ ? "" : ",\n").append(2 * TILE_DEPTH, ' ');
        append_json_text(tile, TILE_DEPTH, text_);
        first_tile_ = false;
    }
    output_.write(text_);
    held_ = nullptr;
}

void ProfileDumpWriter::open_tile(bool empty) {
    text_.assign(first_tile_ ? "" : ",\n").append(2 * TILE_DEPTH, ' ');
    if (empty) {
        append_json_text(empty_tile(physical_tile_), TILE_DEPTH, text_);
    } else {
        text_.append("{\n      \"physical_tile\": ").append(std::to_string(physical_tile_));
        text_.append(",\n      \"samples\": [\n");
    }
    output_.write(text_);
    first_tile_ = false;
}

void ProfileDumpWriter::on_tile(const TileProfileView& tile) {
    physical_tile_ = tile.physical_tile;
    first_sample_ = true;
    if (compact_) {
        text_.assign(first_tile_ ? "" : ",").append("{\"physical_tile\":");
        text_.append(std::to_string(tile.physical_tile)).append(",\"samples\":[");
        output_.write(text_);
        first_tile_ = false;
    }
}

void ProfileDumpWriter::on_sample(const KeptSample& kept) {
    text_.clear();
    if (compact_) {
        text_.append(first_sample_ ? "" : ",");
        text_.append(sample_json_(kept.sample).dump(-1, ' ', false));
    } else {
        if (first_sample_) {
            if (!streaming_) {
                stream();
            }
            open_tile(false);
            text_.clear();
        }
        text_.append(first_sample_ ? "" : ",\n").append(2 * SAMPLE_DEPTH, ' ');
        append_json_text(sample_json_(kept.sample), SAMPLE_DEPTH, text_);
    }
    output_.write(text_);
    first_sample_ = false;
}

void ProfileDumpWriter::on_tile_end(const TileProfileView& /*tile*/) {
    if (compact_) {
        output_.write("]}");
    } else if (!first_sample_) {
        output_.write("\n      ]\n    }");
    } else if (streaming_ || held_["tiles"].size() == MOST_TILES_ON_ONE_LINE) {
        if (!streaming_) {
            stream();
        }
        open_tile(true);
    } else {
        held_["tiles"].push_back(empty_tile(physical_tile_));
    }
}

void ProfileDumpWriter::finish() {
    if (!streaming_) {
        output_.write(json_text(held_, false));
        return;
    }
    output_.write(compact_ ? "]}\n" : "\n  ]\n}\n");
}

}  // namespace vexa_cli
