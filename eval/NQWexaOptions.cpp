// The command line of a run.
//
// Options are read word by word from one table. A word that takes a value
// takes the next word, and the scan then goes on with that next word, so a
// value that happens to be an option name also acts as that option; callers
// rely on nothing else. Paths are kept relative and only normalised
// lexically. The existence checks and list files are handled when their
// option is met, so an earlier option's problem ends the run before later
// ones are looked at; the checks of combinations follow the scan.
#include "eval/NQWexaOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include <boost/filesystem.hpp>

#include "eval/NQThresholdSweep.h"

namespace {

namespace fs = boost::filesystem;

enum class Option {
    GroundTruth,
    Result,
    Detail,
    Output,
    Image,
    Visual,
    Threshold,
    SegOnly,
    ZoneClass,
    Rle,
    Merge,
    LineId,
    Accept,
    Reject,
    Json,
    Pictures,
    Shard,
    Part,
    Sweep,
    SplitMerge,
    SplitCover,
    Map,
    FailUnder,
    Help,
    Version,
    Threads,
    PageImageSuffix,
    MinScore
};

struct OptionEntry {
    const char* name;
    Option option;
    const char* value;  // name of the value in the usage text; null for a flag
    const char* help;   // one line of the usage text
};

// The one table of options: the scan and the usage text both read it.
constexpr OptionEntry kOptions[] = {
    {"-g", Option::GroundTruth, "PATH", "ground truth: a directory or one XML file (must exist)"},
    {"-r", Option::Result, "PATH", "result: a directory or one XML file (must exist)"},
    {"-detail", Option::Detail, nullptr, "per-file and per-zone lines in the report"},
    {"-o", Option::Output, "FILE", "the report (default WEXA-Eval.txt)"},
    {"-i", Option::Image, "DIR", "directory of the page images (default: the -g directory)"},
    {"-v", Option::Visual, "DIR", "write an annotated copy of each result file into DIR"},
    {"-t", Option::Threshold, "PERCENT", "least match score of a pair (default 80)"},
    {"-segonly", Option::SegOnly, nullptr, "segmentation only: every zone counts as class zone"},
    {"-zoneclass", Option::ZoneClass, nullptr, "compare the classes of zones with equal ids only"},
    {"-rle", Option::Rle, nullptr, "take zone masks from RLEIMAGE attributes and write them"},
    {"-m", Option::Merge, "FILE", "merge result zones: least share, then the mergeable classes"},
    {"-lid", Option::LineId, nullptr, "zones sharing a lineID attribute form one region"},
    {"-az", Option::Accept, "FILE", "keep only zones whose class is listed in FILE"},
    {"-naz", Option::Reject, "FILE", "drop zones whose class is listed in FILE"},
    {"-json", Option::Json, "FILE", "write the whole outcome as JSON into FILE"},
    {"-vimg", Option::Pictures, "DIR", "write a PNG picture of every compared page into DIR"},
    {"-shard", Option::Shard, "K/N", "evaluate only the K-th of N slices of the file pairs"},
    {"-part", Option::Part, "FILE",
     "write the partial result for wexa merge instead of the report"},
    {"-sweep", Option::Sweep, "LO:HI:STEP", "also score at the thresholds LO, LO+STEP, ... HI"},
    {"-splitmerge", Option::SplitMerge, nullptr, "count split and merged ground-truth regions"},
    {"-splitcover", Option::SplitCover, "PERCENT",
     "least share of a region's ink in a split or merge (default 10)"},
    {"-map", Option::Map, "FILE", "rename or drop classes first (gt|res NAME TARGET lines)"},
    {"--fail-under", Option::FailUnder, "PERCENT",
     "exit status 1 when the average F-score is below PERCENT"},
    {"-j", Option::Threads, "THREADS", "read and compare THREADS file pairs at a time (1 to 64)"},
    {"-pageimg", Option::PageImageSuffix, "SUFFIX",
     "PAGE and COCO page images: insert SUFFIX before the extension"},
    {"-minscore", Option::MinScore, "SCORE", "leave out COCO detections scored below SCORE"},
    {"-h", Option::Help, nullptr, "print this help and exit"},
    {"--help", Option::Help, nullptr, "print this help and exit"},
    {"--version", Option::Version, nullptr, "print the version and exit"},
};

constexpr const char* kUsageExample =
    "wexa -g gt -r res -i images -o report.txt -detail -json report.json -vimg pictures";

constexpr const char* kDefaultReport = "WEXA-Eval.txt";

[[noreturn]] void endRun(const std::string& line) {
    std::cout << line << '\n';
    std::cout.flush();
    throw NQWexaExit(0);
}

std::string normalised(const std::string& value) {
    return fs::path(value).lexically_normal().string();
}

bool pathExists(const std::string& path) {
    boost::system::error_code ignored;
    return fs::exists(path, ignored);
}

bool isDirectory(const std::string& path) {
    boost::system::error_code ignored;
    return fs::is_directory(path, ignored);
}

bool isRegularFile(const std::string& path) {
    boost::system::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

// Creates one directory level when `path` does not exist; false when that fails.
bool ensureDirectory(const std::string& path) {
    if (pathExists(path))
        return true;
    boost::system::error_code failed;
    fs::create_directory(path, failed);
    return !failed;
}

// The white-space separated words of a file; false when it cannot be read
// (a directory opens on Linux but cannot be read, so it counts as unreadable).
bool readWords(const std::string& file, std::vector<std::string>& words) {
    if (isDirectory(file))
        return false;
    std::ifstream in(file);
    if (!in.is_open())
        return false;
    std::string word;
    while (in >> word)
        words.push_back(word);
    return true;
}

// "K/N" with 1 <= K <= N, both decimal numbers without sign or blanks.
bool readShard(const std::string& text, std::uint32_t& index, std::uint32_t& count) {
    const std::size_t slash = text.find('/');
    const auto number = [](const std::string& digits, std::uint32_t& value) {
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = static_cast<std::uint32_t>(std::stoul(digits));
        return true;
    };
    return slash != std::string::npos && number(text.substr(0, slash), index) &&
           number(text.substr(slash + 1), count) && index >= 1 && index <= count;

}

// The whole text of a file; false when it cannot be read.
bool readText(const std::string& file, std::string& text) {
    if (isDirectory(file))
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open())
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

// The value of -j: a whole number from 1 to the limit, nothing else.
unsigned threadCount(const std::string& value) {
    const bool digits = !value.empty() && value.size() <= 3 &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    const unsigned count = digits ? static_cast<unsigned>(std::stoul(value)) : 0;
    if (count < 1 || count > NQWexaOptions::kMaxThreads)
        endRun("The -j option requires a number of threads from 1 to " +
               std::to_string(NQWexaOptions::kMaxThreads) + ".");
    return count;
}

// The value of -minscore: a finite decimal number and nothing else.
double scoreValue(const std::string& value) {
    double score = 0;
    if (!NQWexaOptions::readDecimal(value, score))
        endRun("The -minscore option requires a number.");
    return score;
}

bool listed(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Help and version end the run before anything else is looked at, so they
// work on any command line, also one that would be refused.
void answerHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        for (const OptionEntry& entry : kOptions) {
            if (word != entry.name)
                continue;
            if (entry.option == Option::Help) {
                std::cout << NQWexaOptions::usage();
                std::cout.flush();
                throw NQWexaExit(0);
            }
            if (entry.option == Option::Version) {
                std::cout << "wexa " << NQWexaOptions::version() << '\n';
                std::cout.flush();
                throw NQWexaExit(0);
            }
        }
    }
}

}  // namespace

bool NQWexaOptions::readDecimal(const std::string& word, double& value) {
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(word.c_str(), &end);
    return errno == 0 && end == word.c_str() + word.size() && std::isfinite(value);
}

const char* NQWexaOptions::version() {
    return NQ_VERSION;
}

std::string NQWexaOptions::usage() {
    std::string text =
        "Usage: wexa -g GT -r RESULT [options]\n"
        "       wexa merge -o REPORT [-json FILE] PART...   (the parts of -shard runs)\n\n"
        "Compares the zones of page-segmentation results with the ground truth of the same\n"
        "pages and writes a report of counts, a confusion matrix and per-class scores.\n\n"
        "Options:\n";
    // Spellings of one option share a line: "-h, --help".
    for (auto entry = std::begin(kOptions); entry != std::end(kOptions); ++entry) {
        if (entry != std::begin(kOptions) && (entry - 1)->option == entry->option)
            continue;
        std::string synopsis = entry->name;
        for (auto same = entry + 1; same != std::end(kOptions) && same->option == entry->option;
             ++same)
            synopsis += std::string(", ") + same->name;
        if (entry->value != nullptr)
            synopsis += std::string(" ") + entry->value;
        synopsis.resize(std::max<std::size_t>(synopsis.size() + 1, 16), ' ');
        text += "  " + synopsis + entry->help + "\n";
    }
    text += "\nExample:\n  ";
    text += kUsageExample;
    text += "\n";
    return text;
}

bool NQWexaOptions::checkAccZone(const std::string& name) const {
    return listed(acceptList, name);
}

bool NQWexaOptions::checkNotAccZone(const std::string& name) const {
    return listed(rejectList, name);
}

bool NQWexaOptions::isMergeList(const std::string& name) const {
    return listed(mergeList, name);
}

void NQWexaOptions::parseOptions(int argc, char** argv) {
    commandLine.clear();
    commandWords.clear();
    for (int i = 0; i < argc; ++i) {
        commandLine += argv[i];
        commandLine += ' ';
        commandWords.emplace_back(argv[i]);
    }

    answerHelpOrVersion(argc, argv);

    bool gtGiven = false, resultGiven = false, outputGiven = false, imageGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const auto entry = std::find_if(std::begin(kOptions), std::end(kOptions),
                                        [&](const OptionEntry& s) { return word == s.name; });
        if (entry == std::end(kOptions))
            continue;
        std::string value;
        if (entry->value != nullptr) {
            if (i + 1 >= argc)
                endRun("The " + word + " option requires a value.");
            value = argv[i + 1];
        }
        switch (entry->option) {
            case Option::GroundTruth:
                gtPath = normalised(value);
                if (!pathExists(gtPath))
                    endRun("Ground truth path " + value + " is not found!!!");
                gtGiven = true;
                break;
            case Option::Result:
                resultPath = normalised(value);
                if (!pathExists(resultPath))
                    endRun("Output path " + value + " is not found!!!");
                resultGiven = true;
                break;
            case Option::Detail:
                detailMode = true;
                break;
            case Option::Output:
                outputPath = normalised(value);
                outputGiven = true;
                break;
            case Option::Image:
                imagePath = normalised(value);
                if (!pathExists(imagePath))
                    endRun("Image path " + value + " is not found!!!");
                imageGiven = true;
                break;
            case Option::Visual:
                visualMode = true;
                visualPath = normalised(value);
                if (!ensureDirectory(visualPath))
                    endRun("Visual path " + value + " can not be created!!!");
                break;
            case Option::Threshold:
                matchThreshold = std::atof(value.c_str());
                thresholdGiven = true;
                break;
            case Option::SegOnly:
                segOnlyMode = true;
                acceptList.push_back("zone");
                break;
            case Option::ZoneClass:
                zoneClassMode = true;
                break;
            case Option::Rle:
                rleMode = true;
                break;
            case Option::Merge: {
                mergeMode = true;
                std::vector<std::string> words;
                if (!readWords(value, words))
                    endRun(value + " is not found");
                // An empty file leaves no first word, which reads as 0.
                mergeThreshold = std::atof(words.empty() ? "" : words.front().c_str());
                for (std::size_t w = 1; w < words.size(); ++w)
                    mergeList.push_back(words[w]);
                break;
            }
            case Option::LineId:
                lineIdMode = true;
                break;
            case Option::Accept:
                acceptMode = true;
                if (!readWords(value, acceptList))
                    endRun(value + " is not found");
                break;
            case Option::Reject:
                rejectMode = true;
                if (!readWords(value, rejectList))
                    endRun(value + " is not found");
                break;
            case Option::Threads:
                threads = threadCount(value);
                break;
            case Option::PageImageSuffix:
                pageImageSuffix = value;
                break;
            case Option::MinScore:
                minScore = scoreValue(value);
                minScoreGiven = true;
                break;
            case Option::Json:
                jsonMode = true;
                jsonPath = normalised(value);
                break;
            case Option::Pictures:
                pictureMode = true;
                picturePath = normalised(value);
                if (!ensureDirectory(picturePath))
                    endRun("Picture path " + value + " can not be created!!!");
                break;
            case Option::Shard:
                if (!readShard(value, shardIndex, shardCount))
                    endRun("The -shard option requires K/N with 1 <= K <= N, not " + value + ".");
                break;
            case Option::Part:
                partMode = true;
                partPath = normalised(value);
                break;
            case Option::Sweep: {
                std::string problem;
                if (!NQThresholdSweep::parseRange(value, sweepThresholds, problem))
                    endRun("The -sweep value " + value + " is not usable: " + problem + ".");
                sweepMode = true;
                sweepRange = value;
                break;
            }
            case Option::SplitMerge:
                splitMergeMode = true;
                break;
            case Option::SplitCover:
                if (!readDecimal(value, splitCover) || splitCover < 0 || splitCover > 100)
                    endRun("The -splitcover option requires a percentage from 0 to 100.");
                splitMergeMode = true;
                break;
            case Option::Map: {
                std::string text;
                if (!readText(value, text))
                    endRun(value + " is not found");
                std::vector<std::string> problems;
                classMap = NQClassMap::parse(text, value, problems);
                if (!problems.empty()) {
                    for (std::size_t k = 0; k + 1 < problems.size(); ++k)
                        std::cout << problems[k] << '\n';
                    endRun(problems.back());
                }
                mapMode = true;
                mapPath = normalised(value);
                break;
            }
            case Option::FailUnder:
                if (!readDecimal(value, failUnder))
                    endRun("The --fail-under option requires a number.");
                failUnderMode = true;
                break;
            case Option::Help:
            case Option::Version:
                break;  // answered before the scan
        }
    }

    if (acceptMode && rejectMode)
        endRun("-ac and -nac options can not be used together.");
    if (segOnlyMode && zoneClassMode)
        endRun("-segonly and -zoneclass options can not be used together.");
    // Zones paired by id have no scores to sweep and no shared pixels.
    if (sweepMode && zoneClassMode)
        endRun("-sweep and -zoneclass options can not be used together.");
    if (splitMergeMode && zoneClassMode)
        endRun("-splitmerge and -zoneclass options can not be used together.");
    // A part file carries the class table and the page records, not the
    // sweep's tables or the split counts, so a merge could not give them.
    if (partMode && sweepMode)
        endRun("-part and -sweep options can not be used together.");
    if (partMode && splitMergeMode)
        endRun("-part and -splitmerge options can not be used together.");
    if (!gtGiven)
        endRun("This program requires \"-g [DIR | FILE]\" option. ");
    if (!resultGiven)
        endRun("This program requires \"-r [DIR | FILE]\" option. ");
    // A run that writes a part writes no report, so it has no default to announce.
    if (!outputGiven) {
        if (!partMode)
            std::cout << "The Evaluation result will be exported to \"" << kDefaultReport
                      << "\".\n";
        outputPath = kDefaultReport;
    }
    if (!imageGiven) {
        if (isDirectory(gtPath))
            imagePath = gtPath;
        else if (isRegularFile(gtPath))
            endRun("Image path should be provided when Ground truth path is not a directory");
    }
    if (!thresholdGiven)
        matchThreshold = 80.0;

    const bool gtDir = isDirectory(gtPath), gtFile = isRegularFile(gtPath);
    const bool resultDir = isDirectory(resultPath), resultFile = isRegularFile(resultPath);
    dirToDir = gtDir && resultDir;
    fileToDir = gtFile && resultDir;
    dirToFile = gtDir && resultFile;
    fileToFile = gtFile && resultFile;
}
