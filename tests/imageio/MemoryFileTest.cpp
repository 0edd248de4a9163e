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

// Closes every descriptor it hands out, so a failing test does not leave the
// process-wide table full for the next one.
class MemoryFileTest : public ::testing::Test {
protected:
    int open(void* buffer, int size, const char* mode) {
        const int fd = mfs_open(buffer, size, mode);
        if (fd >= 0) opened_.push_back(fd);
        return fd;
    }
    void TearDown() override {
        for (int fd : opened_) {
            mfs_discard(fd);
            mfs_close(fd);
        }
    }

private:
    std::vector<int> opened_;
};

TEST_F(MemoryFileTest, TableHoldsTwentyFilesAndReusesAFreedSlot) {
    char byte = 0;
    std::vector<int> fds;
    for (int i = 0; i < NQ_MEM_FILE_SLOTS; ++i) {
        fds.push_back(open(&byte, 1, "r"));
        ASSERT_GE(fds.back(), 0);
    }
    EXPECT_EQ(mfs_open(&byte, 1, "r"), -1);
    ASSERT_EQ(mfs_close(fds[7]), 0);
    EXPECT_EQ(mfs_close(fds[7]), -1);
    EXPECT_EQ(open(&byte, 1, "r"), fds[7]);
}

TEST_F(MemoryFileTest, OpenChecksModeAndBuffer) {
    char byte = 0;
    EXPECT_EQ(mfs_open(nullptr, 1, "r"), -1);
    EXPECT_EQ(mfs_open(&byte, 1, "w"), -1);
    EXPECT_EQ(mfs_open(&byte, 1, "x"), -1);
    EXPECT_EQ(mfs_open(&byte, -1, "r"), -1);
    EXPECT_EQ(mfs_open(&byte, 1, nullptr), -1);
    EXPECT_GE(open(&byte, 1, "rb+"), 0);  // only the first character counts
    EXPECT_GE(open(nullptr, 0, "wb"), 0);
    EXPECT_GE(open(nullptr, 0, "a"), 0);
    // Every operation refuses a descriptor that is not open.
    for (int bad : {-1, NQ_MEM_FILE_SLOTS, 1000}) {
        EXPECT_EQ(mfs_read(bad, &byte, 1), -1);
        EXPECT_EQ(mfs_write(bad, &byte, 1), -1);
        EXPECT_EQ(mfs_lseek(bad, 0, 0), -1);
        EXPECT_EQ(mfs_size(bad), -1);
        EXPECT_EQ(mfs_close(bad), -1);
    }
}

TEST_F(MemoryFileTest, ReadsAllOrNothing) {
    char data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const int fd = open(data, 10, "r");
    char out[10];
    EXPECT_EQ(mfs_read(fd, out, 1), 1);
    EXPECT_EQ(mfs_read(fd, out, 10), 0);  // 9 left
    EXPECT_EQ(mfs_lseek(fd, 0, 1), 1);
    EXPECT_EQ(mfs_read(fd, out, 9), 9);
    EXPECT_EQ(out[8], 9);
    EXPECT_EQ(mfs_read(fd, out, -1), -1);
    EXPECT_EQ(mfs_read(fd, out, INT_MAX), 0);  // offset + n does not wrap
    EXPECT_EQ(mfs_write(fd, out, 1), -1);      // read-only
}

TEST_F(MemoryFileTest, GetsSkipsNewlinesAroundOneLine) {
    char data[] = {'\n', '\n', 'a', 'b', '\n', 'c', 'd'};
    const int fd = open(data, 7, "r");
    char out[8] = {0};
    EXPECT_EQ(mfs_gets(fd, out, 3), 2);
    EXPECT_EQ(std::string(out, 2), "ab");
    EXPECT_EQ(mfs_lseek(fd, 0, 1), 5);
    EXPECT_EQ(mfs_gets(fd, out, 3), 0);  // offset + n beyond the size: nothing moves
    EXPECT_EQ(mfs_lseek(fd, 0, 1), 5);
    EXPECT_EQ(mfs_gets(fd, out, 2), 2);
    EXPECT_EQ(std::string(out, 2), "cd");
}

TEST_F(MemoryFileTest, WriteGrowsTheBlockAndSeeksBeyondTheEndLeaveAZeroGap) {
    const int fd = open(nullptr, 0, "w");
    EXPECT_EQ(mfs_write(fd, "0123456789", 10), 10);
    EXPECT_EQ(mfs_lseek(fd, 5, 2), 15);
    EXPECT_EQ(mfs_size(fd), 10);
    EXPECT_EQ(mfs_write(fd, "xy", 2), 2);
    EXPECT_EQ(mfs_size(fd), 17);
    EXPECT_EQ(mfs_lseek(fd, 2, 0), 2);
    EXPECT_EQ(mfs_write(fd, "AB", 2), 2);
    EXPECT_EQ(mfs_size(fd), 17);
    char* block = nullptr;
    unsigned size = 0;
    EXPECT_EQ(mfs_map(fd, &block, &size), 0);
    EXPECT_EQ(std::string(block, size), std::string("01AB456789\0\0\0\0\0xy", 17));
    EXPECT_EQ(mfs_lseek(fd, -1, 0), -1);
    EXPECT_EQ(mfs_lseek(fd, -100, 1), -1);
    EXPECT_EQ(mfs_lseek(fd, 0, 3), -1);
    EXPECT_EQ(mfs_lseek(fd, INT_MAX, 1), -1);  // beyond what an int can address
    EXPECT_EQ(mfs_write(fd, "z", -1), -1);
}

TEST_F(MemoryFileTest, AppendAddsAtTheEndOfAnAdoptedBuffer) {
    auto* buffer = static_cast<char*>(std::malloc(6));
    std::memcpy(buffer, "abcdef", 6);
    const int fd = open(buffer, 6, "a");
    EXPECT_EQ(mfs_lseek(fd, 0, 0), 0);
    EXPECT_EQ(mfs_write(fd, "WXYZ", 4), 4);
    char* block = nullptr;
    unsigned size = 0;
    mfs_map(fd, &block, &size);
    EXPECT_EQ(std::string(block, size), "abcdefWXYZ");
    // The grown block replaces the adopted one and is released with the file.
}

TEST_F(MemoryFileTest, ReadOnlyBufferIsNeverGrownOrReleased) {
    char data[10] = {0};
    const int fd = open(data, 10, "r");
    EXPECT_EQ(mfs_lseekForTIFFRead(fd, 11, 0), -1);
    EXPECT_EQ(mfs_lseek(fd, 0, 1), 0);  // offset unchanged
    EXPECT_EQ(mfs_lseekForTIFFRead(fd, 10, 0), 10);
    EXPECT_EQ(mfs_lseekForTIFFRead(fd, -11, 1), -1);
    EXPECT_EQ(mfs_lseek(fd, 100, 0), 100);  // allowed, but nothing is allocated
    EXPECT_EQ(mfs_size(fd), 10);
    char out = 0;
    EXPECT_EQ(mfs_read(fd, &out, 1), 0);
    EXPECT_EQ(extend_mem_file(fd, 100), -1);
    EXPECT_EQ(mfs_discard(fd), -1);
}

TEST_F(MemoryFileTest, ExtendResizesAWritableBlock) {
    const int fd = open(nullptr, 0, "w");
    mfs_write(fd, "abcdef", 6);
    EXPECT_EQ(extend_mem_file(fd, 1000), 0);
    EXPECT_EQ(mfs_size(fd), 6);
    EXPECT_EQ(extend_mem_file(fd, 3), 0);
    EXPECT_EQ(mfs_size(fd), 3);
    EXPECT_EQ(extend_mem_file(fd, -1), -1);
}

// ---- streams --------------------------------------------------------------------

TEST(MemoryBasedIO, ReadsIntegersInEitherByteOrder) {
    unsigned char data[] = {0x01, 0x02, 0x01, 0x02, 0x01, 0x02, 0x03, 0x04, 0x09};
    NQMemoryBasedIO in(data, sizeof data, "r");
    EXPECT_EQ(in.nqGetShort(NQ_BIG_ENDIAN), 258);
    EXPECT_EQ(in.nqGetShort(NQ_LITTLE_ENDIAN), 513);
    EXPECT_EQ(in.nqGetInt(NQ_BIG_ENDIAN), 0x01020304);
    EXPECT_EQ(in.nqGetOffset(), 8);
    EXPECT_EQ(in.nqGetInt(NQ_LITTLE_ENDIAN), 0);  // only one byte left
}

TEST(MemoryBasedIO, WritesIntegersAndHandsTheBlockOver) {
    NQMemoryBasedIO out(nullptr, 0, "w");
    EXPECT_GT(out.nqWriteInt(0x01020304, NQ_BIG_ENDIAN), 0);
    EXPECT_GT(out.nqWriteShort(0x0506, NQ_LITTLE_ENDIAN), 0);
    ASSERT_EQ(out.nqGetMemSize(), 6);
    unsigned char* block = out.nqGetMemBlock();
    const unsigned char expected[] = {1, 2, 3, 4, 6, 5};
    EXPECT_EQ(std::memcmp(block, expected, 6), 0);
    out.nqClose();
    std::free(block);
    EXPECT_EQ(out.nqGetMemBlock(), nullptr);
    EXPECT_EQ(out.nqGetOffset(), -1);
}

TEST(MemoryBasedIO, LinesAndWhiteSpace) {
    char text[] = "P4\n# comment\n  \t 12";
    NQMemoryBasedIO in(text, static_cast<int>(std::strlen(text)), "r");
    EXPECT_EQ(in.nqGetLine(), "P4\n");
    EXPECT_EQ(in.nqGetLine(), "# comment\n");
    EXPECT_EQ(in.nqSkipWhitespace(), 4);
    EXPECT_EQ(in.nqGetLine(), "12");
    EXPECT_EQ(in.nqGetLine(), "");
    EXPECT_EQ(in.nqSkipWhitespace(), 0);

    unsigned char stop[] = {'a', 255, 'b', '\n'};
    NQMemoryBasedIO stopped(stop, 4, "r");
    EXPECT_EQ(stopped.nqGetLine(), "a");  // 255 counts as the end
}

TEST(MemoryBasedIO, FailedOpenFailsEveryOperation) {
    NQMemoryBasedIO in(nullptr, 4, "r");
    char out[4];
    EXPECT_LE(in.nqRead(out, 1), 0);
    EXPECT_EQ(in.nqGetLine(), "");
    EXPECT_EQ(in.nqGetOffset(), -1);
    EXPECT_EQ(in.nqSkipWhitespace(), 0);
}

TEST(FileBasedIO, ReadsLinesIntegersAndWhiteSpaceFromAFile) {
    nqtest::TempDir dir;
    const std::string path = dir.file("stream.txt");
    {
        NQFileBasedIO out(path.c_str(), "wb");
        EXPECT_EQ(out.nqWrite("P4\n# c\n", 7), 1);
        EXPECT_EQ(out.nqWriteShort(258, NQ_BIG_ENDIAN), 1);
        EXPECT_EQ(out.nqWrite("  x", 3), 1);
        EXPECT_TRUE(out.nqFlush());
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
    EXPECT_TRUE(in.nqClose());
    EXPECT_EQ(in.nqGetLine(), "");
    EXPECT_EQ(in.nqGetOffset(), -1);

    EXPECT_TRUE(nqtest::throwsNQ([&] { NQFileBasedIO missing(dir.file("none").c_str(), "rb"); },
                                 NQ_FILE_OPEN_ERROR,
                                 "<NQFileBasedIO::NQFileBasedIO()> Could not open output image file"));
}

}  // namespace
