// A read takes at most 16 times its input plus 1 MiB beyond the input and its one aligning
// copy. Lists of elements that occupy no words cost a message nothing but become a record
// each: a message holding one such list, as long as the readers let it be, is what comes
// closest to the bound.
#include <gtest/gtest.h>

#include <kj/io.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../fuzz/hostile_messages.hpp"
#include "support/allocation_counter.hpp"
#include "support/child_measurement.hpp"
#include "support/wire_bytes.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/profile.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package {
namespace {

namespace hostile = fuzzing::hostile;
namespace wb = testing::wire_bytes;
using hostile::Schema;

constexpr std::size_t KIB = std::size_t{1} << 10;
constexpr std::size_t MIB = std::size_t{1} << 20;

// How both readers refuse a message that would take more than the bound.
constexpr std::string_view OVER_THE_LIMIT =
    "Capnp(Exceeded message traversal limit.  See capnp::ReaderOptions.)";

std::size_t bound(std::size_t input_bytes) {
    return 16 * input_bytes + MIB;
}

// The root's tiles pointer in the messages that `hostile::add_path` lays out: after the root
// pointer and the root's two data words.
constexpr std::size_t ROOT_TILES_WORD = 1 + 2 + 2;

// `field` holds `count` elements that occupy no words, in a message of `input_bytes` bytes
// made up with words that no pointer reaches. A package gets one valid tile unless the claim
// is on the way to the tiles, so that validation goes as far as the claim lets it.
Bytes zero_sized_claim(const hostile::Field& field, std::uint32_t count, std::size_t input_bytes) {
    hostile::Segment segment;
    const std::size_t at = hostile::add_path(segment, field);
    const std::size_t tag = segment.add(1);
    segment.list_pointer(at, tag, wb::Composite, 0);
    segment.words[tag] = wb::composite_tag(count, 0, 0);
    if (field.schema == Schema::Application && segment.words[ROOT_TILES_WORD] == 0) {
        const std::size_t tile = segment.composite_list(ROOT_TILES_WORD, 1, 2, 1);
        const std::size_t stored = segment.composite_list(tile + 2, 1, 2, 1);
        segment.words[stored] = wb::pack32(TILE_MEMORY_BASE, 8);
    }
    // The segment table of one segment takes one word.
    const std::size_t words = input_bytes / 8 - 1;
    if (segment.words.size() < words) {
        segment.add(words - segment.words.size());
    }
    return wb::frame(segment.words);
}

template <typename Result>
std::string outcome_of(const Result& result) {
    return result ? "success" : to_string(result.error());
}

// Takes what it is handed and keeps nothing: what a visit costs is then the walk's own.
class Discard final : public ProfileVisitor {
  public:
    void sample(const CycleSampleView& /*sample*/) override {}
};

// The ways of handing a reader its input: a buffer read in place, a buffer that is copied
// once to align it, a stream that is copied once, and for reports a visit of the buffer.
enum class Form { Buffer, Misaligned, Stream, Visit };
constexpr const char* FORM_NAMES[] = {"buffer", "misaligned", "stream", "visit"};

// The input in one form, made before anything is measured.
class Input {
  public:
    Input(const Bytes& bytes, Form form) : form_(form), shifted_(bytes.size() + 1) {
        std::memcpy(shifted_.data() + 1, bytes.data(), bytes.size());
        bytes_ = form == Form::Misaligned ? std::span<const std::uint8_t>(shifted_).subspan(1)
                                          : std::span<const std::uint8_t>(bytes);
    }

    [[nodiscard]] std::string read(Schema schema) const {
        if (form_ == Form::Stream) {
            kj::ArrayInputStream stream(kj::arrayPtr(bytes_.data(), bytes_.size()));
            return schema == Schema::Application ? outcome_of(Application::read(stream))
                                                 : outcome_of(ProfileReport::read(stream));
        }
        if (form_ == Form::Visit) {
            Discard visitor;
            return outcome_of(visit_profile(bytes_, visitor));
        }
        return schema == Schema::Application ? outcome_of(Application::read(bytes_))
                                             : outcome_of(ProfileReport::read(bytes_));
    }

    // What the bound allows this form: a copy of the input where the form needs one.
    [[nodiscard]] std::size_t allowed() const {
        const bool copied = form_ == Form::Misaligned || form_ == Form::Stream;
        return bound(bytes_.size()) + (copied ? bytes_.size() : 0);
    }

  private:
    Form form_;
    std::vector<std::uint8_t> shifted_;
    std::span<const std::uint8_t> bytes_;
};

std::string read_buffer(Schema schema, const Bytes& bytes) {
    return Input(bytes, Form::Buffer).read(schema);
}

// The largest count of a zero-sized claim in `field` that the readers do not refuse as over
// the limit, in a message of `input_bytes`; refusal grows with the count.
std::uint32_t largest_admitted(const hostile::Field& field, std::size_t input_bytes) {
    std::uint32_t admitted = 0;
    std::uint32_t refused = hostile::MAX_LIST_ELEMENTS;
    while (refused - admitted > 1) {
        const std::uint32_t middle = admitted + (refused - admitted) / 2;
        const Bytes bytes = zero_sized_claim(field, middle, input_bytes);
        (read_buffer(field.schema, bytes) == OVER_THE_LIMIT ? refused : admitted) = middle;
    }
    return admitted;
}

std::string ratio(std::size_t bytes, std::size_t input_bytes) {
    const auto tenths = (bytes * 10 + input_bytes / 2) / input_bytes;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// The lists of the table that the bound was first measured with.
constexpr std::pair<std::string_view, std::string_view> MEASURED_SHAPES[] = {
    {"TileProfile.samples", "profile: samples of one tile"},
    {"ProfileStep.metadata", "profile: metadata of one step"},
    {"Application.inputs", "application: input bindings"},
    {"Application.tiles", "application: tiles"},
    {"TileImage.segments", "application: segments of one tile"},
    {"Profile.tiles", "profile: tiles"},
};

// A claim in each list field of both schemas, as long as the readers take it, one element
// longer, and as long as the format allows, each read in a child process: the longest claim
// taken is read in full (and then refused by validation, for packages); the longer ones are
// refused with the traversal limit's error before their records are made. The lists of the
// measured table go through every form of input at three sizes, the others through a buffer
// of 64 KiB. For the measured lists, a test property gives the peak of the longest claim
// taken, read from a buffer, and the child's resident growth for it, as ratios to the input.
TEST(ReadMemoryBound, ZeroSizedClaimsAtTheLimitInAChildProcess) {
    for (const hostile::Field& field : hostile::list_fields()) {
        const auto* measured = std::ranges::find(
            MEASURED_SHAPES, field.name, &std::pair<std::string_view, std::string_view>::first);
        const bool in_table = measured != std::end(MEASURED_SHAPES);
        std::vector<Form> forms = {Form::Buffer};
        if (in_table) {
            forms = {Form::Buffer, Form::Misaligned, Form::Stream};
            if (field.schema == Schema::Profile) {
                forms.push_back(Form::Visit);
            }
        }
        const auto sizes = in_table ? std::vector<std::size_t>{16 * KIB, 128 * KIB, MIB}
                                    : std::vector<std::size_t>{64 * KIB};
        for (const std::size_t input_bytes : sizes) {
            const std::string name = std::string(in_table ? measured->second : field.name) + ", " +
                                     std::to_string(input_bytes / KIB) + " KiB";
            SCOPED_TRACE(name);
            const std::uint32_t largest = largest_admitted(field, input_bytes);
            ASSERT_EQ(zero_sized_claim(field, largest, input_bytes).size(), input_bytes);
            for (const std::uint32_t count : {largest, largest + 1, hostile::MAX_LIST_ELEMENTS}) {
                const Bytes bytes = zero_sized_claim(field, count, input_bytes);
                for (const Form form : forms) {
                    SCOPED_TRACE(std::to_string(count) + " elements, " +
                                 FORM_NAMES[static_cast<int>(form)]);
                    const Input input(bytes, form);
                    const auto child =
                        testing::measure_in_child([&] { return input.read(field.schema); });
                    ASSERT_TRUE(child.has_value()) << child.error();
                    EXPECT_LE(child->peak_bytes, input.allowed());
                    EXPECT_EQ(child->outcome == OVER_THE_LIMIT, count != largest) << child->outcome;
                    if (in_table && count == largest && form == Form::Buffer) {
                        ::testing::Test::RecordProperty(
                            name, "peak " + ratio(child->peak_bytes, input_bytes) + "x, resident " +
                                      ratio(child->resident_growth, input_bytes) + "x, " +
                                      std::to_string(largest) + " elements");
                    }
                }
            }
        }
    }
}

// Reads `model`'s bytes from a buffer, expects it back unchanged and within the bound, and
// returns the peak as a multiple of the input.
template <typename Model>
double expect_read_back(const Model& model) {
    Bytes bytes;
    EXPECT_TRUE(model.write(bytes).has_value());
    const testing::AllocationCounter counter;
    const auto read = Model::read(bytes);
    EXPECT_TRUE(read.has_value()) << to_string(read.error());
    if (read) {
        EXPECT_TRUE(*read == model);
    }
    EXPECT_LE(counter.peak_bytes(), bound(bytes.size()));
    return static_cast<double>(counter.peak_bytes()) / static_cast<double>(bytes.size());
}

// A package of the minimal tile and `count` smallest elements of one list.
template <typename Fill>
Application with_smallest(std::uint32_t count, Fill fill) {
    Application application;
    application.tiles = {TileImage{
        .segments = {Segment{.address = TILE_MEMORY_BASE, .memory_size = 8, .data = {1}}}}};
    for (std::uint32_t i = 0; i < count; ++i) {
        fill(application, i);
    }
    return application;
}

// Valid messages as today's writers give them, whose records are largest beside their bytes
// (elements with every list and text empty) and whose texts and data are long: the charges
// of the bound refuse none of them.
TEST(ReadMemoryBound, ValidMessagesAtTheirSmallestAndLargestElementsRead) {
    constexpr std::uint32_t count = 40000;
    double worst = 0;
    const auto expect = [&worst](const auto& model) {
        worst = std::max(worst, expect_read_back(model));
    };

    expect(with_smallest(count, [](Application& a, std::uint32_t i) {
        a.tiles.push_back(TileImage{.physical_tile = i + 1, .segments = {}});
    }));
    expect(with_smallest(count, [](Application& a, std::uint32_t) {
        a.tiles[0].segments.push_back(Segment{.address = TILE_MEMORY_END, .data = {}});
    }));
    expect(with_smallest(count, [](Application& a, std::uint32_t i) {
        a.inputs.push_back(
            Binding{.name = std::to_string(i), .dtype = {}, .shape = {}, .slices = {}});
    }));
    expect(with_smallest(count, [](Application& a, std::uint32_t i) {
        a.weights.push_back(
            Binding{.name = std::to_string(i), .dtype = {}, .shape = {i}, .slices = {}});
        a.weights.back().slices.push_back(RegionSlice{.tile_address = TILE_MEMORY_BASE});
    }));
    expect(with_smallest(count, [](Application& a, std::uint32_t i) {
        a.host_exchange.pages.push_back(HostPage{.index = i});
        a.host_exchange.attach_order.push_back(i);
    }));
    expect(with_smallest(count, [](Application& a, std::uint32_t i) {
        if (i == 0) {
            a.host_exchange.pages.push_back(HostPage{.size = 4});
        }
        a.host_exchange.calls.push_back(HostCall{});
    }));
    expect(with_smallest(1, [](Application& a, std::uint32_t) {
        a.host_exchange.pages.push_back(HostPage{.size = 4});
        a.host_exchange.calls.push_back(HostCall{});
        HostCall& call = a.host_exchange.calls.back();
        call.inputs.assign(count, HostSlice{});
        call.outputs.assign(count, HostSlice{});
        call.input_batch_ends = {count};
        call.output_batch_ends = {count};
    }));
    expect(with_smallest(
        count, [](Application& a, std::uint32_t) { a.entry_points.push_back(EntryPoint{}); }));
    expect(with_smallest(count, [](Application& a, std::uint32_t i) {
        a.device_config_writes.push_back(DeviceConfigWrite{.offset = 4 * i});
    }));

    expect(ProfileReport{});
    expect(ProfileReport{.tiles = std::vector<TileProfile>(count)});
    expect(ProfileReport{.tiles = {TileProfile{.samples = std::vector<CycleSample>(count)}}});
    ProfileReport metadata{.tiles = {TileProfile{.samples = {CycleSample{}}}}};
    metadata.tiles[0].samples[0].step.metadata.resize(count);
    expect(metadata);
    ::testing::Test::RecordProperty("smallest elements, worst peak", std::to_string(worst));

    // Long texts and data take about their own size.
    Application large = with_smallest(64, [](Application& a, std::uint32_t i) {
        a.inputs.push_back(Binding{.name = std::string(4096, 'a') + std::to_string(i),
                                   .dtype = std::string(4096, 'd'),
                                   .shape = {},
                                   .slices = {}});
        a.entry_points.push_back(EntryPoint{.name = std::string(8192, 'e')});
    });
    large.compiler_version.assign(MIB, 'c');
    large.tiles[0].segments[0].memory_size = 0x80000;
    large.tiles[0].segments[0].data.assign(0x80000, 0xd5);
    expect(large);
    ProfileReport long_texts{.tiles = {TileProfile{}}};
    for (std::uint32_t i = 0; i < 256; ++i) {
        CycleSample sample{.step = {.operation = std::string(2048, 'o'),
                                    .kernel = std::string(2048, 'k'),
                                    .metadata = {}}};
        sample.step.metadata.assign(
            16, ProfileMetadata{.name = std::string(256, 'n'), .value = std::string(1024, 'v')});
        long_texts.tiles[0].samples.push_back(std::move(sample));
    }
    expect(long_texts);
    ::testing::Test::RecordProperty("all, worst peak", std::to_string(worst));
}

}  // namespace
}  // namespace vexa_package
