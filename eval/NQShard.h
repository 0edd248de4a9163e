#ifndef NQ_EVAL_NQSHARD_H
#define NQ_EVAL_NQSHARD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "eval/NQRunRecord.h"

// The positions [begin, end) of the file pairs that shard `index` of `count`
// takes from a run's sorted list of `total` pairs.
struct NQShardSlice {
    std::size_t begin = 0;
    std::size_t end = 0;

    std::size_t size() const { return end - begin; }
};

// Contiguous slices in list order whose sizes differ by at most one, so that
// every task of a job array gets its share from its index alone. Shards
// beyond the number of pairs are empty. 1 <= index <= count.
NQShardSlice shardSlice(std::size_t total, std::uint32_t index, std::uint32_t count);

// A fingerprint of a whole list of file pairs (both paths and whether the
// ground truth was found, in order): parts of one run share it, and parts
// of runs over different inputs almost never do. 16 hexadecimal digits.
std::string filePairsFingerprint(const std::vector<NQFilePair>& pairs);

#endif
