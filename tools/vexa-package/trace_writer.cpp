#include "trace_writer.hpp"

#include "json_document.hpp"

namespace vexa_cli {

TraceWriter::TraceWriter(std::string_view source) {
    // A file name need not be UTF-8; the JSON library's writer replaces what is not, and its
    // reader gives the text back.
    const std::string quoted = JsonOutput("vexa device (" + std::string(source) + ")")
                                   .dump(-1, ' ', false, JsonOutput::error_handler_t::replace);
    device_name_ = JsonValue::parse(quoted).get<std::string>();
}

void TraceWriter::header(const vexa_package::ProfileHeaderView& header) {
    clock_hz_ = header.clock_hz;
    begin();
}

void TraceWriter::tile(const vexa_package::TileProfileView& tile) {
    // Each tile entry is unwrapped on its own, also when a physical tile appears twice.
    physical_tile_ = tile.physical_tile;
    unwrapper_ = CycleUnwrapper{};
    entry(tile.physical_tile, tracks_.insert(tile.physical_tile).second);
}

void TraceWriter::sample(const vexa_package::CycleSampleView& sample) {
    const PlacedSample placed = place(unwrapper_, sample);
    ++slices_;
    slice({.physical_tile = physical_tile_,
           .start = trace_nanoseconds(placed.start, clock_hz_),
           .end = trace_nanoseconds(placed.end, clock_hz_)},
          sample);
}

}  // namespace vexa_cli
