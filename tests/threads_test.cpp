// Decoders share no mutable state: separate decoders decoding the same file
// on several threads at once give the block a lone decoder gives, and many
// decoders open at once do not disturb one another. Run under
// ThreadSanitizer by the tsan preset, which reports any data race.
//
// The worker threads only record what they got; every check is made on the
// main thread afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "authoring/layout_files.h"
#include "core/layouts.h"
#include "plugin/tarnel_api.h"
#include "tarnel/tarnel.h"
#include "testing/host.h"
#include "testing/random_memory.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRoundsPerThread = 3;

std::vector<uint8_t> LayoutFile(tarnel::FormatCode code, uint32_t seed) {
    const std::vector<uint8_t> memory = tarnel_test::RandomMemory(seed);
    return tarnel::BuildLayoutFile(code, tarnel_test::View(memory));
}

// Holds the threads until all have started, so that their decodes overlap.
class StartLine {
public:
    explicit StartLine(int count) : waiting(count) {}
    void Arrive() {
        waiting.fetch_sub(1);
        while (waiting.load() > 0) std::this_thread::yield();
    }

private:
    std::atomic<int> waiting;
};

// What one thread saw: the blocks of each round (two decodes per open image).
struct ThreadResult {
    std::vector<int32_t> opened;
    std::vector<std::vector<uint8_t>> blocks;
};

void DecodeRounds(const std::vector<uint8_t>& file, StartLine* start, ThreadResult* result) {
    start->Arrive();
    for (int round = 0; round < kRoundsPerThread; ++round) {
        // Each thread is its own host: its own copy of the file and its own
        // callback state.
        tarnel_test::FakeHost host(file);
        const HostImageSource source = host.Source();
        TarnelImage image = nullptr;
        const int32_t opened = IDP_OpenImage(&source, &image);
        result->opened.push_back(opened);
        if (opened != RESULT_OK) continue;
        result->blocks.push_back(tarnel_test::DecodeBlock(image));
        result->blocks.push_back(tarnel_test::DecodeBlock(image));
        IDP_CloseImage(image);
    }
}

class Threads : public ::testing::TestWithParam<tarnel::FormatCode> {};

TEST_P(Threads, SameFileOnSeveralThreadsGivesIdenticalBlocks) {
    const std::vector<uint8_t> file = LayoutFile(GetParam(), 900u + GetParam());
    ASSERT_FALSE(file.empty());
    const std::vector<uint8_t> alone = tarnel_test::DecodeFile(file);
    ASSERT_EQ(alone.size(), static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES));

    StartLine start(kThreads);
    std::vector<ThreadResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(DecodeRounds, std::cref(file), &start, &results[t]);
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(results[t].opened, std::vector<int32_t>(kRoundsPerThread, RESULT_OK))
            << "thread " << t;
        ASSERT_EQ(results[t].blocks.size(), static_cast<size_t>(2 * kRoundsPerThread));
        for (size_t b = 0; b < results[t].blocks.size(); ++b) {
            EXPECT_TRUE(results[t].blocks[b] == alone) << "thread " << t << ", block " << b;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, Threads, ::testing::ValuesIn(tarnel_test::AllCodes()),
                         tarnel_test::CodeName);

// Every layout on every thread at once, each thread in its own order.
TEST(ThreadsMixed, EveryLayoutOnEveryThreadAtOnce) {
    const std::vector<tarnel::FormatCode> codes = tarnel_test::AllCodes();
    std::vector<std::vector<uint8_t>> files;
    std::vector<std::vector<uint8_t>> alone;
    for (const tarnel::FormatCode code : codes) {
        files.push_back(LayoutFile(code, 950u + code));
        alone.push_back(tarnel_test::DecodeFile(files.back()));
        ASSERT_FALSE(alone.back().empty()) << int(code);
    }

    StartLine start(kThreads);
    std::vector<std::vector<std::vector<uint8_t>>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.Arrive();
            for (size_t i = 0; i < files.size(); ++i) {
                // Thread t starts at a different layout and steps through all.
                const size_t which = (i * (2 * t + 1) + 5 * t) % files.size();
                seen[t].push_back(tarnel_test::DecodeFile(files[which]));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const size_t which = (i * (2 * t + 1) + 5 * t) % files.size();
            EXPECT_TRUE(seen[t][i] == alone[which])
                << "thread " << t << ", code " << int(codes[which]);
        }
    }
}

// Many images open at once: ten of every layout, decoded in an interleaved
// order while all the others stay open, closed in another order. Each shows
// the picture it shows when alone.
TEST(ManyDecoders, OpenAtOnceStayIndependent) {
    struct Open {
        std::vector<uint8_t> file;
        std::vector<uint8_t> alone;
        TarnelImage image = nullptr;
    };
    std::vector<Open> open;
    for (const tarnel::FormatCode code : tarnel_test::AllCodes()) {
        for (uint32_t copy = 0; copy < 10; ++copy) {
            Open o;
            o.file = LayoutFile(code, 2000u + 16u * code + copy);
            ASSERT_FALSE(o.file.empty());
            o.alone = tarnel_test::DecodeFile(o.file);
            ASSERT_FALSE(o.alone.empty());
            open.push_back(std::move(o));
        }
    }
    for (Open& o : open) ASSERT_EQ(tarnel_test::OpenBytes(o.file, &o.image), RESULT_OK);
    // The handles are distinct decoders.
    for (size_t i = 0; i < open.size(); ++i) {
        for (size_t j = i + 1; j < open.size(); ++j) ASSERT_NE(open[i].image, open[j].image);
    }

    // Decode every image twice, in a stride order that interleaves layouts.
    const size_t n = open.size();
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < n; ++i) {
            Open& o = open[(i * 37 + static_cast<size_t>(pass) * 11) % n];
            EXPECT_TRUE(tarnel_test::DecodeBlock(o.image) == o.alone) << "pass " << pass;
        }
    }
    // Close every other image, then check the rest still decode, then close them.
    for (size_t i = 0; i < n; i += 2) EXPECT_EQ(IDP_CloseImage(open[i].image), RESULT_OK);
    for (size_t i = 1; i < n; i += 2) {
        EXPECT_TRUE(tarnel_test::DecodeBlock(open[i].image) == open[i].alone);
        ImageInfo info{};
        EXPECT_EQ(IDP_GetImageInfo(open[i].image, &info), RESULT_OK);
    }
    for (size_t i = 1; i < n; i += 2) EXPECT_EQ(IDP_CloseImage(open[i].image), RESULT_OK);
}

}  // namespace

namespace {

// The C library's decoders on several threads, each thread with its own
// decoder going through every layout in its own order, twice: every
// picture equals the module's block of the same file (rows flipped, RGB).
TEST(ThreadsLibrary, EachThreadWithItsOwnDecoderMatchesTheModule) {
    const std::vector<tarnel::FormatCode> codes = tarnel_test::AllCodes();
    std::vector<std::vector<uint8_t>> files;
    for (tarnel::FormatCode code : codes) files.push_back(LayoutFile(code, 1300u + code));
    constexpr size_t kPictureBytes = 320 * 3 * 200;

    StartLine start(kThreads);
    std::vector<std::vector<std::vector<uint8_t>>> pictures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            tarnel_decoder* decoder = tarnel_decoder_new();
            start.Arrive();
            for (size_t n = 0; n < 2 * files.size(); ++n) {
                const std::vector<uint8_t>& file = files[(n + 5 * t) % files.size()];
                std::vector<uint8_t> rgb(kPictureBytes);
                const int result = tarnel_decode(decoder, file.data(), file.size(), nullptr,
                                                 rgb.data(), 960, nullptr);
                pictures[t].push_back(result == TARNEL_OK ? rgb : std::vector<uint8_t>{});
            }
            tarnel_decoder_free(decoder);
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (size_t i = 0; i < files.size(); ++i) {
        const std::vector<uint8_t> block = tarnel_test::DecodeFile(files[i]);
        ASSERT_EQ(block.size(), static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES));
        std::vector<uint8_t> expected(kPictureBytes);
        for (size_t y = 0; y < 200; ++y) {
            const uint8_t* row = block.data() + TARNEL_BITMAP_HEADER_BYTES + (199 - y) * 960;
            for (size_t x = 0; x < 960; x += 3) {
                expected[y * 960 + x] = row[x + 2];
                expected[y * 960 + x + 1] = row[x + 1];
                expected[y * 960 + x + 2] = row[x];
            }
        }
        for (int t = 0; t < kThreads; ++t) {
            for (size_t n = 0; n < pictures[t].size(); ++n) {
                if ((n + 5 * t) % files.size() != i) continue;
                EXPECT_TRUE(pictures[t][n] == expected)
                    << "layout " << int(codes[i]) << ", thread " << t << ", decode " << n;
            }
        }
    }
}

}  // namespace
