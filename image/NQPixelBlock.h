#ifndef NQ_IMAGE_NQPIXELBLOCK_H
#define NQ_IMAGE_NQPIXELBLOCK_H

#include <cstddef>
#include <memory>

// A block for `bytes` bytes of pixel data (one byte when `bytes` is 0),
// allocated with new[] so that an NQImage can own it, and left
// uninitialised; null when memory is short. A page image is written once
// from end to end right after it is allocated, so a block of several
// megabytes asks the system to back it with huge pages: it is then faulted
// in a few megabytes at a time instead of 4 KiB at a time, which on a
// virtual machine costs a tenth as much.
std::unique_ptr<unsigned char[]> nqNewPixelBlock(std::size_t bytes);

// Maps the memory of a block that is about to be written from end to end in
// one call when the block lies in memory not used before, instead of one page
// fault per 4 KiB as it is written. Blocks in memory already in use, small
// blocks and blocks beyond the size of a large page image are left as they
// are. nqNewPixelBlock does this for its blocks.
void nqPrefaultFreshMemory(void* block, std::size_t bytes);

// Complements every byte of a block (white to black and back for binary and
// grey pixels), 32 bytes at a time, so that the pass costs the same in
// builds that do not vectorise a byte loop.
void nqInvertBytes(unsigned char* bytes, std::size_t count);

#endif
