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
    entry(tile.physical_tile, tracks_.insert(tile.physical_tile).second);
}

void TraceWriter::sample(const KeptSample& kept) {
    ++slices_;
    slice({.physical_tile = kept.physical_tile,
           .start = trace_nanoseconds(kept.start, clock_hz_),
           .end = trace_nanoseconds(kept.end, clock_hz_)},
          kept.sample);
}

}  // namespace vexa_cli
