#ifndef NQ_EVAL_NQBITCOUNT_H
#define NQ_EVAL_NQBITCOUNT_H

#include <cstdint>
#include <cstring>

// Counting the set bits of binary rows, shared by the region masks and the
// page ink counts.

// Set bits of a word, bit-parallel: portable and branch-free.
inline int nqPortableBitCount(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ULL);
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

// Eight bytes of a row as one word, in memory order.
inline std::uint64_t nqLoadWord(const unsigned char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Without a popcount instruction in the build's target, the compiler's
// builtin is a library call per word. On x86 the loops that count many words
// are therefore built twice, once for processors with the instruction, and
// the one to use is chosen at run time.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(__POPCNT__)
#define NQ_POPCOUNT_DISPATCH 1
#define NQ_POPCOUNT_TARGET __attribute__((target("popcnt")))
// Whether the processor has the popcount instruction.
inline bool nqHasPopcount() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("popcnt") != 0;
    }();
    return has;
}
#endif

// Processors with AVX-512's vector popcount count four words an instruction
// in 256-bit vectors (and its byte masks read the end of a row stretch); the
// page ink's count of row stretches is built for them too.
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define NQ_VECTOR_POPCOUNT_DISPATCH 1
#define NQ_VECTOR_POPCOUNT_TARGET \
    __attribute__((target("popcnt,avx512f,avx512bw,avx512vl,avx512vpopcntdq")))
inline bool nqHasVectorPopcount() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
               __builtin_cpu_supports("avx512vpopcntdq");
    }();
    return has;
}
#endif

#endif
