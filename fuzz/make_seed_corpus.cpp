// Writes the seed corpus of both fuzz targets: valid packages and reports of many shapes
// (sample and random models, split over many small segments, with foreign headers and
// versions, with bytes after the message) and the hand-made hostile messages.
//
//   make_seed_corpus OUTPUT_DIRECTORY
//
// creates OUTPUT_DIRECTORY/application_read/ and OUTPUT_DIRECTORY/profile_read/.
#include <capnp/any.h>
#include <capnp/message.h>
#include <capnp/serialize.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

#include "application.capnp.h"
#include "hostile_messages.hpp"
#include "profile.capnp.h"
#include "support/random_models.hpp"
#include "support/sample_applications.hpp"

namespace {

namespace fs = std::filesystem;
namespace hostile = vexa_package::fuzzing::hostile;
using vexa_package::Bytes;

class CorpusDirectory {
  public:
    explicit CorpusDirectory(fs::path directory) : directory_(std::move(directory)) {
        fs::create_directories(directory_);
    }

    void add(const std::string& name, const Bytes& bytes) {
        std::ofstream file(directory_ / name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            throw std::runtime_error("cannot write " + (directory_ / name).string());
        }
        ++count_;
    }

    [[nodiscard]] std::size_t count() const noexcept { return count_; }

  private:
    fs::path directory_;
    std::size_t count_ = 0;
};

std::string numbered(const std::string& prefix, std::size_t number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03zu", number);
    return prefix + "-" + digits;
}

// The same message copied into a builder whose segments hold only `segment_words` words each,
// so that almost every pointer becomes a far pointer into another segment; `change` may then
// alter the copy through the generated accessors.
template <typename Root>
Bytes rebuilt(const Bytes& bytes, unsigned segment_words,
              const std::function<void(typename Root::Builder)>& change = {}) {
    kj::Array<capnp::word> words = kj::heapArray<capnp::word>(bytes.size() / sizeof(capnp::word));
    std::memcpy(words.begin(), bytes.data(), words.size() * sizeof(capnp::word));
    capnp::ReaderOptions options;
    options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
    capnp::FlatArrayMessageReader reader(words, options);
    capnp::MallocMessageBuilder builder(segment_words, capnp::AllocationStrategy::FIXED_SIZE);
    builder.setRoot(reader.getRoot<Root>());
    if (change) {
        change(builder.getRoot<Root>());
    }
    const auto flat = capnp::messageToFlatArray(builder);
    return Bytes(flat.asBytes().begin(), flat.asBytes().end());
}

Bytes written(const vexa_package::Application& application) {
    Bytes bytes;
    if (!application.write(bytes)) {
        throw std::runtime_error("a seed application does not write");
    }
    return bytes;
}

Bytes written(const vexa_package::ProfileReport& report) {
    Bytes bytes;
    if (!report.write(bytes)) {
        throw std::runtime_error("a seed report does not write");
    }
    return bytes;
}

void add_hostile(CorpusDirectory& corpus, hostile::Schema schema) {
    for (const auto& field : hostile::list_fields()) {
        if (field.schema == schema) {
            corpus.add("claim-structs-" + field.name,
                       hostile::list_claim(field, hostile::Claim::ZeroSizedStructs));
            corpus.add("claim-voids-" + field.name,
                       hostile::list_claim(field, hostile::Claim::Voids));
            corpus.add("far-cycle-" + field.name, hostile::far_pointer_cycle(&field, false));
        }
    }
    for (const auto& field : hostile::text_fields()) {
        if (field.schema == schema) {
            corpus.add("text-without-nul-" + field.name,
                       hostile::text_without_nul(field, "vexa21"));
            corpus.add("text-wrong-size-" + field.name,
                       hostile::bytes_of_wrong_element_size(field));
        }
    }
    corpus.add("forged-segment-table", hostile::forged_segment_table());
    corpus.add("far-cycle-root", hostile::far_pointer_cycle(nullptr, false));
    corpus.add("double-far-cycle-root", hostile::far_pointer_cycle(nullptr, true));
    corpus.add("nested-64", hostile::nested_chain(schema, 64));
    corpus.add("nested-65", hostile::nested_chain(schema, 65));
    corpus.add("empty", {});
}

void add_applications(CorpusDirectory& corpus) {
    using namespace vexa_package;
    namespace wire = application_capnp;
    const Bytes minimal = written(testing::minimal_application());
    const Bytes batched = written(testing::batched_application());
    const Bytes rich = written(testing::rich_application());
    corpus.add("minimal", minimal);
    corpus.add("batched", batched);
    corpus.add("rich", rich);
    corpus.add("rich-small-segments", rebuilt<wire::Application>(rich, 8));
    corpus.add("batched-small-segments", rebuilt<wire::Application>(batched, 3));

    Bytes trailing = minimal;
    trailing.insert(trailing.end(), batched.begin(), batched.end());
    corpus.add("minimal-then-batched", trailing);
    corpus.add("rich-cut-in-half",
               Bytes(rich.begin(), rich.begin() + static_cast<std::ptrdiff_t>(rich.size() / 2)));

    corpus.add("version-2", rebuilt<wire::Application>(
                                minimal, 1024, [](auto root) { root.setSchemaVersion(2); }));
    corpus.add("target-vexa22", rebuilt<wire::Application>(
                                    minimal, 1024, [](auto root) { root.setTarget("vexa22"); }));
    corpus.add("window-base", rebuilt<wire::Application>(
                                  minimal, 1024, [](auto root) { root.setTileMemoryBase(0); }));
    corpus.add("no-host-exchange", rebuilt<wire::Application>(batched, 1024, [](auto root) {
                   capnp::toAny(root).getPointerSection()[6].clear();
               }));
    corpus.add("overlapping-segments", rebuilt<wire::Application>(minimal, 1024, [](auto root) {
                   auto segments = root.getTiles()[0].initSegments(2);
                   for (auto segment : segments) {
                       segment.setAddress(TILE_MEMORY_BASE);
                       segment.setMemorySize(8);
                   }
               }));

    for (std::size_t seed = 0; seed < 48; ++seed) {
        testing::RandomSource random(seed);
        const testing::ModelSize size{.max_list = seed % 6, .max_data = 16, .max_text = 6};
        corpus.add(numbered("random", seed), written(testing::random_application(random, size)));
    }
    add_hostile(corpus, hostile::Schema::Application);
    corpus.add("data-wrong-size",
               hostile::bytes_of_wrong_element_size(hostile::segment_data_field()));
}

void add_profiles(CorpusDirectory& corpus) {
    using namespace vexa_package;
    namespace wire = profile_capnp;
    for (std::size_t seed = 0; seed < 48; ++seed) {
        testing::RandomSource random(seed);
        const testing::ModelSize size{.max_list = seed % 5, .max_text = 6};
        corpus.add(numbered("random", seed), written(testing::random_profile(random, size)));
    }
    testing::RandomSource random(1000);
    const Bytes report = written(testing::random_profile(random, {.max_list = 3, .max_text = 4}));
    corpus.add("small-segments", rebuilt<wire::Profile>(report, 4));
    for (const std::uint32_t version : {0u, 1u, 2u, 4u}) {
        corpus.add("version-" + std::to_string(version),
                   rebuilt<wire::Profile>(
                       report, 1024, [version](auto root) { root.setSchemaVersion(version); }));
    }
    const auto first_step = [](wire::Profile::Builder root) {
        return root.initTiles(1)[0].initSamples(1)[0].initStep();
    };
    corpus.add("kind-4", rebuilt<wire::Profile>(report, 1024, [&](auto root) {
                   first_step(root).setKind(static_cast<wire::StepKind>(4));
               }));
    corpus.add("kernel-not-utf8", rebuilt<wire::Profile>(report, 1024, [&](auto root) {
                   const std::string bytes = "ab\xff";
                   first_step(root).setKernel(capnp::Text::Reader(bytes.data(), bytes.size()));
               }));
    add_hostile(corpus, hostile::Schema::Profile);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    try {
        CorpusDirectory applications(fs::path(argv[1]) / "application_read");
        add_applications(applications);
        CorpusDirectory profiles(fs::path(argv[1]) / "profile_read");
        add_profiles(profiles);
        std::printf("seed corpus: %zu packages, %zu reports\n", applications.count(),
                    profiles.count());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_seed_corpus: %s\n", error.what());
        return 1;
    }
    return 0;
}
