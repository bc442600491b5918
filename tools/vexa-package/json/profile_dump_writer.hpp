#pragma once

#include <cstdint>
#include <string>

#include "io/file_io.hpp"
#include "json/json_document.hpp"
#include "json/json_profile.hpp"
#include "profile/sample_filter.hpp"

namespace vexa_cli {

/// Writes the lossless JSON of the report of the samples that pass the filters, sample by
/// sample while it is read, laid out exactly as `json_text` lays out that whole document
/// (`compact`: on one line). Only a report without samples and with a few tiles can fit on one
/// line; such a beginning is held back until it is clear whether it does, everything else is
/// written as it comes. A tile is opened at its first kept sample, since whether it has any
/// decides its layout.
class ProfileDumpWriter final : public FilteredVisitor {
  public:
    ProfileDumpWriter(SampleFilter& filter, OutputFile& output, bool compact);

    /// Ends the document once the whole report was read.
    void finish();

  private:
    void on_header(const vexa_package::ProfileHeaderView& header) override;
    void on_tile(const vexa_package::TileProfileView& tile) override;
    void on_sample(const KeptSample& kept) override;
    void on_tile_end(const vexa_package::TileProfileView& tile) override;

    // Writes the document's beginning and the tiles held back; from then on tiles are written
    // as they come.
    void stream();
    // The text before a tile's first sample, or all of a tile without samples.
    void open_tile(bool empty);

    OutputFile& output_;
    bool compact_;
    std::uint64_t clock_hz_ = 0;
    // The report until it is streamed: its clock and its tiles, all without samples.
    JsonOutput held_;
    bool streaming_ = false;
    bool first_tile_ = true;
    bool first_sample_ = true;
    std::uint32_t physical_tile_ = 0;
    std::string text_;
    SampleJson sample_json_;
};

}  // namespace vexa_cli
