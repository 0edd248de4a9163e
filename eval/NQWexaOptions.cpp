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
#include <cstdlib>
#include <fstream>
#include <iostream>

#include <boost/filesystem.hpp>

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
    Threads
};

struct OptionEntry {
    const char* name;
    Option option;
    bool takesValue;
};

constexpr OptionEntry kOptions[] = {
    {"-g", Option::GroundTruth, true},
    {"-r", Option::Result, true},
    {"-detail", Option::Detail, false},
    {"-o", Option::Output, true},
    {"-i", Option::Image, true},
    {"-v", Option::Visual, true},
    {"-t", Option::Threshold, true},
    {"-segonly", Option::SegOnly, false},
    {"-zoneclass", Option::ZoneClass, false},
    {"-rle", Option::Rle, false},
    {"-m", Option::Merge, true},
    {"-lid", Option::LineId, false},
    {"-az", Option::Accept, true},
    {"-naz", Option::Reject, true},
    {"-j", Option::Threads, true},
};

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

bool listed(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

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
    for (int i = 0; i < argc; ++i) {
        commandLine += argv[i];
        commandLine += ' ';
    }

    bool gtGiven = false, resultGiven = false, outputGiven = false, imageGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const auto entry = std::find_if(std::begin(kOptions), std::end(kOptions),
                                        [&](const OptionEntry& s) { return word == s.name; });
        if (entry == std::end(kOptions))
            continue;
        std::string value;
        if (entry->takesValue) {
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
            case Option::Visual: {
                visualMode = true;
                visualPath = normalised(value);
                if (!pathExists(visualPath)) {
                    boost::system::error_code failed;
                    fs::create_directory(visualPath, failed);
                    if (failed)
                        endRun("Visual path " + value + " can not be created!!!");
                }
                break;
            }
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
        }
    }

    if (acceptMode && rejectMode)
        endRun("-ac and -nac options can not be used together.");
    if (segOnlyMode && zoneClassMode)
        endRun("-segonly and -zoneclass options can not be used together.");
    if (!gtGiven)
        endRun("This program requires \"-g [DIR | FILE]\" option. ");
    if (!resultGiven)
        endRun("This program requires \"-r [DIR | FILE]\" option. ");
    if (!outputGiven) {
        std::cout << "The Evaluation result will be exported to \"" << kDefaultReport << "\".\n";
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
