#pragma once

#include <cstdint>
#include <string>

#include "file_io.hpp"
#include "json_document.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_cli {

/// Writes the lossless JSON of a report sample by sample while it is read, laid out exactly as
/// `json_text` lays out the whole document (`compact`: on one line). Only a report without
/// samples and with a few tiles can fit on one line; such a beginning is held back until it is
/// clear whether it does, everything else is written as it comes.
class ProfileDumpWriter final : public vexa_package::ProfileVisitor {
  public:
    ProfileDumpWriter(OutputFile& output, bool compact);

    void header(const vexa_package::ProfileHeaderView& header) override;
    void tile(const vexa_package::TileProfileView& tile) override;
    void sample(const vexa_package::CycleSampleView& sample) override;
    void tile_end(const vexa_package::TileProfileView& tile) override;

    /// Ends the document once the whole report was read.
    void finish();

  private:
    // Writes the document's beginning and the tiles held back; from then on tiles are written
    // as they come.
    void stream();

    OutputFile& output_;
    bool compact_;
    std::uint64_t clock_hz_ = 0;
    // The report until it is streamed: its clock and its tiles, all without samples.
    JsonOutput held_;
    bool streaming_ = false;
    bool first_tile_ = true;
    bool first_sample_ = true;
    std::string text_;
};

}  // namespace vexa_cli
