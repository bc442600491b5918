#include "trace/trace_json.hpp"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <utility>

namespace vexa_cli {
namespace {

using namespace vexa_package;

// All tiles are threads of one process, so a viewer shows them as tracks side by side.
constexpr std::string_view PROCESS_ID = "1";

void append_number(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

// Nanoseconds as microseconds with at most three decimals, exactly.
void append_microseconds(std::string& out, std::uint64_t nanoseconds) {
    append_number(out, nanoseconds / 1000);
    std::uint64_t fraction = nanoseconds % 1000;
    if (fraction == 0) {
        return;
    }
    char decimals[4] = {'.', static_cast<char>('0' + fraction / 100),
                        static_cast<char>('0' + fraction / 10 % 10),
                        static_cast<char>('0' + fraction % 10)};
    std::size_t length = 4;
    for (; fraction % 10 == 0; fraction /= 10) {
        --length;
    }
    out.append(decimals, length);
}

// The texts of a report are valid UTF-8, so only quotes, backslashes and control characters
// need escapes.
void append_string(std::string& out, std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto character = static_cast<unsigned char>(text[i]);
        if (character >= 0x20 && character != '"' && character != '\\') {
            continue;
        }
        out.append(text.substr(plain, i - plain));
        plain = i + 1;
        switch (character) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            default:
                out.append("\\u00");
                out += HEX[character >> 4];
                out += HEX[character & 0xf];
        }
    }
    out.append(text.substr(plain));
    out += '"';
}

// The shortest text that reads back as the same double.
void append_double(std::string& out, double value) {
    char digits[32];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

void append_field(std::string& out, std::string_view key, std::uint64_t value) {
    out.append(",\"").append(key).append("\":");
    append_number(out, value);
}

}  // namespace

JsonTraceWriter::JsonTraceWriter(OutputFile& output, std::string_view source, TracePlan plan)
    : TraceWriter(source, std::move(plan)), output_(output) {}

void JsonTraceWriter::event() {
    output_.write(first_event_ ? "\n" : ",\n");
    output_.write(line_);
    first_event_ = false;
}

void JsonTraceWriter::begin() {
    output_.write("{\"traceEvents\": [");
    line_.assign("{\"name\":\"process_name\",\"ph\":\"M\",\"pid\":").append(PROCESS_ID);
    line_.append(",\"args\":{\"name\":");
    append_string(line_, device_name());
    line_.append("}}");
    event();
}

void JsonTraceWriter::entry(std::uint32_t physical_tile, bool new_track) {
    if (!new_track) {
        return;
    }
    line_.assign("{\"name\":\"thread_name\",\"ph\":\"M\",\"pid\":").append(PROCESS_ID);
    append_field(line_, "tid", physical_tile);
    line_.append(",\"args\":{\"name\":\"tile ");
    append_number(line_, physical_tile);
    line_.append("\"}}");
    event();
    line_.assign("{\"name\":\"thread_sort_index\",\"ph\":\"M\",\"pid\":").append(PROCESS_ID);
    append_field(line_, "tid", physical_tile);
    line_.append(",\"args\":{\"sort_index\":");
    append_number(line_, physical_tile);
    line_.append("}}");
    event();
}

void JsonTraceWriter::slice(const Slice& slice, const CycleSampleView& sample) {
    line_.assign("{\"name\":");
    append_string(line_, sample_name(sample));
    line_.append(",\"cat\":\"").append(to_string(sample.kind)).append("\",\"ph\":\"X\",\"ts\":");
    append_microseconds(line_, slice.start);
    line_.append(",\"dur\":");
    append_microseconds(line_, slice.end - slice.start);
    line_.append(",\"pid\":").append(PROCESS_ID);
    append_field(line_, "tid", slice.physical_tile);
    line_.append(",\"args\":{\"kernel\":");
    append_string(line_, sample.kernel);
    line_.append(",\"operation\":");
    append_string(line_, sample.operation);
    append_field(line_, "local_index", sample.local_index);
    append_field(line_, "phase", sample.phase);
    append_field(line_, "epoch", sample.epoch);
    append_field(line_, "start_cycle", sample.start_cycle);
    append_field(line_, "end_cycle", sample.end_cycle);
    append_field(line_, "cycles", sample_cycles(sample));
    line_.append(",\"metadata\":");
    append_metadata(sample);
    line_.append("}}");
    event();
}

// Metadata names may repeat; a repeated name collects its values in a list, placed where the
// name first appears. Grouping by sorting keeps a step with many entries cheap.
void JsonTraceWriter::append_metadata(const CycleSampleView& sample) {
    const auto metadata = sample.metadata;
    by_name_.resize(metadata.size());
    std::iota(by_name_.begin(), by_name_.end(), std::size_t{0});
    // By name, and in stored order within a name.
    std::ranges::sort(by_name_, [&](std::size_t a, std::size_t b) {
        return std::pair(metadata[a].name, a) < std::pair(metadata[b].name, b);
    });
    // Each group starts at a position of `by_name_`; its first entry is the first stored.
    groups_.clear();
    for (std::size_t i = 0; i < by_name_.size(); ++i) {
        if (i == 0 || metadata[by_name_[i]].name != metadata[by_name_[i - 1]].name) {
            groups_.push_back(i);
        }
    }
    std::ranges::sort(groups_, {}, [&](std::size_t group) { return by_name_[group]; });

    line_ += '{';
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        std::size_t position = groups_[g];
        const std::string_view name = metadata[by_name_[position]].name;
        const bool repeated =
            position + 1 < by_name_.size() && metadata[by_name_[position + 1]].name == name;
        line_.append(g == 0 ? "" : ",");
        append_string(line_, name);
        line_.append(repeated ? ":[" : ":");
        for (; position < by_name_.size() && metadata[by_name_[position]].name == name;
             ++position) {
            line_.append(position == groups_[g] ? "" : ",");
            append_string(line_, metadata[by_name_[position]].value);
        }
        line_.append(repeated ? "]" : "");
    }
    line_ += '}';
}

void JsonTraceWriter::counter_point(std::uint32_t physical_tile, std::uint64_t time,
                                    std::span<const CounterValue> values) {
    line_.assign("{\"name\":\"tile ");
    append_number(line_, physical_tile);
    line_.append(" busy\",\"ph\":\"C\",\"ts\":");
    append_microseconds(line_, time);
    line_.append(",\"pid\":").append(PROCESS_ID).append(",\"args\":{");
    for (const CounterValue& value : values) {
        line_.append(&value == values.data() ? "\"" : ",\"").append(to_string(value.kind));
        line_.append("\":");
        append_double(line_, value.percent);
    }
    line_.append("}}");
    event();
}

void JsonTraceWriter::end() {
    line_.assign("\n],\n\"displayTimeUnit\": \"ns\",\n\"otherData\": {\"clock_hz\":");
    append_number(line_, clock_hz());
    line_.append(",\"time_base\":");
    append_string(line_, clock_hz() == 0
                             ? "clock unknown (0 Hz): one cycle is shown as one nanosecond"
                             : "cycles on the device timeline as nanoseconds, floor(cycles * "
                               "1e9 / clock_hz), shown in microseconds");
    if (const auto cut = this->cut(); cut) {
        append_field(line_, "slices_before_cycle", *cut);
        append_field(line_, "samples_without_slice", cut_off());
    }
    line_.append("}}\n");
    output_.write(line_);
}

}  // namespace vexa_cli
