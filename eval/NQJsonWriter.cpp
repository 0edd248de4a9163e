// The JSON form of a run's outcome, built with nlohmann::json.
//
// Every number is written as a JSON number at full double precision (the
// report rounds to two decimals; the JSON does not). A value that does not
// exist is null rather than a made-up 0: the score of an unpaired region,
// the best score of a region that overlaps nothing, a path not given.
// Classes are listed as the report lists them (from 1 in the default
// comparison, where class 0 is "unmatch"), while the confusion matrix keeps
// every class, "unmatch" included, with its name.
#include "eval/NQJsonWriter.h"

#include <fstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "eval/NQClassTable.h"
#include "eval/NQOptionsJson.h"
#include "eval/NQRunAnalyses.h"
#include "eval/NQWexaOptions.h"

// Keys keep the order they are written in, so the file reads top-down.
using json = nlohmann::ordered_json;

struct NQJsonWriter::Document {
    json options;
    bool zoneClassMode = false;
    json files = json::array();
};

namespace {

json optionalNumber(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

// The format of a document's file; null when the pair was made from names
// alone and never read.
json formatJson(const NQDocumentSource& source) {
    return source.file.empty() ? json(nullptr) : json(nqInputFormatKey(source.format));
}

json rectJson(const NQRectShape& r) {
    return json{{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
}

json regionsJson(const std::vector<NQRegionRecord>& side,
                 const std::vector<NQRegionRecord>& other) {
    json regions = json::array();
    for (const NQRegionRecord& r : side) {
        json partner = nullptr;
        if (r.partner >= 0 && static_cast<std::size_t>(r.partner) < other.size()) {
            const NQRegionRecord& p = other[r.partner];
            partner = json{{"index", r.partner}, {"id", p.id}, {"class", p.type}};
        }
        regions.push_back(json{{"id", r.id},
                               {"class", r.type},
                               {"zones", r.zoneIds},
                               {"outcome", outcomeName(r.outcome)},
                               {"partner", partner},
                               {"score", optionalNumber(r.score)},
                               {"bestScore", optionalNumber(r.bestScore)},
                               {"rect", rectJson(r.rect)}});
    }
    return regions;
}

json pageJson(const NQPageRecord& page) {
    return json{{"number", page.number},
                {"pageId", page.pageId},
                {"counts",
                 {{"resultZones", page.resultZones},
                  {"groundTruthZones", page.gtZones},
                  {"resultRegions", page.result.size()},
                  {"groundTruthRegions", page.gt.size()},
                  {"matched", page.matched()},
                  {"detected", page.detected()},
                  {"falseAlarms", page.falseAlarms()},
                  {"missed", page.missed()}}},
                {"resultRegions", regionsJson(page.result, page.gt)},
                {"groundTruthRegions", regionsJson(page.gt, page.result)}};
}

json classesJson(const NQClassTable& classes, std::size_t first) {
    json list = json::array();
    const std::vector<std::string>& names = classes.getTypeNames();
    for (std::size_t k = first; k < names.size(); ++k) {
        const std::string& name = names[k];
        const double precision = classes.getPreciZone(name), recall = classes.getRecallZone(name);
        list.push_back(json{{"index", k},
                            {"name", name},
                            {"result", classes.rowSum(k)},
                            {"groundTruth", classes.columnSum(k)},
                            {"correct", classes.getConfCount(k, k)},
                            {"precision", precision},
                            {"recall", recall},
                            {"fScore", NQClassTable::getFScore(precision, recall)},
                            {"missing", classes.getMissZone(name)},
                            {"missingRate", classes.getMissZoneRate(name)},
                            {"falseAlarms", classes.getFalseZone(name)},
                            {"falseAlarmRate", classes.getFalseZoneRate(name)}});
    }
    return list;
}

json matrixJson(const NQClassTable& classes) {
    const std::size_t n = classes.getTypeCount();
    json counts = json::array();
    for (std::size_t r = 0; r < n; ++r) {
        json row = json::array();
        for (std::size_t c = 0; c < n; ++c)
            row.push_back(classes.getConfCount(r, c));
        counts.push_back(row);
    }
    return json{{"classes", classes.getTypeNames()}, {"counts", counts}};
}

json ratesJson(const std::vector<NQRates>& rates, const NQRates& mean) {
    json precision = json::array(), recall = json::array(), fScore = json::array();
    for (const NQRates& r : rates) {
        precision.push_back(r.precision);
        recall.push_back(r.recall);
        fScore.push_back(r.fScore);
    }
    return json{
        {"precision", precision},
        {"recall", recall},
        {"fScore", fScore},
        {"mean",
         {{"precision", mean.precision}, {"recall", mean.recall}, {"fScore", mean.fScore}}}};
}

// Per class and overall, the rates at each threshold (in the order of
// `thresholds`) and their means.
json sweepJson(const NQThresholdSweep& sweep, const NQClassTable& classes, std::size_t first) {
    const std::vector<std::string>& names = classes.getTypeNames();
    const std::size_t count = sweep.thresholds().size();
    json list = json::array();
    for (std::size_t c = first; c < names.size(); ++c) {
        std::vector<NQRates> rates;
        for (std::size_t k = 0; k < count; ++k)
            rates.push_back(sweep.classRates(k, names[c]));
        json entry{{"index", c}, {"name", names[c]}};
        entry.update(ratesJson(rates, sweep.meanClassRates(names[c])));
        list.push_back(entry);
    }
    std::vector<NQRates> overall;
    for (std::size_t k = 0; k < count; ++k)
        overall.push_back(sweep.overallRates(k, first));
    const NQRates mean = sweep.meanOverallRates(first);
    return json{{"thresholds", sweep.thresholds()},
                {"label", sweep.label()},
                {"meanFScore", mean.fScore},
                {"classes", list},
                {"overall", ratesJson(overall, mean)}};
}

json splitCountsJson(const NQSplitMerge::Counts& c, std::int64_t allInk) {
    return json{{"groundTruthRegions", c.gtRegions},
                {"groundTruthInk", c.gtInk},
                {"split", c.split},
                {"splitParts", c.splitParts},
                {"splitInk", c.splitInk},
                {"splitInkShare", inkShare(c.splitInk, c.gtInk)},
                {"merges", c.merges},
                {"mergedRegions", c.mergedRegions},
                {"mergedInk", c.mergedInk},
                {"mergedInkShare", inkShare(c.mergedInk, allInk)}};
}

json splitMergeJson(const NQSplitMerge& splits, const NQClassTable& classes, std::size_t first) {
    const std::vector<std::string>& names = classes.getTypeNames();
    const std::int64_t allInk = splits.total().gtInk;
    json list = json::array();
    for (std::size_t c = first; c < names.size(); ++c) {
        json entry{{"index", c}, {"name", names[c]}};
        entry.update(splitCountsJson(splits.classCounts(names[c]), allInk));
        list.push_back(entry);
    }
    return json{{"fairShare", splits.fairShare()},
                {"classes", list},
                {"total", splitCountsJson(splits.total(), allInk)}};
}

}  // namespace

NQJsonWriter::NQJsonWriter(std::string path, const NQRunAnalyses* analyses)
    : path_(std::move(path)), analyses_(analyses), document_(std::make_unique<Document>()) {}

NQJsonWriter::~NQJsonWriter() = default;

void NQJsonWriter::runStarted(const NQWexaOptions& options, std::size_t pairCount) {
    (void)pairCount;
    document_->options = optionsToJson(options);
    document_->zoneClassMode = options.zoneClassMode;
}

void NQJsonWriter::pairFinished(const NQPairRecord& pair) {
    json file{
        {"result", pair.files.resultFile},
        {"groundTruth", pair.files.gtFile},
        {"resultFormat", formatJson(pair.files.resultSource)},
        {"groundTruthFormat", pair.files.gtFound ? formatJson(pair.files.gtSource) : json(nullptr)},
        {"status", pairStatusName(pair.status)},
        {"counted", pair.counted()},
        {"image", pair.counted() ? json(pair.src) : json(nullptr)},
        {"error", pair.error.empty() ? json(nullptr) : json(pair.error)},
        {"pages", json::array()}};
    for (const NQPageRecord& page : pair.pages)
        file["pages"].push_back(pageJson(page));
    document_->files.push_back(std::move(file));
}

std::string NQJsonWriter::text(const NQClassTable& classes, std::uint32_t fileCount,
                               bool complete) const {
    const bool zoneClass = document_->zoneClassMode;
    const std::size_t first = zoneClass ? 0 : 1;
    json document{{"schemaVersion", kSchemaVersion},
                  {"tool", {{"name", "wexa"}, {"version", NQWexaOptions::version()}}},
                  {"complete", complete},
                  {"comparison", zoneClass ? "zoneClass" : "regions"},
                  {"options", document_->options},
                  {"summary",
                   {{"files", fileCount},
                    {"averageFScore", classes.getAverageFScore(first)},
                    {"resultZones", classes.getResultZoneTotal()},
                    {"groundTruthZones", classes.getGtZoneTotal()}}},
                  {"classes", classesJson(classes, first)},
                  {"confusionMatrix", matrixJson(classes)}};
    if (analyses_ != nullptr && analyses_->sweep() != nullptr)
        document["sweep"] = sweepJson(*analyses_->sweep(), classes, first);
    if (analyses_ != nullptr && analyses_->splitMerge() != nullptr)
        document["splitMerge"] = splitMergeJson(*analyses_->splitMerge(), classes, first);
    document["files"] = document_->files;
    // Ids and classes come from the files as they are; bytes that are not
    // UTF-8 are replaced rather than ending the run.
    return document.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
}

void NQJsonWriter::runFinished(const NQClassTable& classes, std::uint32_t fileCount,
                               bool complete) {
    std::ofstream out(path_, std::ios::out | std::ios::trunc | std::ios::binary);
    if (out.is_open())
        out << text(classes, fileCount, complete);
    if (!out.is_open() || !out.flush())
        throw std::runtime_error("JSON file " + path_ + " can not be written!!!");
}
