// Pixel blocks with huge-page advice and prefaulting. Both work on the whole
// 4 KiB pages inside the block and change how memory is backed, never what
// it holds.
//
// Huge pages: the kernel uses them where an aligned 2 MiB stretch of advised
// pages lies in the block, and ignores the advice where it cannot follow it
// (huge pages switched off, memory not anonymous).
//
// Prefaulting: memory that no one has used yet is mapped by the kernel on the
// first write to each page, one trap per 4 KiB. A block in such memory is
// mapped in one call instead (MADV_POPULATE_WRITE, Linux 5.14 on). On a
// virtual machine a trap can cost ten times as much as the page it maps
// (11 us against 0.9 us on the project's VM), and the first page image of a
// run, or of each thread of a -j run, lands in fresh memory. A block in
// memory that is already mapped, the usual case once a run is going, is
// recognised with two mincore() probes and left alone. Older kernels refuse
// the advice, which then costs one failed call.
#include "image/NQPixelBlock.h"

#include <cstdint>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Below two huge pages, too little of a block could be backed by them.
constexpr std::size_t kAdviseFrom = std::size_t(4) << 20;
// Smaller blocks fault in a few pages; larger ones than the largest page
// image are left to fault in as they are written, so that a file that
// claims a huge image and fails early does not make the whole block resident.
constexpr std::size_t kPrefaultFrom = std::size_t(64) << 10;
constexpr std::size_t kPrefaultUpTo = std::size_t(128) << 20;

#if defined(__linux__)
std::uintptr_t pageSize() {
    static const long reported = sysconf(_SC_PAGESIZE);
    return reported > 0 ? static_cast<std::uintptr_t>(reported) : 4096;
}

// The whole pages inside [block, block + bytes), as [begin, end).
void wholePages(void* block, std::size_t bytes, std::uintptr_t& begin, std::uintptr_t& end) {
    const std::uintptr_t page = pageSize();
    begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) / page * page;
    end = (reinterpret_cast<std::uintptr_t>(block) + bytes) / page * page;
}

bool isMapped(std::uintptr_t page) {
    unsigned char resident = 0;
    return mincore(reinterpret_cast<void*>(page), pageSize(), &resident) == 0 &&
           (resident & 1) != 0;
}
#endif

void adviseHugePages(unsigned char* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes < kAdviseFrom)
        return;
    std::uintptr_t begin = 0, end = 0;
    wholePages(block, bytes, begin, end);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace

void nqPrefaultFreshMemory(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (block == nullptr || bytes < kPrefaultFrom || bytes > kPrefaultUpTo)
        return;
    std::uintptr_t begin = 0, end = 0;
    wholePages(block, bytes, begin, end);
    if (end <= begin || (isMapped(begin) && isMapped(end - pageSize())))
        return;
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)bytes;
#endif
}

std::unique_ptr<unsigned char[]> nqNewPixelBlock(std::size_t bytes) {
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes]);
    if (block) {
        adviseHugePages(block.get(), bytes);
        nqPrefaultFreshMemory(block.get(), bytes);
    }
    return block;
}

void nqInvertBytes(unsigned char* bytes, std::size_t count) {
    // Vectors of 16 bytes, two a step: an instruction per vector on any
    // x86-64, whatever the build's optimisation.
    typedef unsigned char Block __attribute__((vector_size(16)));
    const Block ones = ~Block{};
    std::size_t i = 0;
    for (; i + 2 * sizeof(Block) <= count; i += 2 * sizeof(Block)) {
        Block first, second;
        std::memcpy(&first, bytes + i, sizeof first);
        std::memcpy(&second, bytes + i + sizeof first, sizeof second);
        first ^= ones;
        second ^= ones;
        std::memcpy(bytes + i, &first, sizeof first);
        std::memcpy(bytes + i + sizeof first, &second, sizeof second);
    }
    for (; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(~bytes[i]);
}
