// The buffered file stream: what the components read, write and seek through it is what the
// file holds, whatever mix of small and large requests, and a full disk is reported.

#include "audio/AuStreams.h"
#include "PcmTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tolvak;
using namespace tolvak::test;

TEST(FileStreamTest, MixedReadsWritesAndSeeksSeeTheFileAsItIs) {
    TempDir dir;
    const std::string name = (dir / "s.bin").string();
    const int64_t big = TAuFileStream::kBufferSize + 1000;
    Bytes data(static_cast<size_t>(3 * big));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    {
        TAuFileStream f(name, TAuFileStream::fmCreate);
        // Small writes, one larger than the buffer, then a header rewritten in place.
        int64_t at = 0;
        for (int64_t n : {int64_t{44}, int64_t{8192}, big, int64_t{1}, big}) {
            ASSERT_EQ(f.Write(data.data() + at, n), n);
            at += n;
            EXPECT_EQ(f.Position(), at);
        }
        EXPECT_EQ(f.Size(), at);
        f.SetPosition(4);
        ASSERT_EQ(f.Write("ABCD", 4), 4);
        std::memcpy(data.data() + 4, "ABCD", 4);
        // Reading back after writing, from a position inside what was written.
        f.SetPosition(40);
        uint8_t b[16];
        ASSERT_EQ(f.Read(b, 16), 16);
        EXPECT_EQ(0, std::memcmp(b, data.data() + 40, 16));
        // Writing after reading goes where the reading stopped.
        ASSERT_EQ(f.Write("xy", 2), 2);
        data[56] = 'x';
        data[57] = 'y';
        f.Seek(0, TSeekOrigin::soEnd);
        ASSERT_EQ(f.Write(data.data() + at, 3 * big - at), 3 * big - at);
        EXPECT_TRUE(f.FlushBuffer());
    }
    EXPECT_EQ(ReadFile(name), data);

    // Reading: small pieces, moves back within what was read ahead, and a large request.
    TAuFileStream f(name, TAuFileStream::kInputMode);
    Bytes got(data.size());
    ASSERT_EQ(f.Read(got.data(), 100), 100);
    f.SetPosition(10);
    ASSERT_EQ(f.Read(got.data() + 10, 90), 90);
    EXPECT_EQ(f.Seek(0, TSeekOrigin::soCurrent), 100);
    ASSERT_EQ(f.Read(got.data() + 100, big), big);
    const int64_t rest = static_cast<int64_t>(data.size()) - 100 - big;
    ASSERT_EQ(f.Read(got.data() + 100 + big, rest + 50), rest);  // the end
    EXPECT_EQ(f.Read(got.data(), 10), 0);
    EXPECT_EQ(got, data);
}

TEST(FileStreamTest, AFullDiskShowsWhenTheBufferIsWritten) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TAuFileStream f("/dev/full", TAuFileStream::fmOpenWrite);
    const Bytes b(1000, 1);
    EXPECT_EQ(f.Write(b.data(), 1000), 1000);  // held in the buffer
    EXPECT_FALSE(f.FlushBuffer());
    const Bytes large(static_cast<size_t>(TAuFileStream::kBufferSize), 2);
    EXPECT_LT(f.Write(large.data(), TAuFileStream::kBufferSize), TAuFileStream::kBufferSize);
}

TEST(FileStreamTest, CreatingRemovesALinkAtTheNameInsteadOfWritingThroughIt) {
    TempDir dir;
    { TAuFileStream((dir / "ofiara").string(), TAuFileStream::fmCreate).Write("stare", 5); }
    std::filesystem::create_symlink(dir / "ofiara", dir / "tvtemp2.wav");
    { TAuFileStream((dir / "tvtemp2.wav").string(), TAuFileStream::fmCreate).Write("nowe!!", 6); }
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "tvtemp2.wav"));
    EXPECT_EQ(std::filesystem::file_size(dir / "tvtemp2.wav"), 6u);
    EXPECT_EQ(std::filesystem::file_size(dir / "ofiara"), 5u);
}
