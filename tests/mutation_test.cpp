#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <map>

#include "../fuzz/read_invariants.hpp"
#include "support/random_models.hpp"
#include "support/sample_applications.hpp"
#include "support/visit_agreement.hpp"
#include "support/wire_bytes.hpp"

namespace vexa_package {
namespace {

using testing::RandomSource;
namespace wb = testing::wire_bytes;
using Kind = PackageError::Kind;

constexpr std::size_t DEFAULT_CASES = 2000;

// Damages valid messages the way storage, transfer and hostile producers do: flipped bits,
// overwritten bytes and words, forged pointers, cuts, splices with other messages, repeated
// and missing ranges. Word-sized changes land on word boundaries, where Cap'n Proto keeps its
// pointers and the segment table.
class Mutator {
  public:
    Mutator(RandomSource& random, const std::vector<Bytes>& donors)
        : random_(random), donors_(donors) {}

    Bytes mutate(Bytes bytes) {
        for (auto count = random_.between(1, 4); count > 0; --count) {
            mutate_once(bytes);
        }
        return bytes;
    }

  private:
    void mutate_once(Bytes& bytes) {
        if (bytes.empty()) {
            bytes = donors_[random_.below(donors_.size())];
            return;
        }
        switch (random_.below(9)) {
            case 0:
                bytes[at(bytes)] ^= static_cast<std::uint8_t>(1u << random_.below(8));
                break;
            case 1: {
                constexpr std::array<std::uint8_t, 6> values{0, 1, 0x7f, 0x80, 0xfe, 0xff};
                bytes[at(bytes)] = values[random_.below(values.size())];
                break;
            }
            case 2:
                put32(bytes, interesting32());
                break;
            case 3:
                put64(bytes, forged_pointer());
                break;
            case 4: {
                // The same word somewhere else: two pointers to one object, or a pointer moved.
                std::uint64_t word = 0;
                if (bytes.size() >= 8) {
                    std::memcpy(&word, bytes.data() + word_at(bytes), 8);
                }
                put64(bytes, word);
                break;
            }
            case 5:
                bytes.resize(random_.below(bytes.size()));
                break;
            case 6: {
                const Bytes& donor = donors_[random_.below(donors_.size())];
                const auto cut = static_cast<std::ptrdiff_t>(random_.below(bytes.size() + 1));
                const auto from = static_cast<std::ptrdiff_t>(random_.below(donor.size() + 1));
                bytes.resize(static_cast<std::size_t>(cut));
                bytes.insert(bytes.end(), donor.begin() + from, donor.end());
                break;
            }
            case 7: {
                const std::size_t from = at(bytes);
                const auto length = static_cast<std::ptrdiff_t>(
                    random_.below(std::min<std::size_t>(bytes.size() - from, 64) + 1));
                const Bytes range(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(from) + length);
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at(bytes)), range.begin(),
                             range.end());
                break;
            }
            default: {
                const std::size_t from = at(bytes);
                const auto length = static_cast<std::ptrdiff_t>(
                    random_.below(std::min<std::size_t>(bytes.size() - from, 64) + 1));
                bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                            bytes.begin() + static_cast<std::ptrdiff_t>(from) + length);
                break;
            }
        }
    }

    std::size_t at(const Bytes& bytes) {
        return static_cast<std::size_t>(random_.below(bytes.size()));
    }

    std::size_t word_at(const Bytes& bytes) {
        return static_cast<std::size_t>(random_.below(bytes.size() / 8)) * 8;
    }

    std::uint32_t interesting32() {
        constexpr std::array<std::uint32_t, 10> values{
            0, 1, 2, 8, 0x7fffffff, 0x80000000, 0xffffffff, 0x1fffffff, 511, 512};
        return random_.one_in(3) ? random_.any_u32() : values[random_.below(values.size())];
    }

    // A struct, list or far pointer with arbitrary offset and sizes, or a composite tag.
    std::uint64_t forged_pointer() {
        const auto offset = static_cast<std::int32_t>(random_.between(0, 64)) - 32;
        switch (random_.below(4)) {
            case 0:
                return wb::struct_pointer(offset, static_cast<std::uint16_t>(random_.below(5)),
                                          static_cast<std::uint16_t>(random_.below(10)));
            case 1: {
                const auto count = random_.one_in(2) ? static_cast<std::uint32_t>(random_.below(16))
                                                     : (1u << 29) - 1;
                return wb::list_pointer(offset, static_cast<wb::ElementSize>(random_.below(8)),
                                        count);
            }
            case 2:
                return 2 | (random_.below(2) << 2) | (random_.below(64) << 3) |
                       (random_.below(3) << 32);
            default:
                return wb::composite_tag(static_cast<std::uint32_t>(random_.below(1u << 29)),
                                         static_cast<std::uint16_t>(random_.below(5)),
                                         static_cast<std::uint16_t>(random_.below(10)));
        }
    }

    void put32(Bytes& bytes, std::uint32_t value) {
        if (bytes.size() >= 4) {
            const std::size_t offset =
                static_cast<std::size_t>(random_.below(bytes.size() / 4)) * 4;
            std::memcpy(bytes.data() + offset, &value, 4);
        }
    }

    void put64(Bytes& bytes, std::uint64_t value) {
        if (bytes.size() >= 8) {
            std::memcpy(bytes.data() + word_at(bytes), &value, 8);
        }
    }

    RandomSource& random_;
    const std::vector<Bytes>& donors_;
};

template <typename Model>
Bytes written(const Model& model) {
    Bytes bytes;
    EXPECT_TRUE(model.write(bytes).has_value());
    return bytes;
}

// Runs the mutator over `originals` and checks every outcome with `check`; returns how often
// each outcome (success, or an error kind) occurred.
std::map<std::string, std::size_t> mutate_and_check(
    const std::vector<Bytes>& originals, std::uint64_t seed,
    const std::function<fuzzing::Violation(std::span<const std::uint8_t>)>& check,
    const std::function<std::string(std::span<const std::uint8_t>)>& outcome_of) {
    std::map<std::string, std::size_t> outcomes;
    RandomSource random(seed);
    Mutator mutator(random, originals);
    const std::size_t cases = testing::property_case_count(DEFAULT_CASES);
    for (std::size_t number = 0; number < cases; ++number) {
        const Bytes mutated = mutator.mutate(originals[random.below(originals.size())]);
        const auto violation = check(mutated);
        EXPECT_FALSE(violation.has_value()) << "case " << number << ": " << *violation;
        if (violation) {
            break;
        }
        ++outcomes[outcome_of(mutated)];
    }
    return outcomes;
}

template <typename Read>
std::string outcome(const Read& read) {
    return read ? "success" : std::string(kind_name(read.error().kind()));
}

// The tally, also recorded on the test's report.
std::string describe(const std::map<std::string, std::size_t>& outcomes) {
    std::string text;
    for (const auto& [name, count] : outcomes) {
        ::testing::Test::RecordProperty(name, std::to_string(count));
        text += name + " " + std::to_string(count) + "; ";
    }
    return text;
}

TEST(Mutation, DamagedPackagesReadAsValidApplicationsOrFailWithAnAllowedKind) {
    std::vector<Bytes> originals{written(testing::minimal_application()),
                                 written(testing::batched_application()),
                                 written(testing::rich_application())};
    for (std::uint64_t seed = 0; seed < 12; ++seed) {
        RandomSource random(seed);
        originals.push_back(written(testing::random_application(
            random, {.max_list = 1 + seed % 4, .max_data = 16, .max_text = 6})));
    }
    const auto outcomes = mutate_and_check(
        originals, 7, fuzzing::check_application_input,
        [](std::span<const std::uint8_t> bytes) { return outcome(Application::read(bytes)); });
    // Only the kinds the reader may give occur (checked case by case above), and the damage is
    // varied enough to reach each of them and to leave some packages valid.
    SCOPED_TRACE(describe(outcomes));
    EXPECT_GT(outcomes.count("success"), 0u);
    EXPECT_GT(outcomes.count("Capnp"), 0u);
    EXPECT_GT(outcomes.count("Invalid"), 0u);
    EXPECT_GT(outcomes.count("Utf8"), 0u);
}

TEST(Mutation, DamagedReportsReadAsReportsOrFailWithAnAllowedKind) {
    std::vector<Bytes> originals;
    for (std::uint64_t seed = 0; seed < 16; ++seed) {
        RandomSource random(seed);
        originals.push_back(
            written(testing::random_profile(random, {.max_list = 1 + seed % 4, .max_text = 6})));
    }
    const auto outcomes = mutate_and_check(
        originals, 11, fuzzing::check_profile_input,
        [](std::span<const std::uint8_t> bytes) { return outcome(ProfileReport::read(bytes)); });
    SCOPED_TRACE(describe(outcomes));
    EXPECT_GT(outcomes.count("success"), 0u);
    EXPECT_GT(outcomes.count("Capnp"), 0u);
    EXPECT_GT(outcomes.count("Invalid"), 0u);
    EXPECT_GT(outcomes.count("Utf8"), 0u);
    EXPECT_GT(outcomes.count("SchemaEnum"), 0u);
}

// The streaming reader and the model reader agree with the reference walk on damaged input:
// the same error, or the same report, however the bytes arrive.
TEST(Mutation, DamagedReportsVisitAndReadLikeTheReferenceReader) {
    std::vector<Bytes> originals;
    for (std::uint64_t seed = 0; seed < 16; ++seed) {
        RandomSource random(seed);
        originals.push_back(
            written(testing::random_profile(random, {.max_list = 1 + seed % 4, .max_text = 6})));
    }
    const auto outcomes = mutate_and_check(
        originals, 13, testing::check_visit_agreement,
        [](std::span<const std::uint8_t> bytes) { return outcome(ProfileReport::read(bytes)); });
    SCOPED_TRACE(describe(outcomes));
    EXPECT_GT(outcomes.count("success"), 0u);
    EXPECT_GT(outcomes.count("Capnp"), 0u);
    EXPECT_GT(outcomes.count("Utf8"), 0u);
    EXPECT_GT(outcomes.count("SchemaEnum"), 0u);
}

}  // namespace
}  // namespace vexa_package
