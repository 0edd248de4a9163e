// Times "wexa merge" on parts made here: a job array of 1,000 shards, each
// part holding P pages of 20 result and 20 ground-truth regions (the real
// scans average 19 regions a page) over 11 classes, matched, confused,
// missed and falsely alarmed in turn, with -detail so that every page is
// rendered. Reports the size of a part per page and the median time of the
// whole merge (read, check, render, write the report, and the JSON when
// asked) for P = 1 and P = 10.
//
//   nq_merge_bench [runs]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "bench/BenchSupport.h"
#include "eval/NQPartFile.h"
#include "eval/NQPartMerger.h"
#include "eval/NQShard.h"

namespace {

namespace fs = boost::filesystem;

constexpr std::uint32_t kParts = 1000;
constexpr int kRegions = 20;
const char* const kClasses[] = {"Caption",     "Footnote",    "Formula", "List-item",
                                "Page-footer", "Page-header", "Picture", "Section-header",
                                "Table",       "Text",        "Title"};

NQRegionRecord region(int k, int partner, NQOutcome outcome, const char* type) {
    NQRegionRecord r;
    r.outcome = outcome;
    r.id = "r" + std::to_string(k);
    r.type = type;
    r.zoneIds = {r.id};
    r.partner = partner;
    if (partner >= 0)
        r.score = 80.0 + k * 0.731;
    r.bestScore = 80.0 + k * 0.731;
    r.rect = NQRectShape(100 + 7 * k, 200 + 90 * k, 1500, 80);
    return r;
}

NQPageRecord page(std::size_t number, std::size_t seed) {
    NQPageRecord p;
    p.number = number;
    p.pageId = std::to_string(number);
    p.resultZones = p.gtZones = kRegions;
    for (int k = 0; k < kRegions; ++k) {
        const char* type = kClasses[(seed + k) % 11];
        const int kind = k % 5;  // matched, matched, detected, false alarm / missed, matched
        const char* gtType = kind == 2 ? kClasses[(seed + k + 1) % 11] : type;
        const NQOutcome outcome = kind == 2 ? NQOutcome::Detected : NQOutcome::Matched;
        if (kind == 3) {
            p.result.push_back(region(k, -1, NQOutcome::FalseAlarm, type));
            p.gt.push_back(region(k, -1, NQOutcome::Missed, gtType));
        } else {
            p.result.push_back(region(k, k, outcome, type));
            p.gt.push_back(region(k, k, outcome, gtType));
        }
    }
    return p;
}

// Writes the parts as the shards of one run would, each with its own table.
void writeParts(const std::string& dir, std::size_t pagesPerPart) {
    NQWexaOptions options;
    options.dirToDir = true;
    options.detailMode = true;
    options.gtPath = "gt";
    options.resultPath = "res";
    options.imagePath = "gt";
    options.outputPath = "WEXA-Eval.txt";
    const std::size_t total = kParts;  // one file pair per shard
    std::vector<NQFilePair> list;
    for (std::size_t i = 0; i < total; ++i) {
        const std::string name = "p" + std::to_string(100000 + i) + ".xml";
        list.push_back(NQFilePair{"res/" + name, "gt/" + name, "vis/" + name, true});
    }
    const std::string fingerprint = filePairsFingerprint(list);
    for (std::uint32_t k = 1; k <= kParts; ++k) {
        options.commandWords = {
            "wexa",  "-g",       "gt",     "-r",
            "res",   "-detail",  "-shard", std::to_string(k) + "/" + std::to_string(kParts),
            "-part", "part.json"};
        NQPartWriter writer(dir + "/part-" + std::to_string(k) + ".json",
                            NQPartHeader{{}, k, kParts, total, fingerprint});
        writer.runStarted(options, 1);
        NQClassTable table;
        table.addType("unmatch");
        NQPairRecord pair;
        pair.index = k - 1;
        pair.files = list[k - 1];
        pair.src = "p" + std::to_string(k) + ".tif";
        for (std::size_t n = 1; n <= pagesPerPart; ++n) {
            NQPageRecord p = page(n, k + n);
            for (const NQRegionRecord& r : p.gt)
                if (table.typeIndexOf(r.type) < 0) {
                    table.addType(r.type);
                    p.newClasses.push_back(r.type);
                }
            for (const NQRegionRecord& r : p.result) {
                if (table.typeIndexOf(r.type) < 0) {
                    table.addType(r.type);
                    p.newClasses.push_back(r.type);
                }
                table.countPair(r.type, r.partner >= 0 ? p.gt[r.partner].type : "unmatch");
            }
            pair.pages.push_back(std::move(p));
        }
        writer.pairFinished(pair);
        writer.runFinished(table, 1, true);
    }
}

double mergeMilliseconds(const std::string& dir, bool json) {
    std::vector<std::string> words{"wexa", "merge", "-o", dir + "/report.txt"};
    if (json)
        words.insert(words.end(), {"-json", dir + "/report.json"});
    for (std::uint32_t k = 1; k <= kParts; ++k)
        words.push_back(dir + "/part-" + std::to_string(k) + ".json");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    // The merge's one line of success is not wanted here.
    std::streambuf* const stdoutBuffer = std::cout.rdbuf(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const int status = runMergeCommand(static_cast<int>(argv.size()), argv.data());
    const double elapsed = millisecondsSince(start);
    std::cout.rdbuf(stdoutBuffer);
    std::cout.clear();
    if (status != 0) {
        std::fprintf(stderr, "merge failed\n");
        std::exit(1);
    }
    return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / fs::unique_path("nq-merge-bench-%%%%%%");
    fs::create_directories(dir);
    std::printf("wexa merge of %u parts, %d + %d regions per page (median of %d runs)\n", kParts,
                kRegions, kRegions, runs);
    for (std::size_t pages : {1u, 10u}) {
        writeParts(dir.string(), pages);
        std::uintmax_t bytes = 0;
        for (std::uint32_t k = 1; k <= kParts; ++k)
            bytes += fs::file_size(dir / ("part-" + std::to_string(k) + ".json"));
        std::vector<double> plain, withJson;
        for (int r = 0; r < runs; ++r) {
            plain.push_back(mergeMilliseconds(dir.string(), false));
            withJson.push_back(mergeMilliseconds(dir.string(), true));
        }
        std::printf(
            "  %5zu pages: parts %7.1f KB (%5.0f bytes a page); merge %7.1f ms, "
            "with -json %7.1f ms\n",
            pages * kParts, bytes / 1024.0,
            static_cast<double>(bytes) / static_cast<double>(pages * kParts), median(plain),
            median(withJson));
    }
    fs::remove_all(dir);
    return 0;
}
