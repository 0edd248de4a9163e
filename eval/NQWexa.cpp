// The command line and the run over the file pairs.
//
// Options are read word by word from one table. A word that takes a value
// takes the next word, and the scan then goes on with that next word, so a
// value that happens to be an option name also acts as that option; callers
// rely on nothing else. Paths are kept relative and only normalised
// lexically. Every problem is one line on standard output followed by
// NQWexaExit, which the command layer turns into exit status 0 before any
// file has been written (only "-v" may already have created its directory).
//
// The run is driven by the result side: every XML file of the result
// directory is looked for, by name, in the ground-truth directory.
#include "eval/NQWexa.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>

#include <boost/filesystem.hpp>

#include "docmodel/NQDocument.h"
#include "xml/NQxml.h"

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
    Reject
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
};

constexpr const char* kDefaultReport = "WEXA-Eval.txt";

void say(const std::string& line) {
    std::cout << line << '\n';
}

[[noreturn]] void endRun(const std::string& line) {
    say(line);
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

// "evl." in front of the last three characters: p001.xml -> p001.evl.xml.
// A name of fewer than three characters gets it in front.
std::string visualName(const std::string& name) {
    std::string visual = name;
    visual.insert(name.size() >= 3 ? name.size() - 3 : 0, "evl.");
    return visual;
}

// The current local time in asctime form, ending with its own line end.
std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    const char* text = std::asctime(std::localtime(&now));
    return text != nullptr ? text : "\n";
}

}  // namespace

bool compare_function(Score a, Score b) {
    return a.score < b.score;
}

NQWexa::NQWexa(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        commandLine += argv[i];
        commandLine += ' ';
    }
    parseOptions(argc, argv);
}

void NQWexa::parseOptions(int argc, char** argv) {
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
        say(std::string("The Evaluation result will be exported to \"") + kDefaultReport + "\".");
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

void NQWexa::printIntro(std::ostream& report) const {
    report << "Result of WEXA\n"
           << "Generated from " << timeStamp() << '\n';
}

void NQWexa::printEnd(std::ostream& report) const {
    report << '\n' << "Evaluation process is finished at " << timeStamp() << '\n';
}

void NQWexa::doEval() {
    if (!zoneClassMode)
        addType("unmatch");

    std::ofstream report(outputPath, std::ios::out | std::ios::trunc);
    if (!report.is_open())
        say("Report file " + outputPath + " can not be written!!!");

    printIntro(report);
    report << "Command Option : " << commandLine << "\n\n";
    if (detailMode) {
        const std::string rule(26, '=');
        report << rule << "\nResult of Individual File\n" << rule << "\n\n";
        report << (zoneClassMode ? "[O] : Matched, [X] : Unmatched"
                                 : "[O] : Matched, [-] : Detected, [X] : False Alarm")
               << "\n\n";
    }

    if (dirToDir) {
        std::vector<std::string> names;
        boost::system::error_code failed;
        for (fs::directory_iterator entry(resultPath, failed), end; !failed && entry != end;
             entry.increment(failed)) {
            boost::system::error_code ignored;
            if (fs::is_directory(entry->status(ignored)))
                continue;
            const std::string name = entry->path().filename().string();
            if (name.find(".xml") == std::string::npos)
                continue;
            if (name.compare(0, 10, "QOLAConfig") == 0)
                continue;
            names.push_back(name);
        }
        if (failed)
            say("Result path " + resultPath + " can not be read!!!");
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string resultFile = resultPath + "/" + name;
            const std::string gtFile = gtPath + "/" + name;
            if (!pathExists(gtFile)) {
                say(gtFile + " is not found!!!");
                continue;
            }
            compareDoc(resultFile, gtFile, visualPath + "/" + visualName(name), report);
        }
    } else if (fileToFile) {
        compareDoc(resultPath, gtPath, visualPath + "/" + visualName(resultPath), report);
    }

    summary(report);
    printEnd(report);
}

namespace {

// Reads one XML file with its page images. Every failure the reader throws
// (a page image that is missing or unreadable, a zone tree that breaks the
// model's rules, ...) comes back as false; a file that cannot be opened at
// all ends the process inside the reader.
bool readDocument(const std::string& file, const std::string& imageDir, NQDocument& document) {
    try {
        NQxml reader;
        document = reader.nqReadFromXmlFile(file, imageDir);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

void NQWexa::compareDoc(const std::string& resultFile, const std::string& gtFile,
                        const std::string& visualFile, std::ostream& report) {
    NQDocument result, gt;
    if (!readDocument(resultFile, imagePath, result)) {
        say("File read Error at " + resultFile);
        return;
    }
    say(resultFile);
    if (!readDocument(gtFile, imagePath, gt)) {
        say("File read Error at " + gtFile);
        return;
    }
    ++fileCount;
    missCount = 0;
    const NQDocument::PageList& resultPages = result.nqGetPageList();
    const NQDocument::PageList& gtPages = gt.nqGetPageList();
    if (resultPages.empty() || gtPages.empty())
        return;

    const std::string src = result.nqGetTag("src");
    if (detailMode)
        report << src << '\n' << std::string(src.size(), '=') << "\n\n";

    // Nothing a file holds should end the run: a page that cannot be compared
    // ends this pair (counted so far) and the run goes on with the next one.
    try {
        auto r = resultPages.begin();
        auto g = gtPages.begin();
        for (; r != resultPages.end() && g != gtPages.end(); ++r, ++g) {
            if (zoneClassMode)
                compareCPage(**r, **g, report);
            else
                compareLPage(**r, **g, report);
        }
    } catch (const std::exception& e) {
        say("Evaluation Error at " + resultFile + ": " + e.what());
        return;
    } catch (...) {
        say("Evaluation Error at " + resultFile);
        return;
    }

    if (visualMode) {
        NQxml writer(result, src);
        if (!writer.nqSaveToXmlFile(visualFile))
            say("Visual file " + visualFile + " can not be written!!!");
    }
}
