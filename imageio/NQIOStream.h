#ifndef NQ_IMAGEIO_NQIOSTREAM_H
#define NQ_IMAGEIO_NQIOSTREAM_H

#include <cstdio>
#include <string>

enum NQEndian { NQ_LITTLE_ENDIAN = 0, NQ_BIG_ENDIAN = 1 };

// The byte stream that codecs read and write, so that one decoder serves a
// file and a buffer in memory. Success values differ between the two kinds (a
// byte count for memory, 1 for a file); callers test reads and writes for a
// positive result only.
class NQIOStream {
public:
    NQIOStream() = default;
    NQIOStream(const NQIOStream&) = delete;
    NQIOStream& operator=(const NQIOStream&) = delete;
    virtual ~NQIOStream();

    // Reads exactly n bytes; positive on success, 0 or -1 otherwise.
    virtual int nqRead(void* dst, int n) = 0;
    // Reads a line (see the concrete streams for the exact shape).
    virtual int nqGets(void* dst, int n) = 0;
    // Bytes up to and including the next newline; the end of the data (or a
    // byte of value 255) ends the text without being part of it.
    virtual std::string nqGetLine() = 0;
    // 4 or 2 bytes, reversed when `order` differs from the stream's own order
    // (little-endian). 0 when the data end early.
    virtual int nqGetInt(NQEndian order);
    virtual short nqGetShort(NQEndian order);
    // Reversed when `order` differs from the stream's order, then nqWrite.
    virtual int nqWriteInt(int value, NQEndian order);
    virtual int nqWriteShort(short value, NQEndian order);
    virtual int nqWrite(const void* src, int n) = 0;
    virtual bool nqClose() = 0;
    virtual bool nqFlush() = 0;
    virtual int nqGetOffset() = 0;
    // Skips white-space bytes and steps back before the first other byte;
    // returns the count skipped. Raises code 1 when stepping back fails.
    virtual int nqSkipWhitespace() = 0;

protected:
    NQEndian endian_ = NQ_LITTLE_ENDIAN;
};

// A stream over a memory file (imageio/NQMemoryFile.h). A stream opened with a
// null buffer and mode "w" collects what is written; nqGetMemBlock hands the
// malloc'ed block over (the caller frees it), nqFreeMemBlock drops it.
class NQMemoryBasedIO : public NQIOStream {
public:
    // A failed open leaves the descriptor at -1; every operation then fails.
    NQMemoryBasedIO(void* buffer, int size, const char* mode);
    ~NQMemoryBasedIO() override;

    int nqRead(void* dst, int n) override;
    // mfs_gets: the count copied (no terminator), 0 at the end.
    int nqGets(void* dst, int n) override;
    std::string nqGetLine() override;
    int nqWrite(const void* src, int n) override;
    bool nqClose() override;
    bool nqFlush() override { return true; }
    int nqGetOffset() override;
    int nqSkipWhitespace() override;

    int nqGetMemSize();
    unsigned char* nqGetMemBlock();
    // Releases a block that the memory file allocated (error paths).
    void nqFreeMemBlock();
    int nqGetDescriptor() const { return fd_; }

private:
    int fd_ = -1;
};

// A stream over a standard-I/O file.
class NQFileBasedIO : public NQIOStream {
public:
    // Raises code 2 when the file cannot be opened with `mode`.
    NQFileBasedIO(const char* fileName, const char* mode);
    ~NQFileBasedIO() override;

    // One item of n bytes: 1 on success, 0 otherwise.
    int nqRead(void* dst, int n) override;
    // fgets: at most n - 1 characters with the newline and a zero byte; 1 or 0.
    int nqGets(void* dst, int n) override;
    std::string nqGetLine() override;
    int nqWrite(const void* src, int n) override;
    // True when an open file was closed without error.
    bool nqClose() override;
    bool nqFlush() override;
    int nqGetOffset() override;
    int nqSkipWhitespace() override;

    // The file's size in bytes; -1 when it is closed or its size cannot be told.
    long long nqGetFileSize() const;
    // Reads and writes go to the file without a buffer: cheaper for a few
    // bytes read once. Call before the first read or write.
    void nqSetUnbuffered();

private:
    std::FILE* file_ = nullptr;
};

#endif
