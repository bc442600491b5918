#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "json/byte_encoding.hpp"
#include "json/json_document.hpp"
#include "vexa_package/record_fields.hpp"

namespace vexa_cli {

/// How byte data is spelled in JSON.
enum class ByteSpelling { Base64, Hex };

/// A list of records of the package or profile model.
template <typename T>
concept ModelRecordList =
    requires { typename T::value_type; } && vexa_package::ModelRecord<typename T::value_type>;

/// A list of records, each converted by `convert`.
template <typename Record, typename Convert>
[[nodiscard]] JsonOutput list_to_json(const std::vector<Record>& records, Convert convert) {
    JsonOutput list = JsonOutput::array();
    for (const Record& record : records) {
        list.push_back(convert(record));
    }
    return list;
}

/// Any record of the package or profile model as JSON, walked through its field table: every
/// field under its model name in declaration order, numbers as JSON numbers, texts as
/// strings, a step kind by its name, nested records and lists as objects and arrays. With a
/// spelling, byte data is a base64 string or {"hex": "..."}; without one it is left out and
/// its length given as "NAME_bytes" in its place. dump writes records as they are; inspect
/// adds its derived figures beside them.
template <vexa_package::ModelRecord Record>
[[nodiscard]] JsonOutput record_to_json(const Record& record,
                                        std::optional<ByteSpelling> spelling = std::nullopt) {
    JsonOutput json = JsonOutput::object();
    vexa_package::for_each_field(record, [&](const auto& field, const auto& value) {
        using Value = std::remove_cvref_t<decltype(value)>;
        const std::string name(field.name);
        if constexpr (std::is_same_v<Value, vexa_package::Bytes>) {
            if (!spelling) {
                json[name + "_bytes"] = value.size();
            } else if (*spelling == ByteSpelling::Hex) {
                json[name] = JsonOutput{{"hex", hex_encode(value)}};
            } else {
                json[name] = base64_encode(value);
            }
        } else if constexpr (std::is_enum_v<Value>) {
            json[name] = to_string(value);
        } else if constexpr (vexa_package::ModelRecord<Value>) {
            json[name] = record_to_json(value, spelling);
        } else if constexpr (std::is_same_v<Value, std::vector<std::uint32_t>>) {
            json[name] = JsonOutput(value);
        } else if constexpr (ModelRecordList<Value>) {
            json[name] = list_to_json(value, [spelling](const auto& element) {
                return record_to_json(element, spelling);
            });
        } else {
            json[name] = value;
        }
    });
    return json;
}

/// The field names of a model, its root's first, each nested record's where it is first met
/// (depth first), each name once: "clock_hz, tiles, physical_tile, samples, step, ...".
template <vexa_package::ModelRecord Root>
[[nodiscard]] std::string model_field_names() {
    std::vector<std::string_view> names;
    const auto walk = [&names](const auto& self, auto record) -> void {
        using Record = typename decltype(record)::type;
        vexa_package::for_each_field<Record>([&](const auto& field) {
            if (std::find(names.begin(), names.end(), field.name) == names.end()) {
                names.push_back(field.name);
            }
            using Value = typename std::remove_cvref_t<decltype(field)>::value_type;
            if constexpr (vexa_package::ModelRecord<Value>) {
                self(self, std::type_identity<Value>{});
            } else if constexpr (ModelRecordList<Value>) {
                self(self, std::type_identity<typename Value::value_type>{});
            }
        });
    };
    walk(walk, std::type_identity<Root>{});
    std::string text;
    for (const std::string_view name : names) {
        text.append(text.empty() ? "" : ", ").append(name);
    }
    return text;
}

/// A list of model records, each as `record_to_json` writes it without byte data.
template <vexa_package::ModelRecord Record>
[[nodiscard]] JsonOutput list_to_json(const std::vector<Record>& records) {
    return list_to_json(records, [](const Record& record) { return record_to_json(record); });
}

}  // namespace vexa_cli
