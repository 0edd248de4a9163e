// The run over the file pairs and the comparison of their pages.
//
// The run is driven by the result side: every XML file of the result
// directory is looked for, by name, in the ground-truth directory. Each pair
// is read, compared page by page in step, and, with -v, written back
// annotated. The work is done by the parts (options, matcher, class table,
// report writer, annotator); this file only puts them in order.
//
// A file pair that cannot be read or compared is reported and the run goes
// on. An XML file that cannot be opened at all ends the run: its
// NQLoadXmlError leaves doEval, and the report stream is closed with what was
// written so far as it unwinds.
#include "eval/NQWexa.h"

#include <algorithm>
#include <fstream>
#include <iostream>

#include <boost/filesystem.hpp>

#include "docmodel/NQDocument.h"
#include "eval/NQAnnotator.h"
#include "eval/NQReportWriter.h"
#include "imageio/NQSharedPageImages.h"
#include "xml/NQxml.h"

namespace {

namespace fs = boost::filesystem;

void say(const std::string& line) {
    std::cout << line << '\n';
}

bool pathExists(const std::string& path) {
    boost::system::error_code ignored;
    return fs::exists(path, ignored);
}

// "evl." in front of the last three characters: p001.xml -> p001.evl.xml.
// A name of fewer than three characters gets it in front.
std::string visualName(const std::string& name) {
    std::string visual = name;
    visual.insert(name.size() >= 3 ? name.size() - 3 : 0, "evl.");
    return visual;
}

// Reads one XML file with its page images. Every failure the reader throws
// (a page image that is missing or unreadable, a zone tree that breaks the
// model's rules, ...) comes back as false, except a file that cannot be
// opened at all, which ends the run.
bool readDocument(const std::string& file, const std::string& imageDir, NQDocument& document,
                  NQSharedPageImages& images) {
    try {
        NQxml reader;
        document = reader.nqReadFromXmlFile(file, imageDir, &images);
        return true;
    } catch (const NQLoadXmlError&) {
        throw;
    } catch (...) {
        return false;
    }
}

}  // namespace

NQWexa::NQWexa(int argc, char** argv) {
    options_.parseOptions(argc, argv);
}

void NQWexa::printIntro(std::ostream& report) const {
    NQReportWriter(report, options_.zoneClassMode).printIntro();
}

void NQWexa::printEnd(std::ostream& report) const {
    NQReportWriter(report, options_.zoneClassMode).printEnd();
}

std::vector<NQFilePair> NQWexa::filePairs() const {
    std::vector<NQFilePair> pairs;
    if (options_.fileToFile) {
        pairs.push_back(NQFilePair{options_.resultPath, options_.gtPath,
                                   options_.visualPath + "/" + visualName(options_.resultPath)});
        return pairs;
    }
    if (!options_.dirToDir)
        return pairs;

    std::vector<std::string> names;
    boost::system::error_code failed;
    for (fs::directory_iterator entry(options_.resultPath, failed), end; !failed && entry != end;
         entry.increment(failed)) {
        boost::system::error_code ignored;
        if (fs::is_directory(entry->status(ignored)))
            continue;
        const std::string name = entry->path().filename().string();
        if (name.find(".xml") == std::string::npos || name.compare(0, 10, "QOLAConfig") == 0)
            continue;
        names.push_back(name);
    }
    if (failed)
        say("Result path " + options_.resultPath + " can not be read!!!");
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        NQFilePair pair{options_.resultPath + "/" + name, options_.gtPath + "/" + name,
                        options_.visualPath + "/" + visualName(name)};
        pair.gtFound = pathExists(pair.gtFile);
        pairs.push_back(pair);
    }
    return pairs;
}

void NQWexa::doEval() {
    if (!options_.zoneClassMode)
        addType("unmatch");

    std::ofstream report(options_.outputPath, std::ios::out | std::ios::trunc);
    if (!report.is_open())
        say("Report file " + options_.outputPath + " can not be written!!!");

    NQReportWriter writer(report, options_.zoneClassMode);
    writer.printIntro();
    writer.printHead(options_.commandLine, options_.detailMode);
    for (const NQFilePair& pair : filePairs()) {
        if (!pair.gtFound) {
            say(pair.gtFile + " is not found!!!");
            continue;
        }
        compareDoc(pair.resultFile, pair.gtFile, pair.visualFile, report);
    }
    writer.summary(classes_, fileCount);
    writer.printEnd();
}

void NQWexa::compareDoc(const std::string& resultFile, const std::string& gtFile,
                        const std::string& visualFile, std::ostream& report) {
    NQDocument result, gt;
    // Both documents almost always name the same page image: it is decoded
    // for the result and handed to the ground truth as it is.
    NQSharedPageImages images;
    if (!readDocument(resultFile, options_.imagePath, result, images)) {
        say("File read Error at " + resultFile);
        return;
    }
    say(resultFile);
    if (!readDocument(gtFile, options_.imagePath, gt, images)) {
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
    if (options_.detailMode)
        NQReportWriter(report, options_.zoneClassMode).printFileHeading(src);

    // Nothing a file holds should end the run: a page that cannot be compared
    // ends this pair (counted so far) and the run goes on with the next one.
    try {
        auto r = resultPages.begin();
        auto g = gtPages.begin();
        for (; r != resultPages.end() && g != gtPages.end(); ++r, ++g) {
            if (options_.zoneClassMode)
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

    if (options_.visualMode) {
        NQxml writer(result, src);
        if (!writer.nqSaveToXmlFile(visualFile))
            say("Visual file " + visualFile + " can not be written!!!");
    }
}

// ---- page comparison ----------------------------------------------------------------------

void NQWexa::compareLPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report) {
    const NQPageMatch match = matcher_.match(resultPage, gtPage, classes_);
    updateConfMatrix(match);
    if (options_.detailMode) {
        NQReportWriter writer(report, options_.zoneClassMode);
        writer.printPageHeading(resultPage.nqGetPageId());
        writer.printDetail(match, classes_);
    }
    if (options_.visualMode)
        saveVisual(match, resultPage);
}

void NQWexa::compareCPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report) {
    classes_.addZoneTotals(static_cast<std::uint32_t>(resultPage.nqGetZoneList().size()),
                           static_cast<std::uint32_t>(gtPage.nqGetZoneList().size()));
    NQReportWriter writer(report, options_.zoneClassMode);
    if (options_.detailMode)
        writer.printPageHeading(resultPage.nqGetPageId());

    const std::vector<NQIdPair> pairs = matcher_.matchByID(resultPage, gtPage);
    unsigned correct = 0;
    for (const NQIdPair& pair : pairs) {
        addType(pair.type);
        if (pair.partner == nullptr) {
            std::cout << "Couldn't find mathcing zone( ID : " << pair.zone->nqGetZoneId()
                      << " ) on Ground-truth\n";
            continue;
        }
        addType(pair.gtType);
        countPair(pair.type, pair.gtType);
        if (pair.type == pair.gtType)
            ++correct;
        // The class fields are as wide as the longest class registered so far.
        if (options_.detailMode)
            writer.printIdPair(pair, static_cast<int>(getTypeMaxLength()) + 1);
        if (options_.visualMode)
            NQAnnotator::annotate(pair);
    }
    if (options_.detailMode)
        writer.printIdOverall(correct, static_cast<unsigned>(pairs.size()));
}

void NQWexa::getZones(NQPage& page, std::vector<NQMZone>& regions) {
    matcher_.getZones(page, regions, classes_);
}

void NQWexa::getMZones(NQPage& page, std::vector<NQMZone>& regions,
                       const std::vector<NQMZone>& gtRegions) {
    matcher_.getMZones(page, regions, gtRegions, classes_);
}

std::vector<Score> NQWexa::getMaxMatch(const std::vector<Score>& candidates,
                                       const std::vector<NQMZone>& result,
                                       const std::vector<NQMZone>& gt) const {
    return NQPageMatcher::getMaxMatch(candidates, result, gt);
}

void NQWexa::updateConfMatrix(const NQPageMatch& match) {
    match.updateConfMatrix(classes_);
}

NQZone* NQWexa::findZoneByID(NQPage& page, const std::string& id) const {
    return NQPageMatcher::findZoneByID(page, id);
}

// ---- report and visual output ---------------------------------------------------------------

void NQWexa::printDetail(const NQPageMatch& match, std::ostream& report) const {
    NQReportWriter(report, options_.zoneClassMode).printDetail(match, classes_);
}

void NQWexa::summary(std::ostream& report) const {
    NQReportWriter(report, options_.zoneClassMode).summary(classes_, fileCount);
}

void NQWexa::saveVisual(const NQPageMatch& match, NQPage& resultPage) {
    NQAnnotator(options_.rleMode).annotate(match, resultPage, missCount);
}
