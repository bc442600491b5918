#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "json/json_fields.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/record_fields.hpp"

namespace vexa_cli {

/// A step kind from its name ("Exchange", "Compute", "Synchronization", "Idle").
[[nodiscard]] vexa_package::ProfileStepKind kind_from_json(const JsonValue& value,
                                                           const JsonPath& path,
                                                           JsonProblems& problems);

/// Any record of the package or profile model from a JSON object, walked through its field
/// table: the object must have exactly the record's fields, read in declaration order, so
/// the first problem reported is the first field in that order that is wrong or missing.
/// Each field is read as `record_to_json` writes it (byte data also as {"hex": "..."}).
template <vexa_package::ModelRecord Record>
[[nodiscard]] Record record_from_json(const JsonValue& value, const JsonPath& path,
                                      JsonProblems& problems) {
    JsonObject object(value, path, problems, vexa_package::field_names<Record>);
    Record record{};
    vexa_package::for_each_field(record, [&](const auto& field, auto& member) {
        using Value = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Value, std::uint32_t>) {
            member = object.u32(field.name);
        } else if constexpr (std::is_same_v<Value, std::uint64_t>) {
            member = object.u64(field.name);
        } else if constexpr (std::is_same_v<Value, std::string>) {
            member = object.text(field.name);
        } else if constexpr (std::is_same_v<Value, vexa_package::Bytes>) {
            member = object.bytes(field.name);
        } else if constexpr (std::is_same_v<Value, std::vector<std::uint32_t>>) {
            member = object.u32_list(field.name);
        } else if constexpr (std::is_same_v<Value, vexa_package::ProfileStepKind>) {
            member = object.record(field.name, kind_from_json);
        } else if constexpr (vexa_package::ModelRecord<Value>) {
            member = object.record(field.name, record_from_json<Value>);
        } else {
            member = object.list(field.name, record_from_json<typename Value::value_type>);
        }
    });
    return record;
}

/// A whole model (`Application` or `ProfileReport`) from a JSON document; the error names the
/// first wrong, missing or unknown field by its path.
template <vexa_package::ModelRecord Root>
[[nodiscard]] std::expected<Root, std::string> model_from_json(const JsonValue& document) {
    JsonProblems problems;
    const JsonPath root;
    Root model = record_from_json<Root>(document, root, problems);
    if (problems.any()) {
        return std::unexpected(problems.first());
    }
    return model;
}

}  // namespace vexa_cli
