// Byte streams over memory files and standard-I/O files. The integer readers
// and writers are shared: they move raw bytes through nqRead/nqWrite and swap
// them when the requested order is not the stream's own (little-endian).
#include "imageio/NQIOStream.h"

#include <cctype>
#include <climits>
#include <cstring>

#include <sys/stat.h>

#include "image/NQException.h"
#include "image/NQUtils.h"
#include "imageio/NQMemoryFile.h"

namespace {
constexpr const char* kModule = "NQIOStream";
}  // namespace

NQIOStream::~NQIOStream() = default;

int NQIOStream::nqGetInt(NQEndian order) {
    unsigned char bytes[4] = {0, 0, 0, 0};
    int value = 0;
    if (nqRead(bytes, 4) <= 0)
        return 0;
    std::memcpy(&value, bytes, 4);
    if (order != endian_)
        NQUtils::reverseInt(value);
    return value;
}

short NQIOStream::nqGetShort(NQEndian order) {
    unsigned char bytes[2] = {0, 0};
    short value = 0;
    if (nqRead(bytes, 2) <= 0)
        return 0;
    std::memcpy(&value, bytes, 2);
    if (order != endian_)
        NQUtils::reverseShort(value);
    return value;
}

int NQIOStream::nqWriteInt(int value, NQEndian order) {
    if (order != endian_)
        NQUtils::reverseInt(value);
    return nqWrite(&value, 4);
}

int NQIOStream::nqWriteShort(short value, NQEndian order) {
    if (order != endian_)
        NQUtils::reverseShort(value);
    return nqWrite(&value, 2);
}

// ---- memory ---------------------------------------------------------------

NQMemoryBasedIO::NQMemoryBasedIO(void* buffer, int size, const char* mode)
    : fd_(mfs_open(buffer, size, mode)) {}

NQMemoryBasedIO::~NQMemoryBasedIO() {
    if (fd_ >= 0)
        mfs_close(fd_);
}

int NQMemoryBasedIO::nqRead(void* dst, int n) {
    return mfs_read(fd_, dst, n);
}

int NQMemoryBasedIO::nqGets(void* dst, int n) {
    return mfs_gets(fd_, dst, n);
}

std::string NQMemoryBasedIO::nqGetLine() {
    std::string line;
    unsigned char c = 0;
    while (mfs_read(fd_, &c, 1) == 1 && c != 255) {
        line += static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return line;
}

int NQMemoryBasedIO::nqWrite(const void* src, int n) {
    return mfs_write(fd_, src, n);
}

bool NQMemoryBasedIO::nqClose() {
    mfs_close(fd_);
    fd_ = -1;
    return true;
}

int NQMemoryBasedIO::nqGetOffset() {
    return fd_ < 0 ? -1 : mfs_lseek(fd_, 0, 1);
}

int NQMemoryBasedIO::nqSkipWhitespace() {
    int skipped = 0;
    unsigned char c = 0;
    while (mfs_read(fd_, &c, 1) == 1) {
        if (!std::isspace(c)) {
            if (mfs_lseek(fd_, -1, 1) < 0)
                throw NQException(NQ_IO_ERROR,
                                  "<NQMemoryBasedIO::nqSkipWhitespace()> Error in IO stream",
                                  kModule, __LINE__);
            break;
        }
        ++skipped;
    }
    return skipped;
}

int NQMemoryBasedIO::nqGetMemSize() {
    return mfs_size(fd_);
}

unsigned char* NQMemoryBasedIO::nqGetMemBlock() {
    char* block = nullptr;
    if (mfs_map(fd_, &block, nullptr) != 0)
        return nullptr;
    return reinterpret_cast<unsigned char*>(block);
}

void NQMemoryBasedIO::nqFreeMemBlock() {
    mfs_discard(fd_);
}

// ---- file -----------------------------------------------------------------

NQFileBasedIO::NQFileBasedIO(const char* fileName, const char* mode) {
    if (fileName != nullptr && mode != nullptr)
        file_ = std::fopen(fileName, mode);
    if (file_ == nullptr)
        throw NQException(NQ_FILE_OPEN_ERROR,
                          "<NQFileBasedIO::NQFileBasedIO()> Could not open output image file",
                          kModule, __LINE__);
}

NQFileBasedIO::~NQFileBasedIO() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void NQFileBasedIO::nqSetUnbuffered() {
    if (file_ != nullptr)
        std::setvbuf(file_, nullptr, _IONBF, 0);
}

int NQFileBasedIO::nqRead(void* dst, int n) {
    if (file_ == nullptr || n <= 0 || dst == nullptr)
        return 0;
    return std::fread(dst, static_cast<std::size_t>(n), 1, file_) == 1 ? 1 : 0;
}

int NQFileBasedIO::nqGets(void* dst, int n) {
    if (file_ == nullptr || n <= 0 || dst == nullptr)
        return 0;
    return std::fgets(static_cast<char*>(dst), n, file_) != nullptr ? 1 : 0;
}

std::string NQFileBasedIO::nqGetLine() {
    std::string line;
    if (file_ == nullptr)
        return line;
    int c = 0;
    while ((c = std::fgetc(file_)) != EOF && c != 255) {
        line += static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return line;
}

int NQFileBasedIO::nqWrite(const void* src, int n) {
    if (file_ == nullptr || n <= 0 || src == nullptr)
        return 0;
    return std::fwrite(src, static_cast<std::size_t>(n), 1, file_) == 1 ? 1 : 0;
}

bool NQFileBasedIO::nqClose() {
    if (file_ == nullptr)
        return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
}

bool NQFileBasedIO::nqFlush() {
    return file_ != nullptr && std::fflush(file_) == 0;
}

long long NQFileBasedIO::nqGetFileSize() const {
    struct stat status {};
    if (file_ == nullptr || fstat(fileno(file_), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    return static_cast<long long>(status.st_size);
}

int NQFileBasedIO::nqGetOffset() {
    if (file_ == nullptr)
        return -1;
    const long offset = std::ftell(file_);
    return offset > INT_MAX ? -1 : static_cast<int>(offset);
}

int NQFileBasedIO::nqSkipWhitespace() {
    int skipped = 0;
    if (file_ == nullptr)
        return 0;
    int c = 0;
    while ((c = std::fgetc(file_)) != EOF) {
        if (!std::isspace(c)) {
            if (std::ungetc(c, file_) == EOF)
                throw NQException(NQ_IO_ERROR,
                                  "<NQFileBasedIO::nqSkipWhitespace()> Error in IO stream", kModule,
                                  __LINE__);
            break;
        }
        ++skipped;
    }
    return skipped;
}
