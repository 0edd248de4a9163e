// Memory files over a fixed table of slots.
//
// Every position and size is an int, as in the interface; all arithmetic on
// offset + n is done in 64 bits and refused beyond INT_MAX so that a hostile
// count can neither wrap around nor reach memory outside the block. Writable
// blocks keep a capacity beside the size and grow geometrically, so that the
// many small writes of an encoder cost amortised constant time. A seek beyond
// the end of a writable file only moves the offset; the block grows on the next
// write and the gap is zero-filled, so no byte of a block is ever undefined.
//
// Codecs on several threads use the table at once, each with its own slots.
// One mutex guards the whole table: every operation is short (a copy of the
// bytes asked for at most), and finding a free slot reads every slot.
#include "imageio/NQMemoryFile.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct MemoryFileSlot {
    int inUse;  // -1 free, 0 open
    unsigned char* block;
    int size;         // bytes of valid data
    int offset;       // may exceed size after a seek in a writable file
    int capacity;     // bytes allocated (writable files)
    char mode;        // 'r', 'w' or 'a'
    bool tableOwned;  // the block was allocated or reallocated here
};

MemoryFileSlot gSlots[NQ_MEM_FILE_SLOTS];
bool gInitialised = false;

std::mutex& tableMutex() {
    static std::mutex mutex;
    return mutex;
}

void initialiseSlots() {
    for (MemoryFileSlot& slot : gSlots)
        slot = MemoryFileSlot{-1, nullptr, 0, 0, 0, 'r', false};
    gInitialised = true;
}

MemoryFileSlot* openSlot(int fd) {
    if (fd < 0 || fd >= NQ_MEM_FILE_SLOTS || !gInitialised)
        return nullptr;
    MemoryFileSlot* slot = &gSlots[fd];
    return slot->inUse == 0 ? slot : nullptr;
}

// Makes room for `needed` bytes; false (and no change) when that fails.
bool reserve(MemoryFileSlot& slot, std::int64_t needed) {
    if (needed <= slot.capacity)
        return true;
    if (needed > INT_MAX)
        return false;
    std::int64_t grown = std::int64_t(slot.capacity) * 2;
    if (grown < needed)
        grown = needed;
    if (grown < 256)
        grown = 256;
    if (grown > INT_MAX)
        grown = INT_MAX;
    void* block = std::realloc(slot.block, static_cast<std::size_t>(grown));
    if (block == nullptr)
        return false;
    slot.block = static_cast<unsigned char*>(block);
    slot.capacity = static_cast<int>(grown);
    slot.tableOwned = true;
    return true;
}

int seekTarget(const MemoryFileSlot& slot, int off, int whence, std::int64_t& target) {
    switch (whence) {
        case 0:
            if (off < 0)
                return -1;
            target = off;
            break;
        case 1:
            target = std::int64_t(slot.offset) + off;
            break;
        case 2:
            target = std::int64_t(slot.size) + off;
            break;
        default:
            return -1;
    }
    if (target < 0 || target > INT_MAX)
        return -1;
    return 0;
}

}  // namespace

int mem_init() {
    const std::lock_guard<std::mutex> lock(tableMutex());
    initialiseSlots();
    return NQ_MEM_FILE_SLOTS;
}

int mfs_open(void* buffer, int size, const char* mode) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    if (!gInitialised)
        initialiseSlots();
    if (mode == nullptr)
        return -1;
    const char kind = mode[0];
    if (kind == 'r') {
        if (buffer == nullptr || size < 0)
            return -1;
    } else if (kind == 'w') {
        if (buffer != nullptr)
            return -1;
    } else if (kind == 'a') {
        if (buffer != nullptr && size < 0)
            return -1;
    } else {
        return -1;
    }
    for (int fd = 0; fd < NQ_MEM_FILE_SLOTS; ++fd) {
        MemoryFileSlot& slot = gSlots[fd];
        if (slot.inUse != -1)
            continue;
        slot.inUse = 0;
        slot.mode = kind;
        slot.offset = 0;
        slot.block = static_cast<unsigned char*>(buffer);
        slot.size = buffer != nullptr ? size : 0;
        slot.capacity = slot.size;
        slot.tableOwned = false;
        return fd;
    }
    return -1;
}

int mfs_read(int fd, void* dst, int n) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr || slot->mode != 'r' || n < 0)
        return -1;
    if (std::int64_t(slot->offset) + n > slot->size)
        return 0;
    if (n == 0)
        return 0;
    if (dst == nullptr)
        return -1;
    std::memcpy(dst, slot->block + slot->offset, static_cast<std::size_t>(n));
    slot->offset += n;
    return n;
}

int mfs_gets(int fd, void* dst, int n) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr || slot->mode != 'r' || n < 0)
        return -1;
    if (std::int64_t(slot->offset) + n > slot->size)
        return 0;
    if (n > 0 && dst == nullptr)
        return -1;
    unsigned char* out = static_cast<unsigned char*>(dst);
    int pos = slot->offset;
    while (pos < slot->size && slot->block[pos] == '\n')
        ++pos;
    int count = 0;
    while (count < n && pos < slot->size && slot->block[pos] != '\n')
        out[count++] = slot->block[pos++];
    while (pos < slot->size && slot->block[pos] == '\n')
        ++pos;
    slot->offset = pos;
    return count;
}

int mfs_write(int fd, const void* src, int n) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr || slot->mode == 'r' || n < 0)
        return -1;
    if (n > 0 && src == nullptr)
        return -1;
    const int start = slot->mode == 'a' ? slot->size : slot->offset;
    const std::int64_t end = std::int64_t(start) + n;
    if (end > INT_MAX || !reserve(*slot, end))
        return -1;
    if (start > slot->size)
        std::memset(slot->block + slot->size, 0, static_cast<std::size_t>(start - slot->size));
    if (n > 0)
        std::memcpy(slot->block + start, src, static_cast<std::size_t>(n));
    slot->offset = static_cast<int>(end);
    if (end > slot->size)
        slot->size = static_cast<int>(end);
    return n;
}

int mfs_lseek(int fd, int off, int whence) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr)
        return -1;
    std::int64_t target = 0;
    if (seekTarget(*slot, off, whence, target) != 0)
        return -1;
    slot->offset = static_cast<int>(target);
    return slot->offset;
}

int mfs_lseekForTIFFRead(int fd, int off, int whence) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr)
        return -1;
    std::int64_t target = 0;
    if (seekTarget(*slot, off, whence, target) != 0 || target > slot->size)
        return -1;
    slot->offset = static_cast<int>(target);
    return slot->offset;
}

int mfs_size(int fd) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    return slot == nullptr ? -1 : slot->size;
}

int mfs_map(int fd, char** block, unsigned int* size) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr)
        return -1;
    if (block != nullptr)
        *block = reinterpret_cast<char*>(slot->block);
    if (size != nullptr)
        *size = static_cast<unsigned int>(slot->size);
    return 0;
}

int mfs_unmap(int fd) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    return openSlot(fd) == nullptr ? -1 : 0;
}

int mfs_close(int fd) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr)
        return -1;
    *slot = MemoryFileSlot{-1, nullptr, 0, 0, 0, 'r', false};
    return 0;
}

int extend_mem_file(int fd, int size) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr || slot->mode == 'r' || size < 0)
        return -1;
    void* block = std::realloc(slot->block, static_cast<std::size_t>(size == 0 ? 1 : size));
    if (block == nullptr)
        return -1;
    slot->block = static_cast<unsigned char*>(block);
    slot->capacity = size;
    slot->tableOwned = true;
    if (slot->size > size)
        slot->size = size;
    return 0;
}

int mfs_discard(int fd) {
    const std::lock_guard<std::mutex> lock(tableMutex());
    MemoryFileSlot* slot = openSlot(fd);
    if (slot == nullptr || slot->mode == 'r')
        return -1;
    if (slot->block != nullptr && !slot->tableOwned)
        return -1;
    std::free(slot->block);
    slot->block = nullptr;
    slot->size = slot->offset = slot->capacity = 0;
    return 0;
}
