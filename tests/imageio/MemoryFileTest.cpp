// Memory files and the byte streams over memory and files.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/NQException.h"
#include "imageio/NQIOStream.h"
#include "imageio/NQMemoryFile.h"
#include "support/TestSupport.h"

namespace {

// Closes what it opens, so that a failing test does not leave the
// process-wide table full for the next one.
class MemoryFileTest : public ::testing::Test {
protected:
    int open(void* buffer, int size, const char* mode) {
        const int fd = mfs_open(buffer, size, mode);
        if (fd >= 0)
            opened_.push_back(fd);
        return fd;
    }
    void TearDown() override {
        for (int fd : opened_)
            mfs_discard(fd), mfs_close(fd);
    }

private:
    std::vector<int> opened_;
};

TEST_F(MemoryFileTest, TableHoldsTwentyFilesAndReusesAFreedSlot) {
    char byte = 0;
    std::vector<int> fds;
    for (int i = 0; i < NQ_MEM_FILE_SLOTS; ++i)
        fds.push_back(open(&byte, 1, "r"));
    EXPECT_GE(fds.back(), 0);
    EXPECT_EQ(mfs_open(&byte, 1, "r"), -1);
    ASSERT_EQ(mfs_close(fds[7]), 0);
    EXPECT_EQ(mfs_read(fds[7], &byte, 1), -1);
    EXPECT_EQ(open(&byte, 1, "r"), fds[7]);
}

TEST_F(MemoryFileTest, OpenChecksModeAndBuffer) {
    char byte = 0;
    EXPECT_EQ(mfs_open(nullptr, 1, "r"), -1);
    EXPECT_EQ(mfs_open(&byte, 1, "w"), -1);
    EXPECT_EQ(mfs_open(&byte, 1, "x"), -1);
    EXPECT_EQ(mfs_open(&byte, -1, "r"), -1);
    EXPECT_GE(open(&byte, 1, "rb+"), 0);  // only the first character counts
}

TEST_F(MemoryFileTest, ReadsAreAllOrNothingAndNeverWrapAround) {
    char data[] = {'\n', '\n', 'a', 'b', '\n', 'c', 'd', 'e', 'f', 'g'};
    const int fd = open(data, 10, "r");
    char out[10];
    EXPECT_EQ(mfs_read(fd, out, 1), 1);
    EXPECT_EQ(mfs_read(fd, out, 10), 0);  // 9 left: nothing read, nothing moves
    EXPECT_EQ(mfs_read(fd, out, INT_MAX), 0);
    EXPECT_EQ(mfs_read(fd, out, -1), -1);
    EXPECT_EQ(mfs_write(fd, out, 1), -1);
    EXPECT_EQ(mfs_lseek(fd, 0, 0), 0);
    // gets skips newlines, copies up to one, then skips the newlines after it.
    EXPECT_EQ(mfs_gets(fd, out, 3), 2);
    EXPECT_EQ(std::string(out, 2), "ab");
    EXPECT_EQ(mfs_lseek(fd, 0, 1), 5);
    EXPECT_EQ(mfs_gets(fd, out, 6), 0);
    EXPECT_EQ(mfs_gets(fd, out, 5), 5);
}

TEST_F(MemoryFileTest, WritesGrowTheBlockAndSeeksBeyondTheEndLeaveAZeroGap) {
    const int fd = open(nullptr, 0, "w");
    EXPECT_EQ(mfs_write(fd, "0123456789", 10), 10);
    EXPECT_EQ(mfs_lseek(fd, 5, 2), 15);
    EXPECT_EQ(mfs_size(fd), 10);
    EXPECT_EQ(mfs_write(fd, "xy", 2), 2);
    EXPECT_EQ(mfs_lseek(fd, 2, 0), 2);
    EXPECT_EQ(mfs_write(fd, "AB", 2), 2);
    char* block = nullptr;
    unsigned size = 0;
    EXPECT_EQ(mfs_map(fd, &block, &size), 0);
    EXPECT_EQ(std::string(block, size), std::string("01AB456789\0\0\0\0\0xy", 17));
    EXPECT_EQ(mfs_lseek(fd, -1, 0), -1);
    EXPECT_EQ(mfs_lseek(fd, -100, 1), -1);
    EXPECT_EQ(mfs_lseek(fd, 0, 3), -1);
    EXPECT_EQ(mfs_lseek(fd, INT_MAX, 1), -1);
    EXPECT_EQ(extend_mem_file(fd, 3), 0);
    EXPECT_EQ(mfs_size(fd), 3);
}

TEST_F(MemoryFileTest, AppendWritesAfterTheEndOfAnAdoptedBuffer) {
    auto* buffer = static_cast<char*>(std::malloc(6));
    std::memcpy(buffer, "abcdef", 6);
    const int fd = open(buffer, 6, "a");
    EXPECT_EQ(mfs_write(fd, "WXYZ", 4), 4);
    char* block = nullptr;
    unsigned size = 0;
    mfs_map(fd, &block, &size);
    EXPECT_EQ(std::string(block, size), "abcdefWXYZ");
}

TEST_F(MemoryFileTest, ReadOnlyBufferIsNeverGrownOrReleased) {
    char data[10] = {0};
    const int fd = open(data, 10, "r");
    EXPECT_EQ(mfs_lseekForTIFFRead(fd, 11, 0), -1);
    EXPECT_EQ(mfs_lseekForTIFFRead(fd, 10, 0), 10);
    EXPECT_EQ(mfs_lseek(fd, 100, 0), 100);
    EXPECT_EQ(mfs_size(fd), 10);
    EXPECT_EQ(extend_mem_file(fd, 100), -1);
    EXPECT_EQ(mfs_discard(fd), -1);
}

TEST(MemoryBasedIO, ReadsAndWritesIntegersInEitherByteOrder) {
    unsigned char data[] = {0x01, 0x02, 0x01, 0x02, 0x01, 0x02, 0x03, 0x04, 0x09};
    NQMemoryBasedIO in(data, sizeof data, "r");
    EXPECT_EQ(in.nqGetShort(NQ_BIG_ENDIAN), 258);
    EXPECT_EQ(in.nqGetShort(NQ_LITTLE_ENDIAN), 513);
    EXPECT_EQ(in.nqGetInt(NQ_BIG_ENDIAN), 0x01020304);
    EXPECT_EQ(in.nqGetInt(NQ_LITTLE_ENDIAN), 0);  // one byte left

    NQMemoryBasedIO out(nullptr, 0, "w");
    out.nqWriteInt(0x01020304, NQ_BIG_ENDIAN);
    out.nqWriteShort(0x0506, NQ_LITTLE_ENDIAN);
    ASSERT_EQ(out.nqGetMemSize(), 6);
    unsigned char* block = out.nqGetMemBlock();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 6), "\x01\x02\x03\x04\x06\x05");
    out.nqClose();
    std::free(block);
    EXPECT_EQ(out.nqGetOffset(), -1);
}

TEST(MemoryBasedIO, ReadsLinesAndSkipsWhiteSpace) {
    char text[] = "P4\n# comment\n  \t 12";
    NQMemoryBasedIO in(text, static_cast<int>(std::strlen(text)), "r");
    EXPECT_EQ(in.nqGetLine(), "P4\n");
    EXPECT_EQ(in.nqGetLine(), "# comment\n");
    EXPECT_EQ(in.nqSkipWhitespace(), 4);
    EXPECT_EQ(in.nqGetLine(), "12");
    EXPECT_EQ(in.nqGetLine(), "");
    unsigned char stop[] = {'a', 255, 'b', '\n'};
    EXPECT_EQ(NQMemoryBasedIO(stop, 4, "r").nqGetLine(), "a");  // 255 ends the data
}

TEST(FileBasedIO, WritesThenReadsLinesIntegersAndWhiteSpace) {
    nqtest::TempDir dir;
    const std::string path = dir.file("stream.txt");
    {
        NQFileBasedIO out(path.c_str(), "wb");
        EXPECT_EQ(out.nqWrite("P4\n# c\n", 7), 1);
        EXPECT_EQ(out.nqWriteShort(258, NQ_BIG_ENDIAN), 1);
        EXPECT_EQ(out.nqWrite("  x", 3), 1);
        EXPECT_EQ(out.nqGetOffset(), 12);
        EXPECT_TRUE(out.nqClose());
        EXPECT_FALSE(out.nqClose());
    }
    NQFileBasedIO in(path.c_str(), "rb");
    char line[16];
    EXPECT_EQ(in.nqGets(line, sizeof line), 1);
    EXPECT_STREQ(line, "P4\n");
    EXPECT_EQ(in.nqGetLine(), "# c\n");
    EXPECT_EQ(in.nqGetShort(NQ_BIG_ENDIAN), 258);
    EXPECT_EQ(in.nqSkipWhitespace(), 2);
    EXPECT_EQ(in.nqGetLine(), "x");
    EXPECT_EQ(in.nqRead(line, 1), 0);
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { NQFileBasedIO missing(dir.file("none").c_str(), "rb"); }, NQ_FILE_OPEN_ERROR,
        "<NQFileBasedIO::NQFileBasedIO()> Could not open output image file"));
}

}  // namespace
