#include "package/package_diff.hpp"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <initializer_list>
#include <map>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

#include "json/json_records.hpp"
#include "output/text_format.hpp"
#include "package/package_facts.hpp"
#include "vexa_package/record_fields.hpp"

namespace vexa_cli {
namespace {

using namespace vexa_package;
using Kind = PackageChange::Kind;

class Changes {
  public:
    void added(std::string where) {
        list_.push_back({.where = std::move(where), .kind = Kind::Added});
    }
    void removed(std::string where) {
        list_.push_back({.where = std::move(where), .kind = Kind::Removed});
    }
    template <typename Value>
    void field(const std::string& where, std::string_view name, const Value& old, const Value& now,
               bool delta = false) {
        if (!(old == now)) {
            list_.push_back({.where = where,
                             .kind = Kind::Changed,
                             .field = std::string(name),
                             .old_value = old,
                             .new_value = now,
                             .has_delta = delta});
        }
    }
    // Addresses and other words read best in hexadecimal.
    void hex_field(const std::string& where, std::string_view name, std::uint64_t old,
                   std::uint64_t now) {
        field(where, name, old, now);
        if (old != now) {
            list_.back().hex = true;
        }
    }
    std::vector<PackageChange> take() { return std::move(list_); }

  private:
    std::vector<PackageChange> list_;
};

// Pairs the records of two lists by key, each occurrence of a key with the same occurrence
// on the other side: `pair(old, new)` for matched records in old order, then `removed` for
// old records without a partner and `added` for new ones, each in stored order.
template <typename Record, typename Key, typename Pair, typename Removed, typename Added>
void match(const std::vector<Record>& old, const std::vector<Record>& now, Key key, Pair pair,
           Removed removed, Added added) {
    using KeyType = std::decay_t<std::invoke_result_t<Key, const Record&>>;
    std::map<KeyType, std::deque<std::size_t>> waiting;
    for (std::size_t i = 0; i < now.size(); ++i) {
        waiting[key(now[i])].push_back(i);
    }
    std::vector<bool> used(now.size(), false);
    std::vector<std::size_t> gone;
    for (std::size_t i = 0; i < old.size(); ++i) {
        auto found = waiting.find(key(old[i]));
        if (found == waiting.end() || found->second.empty()) {
            gone.push_back(i);
            continue;
        }
        const std::size_t partner = found->second.front();
        found->second.pop_front();
        used[partner] = true;
        pair(old[i], now[partner]);
    }
    for (const std::size_t i : gone) {
        removed(old[i]);
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (!used[i]) {
            added(now[i]);
        }
    }
}

// The plain fields of two records of one kind, walked through the record's field table:
// addresses, words and command codes compared in hexadecimal, sizes with their difference,
// texts and numbers as they are, byte data by its length and (when the lengths agree) by a
// hash of its content, named last. Lists of records are left to the caller, which matches
// their elements by key; so are the fields named in `elsewhere`.
template <ModelRecord Record>
void diff_fields(Changes& changes, const std::string& where, const Record& old, const Record& now,
                 std::initializer_list<std::string_view> elsewhere = {}) {
    std::optional<std::pair<std::string, std::string>> content;
    for_each_field<Record>([&](const auto& field) {
        using Value = typename std::remove_cvref_t<decltype(field)>::value_type;
        const Value& a = field.of(old);
        const Value& b = field.of(now);
        if (std::ranges::find(elsewhere, field.name) != elsewhere.end()) {
            return;
        }
        if constexpr (std::is_same_v<Value, Bytes>) {
            changes.field(where, std::string(field.name) + "_bytes", std::uint64_t{a.size()},
                          std::uint64_t{b.size()}, true);
            if (a.size() == b.size()) {
                content.emplace(content_hash(a), content_hash(b));
            }
        } else if constexpr (std::is_integral_v<Value>) {
            if (shown_in_hexadecimal(field.hint) || field.hint == FieldHint::Code) {
                changes.hex_field(where, field.name, a, b);
            } else {
                changes.field(where, field.name, std::uint64_t{a}, std::uint64_t{b},
                              field.hint == FieldHint::Size);
            }
        } else if constexpr (!ModelRecord<Value> && !ModelRecordList<Value>) {
            changes.field(where, field.name, a, b);
        }
    });
    if (content) {
        changes.field(where, "content", content->first, content->second);
    }
}

void diff_segments(Changes& changes, const std::string& tile, const TileImage& old,
                   const TileImage& now) {
    const auto where = [&tile](const Segment& segment) {
        return tile + " segment " + hex_number(segment.address);
    };
    match(
        old.segments, now.segments, [](const Segment& segment) { return segment.address; },
        [&](const Segment& a, const Segment& b) { diff_fields(changes, where(a), a, b); },
        [&](const Segment& segment) { changes.removed(where(segment)); },
        [&](const Segment& segment) { changes.added(where(segment)); });
}

void diff_tiles(Changes& changes, const Application& old, const Application& now) {
    const auto where = [](const TileImage& tile) {
        return "tile " + std::to_string(tile.physical_tile);
    };
    match(
        old.tiles, now.tiles, [](const TileImage& tile) { return tile.physical_tile; },
        [&](const TileImage& a, const TileImage& b) {
            const std::string name = where(a);
            diff_fields(changes, name, a, b);
            diff_segments(changes, name, a, b);
        },
        [&](const TileImage& tile) { changes.removed(where(tile)); },
        [&](const TileImage& tile) { changes.added(where(tile)); });
}

void diff_bindings(Changes& changes, std::string_view list, const std::vector<Binding>& old,
                   const std::vector<Binding>& now) {
    const auto where = [list](const Binding& binding) {
        return std::string(list) + " " + binding.name;
    };
    match(
        old, now, [](const Binding& binding) { return binding.name; },
        [&](const Binding& a, const Binding& b) {
            const std::string name = where(a);
            diff_fields(changes, name, a, b);
            const BindingFacts fa = binding_facts(a);
            const BindingFacts fb = binding_facts(b);
            changes.field(name, "slices", std::uint64_t{a.slices.size()},
                          std::uint64_t{b.slices.size()}, true);
            changes.field(name, "bytes", fa.total_bytes, fb.total_bytes, true);
            changes.field(name, "tiles", fa.tiles, fb.tiles);
            if (a.slices.size() == b.slices.size() && a.slices != b.slices) {
                changes.field(name, "placement", list_to_json(a.slices), list_to_json(b.slices));
            }
        },
        [&](const Binding& binding) { changes.removed(where(binding)); },
        [&](const Binding& binding) { changes.added(where(binding)); });
}

void diff_slices(Changes& changes, const std::string& name, std::string_view direction,
                 const std::vector<HostSlice>& old_slices,
                 const std::vector<std::uint32_t>& old_ends,
                 const std::vector<HostSlice>& new_slices,
                 const std::vector<std::uint32_t>& new_ends) {
    const SliceTotals a = slice_totals(old_slices, old_ends);
    const SliceTotals b = slice_totals(new_slices, new_ends);
    const std::string prefix(direction);
    changes.field(name, prefix + "_slices", std::uint64_t{a.slices}, std::uint64_t{b.slices}, true);
    changes.field(name, prefix + "_batches", std::uint64_t{a.batches}, std::uint64_t{b.batches},
                  true);
    changes.field(name, prefix + "_bytes", a.bytes, b.bytes, true);
    if (a.slices == b.slices && (old_slices != new_slices || old_ends != new_ends)) {
        JsonOutput before = list_to_json(old_slices);
        JsonOutput after = list_to_json(new_slices);
        changes.field(name, prefix + "s", before, after);
        changes.field(name, prefix + "_batch_ends", old_ends, new_ends);
    }
}

void diff_host_exchange(Changes& changes, const HostExchange& old, const HostExchange& now) {
    const std::string name = "host exchange";
    diff_fields(changes, name, old, now);
    const auto page_where = [](const HostPage& page) {
        return "host page " + std::to_string(page.index);
    };
    match(
        old.pages, now.pages, [](const HostPage& page) { return page.index; },
        [&](const HostPage& a, const HostPage& b) { diff_fields(changes, page_where(a), a, b); },
        [&](const HostPage& page) { changes.removed(page_where(page)); },
        [&](const HostPage& page) { changes.added(page_where(page)); });
    const auto call_where = [](const HostCall& call) { return "host call " + call.name; };
    match(
        old.calls, now.calls, [](const HostCall& call) { return call.name; },
        [&](const HostCall& a, const HostCall& b) {
            const std::string where = call_where(a);
            // Batch ends are compared with the slices they divide.
            diff_fields(changes, where, a, b, {"input_batch_ends", "output_batch_ends"});
            diff_slices(changes, where, "input", a.inputs, a.input_batch_ends, b.inputs,
                        b.input_batch_ends);
            diff_slices(changes, where, "output", a.outputs, a.output_batch_ends, b.outputs,
                        b.output_batch_ends);
        },
        [&](const HostCall& call) { changes.removed(call_where(call)); },
        [&](const HostCall& call) { changes.added(call_where(call)); });
}

void diff_rest(Changes& changes, const Application& old, const Application& now) {
    const auto entry_where = [](const EntryPoint& entry) { return "entry point " + entry.name; };
    match(
        old.entry_points, now.entry_points, [](const EntryPoint& entry) { return entry.name; },
        [&](const EntryPoint& a, const EntryPoint& b) {
            diff_fields(changes, entry_where(a), a, b);
        },
        [&](const EntryPoint& entry) { changes.removed(entry_where(entry)); },
        [&](const EntryPoint& entry) { changes.added(entry_where(entry)); });
    const auto write_where = [](const DeviceConfigWrite& write) {
        return "config write " + hex_number(write.offset);
    };
    match(
        old.device_config_writes, now.device_config_writes,
        [](const DeviceConfigWrite& write) { return write.offset; },
        [&](const DeviceConfigWrite& a, const DeviceConfigWrite& b) {
            diff_fields(changes, write_where(a), a, b);
        },
        [&](const DeviceConfigWrite& write) { changes.removed(write_where(write)); },
        [&](const DeviceConfigWrite& write) { changes.added(write_where(write)); });
}

}  // namespace

std::string content_hash(std::span<const std::uint8_t> bytes) {
    std::uint64_t hash = 0xcbf29ce484222325;
    for (const std::uint8_t byte : bytes) {
        hash = (hash ^ byte) * 0x100000001b3;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::vector<PackageChange> package_diff(const Application& old, const Application& now) {
    Changes changes;
    diff_fields(changes, "", old, now);
    diff_tiles(changes, old, now);
    diff_bindings(changes, "input", old.inputs, now.inputs);
    diff_bindings(changes, "output", old.outputs, now.outputs);
    diff_bindings(changes, "weight", old.weights, now.weights);
    diff_host_exchange(changes, old.host_exchange, now.host_exchange);
    diff_rest(changes, old, now);
    return changes.take();
}

}  // namespace vexa_cli
