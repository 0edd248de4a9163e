// Pixel blocks with huge-page advice. The advice covers the whole 4 KiB
// pages inside the block; the kernel uses huge pages where an aligned 2 MiB
// stretch of such pages lies in it, and ignores the advice where it cannot
// follow it (huge pages switched off, memory not anonymous). It changes how
// memory is backed, never what it holds.
#include "image/NQPixelBlock.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Below two huge pages, too little of a block could be backed by them.
constexpr std::size_t kAdviseFrom = std::size_t(4) << 20;

void adviseHugePages(unsigned char* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes < kAdviseFrom)
        return;
    static const long reported = sysconf(_SC_PAGESIZE);
    static const std::uintptr_t page = reported > 0 ? static_cast<std::uintptr_t>(reported) : 4096;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) / page * page;
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace

std::unique_ptr<unsigned char[]> nqNewPixelBlock(std::size_t bytes) {
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes]);
    if (block)
        adviseHugePages(block.get(), bytes);
    return block;
}
