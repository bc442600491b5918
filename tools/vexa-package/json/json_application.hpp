#pragma once

#include <expected>
#include <string>

#include "json/json_document.hpp"
#include "json/json_records.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

/// The whole application as JSON, every field under its model name, in declaration order.
/// Segment data is a base64 string, or {"hex": "..."} with `ByteSpelling::Hex`.
[[nodiscard]] JsonOutput application_to_json(const vexa_package::Application& application,
                                             ByteSpelling spelling);

/// The application a JSON document describes. Every field is required and no other field is
/// allowed, so nothing is silently defaulted or dropped; the error names the first wrong,
/// missing or unknown field by its path ("tiles[2].segments[0].address: expected an
/// unsigned 32-bit integer, got -1"). The application is not validated here.
[[nodiscard]] std::expected<vexa_package::Application, std::string> application_from_json(
    const JsonValue& document);

}  // namespace vexa_cli
