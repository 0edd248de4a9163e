#ifndef NQ_BENCH_BENCHCORPUS_H
#define NQ_BENCH_BENCHCORPUS_H

#include <cstdint>
#include <string>

// What a generated corpus holds.
struct BenchCorpusStats {
    int pages = 0;
    long long gtZones = 0;
    long long gtPolygons = 0;
    long long resultZones = 0;
    int fewestZones = 0;  // ground-truth zones of the sparsest page
    int mostZones = 0;    // and of the densest
};

// Writes `pages` A4 pages at 300 dpi (2480 x 3508, binary, Group 4 TIFF) into
// dir/images, their ground truth into dir/gt and a segmenter's result into
// dir/res, one document per page named pNNNN. The same seed and page number
// always give the same files.
BenchCorpusStats writeBenchCorpus(const std::string& dir, int pages, std::uint32_t seed);

#endif
