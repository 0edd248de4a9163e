// Slices of a run's file list and the fingerprint that ties parts to one list.
//
// Slice k of n is [total*(k-1)/n, total*k/n): integer division spreads the
// remainder over the slices, so sizes differ by at most one and the slices
// tile the list exactly. The fingerprint is 64-bit FNV-1a over every path
// and flag with a separator byte after each field, which is enough to tell
// lists apart by accident (it is no defence against a forged part).
#include "eval/NQShard.h"

#include <cstdio>

NQShardSlice shardSlice(std::size_t total, std::uint32_t index, std::uint32_t count) {
    // total * index fits: a list of more than 2^32 files is not a concern.
    const auto edge = [total, count](std::uint64_t k) {
        return static_cast<std::size_t>(static_cast<std::uint64_t>(total) * k / count);
    };
    return NQShardSlice{edge(index - 1), edge(index)};
}

std::string filePairsFingerprint(const std::vector<NQFilePair>& pairs) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](const std::string& field) {
        for (unsigned char c : field)
            hash = (hash ^ c) * 1099511628211ull;
        hash *= 1099511628211ull;  // a NUL byte, which no path holds
    };
    for (const NQFilePair& pair : pairs) {
        add(pair.resultFile);
        add(pair.gtFile);
        add(pair.gtFound ? "1" : "0");
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
