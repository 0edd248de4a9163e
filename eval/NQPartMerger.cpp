// The merge of a split run: parts back into one report and one JSON.
//
// A run's state is its class table, its counts and what each page gave, so
// shards of a run add up. Counts add cell by cell through class names, in
// any order. The order of the classes and the width of the detail lines do
// not: classes are numbered as they are first met, and detail lines are as
// wide as the longest class registered when their page was written. Each
// page record therefore names the classes it registered first in its
// shard; replaying those in file order gives every page the table a single
// run had at that page (a class already met in an earlier shard is a no-op),
// and the shards' tables are then added onto the replayed one.
//
// Nothing is written before every check has passed and both outputs are
// rendered in memory, so a refusal leaves no file behind.
#include "eval/NQPartMerger.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "eval/NQJsonWriter.h"
#include "eval/NQOptionsJson.h"
#include "eval/NQReportWriter.h"
#include "eval/NQRunObserver.h"
#include "eval/NQShard.h"

namespace {

using json = nlohmann::ordered_json;

[[noreturn]] void endMerge(const std::string& line, int status) {
    std::cout << line << '\n';
    std::cout.flush();
    throw NQWexaExit(status);
}

std::string shardName(const NQPart& part) {
    return std::to_string(part.header.shardIndex) + "/" + std::to_string(part.header.shardCount);
}

// The options that shape a part's numbers and files: all but the command
// line and the run's own outputs, which each shard may name differently.
json comparedOptions(const NQWexaOptions& options) {
    json object = optionsToJson(options);
    for (const char* key : {"commandLine", "report", "json"})
        object.erase(key);
    return object;
}

// The first key whose values differ; the objects have the same keys.
std::string firstDifference(const json& a, const json& b) {
    for (auto item = a.begin(); item != a.end(); ++item)
        if (!b.contains(item.key()) || b[item.key()] != item.value())
            return item.key();
    return "?";
}

// The numbers from 1 to `count` that are not in `present` (ascending), as
// "2, 4, 5, 7-12": gaps of three or more become ranges. Works on the gaps,
// so a part claiming a split of billions costs no more than a small one.
std::string missingNumbers(const std::vector<std::uint32_t>& present, std::uint32_t count) {
    std::string text;
    const auto gap = [&text](std::uint64_t first, std::uint64_t last) {
        if (first > last)
            return;
        const auto add = [&text](const std::string& item) {
            text += (text.empty() ? "" : ", ") + item;
        };
        if (last - first >= 2) {
            add(std::to_string(first) + "-" + std::to_string(last));
            return;
        }
        for (std::uint64_t k = first; k <= last; ++k)
            add(std::to_string(k));
    };
    std::uint64_t previous = 0;
    for (std::uint32_t k : present) {
        gap(previous + 1, static_cast<std::uint64_t>(k) - 1);
        previous = k;
    }
    gap(previous + 1, count);
    return text;
}

// The shard's command words without "-shard K/N" and "-part FILE": the
// command of the single run, each word followed by one blank.
std::string unshardedCommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0 && (words[i] == "-shard" || words[i] == "-part") && i + 1 < words.size()) {
            ++i;
            continue;
        }
        line += words[i] + ' ';
    }
    return line;
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::out | std::ios::trunc | std::ios::binary);
    out << text;
    out.flush();
    return out.is_open() && out.good();
}

}  // namespace

// ---- command line -------------------------------------------------------------------------

std::string NQMergeOptions::usage() {
    return "Usage: wexa merge -o REPORT [-json FILE] PART...\n\n"
           "Puts the parts written by wexa -shard K/N -part FILE back together into the\n"
           "report (and the JSON) that one run over all their files would have written.\n";
}

void NQMergeOptions::parseOptions(int argc, char** argv) {
    bool reportGiven = false;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            std::cout << usage();
            std::cout.flush();
            throw NQWexaExit(0);
        }
        if (word == "-o" || word == "-json") {
            if (i + 1 >= argc)
                endMerge("The " + word + " option requires a value.", 1);
            (word == "-o" ? reportPath : jsonPath) = argv[++i];
            (word == "-o" ? reportGiven : jsonMode) = true;
        } else if (word.size() > 1 && word[0] == '-') {
            endMerge("Unknown merge option " + word + ". " + usage().substr(0, usage().find('\n')),
                     1);
        } else {
            partPaths.push_back(word);
        }
    }
    if (!reportGiven)
        endMerge("wexa merge requires \"-o REPORT\".", 1);
    if (partPaths.empty())
        endMerge("wexa merge requires at least one part file.", 1);
}

// ---- checks -------------------------------------------------------------------------------

NQPartMerger::NQPartMerger(std::vector<NQPart> parts) : parts_(std::move(parts)) {
    if (parts_.empty())
        throw NQPartError("There is no part to merge.");
    std::stable_sort(parts_.begin(), parts_.end(), [](const NQPart& a, const NQPart& b) {
        return a.header.shardIndex < b.header.shardIndex;
    });
    checkParts();
}

void NQPartMerger::checkParts() const {
    for (const NQPart& part : parts_)
        if (!part.complete)
            throw NQPartError("Part " + part.path + " is incomplete: its run stopped at " +
                              "an XML file that could not be opened.");

    const NQPart& first = parts_.front();
    const json options = comparedOptions(first.header.options);
    for (const NQPart& part : parts_) {
        const json other = comparedOptions(part.header.options);
        if (other != options)
            throw NQPartError("Parts " + first.path + " and " + part.path +
                              " were run with different options (" +
                              firstDifference(options, other) + ").");
        if (part.header.fingerprint != first.header.fingerprint ||
            part.header.pairTotal != first.header.pairTotal)
            throw NQPartError("Parts " + first.path + " and " + part.path +
                              " were run over different file lists.");
        if (part.header.shardCount != first.header.shardCount)
            throw NQPartError("Parts " + first.path + " and " + part.path +
                              " are shards of different splits (" + shardName(first) + " and " +
                              shardName(part) + ").");
    }

    // The parts are sorted by shard, so a shard given twice is a neighbour.
    for (std::size_t k = 1; k < parts_.size(); ++k) {
        const NQPart& a = parts_[k - 1];
        const NQPart& b = parts_[k];
        if (a.header.shardIndex != b.header.shardIndex)
            continue;
        const std::string both =
            "parts " + a.path + " and " + b.path + " are both shard " + shardName(a) + ".";
        if (a.pairs.empty())
            throw NQPartError("Shard " + shardName(a) + " is given twice: " + both);
        throw NQPartError("File " + a.pairs.front().files.resultFile +
                          " would be counted twice: " + both);
    }

    std::vector<std::uint32_t> present;
    for (const NQPart& part : parts_)
        present.push_back(part.header.shardIndex);
    const std::string missing = missingNumbers(present, first.header.shardCount);
    if (!missing.empty())
        throw NQPartError("Missing shards of " + std::to_string(first.header.shardCount) + ": " +
                          missing + ".");
}

// ---- outputs ------------------------------------------------------------------------------

std::uint32_t NQPartMerger::fileCount() const {
    std::uint32_t count = 0;
    for (const NQPart& part : parts_)
        count += part.fileCount;
    return count;
}

NQWexaOptions NQPartMerger::mergedOptions(const NQMergeOptions& merge) const {
    NQWexaOptions options = parts_.front().header.options;
    options.commandLine = unshardedCommandLine(options.commandWords);
    options.outputPath = merge.reportPath;
    options.jsonMode = merge.jsonMode;
    options.jsonPath = merge.jsonPath;
    options.partMode = false;
    options.partPath.clear();
    options.shardIndex = options.shardCount = 1;
    return options;
}

NQClassTable NQPartMerger::render(std::ostream& report, NQRunObserver* json,
                                  const NQMergeOptions& merge) const {
    const NQWexaOptions options = mergedOptions(merge);
    const bool zoneClass = options.zoneClassMode;
    NQReportWriter writer(report, zoneClass);
    writer.printIntro();
    writer.printHead(options.commandLine, options.detailMode);
    if (json != nullptr)
        json->runStarted(options, pairCount());

    // The classes in the order the single run registered them, grown page by page.
    NQClassTable classes;
    if (!zoneClass)
        classes.addType("unmatch");
    for (const NQPart& part : parts_) {
        for (const NQPairRecord& pair : part.pairs) {
            const bool compared = pair.status == NQPairStatus::Compared ||
                                  pair.status == NQPairStatus::EvaluationError;
            if (options.detailMode && compared)
                writer.printFileHeading(pair.src);
            for (const NQPageRecord& page : pair.pages) {
                const std::size_t longestBefore = classes.getTypeMaxLength();
                for (const std::string& name : page.newClasses)
                    classes.addType(name);
                if (!options.detailMode)
                    continue;
                writer.printPageHeading(page.pageId);
                if (zoneClass)
                    writer.printIdDetail(page, longestBefore);
                else
                    writer.printDetail(page, classes.getTypeMaxLength());
            }
            for (const std::string& name : pair.failedPageClasses)
                classes.addType(name);
            if (json != nullptr)
                json->pairFinished(pair);
        }
    }

    const std::size_t registered = classes.getTypeCount();
    for (const NQPart& part : parts_) {
        classes.merge(part.classes);
        if (classes.getTypeCount() != registered)
            throw NQPartError(part.path + " is not a wexa part file: its class table holds " +
                              "a class that none of its pages met.");
    }
    writer.summary(classes, fileCount());
    writer.printEnd();
    return classes;
}

// ---- the command --------------------------------------------------------------------------

int runMergeCommand(int argc, char** argv) {
    NQMergeOptions merge;
    try {
        merge.parseOptions(argc, argv);
    } catch (const NQWexaExit& request) {
        return request.status();
    }
    try {
        std::vector<NQPart> parts;
        for (const std::string& path : merge.partPaths)
            parts.push_back(readPart(path));
        const NQPartMerger merger(std::move(parts));

        std::ostringstream report;
        NQJsonWriter json(merge.jsonPath);
        const NQClassTable classes = merger.render(report, merge.jsonMode ? &json : nullptr, merge);
        if (!writeFile(merge.reportPath, report.str())) {
            std::cout << "Report file " << merge.reportPath << " can not be written!!!\n";
            return 1;
        }
        if (merge.jsonMode &&
            !writeFile(merge.jsonPath, json.text(classes, merger.fileCount(), true))) {
            std::cout << "JSON file " << merge.jsonPath << " can not be written!!!\n";
            return 1;
        }
        const std::size_t partCount = merge.partPaths.size(), pairs = merger.pairCount();
        std::cout << "Merged " << partCount << (partCount == 1 ? " part of " : " parts of ")
                  << pairs << (pairs == 1 ? " file pair" : " file pairs") << " into "
                  << merge.reportPath << '\n';
        return 0;
    } catch (const NQPartError& refusal) {
        std::cout << refusal.what() << '\n';
        return 1;
    }
}
