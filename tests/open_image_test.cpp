// Opening images through the exports: reading from the host, the size limit,
// image and page information, and failure paths.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "authoring/layout_files.h"
#include "platform/allocation.h"
#include "plugin/c64_decoder.h"
#include "testing/host.h"
#include "testing/random_memory.h"

namespace {

using tarnel_test::FakeHost;
using tarnel_test::HostBehaviour;

std::vector<uint8_t> KoalaFile(uint32_t seed = 5) {
    const std::vector<uint8_t> memory = tarnel_test::RandomMemory(seed);
    return tarnel::BuildLayoutFile(20, tarnel_test::View(memory));
}

// A file of the given size that passes identification (FUNPAINT signature).
std::vector<uint8_t> RecognisedFileOfSize(size_t size) {
    std::vector<uint8_t> file = tarnel_test::RandomBytes(size, 9);
    std::memcpy(file.data(),
                "\xF0\x3F"
                "FUNPAINT (MT) ",
                16);
    file[16] = 0;
    return file;
}

void* const kUntouched = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5A5A5A5Au));

TEST(OpenImage, OpensAndReportsGeometry) {
    FakeHost host(KoalaFile());
    const HostImageSource source = host.Source();
    TarnelImage image = nullptr;
    ASSERT_EQ(IDP_OpenImage(&source, &image), RESULT_OK);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(host.lastNeeded, 10003u);
    EXPECT_EQ(host.lastUserValue, reinterpret_cast<uintptr_t>(&host));

    ImageInfo info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(IDP_GetImageInfo(image, &info), RESULT_OK);
    EXPECT_EQ(host.calls, 1) << "the file is read only once, when opening";
    EXPECT_EQ(info.reserved0, 0u);
    unsigned char tag[4];
    std::memcpy(tag, &info.typeTag, 4);
    EXPECT_EQ(std::memcmp(tag, "VIC", 4), 0);
    EXPECT_EQ(info.width, 320u);
    EXPECT_EQ(info.height, 200u);
    EXPECT_EQ(info.bitsPerComponent, 8u);
    EXPECT_EQ(info.componentCount, 3u);
    EXPECT_EQ(info.pageCount, 1u);

    PageInfo page;
    std::memset(&page, 0xCC, sizeof page);
    ASSERT_EQ(IDP_GetPageInfo(image, 0, &page), RESULT_OK);
    EXPECT_EQ(page.one, 1u);
    EXPECT_EQ(page.width, 320u);
    EXPECT_EQ(page.height, 200u);
    EXPECT_EQ(page.bitsPerComponent, 8u);
    EXPECT_EQ(page.componentCount, 3u);
    EXPECT_EQ(IDP_CloseImage(image), RESULT_OK);
}

TEST(OpenImage, OtherPagesAreRefusedAndTheRecordKept) {
    TarnelImage image = nullptr;
    ASSERT_EQ(tarnel_test::OpenBytes(KoalaFile(), &image), RESULT_OK);
    for (int32_t page : {1, -1, 1000}) {
        PageInfo info;
        std::memset(&info, 0xAB, sizeof info);
        EXPECT_EQ(IDP_GetPageInfo(image, page, &info), RESULT_BAD_PAGE);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&info);
        for (size_t i = 0; i < sizeof info; ++i) EXPECT_EQ(bytes[i], 0xAB);
    }
    IDP_CloseImage(image);
}

TEST(OpenImage, CloseNullHandle) {
    EXPECT_EQ(IDP_CloseImage(nullptr), RESULT_OK);
}

TEST(OpenImage, UnknownFileIsRefusedAndHandleKept) {
    std::vector<uint8_t> file = tarnel_test::RandomBytes(5000, 2);
    file.back() = file[0];  // keep the probe's count low
    TarnelImage image = kUntouched;
    EXPECT_EQ(tarnel_test::OpenBytes(file, &image), RESULT_BAD_FORMAT);
    EXPECT_EQ(image, kUntouched);
}

TEST(OpenImage, SizeLimit) {
    FakeHost atLimit(RecognisedFileOfSize(36864));
    HostImageSource source = atLimit.Source();
    TarnelImage image = nullptr;
    ASSERT_EQ(IDP_OpenImage(&source, &image), RESULT_OK);
    EXPECT_EQ(atLimit.calls, 1);
    IDP_CloseImage(image);

    FakeHost over(RecognisedFileOfSize(36865));
    source = over.Source();
    image = kUntouched;
    EXPECT_EQ(IDP_OpenImage(&source, &image), RESULT_BAD_FORMAT);
    EXPECT_EQ(over.calls, 0) << "refused before any read";
    EXPECT_EQ(image, kUntouched);
}

TEST(OpenImage, EmptyFileIsReadWithoutCallback) {
    FakeHost host({});
    const HostImageSource source = host.Source();
    TarnelImage image = kUntouched;
    EXPECT_EQ(IDP_OpenImage(&source, &image), RESULT_BAD_FORMAT);
    EXPECT_EQ(host.calls, 0);
    EXPECT_EQ(image, kUntouched);
}

TEST(OpenImage, HostMisbehaviour) {
    struct Case {
        HostBehaviour behaviour;
        int32_t expected;
    };
    for (const Case& c : {Case{HostBehaviour::Refuse, RESULT_READ_FAILED},
                          Case{HostBehaviour::ReportFewer, RESULT_READ_FAILED},
                          Case{HostBehaviour::ReportMore, RESULT_OK}}) {
        FakeHost host(KoalaFile(), c.behaviour);
        const HostImageSource source = host.Source();
        TarnelImage image = kUntouched;
        EXPECT_EQ(IDP_OpenImage(&source, &image), c.expected);
        EXPECT_EQ(host.calls, 1);
        if (c.expected == RESULT_OK) {
            EXPECT_NE(image, kUntouched);
            IDP_CloseImage(image);
        } else {
            EXPECT_EQ(image, kUntouched);
        }
    }
}

TEST(OpenImage, NullCallbackIsARefusal) {
    FakeHost host(KoalaFile());
    HostImageSource source = host.Source();
    source.readCallback = nullptr;
    TarnelImage image = kUntouched;
    EXPECT_EQ(IDP_OpenImage(&source, &image), RESULT_READ_FAILED);
    EXPECT_EQ(image, kUntouched);
}

TEST(OpenImage, TwoImagesAreIndependent) {
    const std::vector<uint8_t> first = KoalaFile(1);
    const std::vector<uint8_t> second = KoalaFile(2);
    const std::vector<uint8_t> firstAlone = tarnel_test::DecodeFile(first);
    const std::vector<uint8_t> secondAlone = tarnel_test::DecodeFile(second);
    ASSERT_FALSE(firstAlone.empty());
    ASSERT_NE(firstAlone, secondAlone);

    TarnelImage a = nullptr;
    TarnelImage b = nullptr;
    ASSERT_EQ(tarnel_test::OpenBytes(first, &a), RESULT_OK);
    ASSERT_EQ(tarnel_test::OpenBytes(second, &b), RESULT_OK);
    EXPECT_EQ(tarnel_test::DecodeBlock(b), secondAlone);
    IDP_CloseImage(a);
    EXPECT_EQ(tarnel_test::DecodeBlock(b), secondAlone);
    IDP_CloseImage(b);
}

// The decoder operations directly, for what the exports cannot show.
class DecoderOperations : public ::testing::Test {
protected:
    FakeHost host{KoalaFile()};
};

TEST_F(DecoderOperations, OptionalOperationsAreNotSupported) {
    tarnel::C64Decoder decoder(host.Source());
    tarnel::ImageDecoder& base = decoder;
    EXPECT_EQ(base.OptionalOperation1(1, 2), RESULT_NOT_SUPPORTED);
    EXPECT_EQ(base.OptionalOperation2(0xFFFFFFFFu, 0), RESULT_NOT_SUPPORTED);
    EXPECT_EQ(base.OptionalOperation3(7), RESULT_NOT_SUPPORTED);
    EXPECT_EQ(base.OptionalOperation4(), RESULT_NOT_SUPPORTED);
    EXPECT_EQ(base.OptionalOperation5(0), RESULT_NOT_SUPPORTED);
}

TEST_F(DecoderOperations, CodeBeforeIdentification) {
    tarnel::C64Decoder decoder(host.Source());
    EXPECT_EQ(decoder.Code(), tarnel::FORMAT_NOT_IDENTIFIED);
}

TEST_F(DecoderOperations, FailedInfoLeavesTheRecordAsItWas) {
    host.file.resize(36865);
    tarnel::C64Decoder decoder(host.Source());
    ImageInfo info;
    std::memset(&info, 0x77, sizeof info);
    EXPECT_EQ(decoder.GetImageInfo(&info), RESULT_BAD_FORMAT);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&info);
    for (size_t i = 0; i < sizeof info; ++i) EXPECT_EQ(bytes[i], 0x77);
}

TEST_F(DecoderOperations, UnrecognisedFileHoldsCodeZero) {
    host.file.assign(100, 0x12);
    tarnel::C64Decoder decoder(host.Source());
    ImageInfo info{};
    EXPECT_EQ(decoder.GetImageInfo(&info), RESULT_BAD_FORMAT);
    EXPECT_EQ(decoder.Code(), 0);
}

TEST_F(DecoderOperations, ReadSourceAsksOnceAndOnlyWhenNeeded) {
    tarnel::C64Decoder decoder(host.Source());
    uint8_t buffer[16] = {};
    EXPECT_EQ(decoder.ReadSource(buffer, 0), 1);
    EXPECT_EQ(host.calls, 0) << "a read of nothing needs no bytes";
    EXPECT_EQ(decoder.ReadSource(buffer, 4), 1);
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(host.lastNeeded, 4u);
    EXPECT_EQ(std::memcmp(buffer, host.file.data(), 4), 0);
    EXPECT_EQ(decoder.ReadSource(buffer, 4), 1);
    EXPECT_EQ(host.calls, 2);
    EXPECT_EQ(host.lastNeeded, 8u) << "needed total counts from the start of the file";
    EXPECT_EQ(std::memcmp(buffer, host.file.data() + 4, 4), 0);
}

TEST_F(DecoderOperations, ReadSourceSkipsTheCallbackWhenBytesAreAvailable) {
    host.behaviour = HostBehaviour::ReportMore;  // reports 1,000 extra bytes
    tarnel::C64Decoder decoder(host.Source());
    uint8_t buffer[8];
    EXPECT_EQ(decoder.ReadSource(buffer, 2), 1);
    EXPECT_EQ(decoder.ReadSource(buffer, 8), 1);
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(std::memcmp(buffer, host.file.data() + 2, 8), 0);
}

TEST_F(DecoderOperations, RefusedReadCopiesNothingAndDoesNotMove) {
    host.behaviour = HostBehaviour::Refuse;
    tarnel::C64Decoder decoder(host.Source());
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(decoder.ReadSource(buffer, 4), 0);
    EXPECT_EQ(buffer[0], 9);
    host.behaviour = HostBehaviour::Honest;
    EXPECT_EQ(decoder.ReadSource(buffer, 4), 1);
    EXPECT_EQ(host.lastNeeded, 4u) << "the read position stayed at the start";
    EXPECT_EQ(std::memcmp(buffer, host.file.data(), 4), 0);
}

TEST_F(DecoderOperations, UserValueReachesTheCallbackUnchanged) {
    HostImageSource source = host.Source();
    tarnel::C64Decoder decoder(source);
    uint8_t buffer[1];
    ASSERT_EQ(decoder.ReadSource(buffer, 1), 1);
    EXPECT_EQ(host.lastUserValue, source.userValue);
}

// Making allocations fail.
tarnel::platform::AllocationSite failingSite;
bool FailAt(tarnel::platform::AllocationSite site) {
    return site == failingSite;
}

class AllocationFailure : public ::testing::TestWithParam<tarnel::platform::AllocationSite> {
protected:
    void TearDown() override { tarnel::platform::SetAllocationHook(nullptr); }
};

TEST_P(AllocationFailure, OpeningReportsNoMemoryAndReadsNothing) {
    failingSite = GetParam();
    tarnel::platform::SetAllocationHook(FailAt);
    FakeHost host(KoalaFile());
    const HostImageSource source = host.Source();
    TarnelImage image = kUntouched;
    EXPECT_EQ(IDP_OpenImage(&source, &image), RESULT_NO_MEMORY);
    EXPECT_EQ(image, kUntouched);
    EXPECT_EQ(host.calls, 0);
}

INSTANTIATE_TEST_SUITE_P(FileBuffers, AllocationFailure,
                         ::testing::Values(tarnel::platform::AllocationSite::FileData,
                                           tarnel::platform::AllocationSite::UnpackBuffer));

}  // namespace
