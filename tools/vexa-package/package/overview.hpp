#pragma once

#include <string>
#include <string_view>

#include "json/json_document.hpp"
#include "vexa_package/application.hpp"

namespace vexa_cli {

/// The overview of a package as aligned text tables; `name` is the file it came from.
[[nodiscard]] std::string inspect_text(const vexa_package::Application& application,
                                       std::string_view name);

/// The same facts as JSON: the model without segment bytes, with the derived figures
/// (segment count, data and memory bytes, load base, image size, slice and batch counts,
/// binding totals and the tiles each binding touches) beside each record.
[[nodiscard]] JsonOutput inspect_json(const vexa_package::Application& application);

}  // namespace vexa_cli
