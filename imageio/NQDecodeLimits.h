#ifndef NQ_IMAGEIO_NQDECODELIMITS_H
#define NQ_IMAGEIO_NQDECODELIMITS_H

#include <cstdint>
#include <limits>

// The limits that a hostile file meets in the codecs, beyond the pixel cap of
// NQImage::kMaxDataBytes that every codec checks before it allocates.
//
// A header's claim is trusted only as far as the file can back it: a page
// whose buffers stay below kUnbackedClaimBytes loads whatever the file holds
// (so a page cut short still loads, its missing part filled as the codec
// fills it); a larger page needs coded data of at least its decoded size
// divided by the largest compression ratio of its coding. A file of a few
// hundred bytes therefore never costs more than a few tens of megabytes.
struct NQDecodeLimits {
    // Buffers up to this size need no backing.
    static constexpr std::uint64_t kUnbackedClaimBytes = std::uint64_t(16) << 20;
    // The ratio assumed for codings without a smaller known bound (zstd's
    // run-length blocks reach it; LZMA and WebP stay below it).
    static constexpr std::uint64_t kMaxCompressionRatio = 32768;
    // Pages that a codec walks through in one file.
    static constexpr int kMaxPages = 10000;

    // True when a page may be decoded whose largest buffer holds
    // `largestBuffer` bytes and whose coded data (`codedBytes` of them, at
    // most `maxRatio` : 1) must decode to `decodedBytes`.
    static bool isClaimBacked(std::uint64_t largestBuffer, std::uint64_t decodedBytes,
                              std::uint64_t codedBytes, std::uint64_t maxRatio) {
        if (largestBuffer <= kUnbackedClaimBytes)
            return true;
        if (maxRatio != 0 && codedBytes > std::numeric_limits<std::uint64_t>::max() / maxRatio)
            return true;
        return decodedBytes <= codedBytes * maxRatio;
    }
};

#endif
