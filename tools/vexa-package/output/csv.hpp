#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vexa_cli {

/// Appends one field as RFC 4180 has it: quoted when it holds a comma, a quote, a carriage
/// return or a line feed, with quotes doubled.
void append_csv_field(std::string& out, std::string_view field);

/// Appends the fields separated by commas, ended by CRLF as RFC 4180 asks.
void append_csv_row(std::string& out, std::span<const std::string> fields);

}  // namespace vexa_cli
