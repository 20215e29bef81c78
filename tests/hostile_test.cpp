// The hostile-file corpus (testing/hostile_corpus.cpp) through the exports, one
// table row per file: the result code it must give and, where it opens, the
// whole picture. The expected picture comes from outside the module: the
// plain model of every layout (testing/c64_model) drawn from the file's
// bytes padded with zeros (bytes past a file's end read as 0), or for packed
// layouts from the stream unpacked by the step-by-step unpacker of
// testing/reference.h into a zeroed buffer. The files run one after another in
// one process, so a picture that showed bytes left on the heap by an earlier
// file would differ from the model.
//
// Also here: hosts whose read callback misbehaves, across every layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/identify.h"
#include "core/layouts.h"
#include "plugin/c64_decoder.h"
#include "plugin/tarnel_api.h"
#include "testing/c64_model.h"
#include "testing/host.h"
#include "testing/hostile_corpus.h"
#include "testing/random_memory.h"
#include "testing/reference.h"

namespace {

using tarnel_hostile::HostileFile;

const std::vector<HostileFile>& Corpus() {
    static const std::vector<HostileFile> corpus = tarnel_hostile::HostileCorpus();
    return corpus;
}

void* const kUntouched = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5A5A5A5Au));

// The memory image the layout of `code` is drawn from: the unpacked stream
// for packed layouts, otherwise the file itself; zeros wherever nothing was
// written.
std::vector<uint8_t> ExpectedImage(uint8_t code, const std::vector<uint8_t>& file) {
    std::vector<uint8_t> image(tarnel::MEMORY_IMAGE_BYTES, 0);
    if (!tarnel_reference::Unpack(code, file, image.data())) {
        std::memcpy(image.data(), file.data(), file.size());
    }
    return image;
}

// Compares a decoded block with the model's picture of `code` for `image`;
// returns the number of differing pixels and reports the first.
int PixelsDifferingFromModel(const std::vector<uint8_t>& block, uint8_t code,
                             const std::vector<uint8_t>& image) {
    const std::vector<uint8_t> indices = tarnel_test::ModelIndices(code, image);
    const bool blend = tarnel_test::ModelInterlaced(code);
    int differing = 0;
    for (int y = 0; y < 200; ++y) {
        for (int u = 0; u < 320; ++u) {
            const tarnel_test::Rgb expected = tarnel_test::ModelColour(indices[y * 320 + u], blend);
            const tarnel_test::Rgb shown = tarnel_test::BlockPixel(block, u, y);
            if (!(shown == expected) && differing++ == 0) {
                ADD_FAILURE() << "pixel (" << u << ", " << y << ") shows " << int(shown.r) << ","
                              << int(shown.g) << "," << int(shown.b) << " instead of "
                              << int(expected.r) << "," << int(expected.g) << ","
                              << int(expected.b);
            }
        }
    }
    return differing;
}

bool HeaderIsThatOfThePage(const std::vector<uint8_t>& block) {
    static const uint8_t header[16] = {40, 0, 0, 0, 0x40, 1, 0, 0, 200, 0, 0, 0, 1, 0, 24, 0};
    return block.size() == TARNEL_BITMAP_BLOCK_BYTES &&
           std::memcmp(block.data(), header, sizeof header) == 0;
}

TEST(HostileCorpus, CoversEveryKindOfFile) {
    const std::vector<HostileFile>& corpus = Corpus();
    EXPECT_GE(corpus.size(), 200u);
    int opening = 0;
    int packed = 0;
    std::vector<bool> sizes(5, false);
    for (const HostileFile& file : corpus) {
        if (file.result == RESULT_OK) opening += 1;
        const tarnel::LayoutInfo* layout = tarnel::FindLayout(file.code);
        if (layout != nullptr && layout->packed) packed += 1;
        if (file.bytes.size() < 4) sizes[file.bytes.size()] = true;
        if (file.bytes.size() == tarnel::MAX_FILE_BYTES) sizes[4] = true;
    }
    EXPECT_GT(opening, 80);
    EXPECT_GT(packed, 50);
    for (size_t i = 0; i < sizes.size(); ++i) EXPECT_TRUE(sizes[i]) << "size class " << i;
    // Every file name is distinct: the written corpus holds every file.
    for (size_t i = 0; i < corpus.size(); ++i) {
        for (size_t j = i + 1; j < corpus.size(); ++j) EXPECT_NE(corpus[i].name, corpus[j].name);
    }
}

// The table's codes agree with a plain restatement of the identification
// rules, so the expectations below do not rest on the module's own reading.
TEST(HostileCorpus, ExpectedCodesFollowTheRules) {
    for (const HostileFile& file : Corpus()) {
        SCOPED_TRACE(file.name);
        const bool readable = file.bytes.size() <= tarnel::MAX_FILE_BYTES;
        const uint8_t ruled = readable ? tarnel_reference::Identify(file.bytes).code : 0;
        EXPECT_EQ(ruled, file.code);
        EXPECT_EQ(file.result == RESULT_OK, file.code != 0);
        if (!file.samePictureAs.empty()) {
            EXPECT_EQ(tarnel_reference::Identify(file.samePictureAs).code, file.samePictureCode);
        }
    }
}

TEST(HostileCorpus, EveryFileGivesItsResultAndPicture) {
    for (const HostileFile& file : Corpus()) {
        SCOPED_TRACE(file.name);
        tarnel_test::FakeHost host(file.bytes);
        const HostImageSource source = host.Source();
        TarnelImage image = kUntouched;
        ASSERT_EQ(IDP_OpenImage(&source, &image), file.result);
        const bool read = !file.bytes.empty() && file.bytes.size() <= tarnel::MAX_FILE_BYTES;
        EXPECT_EQ(host.calls, read ? 1 : 0);
        if (file.result != RESULT_OK) {
            EXPECT_EQ(image, kUntouched);
            continue;
        }

        // The decoder settles on the expected layout.
        {
            tarnel::C64Decoder decoder(host.Source());
            ImageInfo info{};
            ASSERT_EQ(decoder.GetImageInfo(&info), RESULT_OK);
            EXPECT_EQ(decoder.Code(), file.code);
        }

        const std::vector<uint8_t> first = tarnel_test::DecodeBlock(image);
        const std::vector<uint8_t> second = tarnel_test::DecodeBlock(image);
        ASSERT_TRUE(HeaderIsThatOfThePage(first));
        EXPECT_TRUE(first == second) << "a second decode of the same image differs";
        ImageInfo info{};
        EXPECT_EQ(IDP_GetImageInfo(image, &info), RESULT_OK) << "information after decoding";
        EXPECT_EQ(IDP_CloseImage(image), RESULT_OK);

        EXPECT_EQ(PixelsDifferingFromModel(first, file.code, ExpectedImage(file.code, file.bytes)),
                  0);
        if (!file.samePictureAs.empty()) {
            EXPECT_TRUE(tarnel_test::DecodeFile(file.samePictureAs) == first)
                << "differs from the picture of the equivalent file";
        }
        EXPECT_TRUE(tarnel_test::DecodeFile(file.bytes) == first) << "a new decoder differs";
    }
}

// Host read callbacks that do not keep their promise.
enum class Callback {
    Honest,
    Refuses,           // returns 0
    ReportsFewer,      // success, but one byte fewer than asked
    ReportsMore,       // success, and more bytes than asked
    LeavesCount,       // success, but stores no count at all
    ReportsNothing,    // success, and stores 0
    NegativeSuccess,   // returns -1: not 0, so the bytes are there
    ReportsEverything  // success, and stores 0xFFFFFFFF
};

struct MisbehavingHost {
    std::vector<uint8_t> file;
    Callback callback;
    int calls = 0;
};

int32_t TARNEL_CDECL Misbehave(uintptr_t userValue, uint32_t needed, uint32_t* available) {
    MisbehavingHost* host = reinterpret_cast<MisbehavingHost*>(userValue);
    host->calls += 1;
    switch (host->callback) {
        case Callback::Honest:
            *available = needed;
            return 1;
        case Callback::Refuses:
            *available = needed;  // a count with a refusal means nothing
            return 0;
        case Callback::ReportsFewer:
            *available = needed - 1;
            return 1;
        case Callback::ReportsMore:
            *available = needed + 4096;
            return 1;
        case Callback::LeavesCount:
            return 1;
        case Callback::ReportsNothing:
            *available = 0;
            return 1;
        case Callback::NegativeSuccess:
            *available = needed;
            return -1;
        case Callback::ReportsEverything:
            *available = 0xFFFFFFFFu;
            return 1;
    }
    return 0;
}

int32_t OpenWith(MisbehavingHost* host, TarnelImage* image) {
    HostImageSource source{};
    source.data = host->file.data();
    source.size = static_cast<uint32_t>(host->file.size());
    source.readCallback = Misbehave;
    source.userValue = reinterpret_cast<uintptr_t>(host);
    return IDP_OpenImage(&source, image);
}

struct MisbehaviourCase {
    Callback callback;
    int32_t result;
};
const MisbehaviourCase MISBEHAVIOURS[] = {
    {Callback::Refuses, RESULT_READ_FAILED},
    {Callback::ReportsFewer, RESULT_READ_FAILED},
    {Callback::ReportsMore, RESULT_OK},
    {Callback::LeavesCount, RESULT_READ_FAILED},
    {Callback::ReportsNothing, RESULT_READ_FAILED},
    {Callback::NegativeSuccess, RESULT_OK},
    {Callback::ReportsEverything, RESULT_OK},
};

class HostMisbehaviour : public ::testing::TestWithParam<tarnel::FormatCode> {};

// A host that refuses or promises too little gets -5 and no handle; one that
// promises more than asked, or succeeds with any non-zero result, gets the
// same picture as an honest host. Each is asked exactly once.
TEST_P(HostMisbehaviour, EveryCallbackGivesItsResult) {
    const std::vector<uint8_t> file = tarnel_hostile::LayoutFile(GetParam(), 600u + GetParam());
    ASSERT_FALSE(file.empty());
    const std::vector<uint8_t> honest = tarnel_test::DecodeFile(file);
    ASSERT_FALSE(honest.empty());
    for (const MisbehaviourCase& c : MISBEHAVIOURS) {
        SCOPED_TRACE(static_cast<int>(c.callback));
        MisbehavingHost host{file, c.callback};
        TarnelImage image = kUntouched;
        ASSERT_EQ(OpenWith(&host, &image), c.result);
        EXPECT_EQ(host.calls, 1);
        if (c.result != RESULT_OK) {
            EXPECT_EQ(image, kUntouched);
            continue;
        }
        EXPECT_TRUE(tarnel_test::DecodeBlock(image) == honest);
        EXPECT_EQ(host.calls, 1) << "decoding does not read from the host";
        IDP_CloseImage(image);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, HostMisbehaviour,
                         ::testing::ValuesIn(tarnel_test::AllCodes()), tarnel_test::CodeName);

// Files the decoder refuses before reading are refused the same way whatever
// the host would do: the callback is never called.
TEST(HostMisbehaviourBeforeReading, NoCallbackForEmptyOrTooLargeFiles) {
    const Callback callbacks[] = {Callback::Refuses, Callback::ReportsFewer, Callback::LeavesCount};
    for (const Callback callback : callbacks) {
        MisbehavingHost empty{{}, callback};
        TarnelImage image = kUntouched;
        EXPECT_EQ(OpenWith(&empty, &image), RESULT_BAD_FORMAT);
        EXPECT_EQ(empty.calls, 0);
        MisbehavingHost large{std::vector<uint8_t>(tarnel::MAX_FILE_BYTES + 1, 0), callback};
        EXPECT_EQ(OpenWith(&large, &image), RESULT_BAD_FORMAT);
        EXPECT_EQ(large.calls, 0);
        EXPECT_EQ(image, kUntouched);
    }
}

}  // namespace
