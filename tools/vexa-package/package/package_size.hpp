#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "output/table.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

/// The rows `size` lists.
enum class SizeBy { Tile, Segment, Binding };

/// Where the bytes of a package go.
struct PackageSize {
    std::uint64_t file_bytes = 0;
    /// Segment data: the only bulk content a package stores.
    std::uint64_t payload_bytes = 0;
    /// Everything else: framing, pointers, header, names and the tables of records.
    std::uint64_t overhead_bytes = 0;
    /// What the segments occupy in tile memory once loaded.
    std::uint64_t memory_bytes = 0;
    std::size_t row_count = 0;
    /// Segments by their flags word: flags, segments, data_bytes, memory_bytes.
    Table flags;
    /// Inputs, outputs and weights: list, bindings, slices, bytes.
    Table binding_lists;
    /// pages, page_bytes, calls, input_slices, input_bytes, output_slices, output_bytes.
    Table host_exchange;
    /// The chosen breakdown, largest first, at most the limit.
    Table rows;
};

/// The columns `size --csv` writes for the rows by `by`, comma separated.
[[nodiscard]] std::string size_csv_columns(SizeBy by);

/// `limit` 0 keeps every row; `row_count` is the number before the limit.
[[nodiscard]] PackageSize package_size(const vexa_package::Application& application,
                                       std::uint64_t file_bytes, SizeBy by, std::size_t limit);

}  // namespace vexa_cli
