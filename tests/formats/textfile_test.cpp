#include "formats/textfile.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

using namespace zalor;
using zalor::test::ReadFile;
using zalor::test::TempDir;
using zalor::test::WriteFile;

namespace {

// Reads every line of `bytes` (as ReadLine gives them) with the positions
// after each call.
std::vector<std::string> ReadAllLines(const std::string& bytes)
{
    std::string dir = TempDir("readlines");
    WriteFile(dir + "in.txt", bytes);
    TTextFile f(dir + "in.txt", TTextFile::kRead);
    std::vector<std::string> lines;
    while (!f.AtEnd()) lines.push_back(f.ReadLine());
    return lines;
}


} // namespace

TEST(TextFileRead, LinesUpTo254CharactersAreReadWhole)
{
    std::string l254(254, 'a'), l253(253, 'b');
    auto lines = ReadAllLines(l254 + "\r\n" + l253 + "\r\n" + "x\r\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], l254);
    EXPECT_EQ(lines[1], l253);
    EXPECT_EQ(lines[2], "x");
}

TEST(TextFileRead, A255CharacterLineReadsEmptyAndTheNextLineFollows)
{
    std::string dir = TempDir("read255");
    std::string l255(255, 'a');
    WriteFile(dir + "in.txt", l255 + "\r\nnext\r\n");
    TTextFile f(dir + "in.txt", TTextFile::kRead);
    EXPECT_EQ(f.ReadLine(), "");
    EXPECT_EQ(f.GetPosition(), 257); // after its line end
    EXPECT_EQ(f.ReadLine(), "next");
    EXPECT_TRUE(f.AtEnd());
}

TEST(TextFileRead, ALongerLineFailsAfter256CharactersAndTheRestFollows)
{
    std::string dir = TempDir("read300");
    std::string line(256, 'a');
    line += "tail";
    WriteFile(dir + "in.txt", line + "\r\nnext\r\n");
    TTextFile f(dir + "in.txt", TTextFile::kRead);
    EXPECT_EQ(f.ReadLine(), "");
    EXPECT_EQ(f.GetPosition(), 256);
    EXPECT_EQ(f.ReadLine(), "tail");
    EXPECT_EQ(f.ReadLine(), "next");
    EXPECT_TRUE(f.AtEnd());
}

TEST(TextFileRead, LastLineWithoutLineEndThenEmptyAtTheEnd)
{
    std::string dir = TempDir("readlast");
    WriteFile(dir + "in.txt", "one\r\ntwo");
    TTextFile f(dir + "in.txt", TTextFile::kRead);
    EXPECT_EQ(f.ReadLine(), "one");
    EXPECT_EQ(f.ReadLine(), "two");
    EXPECT_EQ(f.GetPosition(), f.GetSize());
    EXPECT_EQ(f.ReadLine(), "");
    EXPECT_EQ(f.GetPosition(), f.GetSize());
}

TEST(TextFileRead, OnlyCrEndsALineAndTheByteAfterItIsSkipped)
{
    // A lone LF is an ordinary character; the byte after a CR is dropped
    // whatever it is; an empty line reads as empty text.
    auto lines = ReadAllLines(std::string("a\nb\r\n\r\nc\rXd\r\n"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "a\nb");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "c");
    EXPECT_EQ(lines[3], "d");
}

TEST(TextFileRead, LinesAcrossTheBufferBoundary)
{
    // Many short lines so that several cross the 64 KiB buffer edge.
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
    auto lines = ReadAllLines(bytes);
    ASSERT_EQ(lines.size(), 20000u);
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(lines[static_cast<std::size_t>(i)], "line " + std::to_string(i));
}

TEST(TextFileRead, OpeningAMissingFileThrows)
{
    EXPECT_THROW(TTextFile("/nonexistent-dir/x.txt", TTextFile::kRead), FileError);
    EXPECT_THROW(TTextFile("/nonexistent-dir/x.txt", TTextFile::kCreate), FileError);
}

TEST(TextFileWrite, LinesEndInCrLfAndRawBytesStayAsTheyAre)
{
    std::string dir = TempDir("write");
    {
        TTextFile f(dir + "out.txt", TTextFile::kCreate);
        f.WriteLine("abc");
        f.WriteLine("");
        f.WriteRaw(std::string("\0\xff\r", 3));
        EXPECT_EQ(f.GetSize(), 10);
        EXPECT_EQ(f.GetPosition(), 10);
        EXPECT_TRUE(f.Close());
    }
    EXPECT_EQ(ReadFile(dir + "out.txt"), std::string("abc\r\n\r\n\0\xff\r", 10));
}

TEST(TextFileWrite, HeaderRewrittenAtOffsetZeroAfterManyBufferedWrites)
{
    std::string dir = TempDir("rewrite");
    std::string expect;
    {
        TTextFile f(dir + "out.bin", TTextFile::kCreate);
        f.WriteRaw("00000000", 8);
        for (int i = 0; i < 50000; ++i) f.WriteLine(std::to_string(i));
        std::string big(200000, 'z'); // larger than the buffer: goes straight out
        f.WriteRaw(big);
        f.WriteLine("end");
        int64_t size = f.GetSize();
        f.SetPosition(0);
        f.WriteRaw("HEADER!!", 8);
        EXPECT_EQ(f.GetSize(), size);
        EXPECT_TRUE(f.Close());
    }
    expect = "HEADER!!";
    for (int i = 0; i < 50000; ++i) expect += std::to_string(i) + "\r\n";
    expect += std::string(200000, 'z') + "end\r\n";
    EXPECT_EQ(ReadFile(dir + "out.bin"), expect);
}

TEST(TextFileWrite, ACreatedFileCanBeReadBack)
{
    std::string dir = TempDir("readback");
    TTextFile f(dir + "out.txt", TTextFile::kCreate);
    f.WriteLine("first");
    f.WriteLine("second");
    f.SetPosition(0);
    EXPECT_EQ(f.ReadLine(), "first");
    EXPECT_EQ(f.ReadLine(), "second");
    EXPECT_TRUE(f.AtEnd());
}

TEST(TextFileWrite, InMemoryStreamForAnEmptyName)
{
    TTextFile f("", TTextFile::kCreate);
    f.WriteLine("x");
    f.WriteLine("yy");
    EXPECT_EQ(f.MemoryContents(), "x\r\nyy\r\n");
    f.SetPosition(0);
    f.WriteRaw("Z", 1);
    f.SetPosition(0);
    EXPECT_EQ(f.ReadLine(), "Z");
    EXPECT_EQ(f.ReadLine(), "yy");
    EXPECT_EQ(f.GetSize(), 7);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(f.GetSize(), 0); // no stream any more
}

TEST(TextFileWrite, WritesToAFullDeviceFailOnClose)
{
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    TTextFile f("/dev/full", TTextFile::kCreate);
    f.WriteLine("does not fit");
    EXPECT_FALSE(f.Close());
    EXPECT_TRUE(f.Failed());
    EXPECT_EQ(f.FailedPath(), "/dev/full");
    EXPECT_FALSE(f.Close()); // the answer stays
}

TEST(TextFileWrite, CreatingInAReadOnlyDirectoryThrows)
{
    if (::geteuid() == 0) GTEST_SKIP() << "a read-only directory does not stop root";
    std::string dir = TempDir("readonly");
    std::filesystem::permissions(dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(TTextFile(dir + "x.MIF", TTextFile::kCreate), FileError);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
}

TEST(TextFileWrite, DestructorClosesSilentlyAndFlushes)
{
    std::string dir = TempDir("dtor");
    {
        TTextFile f(dir + "a.txt", TTextFile::kCreate);
        f.WriteLine("kept");
    }
    EXPECT_EQ(ReadFile(dir + "a.txt"), "kept\r\n");
    if (::access("/dev/full", W_OK) != 0) return;
    {
        TTextFile f("/dev/full", TTextFile::kCreate);
        f.WriteLine("dropped without a word");
    }
}
