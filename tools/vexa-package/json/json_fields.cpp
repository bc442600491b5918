#include "json/json_fields.hpp"

#include <charconv>
#include <cmath>

#include "json/byte_encoding.hpp"

namespace vexa_cli {
namespace {

constexpr std::size_t SHOWN_TEXT = 40;
constexpr double TWO_TO_64 = 18446744073709551616.0;

std::string expected_integer(unsigned bits) {
    return "expected an unsigned " + std::to_string(bits) + "-bit integer";
}

void report_not(JsonProblems& problems, const JsonPath& path, std::string_view expected,
                const JsonValue& value) {
    problems.report(path, std::string(expected) + ", got " + describe_value(value));
}

std::string field_list(std::span<const std::string_view> fields) {
    std::string text;
    for (const std::string_view field : fields) {
        text.append(text.empty() ? "" : ", ").append(field);
    }
    return text;
}

}  // namespace

std::string describe_value(const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::value_t::object:
            return "an object";
        case JsonValue::value_t::array:
            return "an array";
        case JsonValue::value_t::string: {
            const auto& text = value.get_ref<const std::string&>();
            if (text.size() > SHOWN_TEXT) {
                return "a string";
            }
            return JsonValue(text).dump(-1, ' ', true);
        }
        case JsonValue::value_t::number_float: {
            const double number = value.get<double>();
            // A whole number the parser could not hold as a 64-bit integer.
            if (std::isfinite(number) && number == std::floor(number) && number >= TWO_TO_64) {
                return "a number beyond 64 bits";
            }
            return value.dump();
        }
        default:
            return value.dump();
    }
}

std::string JsonPath::text() const {
    std::string out;
    append_to(out);
    return out.empty() ? "top level" : out;
}

void JsonPath::append_to(std::string& out) const {
    if (parent_ == nullptr) {
        return;
    }
    parent_->append_to(out);
    if (name_.empty()) {
        out.append("[").append(std::to_string(index_)).append("]");
    } else {
        out.append(out.empty() ? "" : ".").append(name_);
    }
}

void JsonProblems::report(const JsonPath& path, std::string_view what) {
    if (!first_) {
        first_ = path.text() + ": " + std::string(what);
    }
}

std::uint64_t read_unsigned(const JsonValue& value, const JsonPath& path, JsonProblems& problems,
                            unsigned bits) {
    if (problems.any()) {
        return 0;
    }
    const std::uint64_t largest = bits >= 64 ? UINT64_MAX : (std::uint64_t{1} << bits) - 1;
    std::uint64_t number = 0;
    bool read = false;
    if (value.is_number_unsigned()) {
        number = value.get<std::uint64_t>();
        read = true;
    } else if (value.is_number_integer()) {
        // Only "-0" is a signed integer that is not negative.
        read = value.get<std::int64_t>() == 0;
    } else if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            const char* end = text.data() + text.size();
            const auto parsed = std::from_chars(text.data() + 2, end, number, 16);
            read = parsed.ec == std::errc{} && parsed.ptr == end;
            if (parsed.ec == std::errc::result_out_of_range) {
                problems.report(path, expected_integer(bits) + ", got a number beyond 64 bits");
                return 0;
            }
        }
    }
    if (!read) {
        report_not(problems, path, expected_integer(bits), value);
        return 0;
    }
    if (number > largest) {
        problems.report(path, expected_integer(bits) + ", got " + std::to_string(number));
        return 0;
    }
    return number;
}

JsonObject::JsonObject(const JsonValue& value, const JsonPath& path, JsonProblems& problems,
                       std::span<const std::string_view> fields)
    : object_(&value), path_(path), problems_(problems) {
    if (problems_.any()) {
        return;
    }
    if (!value.is_object()) {
        report_not(problems_, path_, "expected an object with the fields " + field_list(fields),
                   value);
        return;
    }
    for (const auto& [name, field_value] : value.items()) {
        bool known = false;
        for (const std::string_view field : fields) {
            known = known || field == name;
        }
        if (!known) {
            problems_.report(path_.field(name),
                             "unknown field; expected the fields " + field_list(fields));
            return;
        }
    }
}

const JsonValue* JsonObject::find(std::string_view name, const JsonPath& path) {
    if (problems_.any()) {
        return nullptr;
    }
    const auto found = object_->find(name);
    if (found == object_->end()) {
        problems_.report(path, "missing field");
        return nullptr;
    }
    return &*found;
}

const JsonValue* JsonObject::find_array(std::string_view name, const JsonPath& path) {
    const JsonValue* value = find(name, path);
    if (value != nullptr && !value->is_array()) {
        report_not(problems_, path, "expected a list", *value);
        return nullptr;
    }
    return value;
}

std::uint32_t JsonObject::u32(std::string_view name) {
    const JsonPath path = path_.field(name);
    const JsonValue* value = find(name, path);
    return value == nullptr
               ? 0
               : static_cast<std::uint32_t>(read_unsigned(*value, path, problems_, 32));
}

std::uint64_t JsonObject::u64(std::string_view name) {
    const JsonPath path = path_.field(name);
    const JsonValue* value = find(name, path);
    return value == nullptr ? 0 : read_unsigned(*value, path, problems_, 64);
}

std::string JsonObject::text(std::string_view name) {
    const JsonPath path = path_.field(name);
    const JsonValue* value = find(name, path);
    if (value == nullptr) {
        return {};
    }
    if (!value->is_string()) {
        report_not(problems_, path, "expected a string", *value);
        return {};
    }
    return value->get<std::string>();
}

vexa_package::Bytes JsonObject::bytes(std::string_view name) {
    static constexpr std::string_view EXPECTED = R"(expected a base64 string or {"hex": "..."})";
    const JsonPath path = path_.field(name);
    const JsonValue* value = find(name, path);
    if (value == nullptr) {
        return {};
    }
    std::expected<vexa_package::Bytes, std::string> decoded;
    if (value->is_string()) {
        decoded = base64_decode(value->get_ref<const std::string&>());
    } else if (value->is_object() && value->size() == 1 && value->contains("hex") &&
               (*value)["hex"].is_string()) {
        decoded = hex_decode((*value)["hex"].get_ref<const std::string&>());
    } else {
        report_not(problems_, path, EXPECTED, *value);
        return {};
    }
    if (!decoded) {
        problems_.report(path, decoded.error());
        return {};
    }
    return std::move(*decoded);
}

std::vector<std::uint32_t> JsonObject::u32_list(std::string_view name) {
    std::vector<std::uint32_t> numbers;
    const JsonPath path = path_.field(name);
    const JsonValue* value = find_array(name, path);
    if (value != nullptr) {
        numbers.reserve(value->size());
        for (std::size_t i = 0; i < value->size() && !problems_.any(); ++i) {
            numbers.push_back(static_cast<std::uint32_t>(
                read_unsigned((*value)[i], path.index(i), problems_, 32)));
        }
    }
    return numbers;
}

}  // namespace vexa_cli
