// The part file of a shard: its JSON form, written as the run goes and read
// back by the merge.
//
// The file is one JSON object whose keys are written in three goes: the
// header when the run starts, one line per file pair as it finishes (inside
// "files"), and the class table with the counts at the end. Regions are
// arrays rather than objects and classes are numbers into "classNames", which
// keeps a part near 100 bytes per region; a region of one zone whose id is
// the region's id (the common case) stores null for its list of zones.
//
// Text is copied byte for byte: ids, classes and paths come from the files as
// they are, and a merged report must hold the same bytes a single run would
// have written, so text that is not UTF-8 is stored as {"bytes": hex}. The
// reader trusts nothing: every key, type, range and reference is checked,
// so that a damaged or foreign file is refused with its fault instead of
// giving a wrong report.
#include "eval/NQPartFile.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "eval/NQOptionsJson.h"
#include "eval/NQShard.h"
#include "xml/NQInputFormat.h"

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kFormatName = "wexa-part";

// ---- text ---------------------------------------------------------------------------------

bool isUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t more = 0;
        unsigned least = 0;  // smallest code point of the length: no overlong forms
        unsigned code = 0;
        if (byte < 0x80) {
            ++i;
            continue;
        } else if ((byte & 0xe0) == 0xc0) {
            more = 1, least = 0x80, code = byte & 0x1fu;
        } else if ((byte & 0xf0) == 0xe0) {
            more = 2, least = 0x800, code = byte & 0x0fu;
        } else if ((byte & 0xf8) == 0xf0) {
            more = 3, least = 0x10000, code = byte & 0x07u;
        } else {
            return false;
        }
        if (i + more >= text.size())
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3fu);
        }
        if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += more + 1;
    }
    return true;
}

json textJson(const std::string& text) {
    if (isUtf8(text))
        return json(text);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return json{{"bytes", hex}};
}

json textListJson(const std::vector<std::string>& texts) {
    json list = json::array();
    for (const std::string& text : texts)
        list.push_back(textJson(text));
    return list;
}

json optionalNumber(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

// ---- reading with checks ------------------------------------------------------------------

// A fault of the file's content; readPart puts the file's name in front.
struct Fault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const json& member(const json& object, const char* key) {
    if (!object.is_object())
        throw Fault(std::string("an object is expected where ") + key + " should be");
    const auto found = object.find(key);
    if (found == object.end())
        throw Fault(std::string(key) + " is missing");
    return *found;
}

const json& arrayValue(const json& value, const char* what) {
    if (!value.is_array())
        throw Fault(std::string(what) + " is not a list");
    return value;
}

std::uint64_t unsignedValue(const json& value, std::uint64_t largest, const char* what) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > largest)
        throw Fault(std::string(what) + " is not a number from 0 to " + std::to_string(largest));
    return value.get<std::uint64_t>();
}

int intValue(const json& value, const char* what) {
    if (!value.is_number_integer() || value.get<std::int64_t>() < std::numeric_limits<int>::min() ||
        value.get<std::int64_t>() > std::numeric_limits<int>::max())
        throw Fault(std::string(what) + " is not a whole number");
    return static_cast<int>(value.get<std::int64_t>());
}

bool boolValue(const json& value, const char* what) {
    if (!value.is_boolean())
        throw Fault(std::string(what) + " is not true or false");
    return value.get<bool>();
}

std::optional<double> optionalNumberValue(const json& value, const char* what) {
    if (value.is_null())
        return std::nullopt;
    if (!value.is_number())
        throw Fault(std::string(what) + " is not a number");
    return value.get<double>();
}

std::string textValue(const json& value, const char* what) {
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_object() && value.size() == 1 && value.contains("bytes") &&
        value["bytes"].is_string()) {
        const std::string& hex = value["bytes"].get_ref<const std::string&>();
        const auto digit = [&](char c) {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            throw Fault(std::string(what) + " holds a byte that is not hexadecimal");
        };
        if (hex.size() % 2 != 0)
            throw Fault(std::string(what) + " holds an odd number of hexadecimal digits");
        std::string text;
        for (std::size_t i = 0; i < hex.size(); i += 2)
            text += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
        return text;
    }
    throw Fault(std::string(what) + " is not a text");
}

std::vector<std::string> textListValue(const json& value, const char* what) {
    std::vector<std::string> texts;
    for (const json& item : arrayValue(value, what))
        texts.push_back(textValue(item, what));
    return texts;
}

NQPairStatus statusValue(const json& value) {
    const std::string name = textValue(value, "a file's status");
    for (NQPairStatus status :
         {NQPairStatus::Compared, NQPairStatus::NoPages, NQPairStatus::EvaluationError,
          NQPairStatus::GtMissing, NQPairStatus::ResultReadError, NQPairStatus::GtReadError})
        if (name == pairStatusName(status))
            return status;
    throw Fault("a file's status \"" + name + "\" is unknown");
}

// The format of a file of a pair, when it is known; parts written before
// formats were recorded have none.
json formatKey(const NQDocumentSource& source) {
    return source.file.empty() ? json(nullptr) : json(nqInputFormatKey(source.format));
}

void readFormat(const json& pair, const char* key, const std::string& file,
                NQDocumentSource& source) {
    const auto found = pair.find(key);
    if (found == pair.end() || found->is_null())
        return;
    if (!found->is_string() || !nqInputFormatFromKey(found->get<std::string>(), source.format))
        throw Fault(std::string(key) + " is not a known format");
    source.file = file;
}

// Reads the records of a part; class numbers are looked up in its class list.
class RecordReader {
public:
    explicit RecordReader(std::vector<std::string> classNames)
        : classNames_(std::move(classNames)) {}

    NQPairRecord pair(const json& j) const {
        NQPairRecord pair;
        pair.index = unsignedValue(member(j, "index"), std::numeric_limits<std::uint32_t>::max(),
                                   "a file's index");
        pair.files.resultFile = textValue(member(j, "result"), "a result file");
        pair.files.gtFile = textValue(member(j, "groundTruth"), "a ground-truth file");
        pair.files.visualFile = textValue(member(j, "visual"), "a visual file");
        pair.files.gtFound = boolValue(member(j, "gtFound"), "gtFound");
        readFormat(j, "resultFormat", pair.files.resultFile, pair.files.resultSource);
        readFormat(j, "groundTruthFormat", pair.files.gtFile, pair.files.gtSource);
        pair.status = statusValue(member(j, "status"));
        pair.error = textValue(member(j, "error"), "an error");
        pair.src = textValue(member(j, "src"), "an image name");
        pair.failedPageClasses = classList(member(j, "failedPageClasses"));
        for (const json& page : arrayValue(member(j, "pages"), "pages"))
            pair.pages.push_back(this->page(page));
        return pair;
    }

private:
    const std::string& className(const json& value) const {
        if (classNames_.empty())
            throw Fault("a class number refers to an empty class list");
        return classNames_[unsignedValue(value, classNames_.size() - 1, "a class number")];
    }

    std::vector<std::string> classList(const json& value) const {
        std::vector<std::string> names;
        for (const json& number : arrayValue(value, "a class list"))
            names.push_back(className(number));
        return names;
    }

    NQPageRecord page(const json& j) const {
        NQPageRecord page;
        page.number = unsignedValue(member(j, "number"), std::numeric_limits<std::uint32_t>::max(),
                                    "a page number");
        page.pageId = textValue(member(j, "pageId"), "a page id");
        const json& zones = arrayValue(member(j, "zones"), "zones");
        if (zones.size() != 2)
            throw Fault("zones does not hold two counts");
        const std::uint32_t largest = std::numeric_limits<std::uint32_t>::max();
        page.resultZones = static_cast<std::uint32_t>(unsignedValue(zones[0], largest, "zones"));
        page.gtZones = static_cast<std::uint32_t>(unsignedValue(zones[1], largest, "zones"));
        page.newClasses = classList(member(j, "newClasses"));
        for (const json& region : arrayValue(member(j, "result"), "result regions"))
            page.result.push_back(this->region(region));
        for (const json& region : arrayValue(member(j, "groundTruth"), "ground-truth regions"))
            page.gt.push_back(this->region(region));
        checkPartners(page.result, page.gt.size(), NQOutcome::FalseAlarm);
        checkPartners(page.gt, page.result.size(), NQOutcome::Missed);
        return page;
    }

    // The report and the JSON follow partners into the other side's list.
    static void checkPartners(const std::vector<NQRegionRecord>& side, std::size_t otherSize,
                              NQOutcome unpaired) {
        for (const NQRegionRecord& region : side) {
            const bool paired =
                region.outcome == NQOutcome::Matched || region.outcome == NQOutcome::Detected;
            if (!paired && region.outcome != unpaired)
                throw Fault("a region has an outcome its side cannot have");
            if (paired != (region.partner >= 0) ||
                (region.partner >= 0 && static_cast<std::size_t>(region.partner) >= otherSize))
                throw Fault("a region's partner does not agree with its outcome or its page");
        }
    }

    NQRegionRecord region(const json& j) const {
        if (!j.is_array() || j.size() != 11)
            throw Fault("a region is not a list of eleven values");
        NQRegionRecord r;
        r.outcome = static_cast<NQOutcome>(unsignedValue(j[0], 3, "an outcome"));
        r.id = textValue(j[1], "a region id");
        r.type = className(j[2]);
        r.zoneIds =
            j[3].is_null() ? std::vector<std::string>{r.id} : textListValue(j[3], "zone ids");
        r.partner = intValue(j[4], "a partner");
        if (r.partner < -1)
            throw Fault("a partner is below -1");
        r.score = optionalNumberValue(j[5], "a score");
        r.bestScore = optionalNumberValue(j[6], "a best score");
        r.rect = NQRectShape(intValue(j[7], "x"), intValue(j[8], "y"), intValue(j[9], "width"),
                             intValue(j[10], "height"));
        return r;
    }

    std::vector<std::string> classNames_;
};

NQClassTable classTableValue(const json& j) {
    NQClassTable table;
    const std::vector<std::string> names = textListValue(member(j, "names"), "class names");
    for (const std::string& name : names)
        table.addType(name);
    if (table.getTypeCount() != names.size())
        throw Fault("the class table names a class twice");
    const json& counts = arrayValue(member(j, "counts"), "counts");
    if (counts.size() != names.size())
        throw Fault("the confusion matrix does not have a row per class");
    const std::uint32_t largest = std::numeric_limits<std::uint32_t>::max();
    for (std::size_t r = 0; r < names.size(); ++r) {
        const json& row = arrayValue(counts[r], "a matrix row");
        if (row.size() != names.size())
            throw Fault("a row of the confusion matrix does not have a cell per class");
        for (std::size_t c = 0; c < names.size(); ++c)
            table.countCell(r, c,
                            static_cast<std::uint32_t>(unsignedValue(row[c], largest, "a count")));
    }
    table.addZoneTotals(
        static_cast<std::uint32_t>(unsignedValue(member(j, "resultZones"), largest, "resultZones")),
        static_cast<std::uint32_t>(
            unsignedValue(member(j, "groundTruthZones"), largest, "groundTruthZones")));
    return table;
}

NQPart partValue(const json& j) {
    if (!j.is_object() || !j.contains("format") || j["format"] != kFormatName)
        throw Fault("it does not say it is one");
    const std::uint64_t version = unsignedValue(member(j, "formatVersion"), 1000, "formatVersion");
    if (version != NQPartWriter::kFormatVersion)
        throw Fault("it has format version " + std::to_string(version) + ", this wexa reads " +
                    std::to_string(NQPartWriter::kFormatVersion));

    NQPart part;
    NQPartHeader& h = part.header;
    const json& shard = member(j, "shard");
    const std::uint32_t largest = std::numeric_limits<std::uint32_t>::max();
    h.shardCount =
        static_cast<std::uint32_t>(unsignedValue(member(shard, "count"), largest, "count"));
    h.shardIndex =
        static_cast<std::uint32_t>(unsignedValue(member(shard, "index"), largest, "index"));
    if (h.shardIndex < 1 || h.shardIndex > h.shardCount)
        throw Fault("its shard is not K/N with 1 <= K <= N");
    const json& list = member(j, "fileList");
    h.pairTotal = unsignedValue(member(list, "pairs"), largest, "pairs");
    h.fingerprint = textValue(member(list, "fingerprint"), "fingerprint");
    try {
        h.options = optionsFromJson(member(j, "options"));
    } catch (const json::exception&) {
        throw Fault("its options are not complete");
    } catch (const std::invalid_argument&) {
        throw Fault("its class map does not read");
    }
    h.options.commandWords = textListValue(member(j, "commandWords"), "commandWords");

    part.complete = boolValue(member(j, "complete"), "complete");
    part.fileCount =
        static_cast<std::uint32_t>(unsignedValue(member(j, "fileCount"), largest, "fileCount"));
    part.classes = classTableValue(member(j, "classTable"));

    const RecordReader records(textListValue(member(j, "classNames"), "classNames"));
    const NQShardSlice slice = shardSlice(h.pairTotal, h.shardIndex, h.shardCount);
    const json& files = arrayValue(member(j, "files"), "files");
    // A part stopped early holds the pairs up to the stop.
    if (files.size() > slice.size() || (part.complete && files.size() != slice.size()))
        throw Fault("it does not hold the files of its shard");
    for (const json& file : files) {
        part.pairs.push_back(records.pair(file));
        if (part.pairs.back().index != slice.begin + part.pairs.size() - 1)
            throw Fault("it does not hold the files of its shard");
    }
    const auto counted = std::count_if(part.pairs.begin(), part.pairs.end(),
                                       [](const NQPairRecord& pair) { return pair.counted(); });
    if (static_cast<std::uint64_t>(counted) != part.fileCount)
        throw Fault("its number of files does not agree with its files");
    return part;
}

// nlohmann's messages begin with "[json.exception.parse_error.101] ".
std::string withoutExceptionTag(const std::string& message) {
    const std::size_t end = message.find("] ");
    return message.compare(0, 1, "[") == 0 && end != std::string::npos ? message.substr(end + 2)
                                                                       : message;
}

}  // namespace

// ---- writer -------------------------------------------------------------------------------

NQPartWriter::NQPartWriter(std::string path, NQPartHeader header)
    : path_(std::move(path)), header_(std::move(header)) {}

std::size_t NQPartWriter::classNumber(const std::string& name) {
    const auto found = classNumbers_.find(name);
    if (found != classNumbers_.end())
        return found->second;
    classNames_.push_back(name);
    return classNumbers_[name] = classNames_.size() - 1;
}

// A write that failed (a full disk) is reported once; the part is then
// left as it is, cut short, and the merge refuses it.
void NQPartWriter::check() {
    if (out_.is_open() && !out_) {
        out_.close();
        throw std::runtime_error("Part file " + path_ + " can not be written!!!");
    }
}

void NQPartWriter::runStarted(const NQWexaOptions& options, std::size_t pairCount) {
    (void)pairCount;
    header_.options = options;
    out_.open(path_, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out_.is_open())
        throw std::runtime_error("Part file " + path_ + " can not be written!!!");
    const json head{
        {"format", kFormatName},
        {"formatVersion", kFormatVersion},
        {"tool", {{"name", "wexa"}, {"version", NQWexaOptions::version()}}},
        {"shard", {{"index", header_.shardIndex}, {"count", header_.shardCount}}},
        {"fileList", {{"pairs", header_.pairTotal}, {"fingerprint", header_.fingerprint}}},
        {"commandWords", textListJson(options.commandWords)},
        {"options", optionsToJson(options)}};
    std::string text = head.dump(-1, ' ', false, json::error_handler_t::replace);
    text.pop_back();  // the closing brace: the other keys follow
    out_ << text << ",\n\"files\":[\n";
    check();
}

void NQPartWriter::pairFinished(const NQPairRecord& pair) {
    if (!out_.is_open())
        return;
    const auto classList = [this](const std::vector<std::string>& names) {
        json list = json::array();
        for (const std::string& name : names)
            list.push_back(classNumber(name));
        return list;
    };
    const auto regions = [this](const std::vector<NQRegionRecord>& side) {
        json list = json::array();
        for (const NQRegionRecord& r : side)
            list.push_back(json{static_cast<int>(r.outcome), textJson(r.id), classNumber(r.type),
                                r.zoneIds == std::vector<std::string>{r.id}
                                    ? json(nullptr)
                                    : textListJson(r.zoneIds),
                                r.partner, optionalNumber(r.score), optionalNumber(r.bestScore),
                                r.rect.x, r.rect.y, r.rect.width, r.rect.height});
        return list;
    };
    json pages = json::array();
    for (const NQPageRecord& page : pair.pages)
        pages.push_back(json{{"number", page.number},
                             {"pageId", textJson(page.pageId)},
                             {"zones", {page.resultZones, page.gtZones}},
                             {"newClasses", classList(page.newClasses)},
                             {"result", regions(page.result)},
                             {"groundTruth", regions(page.gt)}});
    const json file{{"index", pair.index},
                    {"result", textJson(pair.files.resultFile)},
                    {"groundTruth", textJson(pair.files.gtFile)},
                    {"visual", textJson(pair.files.visualFile)},
                    {"gtFound", pair.files.gtFound},
                    {"resultFormat", formatKey(pair.files.resultSource)},
                    {"groundTruthFormat", formatKey(pair.files.gtSource)},
                    {"status", pairStatusName(pair.status)},
                    {"error", textJson(pair.error)},
                    {"src", textJson(pair.src)},
                    {"failedPageClasses", classList(pair.failedPageClasses)},
                    {"pages", pages}};
    out_ << (firstPair_ ? "" : ",\n") << file.dump(-1, ' ', false, json::error_handler_t::replace);
    firstPair_ = false;
    check();
}

void NQPartWriter::runFinished(const NQClassTable& classes, std::uint32_t fileCount,
                               bool complete) {
    if (!out_.is_open())
        return;
    const std::size_t n = classes.getTypeCount();
    json counts = json::array();
    for (std::size_t r = 0; r < n; ++r) {
        json row = json::array();
        for (std::size_t c = 0; c < n; ++c)
            row.push_back(classes.getConfCount(r, c));
        counts.push_back(row);
    }
    const json tail{{"complete", complete},
                    {"fileCount", fileCount},
                    {"classNames", textListJson(classNames_)},
                    {"classTable",
                     {{"names", textListJson(classes.getTypeNames())},
                      {"counts", counts},
                      {"resultZones", classes.getResultZoneTotal()},
                      {"groundTruthZones", classes.getGtZoneTotal()}}}};
    // The opening brace of the tail is dropped: its keys continue the object.
    out_ << "\n],\n" << tail.dump(-1, ' ', false, json::error_handler_t::replace).substr(1) << '\n';
    out_.flush();
    check();
    out_.close();
    if (out_.fail())
        throw std::runtime_error("Part file " + path_ + " can not be written!!!");
}

// ---- reader -------------------------------------------------------------------------------

NQPart readPart(const std::string& path) {
    // Read in one piece: parsing a string is several times faster than a stream.
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in.is_open())
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad())  // a directory opens, but its reading fails
        throw NQPartError("Part file " + path + " can not be read!!!");
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& e) {
        throw NQPartError(path + " is not a wexa part file: " + withoutExceptionTag(e.what()));
    }
    try {
        NQPart part = partValue(document);
        part.path = path;
        return part;
    } catch (const Fault& fault) {
        throw NQPartError(path + " is not a wexa part file: " + fault.what());
    } catch (const json::exception& e) {
        throw NQPartError(path + " is not a wexa part file: " + withoutExceptionTag(e.what()));
    }
}
