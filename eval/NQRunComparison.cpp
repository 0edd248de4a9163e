// "wexa compare": two runs read back from their JSON files and compared
// page by page.
//
// Only what decides the counts is read: the options that change how zones
// become regions and pairs, and per page the classes of the result regions
// with their partners and the missed ground-truth regions. From those the
// counts of the report's table are rebuilt page by page (a result region
// counts under its class, its partner's class counts a ground-truth region,
// a missed region counts under its class; in the class-only comparison only
// zones with a partner of the same id count, as in its matrix), so the
// bootstrap can draw pages.
//
// Two runs are comparable when those options are equal and every page holds
// the same ground-truth regions (ids, classes, members and rectangles);
// anything else is refused, since a difference of F-scores over different
// ground truths or protocols says nothing about the systems.
#include "eval/NQRunComparison.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

// The options that change the counts of a run; paths and outputs do not.
constexpr const char* kProtocol[] = {"matchThreshold", "segOnly", "zoneClass", "rle", "lineId",
                                     "merge",          "accept",  "reject",    "map"};

std::string leafName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Adds one page's counts from its region lists.
NQEvaluatedPage pageOf(const json& page, const std::string& gtFile, bool zoneClass) {
    NQEvaluatedPage evaluated;
    evaluated.key = leafName(gtFile) + " page " + std::to_string(page.at("number").get<long>());
    for (const json& region : page.at("resultRegions")) {
        const std::string type = region.at("class").get<std::string>();
        const json& partner = region.at("partner");
        if (partner.is_object()) {
            const std::string gtType = partner.at("class").get<std::string>();
            ++evaluated.counts[type].result;
            ++evaluated.counts[gtType].gt;
            if (type == gtType)
                ++evaluated.counts[type].correct;
        } else if (!zoneClass) {
            ++evaluated.counts[type].result;
        }
    }
    json signature = json::array();
    for (const json& region : page.at("groundTruthRegions")) {
        if (!zoneClass && region.at("outcome").get<std::string>() == "missed")
            ++evaluated.counts[region.at("class").get<std::string>()].gt;
        signature.push_back(json{{"id", region.at("id")},
                                 {"class", region.at("class")},
                                 {"zones", region.at("zones")},
                                 {"rect", region.at("rect")}});
    }
    evaluated.gtSignature = signature.dump();
    return evaluated;
}

bool readCount(const std::string& text, unsigned long long low, unsigned long long high,
               unsigned long long& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

std::string percentText(double value, int width) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << std::setw(width - 1) << value << '%';
    return text.str();
}

}  // namespace

NQEvaluatedRun NQEvaluatedRun::read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open())
        throw std::runtime_error(file + " is not found");
    const json document = json::parse(in, nullptr, false);
    const std::string notOurs = file + " is not a JSON file written by wexa -json";
    if (document.is_discarded() || !document.is_object())
        throw std::runtime_error(notOurs);
    NQEvaluatedRun run;
    run.file = file;
    try {
        if (document.at("tool").at("name") != "wexa" || document.at("schemaVersion") != 1)
            throw std::runtime_error(notOurs);
        if (document.at("complete") != true)
            throw std::runtime_error(file + " holds a run that stopped early");
        const bool zoneClass = document.at("comparison") == "zoneClass";
        const json& options = document.at("options");
        run.protocol.emplace_back("comparison", document.at("comparison").dump());
        for (const char* key : kProtocol)
            run.protocol.emplace_back(key, options.contains(key) ? options.at(key).dump() : "null");
        for (const json& type : document.at("classes"))
            run.classes.push_back(type.at("name").get<std::string>());
        for (const json& pair : document.at("files"))
            for (const json& page : pair.at("pages"))
                run.pages.push_back(
                    pageOf(page, pair.at("groundTruth").get<std::string>(), zoneClass));
    } catch (const json::exception& e) {
        throw std::runtime_error(notOurs + " (" + e.what() + ")");
    }
    return run;
}

std::vector<NQComparisonRow> compareRuns(const NQEvaluatedRun& a, const NQEvaluatedRun& b,
                                         const NQPairedBootstrap& bootstrap) {
    const std::string both = a.file + " and " + b.file;
    for (std::size_t k = 0; k < a.protocol.size() && k < b.protocol.size(); ++k) {
        if (a.protocol[k].second != b.protocol[k].second)
            throw std::runtime_error(both + " were evaluated with different options: " +
                                     a.protocol[k].first + " is " + a.protocol[k].second + " in " +
                                     a.file + " and " + b.protocol[k].second + " in " + b.file);
    }

    const std::string different = both + " are not evaluations of the same ground truth: ";
    std::map<std::string, const NQEvaluatedPage*> pagesOfB;
    for (const NQEvaluatedPage& page : b.pages)
        pagesOfB.emplace(page.key, &page);
    std::vector<std::pair<const NQEvaluatedPage*, const NQEvaluatedPage*>> paired;
    for (const NQEvaluatedPage& page : a.pages) {
        const auto found = pagesOfB.find(page.key);
        if (found == pagesOfB.end())
            throw std::runtime_error(different + page.key + " is in " + a.file + " only");
        if (found->second->gtSignature != page.gtSignature)
            throw std::runtime_error(different + "the ground-truth regions of " + page.key +
                                     " differ");
        paired.emplace_back(&page, found->second);
        pagesOfB.erase(found);
    }
    if (!pagesOfB.empty())
        throw std::runtime_error(different + pagesOfB.begin()->first + " is in " + b.file +
                                 " only");
    if (paired.empty())
        throw std::runtime_error(both + " hold no compared page");

    // A's classes in its order, then those only B has.
    std::vector<std::string> classes = a.classes;
    for (const std::string& name : b.classes)
        if (std::find(classes.begin(), classes.end(), name) == classes.end())
            classes.push_back(name);
    auto countsOf = [&classes](const NQEvaluatedPage& page) {
        std::vector<NQClassCounts> counts(classes.size());
        for (std::size_t c = 0; c < classes.size(); ++c) {
            const auto found = page.counts.find(classes[c]);
            if (found != page.counts.end())
                counts[c] = found->second;
        }
        return counts;
    };
    std::vector<NQPagePair> pages;
    for (const auto& pair : paired)
        pages.push_back(NQPagePair{countsOf(*pair.first), countsOf(*pair.second)});
    return bootstrap.compare(classes, pages);
}

void printComparison(std::ostream& out, const NQEvaluatedRun& a, const NQEvaluatedRun& b,
                     const NQPairedBootstrap& bootstrap, const std::vector<NQComparisonRow>& rows) {
    std::ostringstream interval;
    interval << std::fixed << std::setprecision(0) << bootstrap.confidence << "% interval";
    out << "Paired comparison of A = " << a.file << " and B = " << b.file << "\n\n"
        << "- Number of Pages : " << a.pages.size() << '\n'
        << "- Bootstrap : " << bootstrap.resamples << " resamples of the pages, seed "
        << bootstrap.seed << "\n\n";
    out << std::left << std::setw(20) << "Class of Zone" << std::right << std::setw(10) << "F(A)"
        << std::setw(10) << "F(B)" << std::setw(10) << "B - A" << std::setw(24) << interval.str()
        << std::setw(9) << "A ahead" << std::setw(9) << "B ahead" << std::setw(7) << "Ties" << '\n'
        << std::string(99, '-') << '\n';
    for (const NQComparisonRow& row : rows) {
        out << std::left << std::setw(20) << row.name << std::right << percentText(row.fA, 10)
            << percentText(row.fB, 10) << percentText(row.difference, 10) << "    ["
            << percentText(row.low, 8) << ", " << percentText(row.high, 8) << "]" << std::setw(9)
            << row.aheadA << std::setw(9) << row.aheadB << std::setw(7) << row.ties << '\n';
    }
}

int runCompare(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "Usage: wexa compare A.json B.json [-resamples N] [-seed N]";
    std::vector<std::string> files;
    NQPairedBootstrap bootstrap;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& word = args[k];
        if (word == "-resamples" || word == "-seed") {
            unsigned long long value = 0;
            const bool resamples = word == "-resamples";
            if (k + 1 >= args.size() ||
                !readCount(args[k + 1], resamples ? 1 : 0, resamples ? 1000000 : ~0ULL, value)) {
                err << "The " << word << " option requires "
                    << (resamples ? "a whole number from 1 to 1000000." : "a whole number.")
                    << '\n';
                return 2;
            }
            if (resamples)
                bootstrap.resamples = static_cast<std::uint32_t>(value);
            else
                bootstrap.seed = value;
            ++k;
        } else {
            files.push_back(word);
        }
    }
    if (files.size() != 2) {
        err << usage << '\n';
        return 2;
    }
    try {
        const NQEvaluatedRun a = NQEvaluatedRun::read(files[0]);
        const NQEvaluatedRun b = NQEvaluatedRun::read(files[1]);
        const std::vector<NQComparisonRow> rows = compareRuns(a, b, bootstrap);
        printComparison(out, a, b, bootstrap, rows);
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 2;
    }
    return 0;
}
