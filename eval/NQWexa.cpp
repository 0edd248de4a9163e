// The run over the file pairs and the comparison of their pages.
//
// The run is driven by the result side: every XML file of the result
// directory is looked for, by name, in the ground-truth directory. Files may
// be in our own format, PAGE XML or COCO JSON, told by their content; a COCO
// file is many pages, each paired on its own (NQInputPairing). Each pair is
// read, compared page by page in step, and, with -v, written back annotated
// in our own format. The work is done by the parts (options, matcher, class
// table, report writer, annotator); this file only puts them in order. What
// each page and pair gave is handed, as records, to the run's observers
// (JSON, pictures, progress line), which never see the report stream.
//
// A pair is handled in two steps (see NQPairRunner). Its work reads both
// documents and matches their pages; it changes nothing but the pair's own
// documents, records the classes each page meets in a table of the page's
// own, and keeps what it would print. Its commit prints that, registers the
// page's classes in the run's table in the order met, counts, writes the
// detail lines (whose class fields are as wide as the longest class
// registered so far in the run, hence in file order), tells the observers
// and writes the visual file. With one thread the two steps follow each
// other, pair by pair, so a run with -j N writes exactly what a run without
// it writes.
//
// A file pair that cannot be read or compared is reported and the run goes
// on. An XML file that cannot be opened at all ends the run: its
// NQLoadXmlError leaves doEval, and the report stream is closed with what was
// written so far as it unwinds.
#include "eval/NQWexa.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <regex>
#include <sstream>

#include "docmodel/NQDocument.h"
#include "eval/NQAnnotator.h"
#include "eval/NQInputPairing.h"
#include "eval/NQJsonWriter.h"
#include "eval/NQPairRunner.h"
#include "eval/NQPartFile.h"
#include "eval/NQPictureWriter.h"
#include "eval/NQProgressLine.h"
#include "eval/NQReportWriter.h"
#include "eval/NQShard.h"
#include "image/NQLogger.h"
#include "imageio/NQSharedPageImages.h"
#include "xml/NQInputReader.h"
#include "xml/NQxml.h"

namespace {

// What a file is, when a pair was made from names alone. A file of our own
// format keeps the bytes read to tell it, so that it is opened once; one
// larger than kKeptBytes is read again by its reader, so that a pair, whose
// two files are told before either is read, never holds two large texts.
NQDocumentSource sourceOf(const NQDocumentSource& given, const std::string& file) {
    constexpr std::uintmax_t kKeptBytes = std::uintmax_t(16) << 20;
    static_assert(kKeptBytes <= NQxml::kMaxFileBytes, "a kept file is one its reader takes");
    if (!given.file.empty())
        return given;
    NQDocumentSource source;
    source.file = file;
    std::string text;
    source.format = nqDetectInputFormat(file, kKeptBytes, text);
    if (!text.empty())
        source.text = std::make_shared<std::string>(std::move(text));
    return source;
}

// A library message without the place it comes from: "NQPageImageLoader:69:
// <NQImageFactory::nqLoadImageAtPage()> Unsupported file format x.tif"
// gives "Unsupported file format x.tif".
std::string plainReason(const std::string& message) {
    static const std::regex place("^[A-Za-z0-9_]+:[0-9]+: (<[^>]*> )?");
    return std::regex_replace(message, place, "");
}

// Reads one document with its page images. Every failure the readers throw
// (a page image that is missing or unreadable, a zone tree that breaks the
// model's rules, a PAGE or COCO file refused, ...) comes back as false,
// except a file of our own format that cannot be opened at all, which ends
// the run. `problem` then says what is wrong with a PAGE or COCO file; files
// of our own format are reported by name alone, as they always were.
bool readDocument(const NQInputReader& reader, const NQDocumentSource& source,
                  const NQForeignReadOptions& foreign, NQDocument& document,
                  NQSharedPageImages& images, std::ostream& messages, std::string& problem) {
    try {
        document = reader.nqRead(source, foreign, messages, &images);
        return true;
    } catch (const NQLoadXmlError&) {
        throw;
    } catch (const NQInputError& refused) {
        problem = refused.reason();
    } catch (const std::exception& failed) {
        if (source.format != NQInputFormat::NQ_NATIVE_XML)
            problem = plainReason(failed.what());
    } catch (...) {
    }
    return false;
}

// "File read Error at FILE", with what is wrong when it is known.
std::string readErrorLine(const std::string& file, const std::string& problem) {
    return "File read Error at " + file + (problem.empty() ? "" : ": " + problem);
}

}  // namespace

// One page pair of a file pair's work.
struct NQPagePairWork {
    NQPage* result;
    NQPage* gt;
    NQClassTable classes;                // the classes the matching met, in order
    std::unique_ptr<NQPageMatch> match;  // null: not matched (-zoneclass) or matching failed
};

// What a file pair's work leaves for its commit.
struct NQPairWork {
    enum class Stage { GtMissing, ResultUnread, GtUnread, Read };
    NQFilePair pair;
    Stage stage = Stage::GtMissing;
    std::ostringstream messages;      // standard output of the work, in order
    std::exception_ptr loadXmlError;  // an XML file that cannot be opened: ends the run
    std::unique_ptr<NQDocument> result, gt;
    std::vector<NQPagePairWork> pages;
    std::exception_ptr failure;  // why matching the last page of `pages` failed
    std::string problem;         // what is wrong with a PAGE or COCO file that was not read
};

NQWexa::NQWexa(int argc, char** argv) {
    options_.parseOptions(argc, argv);
    reader_ = std::make_unique<NQInputReader>(options_.imagePath);
    foreign_.lineIdMode = options_.lineIdMode;
    foreign_.pageImageSuffix = options_.pageImageSuffix;
    if (options_.minScoreGiven)
        foreign_.minScore = options_.minScore;
    analyses_ = NQRunAnalyses(options_);
}

NQWexa::~NQWexa() = default;

void NQWexa::addObserver(std::unique_ptr<NQRunObserver> observer) {
    observers_.push_back(std::move(observer));
}

void NQWexa::addRequestedObservers() {
    if (options_.jsonMode)
        addObserver(std::make_unique<NQJsonWriter>(options_.jsonPath, &analyses_));
    if (options_.pictureMode)
        addObserver(std::make_unique<NQPictureWriter>(options_.picturePath));
    if (NQProgressLine::wanted())
        addObserver(std::make_unique<NQProgressLine>(std::cerr));
}

void NQWexa::say(const std::string& line) {
    for (const auto& observer : observers_)
        observer->beforeMessage();
    std::cout << line << '\n';
    for (const auto& observer : observers_)
        observer->afterMessage();
}

void NQWexa::sayKept(const std::string& lines) {
    if (lines.empty())
        return;
    for (const auto& observer : observers_)
        observer->beforeMessage();
    std::cout << lines;
    for (const auto& observer : observers_)
        observer->afterMessage();
}

void NQWexa::notify(const std::function<void(NQRunObserver&)>& call) {
    for (const auto& observer : observers_) {
        try {
            call(*observer);
        } catch (const std::exception& problem) {
            say(problem.what());
        }
    }
}

void NQWexa::printIntro(std::ostream& report) const {
    NQReportWriter(report, options_.zoneClassMode).printIntro();
}

void NQWexa::printEnd(std::ostream& report) const {
    NQReportWriter(report, options_.zoneClassMode).printEnd();
}

std::vector<NQFilePair> NQWexa::filePairs() {
    // Listed before the run starts, so no observer is drawing yet.
    return nqListInputPairs(options_, *reader_,
                            [](const std::string& line) { std::cout << line << '\n'; });
}

void NQWexa::doEval() {
    addRequestedObservers();
    if (!options_.zoneClassMode)
        addType("unmatch");

    // A run that writes a part writes no report: its lines go nowhere.
    std::ofstream reportFile;
    std::ostream discarded(nullptr);
    if (!options_.partMode) {
        reportFile.open(options_.outputPath, std::ios::out | std::ios::trunc);
        if (!reportFile.is_open())
            say("Report file " + options_.outputPath + " can not be written!!!");
    }
    std::ostream& report = options_.partMode ? discarded : reportFile;

    NQReportWriter writer(report, options_.zoneClassMode);
    writer.printIntro();
    writer.printHead(options_.commandLine, options_.detailMode);
    const std::vector<NQFilePair> allPairs = filePairs();
    const NQShardSlice slice =
        shardSlice(allPairs.size(), options_.shardIndex, options_.shardCount);
    const std::vector<NQFilePair> pairs(allPairs.begin() + slice.begin,
                                        allPairs.begin() + slice.end);
    if (options_.partMode)
        addObserver(std::make_unique<NQPartWriter>(options_.partPath,
                                                   NQPartHeader{{},
                                                                options_.shardIndex,
                                                                options_.shardCount,
                                                                allPairs.size(),
                                                                filePairsFingerprint(allPairs)}));
    notify([&](NQRunObserver& o) { o.runStarted(options_, pairs.size()); });
    std::vector<std::unique_ptr<NQPairWork>> work(pairs.size());
    try {
        NQPairRunner::run(
            pairs.size(), options_.threads,
            [&](std::size_t k) { work[k] = evaluatePair(pairs[k]); },
            [&](std::size_t k) {
                notify([&](NQRunObserver& o) { o.pairStarted(k, pairs.size()); });
                // Without observers nothing reads the page records.
                NQPairRecord record = commitPair(*work[k], report, !observers_.empty());
                record.index = slice.begin + k;
                notify([&](NQRunObserver& o) { o.pairFinished(record); });
            },
            // The documents are freed by the thread that read them.
            [&](std::size_t k) { work[k].reset(); });
    } catch (const NQLoadXmlError&) {
        // The observers get what was compared before the run stopped.
        notify([&](NQRunObserver& o) { o.runFinished(classes_, fileCount, false); });
        throw;
    }
    writer.summary(classes_, fileCount);
    writer.printAnalyses(analyses_, classes_);
    writer.printEnd();
    notify([&](NQRunObserver& o) { o.runFinished(classes_, fileCount, true); });
    complete_ = true;
}

int NQWexa::exitStatus() {
    if (!options_.failUnderMode)
        return 0;
    if (!complete_) {
        say("The run stopped early, which --fail-under counts as a failure");
        return 1;
    }
    const double average = classes_.getAverageFScore(options_.zoneClassMode ? 0 : 1);
    if (!(average < options_.failUnder))
        return 0;
    std::ostringstream line;
    line << std::fixed << std::setprecision(2) << "The average F-score " << average << "% is below "
         << options_.failUnder << "%";
    say(line.str());
    return 1;
}

NQPairRecord NQWexa::compareDoc(const std::string& resultFile, const std::string& gtFile,
                                const std::string& visualFile, std::ostream& report) {
    const std::unique_ptr<NQPairWork> work =
        evaluatePair(NQFilePair{resultFile, gtFile, visualFile, true});
    return commitPair(*work, report, true);
}

std::unique_ptr<NQPairWork> NQWexa::evaluatePair(const NQFilePair& pair) const {
    auto work = std::make_unique<NQPairWork>();
    work->pair = pair;
    // A pair listed by name alone learns its formats here, off the run's thread.
    work->pair.resultSource = sourceOf(pair.resultSource, pair.resultFile);
    if (!pair.gtFound)
        return work;
    work->pair.gtSource = sourceOf(pair.gtSource, pair.gtFile);
    // Whatever the library logs on standard output while this pair is read
    // is shown with the pair's other lines.
    const NQLogger::Capture capture(work->messages);
    work->result = std::make_unique<NQDocument>();
    work->gt = std::make_unique<NQDocument>();
    // Both documents almost always name the same page image: it is decoded
    // for the result and handed to the ground truth as it is.
    NQSharedPageImages images;
    std::string problem;
    try {
        work->stage = NQPairWork::Stage::ResultUnread;
        if (!readDocument(*reader_, work->pair.resultSource, foreign_, *work->result, images,
                          work->messages, problem)) {
            work->messages << readErrorLine(pair.resultFile, problem) << '\n';
            work->problem = problem;
            return work;
        }
        work->messages << pair.resultFile << '\n';
        work->stage = NQPairWork::Stage::GtUnread;
        if (!readDocument(*reader_, work->pair.gtSource, foreign_, *work->gt, images,
                          work->messages, problem)) {
            work->messages << readErrorLine(pair.gtFile, problem) << '\n';
            work->problem = problem;
            return work;
        }
    } catch (const NQLoadXmlError&) {
        work->loadXmlError = std::current_exception();
        return work;
    }
    work->stage = NQPairWork::Stage::Read;

    const NQDocument::PageList& resultPages = work->result->nqGetPageList();
    const NQDocument::PageList& gtPages = work->gt->nqGetPageList();
    auto r = resultPages.begin();
    auto g = gtPages.begin();
    for (; r != resultPages.end() && g != gtPages.end(); ++r, ++g)
        work->pages.push_back(NQPagePairWork{*r, *g, NQClassTable(), nullptr});
    if (options_.zoneClassMode)
        return work;
    // The default comparison's matching is the costly part of a page; what
    // depends on the run (class numbers, detail widths) waits for the commit.
    for (std::size_t k = 0; k < work->pages.size(); ++k) {
        NQPagePairWork& page = work->pages[k];
        try {
            page.match =
                std::make_unique<NQPageMatch>(matcher_.match(*page.result, *page.gt, page.classes));
        } catch (...) {
            work->failure = std::current_exception();
            work->pages.resize(k + 1);
            break;
        }
    }
    // A commit that reads no pixels lets the page images go here, on the
    // thread that decoded them: with -j N each thread then decodes its next
    // page into the memory of its last one instead of fresh memory, and
    // finished pairs waiting for their commit hold no pages.
    if (!commitReadsPixels())
        for (NQPagePairWork& page : work->pages) {
            if (page.match)
                page.match->releasePixels();
            page.result->nqReleasePageImagePixels();
            page.gt->nqReleasePageImagePixels();
        }
    return work;
}

bool NQWexa::commitReadsPixels() const {
    // Visual files and run-length texts come from the masks, the picture
    // writer draws on the page image, and the analyses may count pixels of
    // regions.
    return options_.visualMode || analyses_.any() ||
           std::any_of(observers_.begin(), observers_.end(),
                       [](const auto& observer) { return observer->readsPageImages(); });
}

NQPairRecord NQWexa::commitPair(NQPairWork& work, std::ostream& report, bool pageRecords) {
    NQPairRecord record;
    record.files = work.pair;
    sayKept(work.messages.str());
    if (work.loadXmlError)
        std::rethrow_exception(work.loadXmlError);
    switch (work.stage) {
        case NQPairWork::Stage::GtMissing:
            say(work.pair.gtFile + " is not found!!!");
            record.status = NQPairStatus::GtMissing;
            return record;
        case NQPairWork::Stage::ResultUnread:
            record.status = NQPairStatus::ResultReadError;
            record.error = work.problem;
            return record;
        case NQPairWork::Stage::GtUnread:
            record.status = NQPairStatus::GtReadError;
            record.error = work.problem;
            return record;
        case NQPairWork::Stage::Read:
            break;
    }
    ++fileCount;
    missCount = 0;
    const std::string src = work.result->nqGetTag("src");
    record.src = src;
    if (work.result->nqGetPageList().empty() || work.gt->nqGetPageList().empty()) {
        record.status = NQPairStatus::NoPages;
        return record;
    }

    if (options_.detailMode)
        NQReportWriter(report, options_.zoneClassMode).printFileHeading(src);

    // Nothing a file holds should end the run: a page that cannot be compared
    // ends this pair (counted so far) and the run goes on with the next one.
    std::size_t known = classes_.getTypeCount();  // classes registered before the page
    const auto classesSince = [this](std::size_t first) {
        const std::vector<std::string>& names = classes_.getTypeNames();
        return std::vector<std::string>(names.begin() + static_cast<std::ptrdiff_t>(first),
                                        names.end());
    };
    const std::string& resultFile = work.pair.resultFile;
    try {
        for (NQPagePairWork& pagePair : work.pages) {
            NQPageRecord page;
            if (options_.zoneClassMode) {
                page = compareCPage(*pagePair.result, *pagePair.gt, report);
            } else {
                // The classes a failed matching met stay registered, as they
                // would have been had it run here.
                classes_.merge(pagePair.classes);
                if (!pagePair.match)
                    std::rethrow_exception(work.failure);
                page = commitLPage(*pagePair.match, *pagePair.result, report, pageRecords);
            }
            page.number = record.pages.size() + 1;
            page.newClasses = classesSince(known);
            known = classes_.getTypeCount();
            const NQImage& image = pagePair.result->nqGetPageImageRef();
            notify([&](NQRunObserver& o) { o.pageCompared(record.files, page, image); });
            record.pages.push_back(std::move(page));
        }
    } catch (const std::exception& e) {
        say("Evaluation Error at " + resultFile + ": " + e.what());
        record.status = NQPairStatus::EvaluationError;
        record.error = e.what();
        record.failedPageClasses = classesSince(known);
        return record;
    } catch (...) {
        say("Evaluation Error at " + resultFile);
        record.status = NQPairStatus::EvaluationError;
        record.error = "unknown error";
        record.failedPageClasses = classesSince(known);
        return record;
    }

    if (options_.visualMode) {
        NQxml writer(*work.result, src);
        if (!writer.nqSaveToXmlFile(work.pair.visualFile))
            say("Visual file " + work.pair.visualFile + " can not be written!!!");
    }
    return record;
}

// ---- page comparison ----------------------------------------------------------------------

NQPageRecord NQWexa::compareLPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report) {
    NQClassTable met;
    std::unique_ptr<NQPageMatch> match;
    try {
        match = std::make_unique<NQPageMatch>(matcher_.match(resultPage, gtPage, met));
    } catch (...) {
        classes_.merge(met);
        throw;
    }
    classes_.merge(met);
    return commitLPage(*match, resultPage, report, true);
}

NQPageRecord NQWexa::commitLPage(const NQPageMatch& match, NQPage& resultPage, std::ostream& report,
                                 bool pageRecord) {
    updateConfMatrix(match);
    analyses_.addPage(match, classes_);
    // Taken before the annotation appends the missed zones to the page.
    // The detail lines are written from the record.
    NQPageRecord page =
        pageRecord || options_.detailMode ? NQPageRecord::fromMatch(match) : NQPageRecord();
    page.pageId = resultPage.nqGetPageId();
    if (options_.detailMode) {
        NQReportWriter writer(report, options_.zoneClassMode);
        writer.printPageHeading(page.pageId);
        writer.printDetail(page, getTypeMaxLength());
    }
    if (options_.visualMode)
        saveVisual(match, resultPage);
    return page;
}

NQPageRecord NQWexa::compareCPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report) {
    matcher_.mapClasses(resultPage, gtPage);
    classes_.addZoneTotals(static_cast<std::uint32_t>(resultPage.nqGetZoneList().size()),
                           static_cast<std::uint32_t>(gtPage.nqGetZoneList().size()));
    const std::size_t longestBefore = getTypeMaxLength();
    const std::vector<NQIdPair> pairs = matcher_.matchByID(resultPage, gtPage);
    for (const NQIdPair& pair : pairs) {
        addType(pair.type);
        if (pair.partner == nullptr) {
            say("Couldn't find mathcing zone( ID : " + pair.zone->nqGetZoneId() +
                " ) on Ground-truth");
            continue;
        }
        addType(pair.gtType);
        countPair(pair.type, pair.gtType);
        if (options_.visualMode)
            NQAnnotator::annotate(pair);
    }
    NQPageRecord page = NQPageRecord::fromIdPairs(pairs, gtPage);
    page.pageId = resultPage.nqGetPageId();
    if (options_.detailMode) {
        NQReportWriter writer(report, options_.zoneClassMode);
        writer.printPageHeading(page.pageId);
        writer.printIdDetail(page, longestBefore);
    }
    return page;
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
