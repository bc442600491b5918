#include <gtest/gtest.h>

#include <atomic>
#include <string_view>
#include <thread>
#include <vector>

#include "support/random_models.hpp"
#include "support/sample_applications.hpp"
#include "vexa_package/application.hpp"
#include "vexa_package/events.hpp"
#include "vexa_package/profile.hpp"

// Run under -fsanitize=thread by scripts/tsan.sh: the library shares nothing between calls
// but the event sink, so any report here is a data race in the library or in its use of the
// sink.
namespace vexa_package {
namespace {

constexpr std::size_t THREADS = 4;
constexpr std::size_t ROUNDS = 25;

// Counts events by message from any number of threads, without a lock.
class CountingSink final : public EventSink {
  public:
    bool enabled(Level) const noexcept override { return true; }

    void on_event(const Event& event) noexcept override {
        if (event.message == "reading application package") {
            ++reading;
        } else if (event.message == "application package read") {
            ++read;
        } else if (event.message == "writing application package") {
            ++writing;
        } else if (event.message == "application package written") {
            ++written;
        } else if (event.message == "reconstructing tile image") {
            ++images;
        } else {
            ++other;
        }
    }

    [[nodiscard]] std::size_t total() const {
        return reading + read + writing + written + images + other;
    }

    std::atomic<std::size_t> reading{0}, read{0}, writing{0}, written{0}, images{0}, other{0};
};

// Installs a sink for the lifetime of a test and restores the previous one.
class InstalledSink {
  public:
    explicit InstalledSink(EventSink* sink) : previous_(set_event_sink(sink)) {}
    ~InstalledSink() { set_event_sink(previous_); }
    InstalledSink(const InstalledSink&) = delete;
    InstalledSink& operator=(const InstalledSink&) = delete;

  private:
    EventSink* previous_;
};

struct Shared {
    Application application = testing::rich_application();
    ProfileReport report;
    Bytes package;
    Bytes report_bytes;
    std::vector<Bytes> images;
    std::size_t tiles_with_segments = 0;
};

Shared make_shared_inputs() {
    Shared shared;
    testing::RandomSource random(5);
    shared.report = testing::random_profile(random, {.max_list = 4});
    EXPECT_TRUE(shared.application.write(shared.package).has_value());
    EXPECT_TRUE(shared.report.write(shared.report_bytes).has_value());
    for (const TileImage& tile : shared.application.tiles) {
        auto image = shared.application.tile_image(tile.physical_tile);
        shared.images.push_back(image ? *image : Bytes{});
        shared.tiles_with_segments += image.has_value() ? 1 : 0;
    }
    return shared;
}

// One worker's rounds over the shared values; returns how many results were wrong.
std::size_t work_on(const Shared& shared) {
    std::size_t wrong = 0;
    for (std::size_t round = 0; round < ROUNDS; ++round) {
        const auto application = Application::read(shared.package);
        wrong += !application || *application != shared.application;
        wrong += !shared.application.validate();
        Bytes package;
        wrong += !shared.application.write(package) || package != shared.package;
        for (std::size_t i = 0; i < shared.application.tiles.size(); ++i) {
            const TileImage& tile = shared.application.tiles[i];
            const auto image = shared.application.tile_image(tile.physical_tile);
            wrong += image ? *image != shared.images[i] : !tile.segments.empty();
        }
        const auto report = ProfileReport::read(shared.report_bytes);
        wrong += !report || *report != shared.report;
        Bytes report_bytes;
        wrong += !shared.report.write(report_bytes) || report_bytes != shared.report_bytes;
    }
    return wrong;
}

std::size_t run_workers(const Shared& shared) {
    std::atomic<std::size_t> wrong{0};
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < THREADS; ++i) {
        workers.emplace_back([&] { wrong += work_on(shared); });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    return wrong;
}

TEST(ThreadSafety, SharedApplicationAndReportFromSeveralThreads) {
    const Shared shared = make_shared_inputs();
    ASSERT_EQ(shared.tiles_with_segments, 2u);
    CountingSink sink;
    const InstalledSink installed(&sink);

    EXPECT_EQ(run_workers(shared), 0u);

    // Every call's events arrived, exactly once each, and nothing else did: profile reading
    // and writing and validation emit none.
    const std::size_t calls = THREADS * ROUNDS;
    EXPECT_EQ(sink.reading, calls);
    EXPECT_EQ(sink.read, calls);
    EXPECT_EQ(sink.writing, calls);
    EXPECT_EQ(sink.written, calls);
    EXPECT_EQ(sink.images, calls * shared.tiles_with_segments);
    EXPECT_EQ(sink.other, 0u);
}

TEST(ThreadSafety, SinkReplacedWhileOtherThreadsEmit) {
    const Shared shared = make_shared_inputs();
    CountingSink first;
    CountingSink second;
    const InstalledSink installed(&first);
    std::atomic<bool> done{false};
    std::thread switcher([&] {
        for (bool to_second = true; !done; to_second = !to_second) {
            set_event_sink(to_second ? &second : &first);
            std::this_thread::yield();
        }
    });
    const std::size_t wrong = run_workers(shared);
    done = true;
    switcher.join();

    EXPECT_EQ(wrong, 0u);
    // Each event went to one of the two sinks, whichever was installed at that moment.
    const std::size_t calls = THREADS * ROUNDS;
    EXPECT_EQ(first.total() + second.total(), calls * (4 + shared.tiles_with_segments));
}

}  // namespace
}  // namespace vexa_package
