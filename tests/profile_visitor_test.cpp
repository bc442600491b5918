#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <capnp/message.h>

#include "profile.capnp.h"
#include "support/allocation_counter.hpp"
#include "support/crafted_messages.hpp"
#include "support/random_models.hpp"
#include "support/visit_agreement.hpp"
#include "vexa_package/profile_visitor.hpp"

namespace vexa_package {
namespace {

using testing::ModelSize;
using testing::RandomSource;

constexpr std::size_t DEFAULT_CASES = 1000;

Bytes written(const ProfileReport& report) {
    Bytes bytes;
    EXPECT_TRUE(report.write(bytes).has_value());
    return bytes;
}

ProfileReport report_with_samples(std::size_t count) {
    TileProfile tile{.physical_tile = 3, .samples = {}};
    for (std::size_t i = 0; i < count; ++i) {
        tile.samples.push_back({.step = {.local_index = static_cast<std::uint32_t>(i),
                                         .operation = "matmul",
                                         .kind = ProfileStepKind::Compute,
                                         .kernel = "gemm",
                                         .metadata = {{"block", "8"}, {"block", "16"}}},
                                .start_cycle = static_cast<std::uint32_t>(10 * i),
                                .end_cycle = static_cast<std::uint32_t>(10 * i + 7)});
    }
    return ProfileReport{.clock_hz = 1'000'000'000, .tiles = {tile}};
}

// Counts and sums what it is handed, keeping nothing.
class Tally final : public ProfileVisitor {
  public:
    void sample(const CycleSampleView& sample) override {
        ++samples;
        cycles += sample.end_cycle - sample.start_cycle;
    }

    std::size_t samples = 0;
    std::uint64_t cycles = 0;
};

TEST(ProfileVisitor, AgreesWithTheReferenceReaderOnEveryShapeOfReport) {
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    std::size_t multi_segment = 0;
    for (std::size_t number = 0; number < cases; ++number) {
        SCOPED_TRACE("case " + std::to_string(number));
        RandomSource random(number);
        // Every tenth report is large enough to take several segments.
        const ModelSize size{.max_list = number % 10 == 9 ? 14 : number % 6, .max_text = 10};
        const Bytes bytes = written(testing::random_profile(random, size));
        multi_segment += bytes[0] != 0;
        const auto violation = testing::check_visit_agreement(bytes);
        ASSERT_FALSE(violation.has_value()) << *violation;
    }
    EXPECT_GT(multi_segment, 0u);
}

TEST(ProfileVisitor, DeliversHeaderTilesAndSamplesInStoredOrder) {
    const ProfileReport report{
        .clock_hz = 7,
        .tiles = {{.physical_tile = 9, .samples = {{.step = {}, .start_cycle = 1, .end_cycle = 2}}},
                  {.physical_tile = 2, .samples = {}},
                  {.physical_tile = 9,
                   .samples = {{.step = {.operation = "op", .kernel = "k", .metadata = {}},
                                .start_cycle = 5},
                               {.step = {}, .start_cycle = 3}}}}};
    const Bytes bytes = written(report);

    class Journal final : public ProfileVisitor {
      public:
        void header(const ProfileHeaderView& header) override {
            calls.push_back("header v" + std::to_string(header.schema_version) + " clock " +
                            std::to_string(header.clock_hz) + " tiles " +
                            std::to_string(header.tile_count));
        }
        void tile(const TileProfileView& tile) override {
            calls.push_back("tile " + std::to_string(tile.index) + " physical " +
                            std::to_string(tile.physical_tile) + " samples " +
                            std::to_string(tile.sample_count));
        }
        void sample(const CycleSampleView& sample) override {
            calls.push_back("sample " + std::to_string(sample.index) + " start " +
                            std::to_string(sample.start_cycle) + " " +
                            std::string(sample.operation) + std::string(sample.kernel));
        }
        void tile_end(const TileProfileView& tile) override {
            calls.push_back("end " + std::to_string(tile.index));
        }
        std::vector<std::string> calls;
    } journal;

    ASSERT_TRUE(visit_profile(bytes, journal).has_value());
    EXPECT_EQ(journal.calls,
              (std::vector<std::string>{"header v3 clock 7 tiles 3", "tile 0 physical 9 samples 1",
                                        "sample 0 start 1 ", "end 0", "tile 1 physical 2 samples 0",
                                        "end 1", "tile 2 physical 9 samples 2",
                                        "sample 0 start 5 opk", "sample 1 start 3 ", "end 2"}));
}

TEST(ProfileVisitor, AlignedInputIsReadInPlaceWithMemoryIndependentOfTheSampleCount) {
    for (const std::size_t count : {std::size_t{10}, std::size_t{100'000}}) {
        SCOPED_TRACE(std::to_string(count) + " samples");
        const Bytes bytes = written(report_with_samples(count));

        class InPlace final : public ProfileVisitor {
          public:
            explicit InPlace(const Bytes& input) : input_(input) {}
            void sample(const CycleSampleView& sample) override {
                ++samples;
                inside &= within(sample.kernel) && within(sample.operation) &&
                          within(sample.metadata[1].value);
            }
            std::size_t samples = 0;
            bool inside = true;

          private:
            bool within(std::string_view text) const {
                const auto* begin = reinterpret_cast<const char*>(input_.data());
                return text.data() >= begin && text.data() + text.size() <= begin + input_.size();
            }
            const Bytes& input_;
        } visitor(bytes);

        testing::AllocationCounter counter;
        ASSERT_TRUE(visit_profile(bytes, visitor).has_value());
        EXPECT_EQ(visitor.samples, count);
        EXPECT_TRUE(visitor.inside);
        // The reader's own state and one sample's metadata views; nothing per sample.
        EXPECT_LT(counter.peak_bytes(), 16u * 1024u);
    }
}

TEST(ProfileVisitor, UnalignedInputAndStreamsCostACopyOfTheMessage) {
    const Bytes bytes = written(report_with_samples(50'000));
    Bytes shifted(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
    const std::span<const std::uint8_t> unaligned(shifted.data() + 1, bytes.size());

    Tally from_buffer;
    {
        testing::AllocationCounter counter;
        ASSERT_TRUE(visit_profile(unaligned, from_buffer).has_value());
        EXPECT_LT(counter.peak_bytes(), bytes.size() + 16u * 1024u);
    }
    Tally from_stream;
    {
        kj::ArrayInputStream stream(kj::arrayPtr(bytes.data(), bytes.size()));
        testing::AllocationCounter counter;
        ASSERT_TRUE(visit_profile(stream, from_stream).has_value());
        // The buffer grows only as bytes arrive, so a forged segment table cannot reserve
        // memory: growing it holds the old and the new buffer at once.
        EXPECT_LT(counter.peak_bytes(), 2 * bytes.size() + 16u * 1024u);
    }
    EXPECT_EQ(from_buffer.samples, 50'000u);
    EXPECT_EQ(from_buffer.cycles, 7u * 50'000u);
    EXPECT_EQ(from_stream.samples, from_buffer.samples);
    EXPECT_EQ(from_stream.cycles, from_buffer.cycles);
}

// Samples before a fault are delivered, the faulty one and everything after it are not.
TEST(ProfileVisitor, StopsAtTheFirstFaultHavingDeliveredOnlyWhatCameBefore) {
    capnp::MallocMessageBuilder message;
    auto root = message.initRoot<profile_capnp::Profile>();
    root.setSchemaVersion(PROFILE_SCHEMA_VERSION);
    auto samples = root.initTiles(2)[0].initSamples(4);
    for (std::uint32_t i = 0; i < 4; ++i) {
        samples[i].setStartCycle(i);
    }
    samples[2].initStep().setKind(static_cast<profile_capnp::StepKind>(4));
    samples[3].initStep().setKernel(testing::raw_text("\xff"));
    const Bytes bytes = testing::framed(message);

    class Starts final : public ProfileVisitor {
      public:
        void tile(const TileProfileView& tile) override { tiles.push_back(tile.index); }
        void sample(const CycleSampleView& sample) override {
            starts.push_back(sample.start_cycle);
        }
        void tile_end(const TileProfileView&) override { ++ends; }
        std::vector<std::size_t> tiles;
        std::vector<std::uint32_t> starts;
        int ends = 0;
    } starts;

    const auto result = visit_profile(bytes, starts);
    ASSERT_FALSE(result.has_value());
    ASSERT_NE(result.error().schema_enum(), nullptr);
    EXPECT_EQ(*result.error().schema_enum(), 4u);
    EXPECT_EQ(starts.tiles, std::vector<std::size_t>{0});
    EXPECT_EQ(starts.starts, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(starts.ends, 0);
}

// Within one sample the fields are checked in stored-field order: each fault is reported only
// once every fault before it is mended. The UTF-8 faults sit at different offsets so that
// the error tells which text was reported.
TEST(ProfileVisitor, FaultsOfOneSampleAreReportedInFieldOrder) {
    const std::string operation = "\xff", kernel = "a\xff", name = "ab\xff", value = "abc\xff";
    for (int mended = 0; mended <= 4; ++mended) {
        SCOPED_TRACE(std::to_string(mended) + " faults mended");
        capnp::MallocMessageBuilder message;
        auto root = message.initRoot<profile_capnp::Profile>();
        root.setSchemaVersion(PROFILE_SCHEMA_VERSION);
        auto step = root.initTiles(1)[0].initSamples(1)[0].initStep();
        step.setOperation(testing::raw_text(mended > 0 ? "op" : operation));
        step.setKind(static_cast<profile_capnp::StepKind>(mended > 1 ? 1 : 9));
        step.setKernel(testing::raw_text(mended > 2 ? "k" : kernel));
        auto entry = step.initMetadata(1)[0];
        entry.setName(testing::raw_text(mended > 3 ? "n" : name));
        entry.setValue(testing::raw_text(value));

        Tally tally;
        const auto result = visit_profile(testing::framed(message), tally);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(tally.samples, 0u);
        if (mended == 1) {
            ASSERT_NE(result.error().schema_enum(), nullptr) << result.error();
            EXPECT_EQ(*result.error().schema_enum(), 9u);
        } else {
            ASSERT_NE(result.error().utf8(), nullptr) << result.error();
            const std::size_t offsets[] = {0, 0, 1, 2, 3};
            EXPECT_EQ(result.error().utf8()->valid_up_to, offsets[mended]);
        }
    }
}

TEST(ProfileVisitor, VersionIsCheckedBeforeTheVisitorHearsAnything) {
    for (const std::uint32_t version : {0u, PROFILE_SCHEMA_VERSION + 1}) {
        capnp::MallocMessageBuilder message;
        auto root = message.initRoot<profile_capnp::Profile>();
        root.setSchemaVersion(version);
        root.initTiles(1)[0].initSamples(1);
        class Silent final : public ProfileVisitor {
          public:
            void header(const ProfileHeaderView&) override { heard = true; }
            void sample(const CycleSampleView&) override { heard = true; }
            bool heard = false;
        } silent;
        const auto result = visit_profile(testing::framed(message), silent);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().message(),
                  "unsupported profile schema version " + std::to_string(version));
        EXPECT_FALSE(silent.heard);
    }
}

TEST(ProfileVisitor, AnExceptionOfTheVisitorReachesTheCallerUnchanged) {
    const Bytes bytes = written(report_with_samples(5));
    class Thrower final : public ProfileVisitor {
      public:
        void sample(const CycleSampleView& sample) override {
            ++seen;
            if (sample.index == 2) {
                throw std::runtime_error("enough");
            }
        }
        void tile_end(const TileProfileView&) override { ended = true; }
        int seen = 0;
        bool ended = false;
    } thrower;
    try {
        (void)visit_profile(bytes, thrower);
        ADD_FAILURE() << "the visitor's exception was swallowed";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "enough");
    }
    EXPECT_EQ(thrower.seen, 3);
    EXPECT_FALSE(thrower.ended);
}

}  // namespace
}  // namespace vexa_package
