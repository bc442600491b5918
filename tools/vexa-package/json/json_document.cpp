#include "json/json_document.hpp"

#include <cstddef>
#include <vector>

namespace vexa_cli {
namespace {

// Where the parser stopped, as line and column of the last character it looked at. The
// parser may have consumed the line break after a bad token; that break is not the place.
std::string location(std::string_view text, std::size_t position) {
    std::size_t index = std::min(position, text.size());
    if (index > 0) {
        --index;
    }
    while (index > 0 && (text[index] == '\n' || text[index] == '\r')) {
        --index;
    }
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        if (text[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(index - line_start + 1);
}

// The parser's own text without its exception name and its own position count.
std::string syntax_problem(const std::string& what) {
    const std::size_t column = what.find("column ");
    const std::size_t start = column == std::string::npos ? column : what.find(": ", column);
    return start == std::string::npos ? what : what.substr(start + 2);
}

// Builds the document from parser events, refusing a field that an object already has.
class StrictBuilder final : public nlohmann::json_sax<JsonValue> {
  public:
    explicit StrictBuilder(std::string_view text) : text_(text) {}

    bool null() override { return add(JsonValue(nullptr)); }
    bool boolean(bool value) override { return add(JsonValue(value)); }
    bool number_integer(number_integer_t value) override { return add(JsonValue(value)); }
    bool number_unsigned(number_unsigned_t value) override { return add(JsonValue(value)); }
    bool number_float(number_float_t value, const string_t&) override {
        return add(JsonValue(value));
    }
    bool string(string_t& value) override { return add(JsonValue(std::move(value))); }
    bool binary(binary_t& value) override { return add(JsonValue::binary(std::move(value))); }

    bool start_object(std::size_t) override {
        JsonValue* object = add_container(JsonValue::object());
        keys_.emplace_back();
        return object != nullptr;
    }
    bool key(string_t& name) override {
        if (open_.back()->contains(name)) {
            problem_ = path();
            problem_.append(problem_.empty() ? "" : ".").append(name).append(": field given twice");
            return false;
        }
        keys_.back() = std::move(name);
        return true;
    }
    bool end_object() override {
        open_.pop_back();
        keys_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override {
        JsonValue* array = add_container(JsonValue::array());
        keys_.emplace_back();
        return array != nullptr;
    }
    bool end_array() override {
        open_.pop_back();
        keys_.pop_back();
        return true;
    }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::json::exception& error) override {
        problem_ = location(text_, position) + ": " + syntax_problem(error.what());
        return false;
    }

    [[nodiscard]] const std::string& problem() const { return problem_; }
    [[nodiscard]] JsonValue take() { return std::move(root_); }

  private:
    // Places a value in the innermost open container. A container stays open only while
    // values are added to it, never to its parent, so the pointers in `open_` stay valid.
    JsonValue* place(JsonValue&& value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        JsonValue& parent = *open_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        JsonValue& slot = parent[keys_.back()];
        slot = std::move(value);
        return &slot;
    }
    bool add(JsonValue&& value) { return place(std::move(value)) != nullptr; }
    JsonValue* add_container(JsonValue&& value) {
        JsonValue* container = place(std::move(value));
        open_.push_back(container);
        return container;
    }

    // The path of the innermost open container, built only for a message.
    [[nodiscard]] std::string path() const {
        std::string text;
        for (std::size_t level = 1; level < open_.size(); ++level) {
            const JsonValue& parent = *open_[level - 1];
            if (parent.is_array()) {
                text.append("[").append(std::to_string(parent.size() - 1)).append("]");
            } else {
                text.append(text.empty() ? "" : ".").append(keys_[level - 1]);
            }
        }
        return text;
    }

    std::string_view text_;
    JsonValue root_;
    std::vector<JsonValue*> open_;
    // For each open container, the field being filled when it is an object.
    std::vector<std::string> keys_;
    std::string problem_;
};

}  // namespace

std::expected<JsonValue, std::string> parse_json_document(std::string_view text) {
    StrictBuilder builder(text);
    if (!JsonValue::sax_parse(text, &builder)) {
        return std::unexpected(builder.problem());
    }
    return builder.take();
}

}  // namespace vexa_cli
