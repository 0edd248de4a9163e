// The "options" object of the JSON outcome and its inverse.
//
// A path that was not given is null, a list option that is off is null, so
// the object says which options a run had, not only their values. Reading
// it back sets the mode flags from those nulls; the lists that only follow
// from other options (-segonly's accepted class "zone") are not restored,
// since nothing after a run reads them.
#include "eval/NQOptionsJson.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "eval/NQClassMap.h"
#include "eval/NQWexaOptions.h"

namespace {

using json = nlohmann::ordered_json;

json pathOrNull(bool given, const std::string& path) {
    return given ? json(path) : json(nullptr);
}

const char* layoutName(const NQWexaOptions& o) {
    if (o.dirToDir)
        return "dirToDir";
    if (o.fileToFile)
        return "fileToFile";
    if (o.dirToFile)
        return "dirToFile";
    if (o.fileToDir)
        return "fileToDir";
    return "none";
}

// A value that may be null: false when it is, else `path` := its text.
bool pathFrom(const json& value, std::string& path) {
    if (value.is_null())
        return false;
    path = value.get<std::string>();
    return true;
}

bool listFrom(const json& value, std::vector<std::string>& list) {
    if (value.is_null())
        return false;
    list = value.get<std::vector<std::string>>();
    return true;
}

}  // namespace

json optionsToJson(const NQWexaOptions& o) {
    json options{
        {"commandLine", o.commandLine},
        {"layout", layoutName(o)},
        {"groundTruth", o.gtPath},
        {"result", o.resultPath},
        {"images", o.imagePath},
        {"report", o.outputPath},
        {"visual", pathOrNull(o.visualMode, o.visualPath)},
        {"json", pathOrNull(o.jsonMode, o.jsonPath)},
        {"pictures", pathOrNull(o.pictureMode, o.picturePath)},
        {"matchThreshold", o.matchThreshold},
        {"thresholdGiven", o.thresholdGiven},
        {"detail", o.detailMode},
        {"segOnly", o.segOnlyMode},
        {"zoneClass", o.zoneClassMode},
        {"rle", o.rleMode},
        {"lineId", o.lineIdMode},
        {"merge", o.mergeMode ? json{{"threshold", o.mergeThreshold}, {"classes", o.mergeList}}
                              : json(nullptr)},
        {"accept", o.acceptMode ? json(o.acceptList) : json(nullptr)},
        {"reject", o.rejectMode ? json(o.rejectList) : json(nullptr)},
    };
    // Present only with -map, so that files of runs without it stay as they were.
    if (o.mapMode)
        options["map"] = o.classMap.ruleLines();
    // The same for the settings of the PAGE and COCO readers.
    if (!o.pageImageSuffix.empty())
        options["pageImageSuffix"] = o.pageImageSuffix;
    if (o.minScoreGiven)
        options["minScore"] = o.minScore;
    return options;
}

NQWexaOptions optionsFromJson(const json& j) {
    NQWexaOptions o;
    o.commandLine = j.at("commandLine").get<std::string>();
    const std::string layout = j.at("layout").get<std::string>();
    o.dirToDir = layout == "dirToDir";
    o.fileToFile = layout == "fileToFile";
    o.dirToFile = layout == "dirToFile";
    o.fileToDir = layout == "fileToDir";
    o.gtPath = j.at("groundTruth").get<std::string>();
    o.resultPath = j.at("result").get<std::string>();
    o.imagePath = j.at("images").get<std::string>();
    o.outputPath = j.at("report").get<std::string>();
    o.visualMode = pathFrom(j.at("visual"), o.visualPath);
    o.jsonMode = pathFrom(j.at("json"), o.jsonPath);
    o.pictureMode = pathFrom(j.at("pictures"), o.picturePath);
    o.matchThreshold = j.at("matchThreshold").get<double>();
    o.thresholdGiven = j.at("thresholdGiven").get<bool>();
    o.detailMode = j.at("detail").get<bool>();
    o.segOnlyMode = j.at("segOnly").get<bool>();
    o.zoneClassMode = j.at("zoneClass").get<bool>();
    o.rleMode = j.at("rle").get<bool>();
    o.lineIdMode = j.at("lineId").get<bool>();
    const json& merge = j.at("merge");
    o.mergeMode = !merge.is_null();
    if (o.mergeMode) {
        o.mergeThreshold = merge.at("threshold").get<double>();
        o.mergeList = merge.at("classes").get<std::vector<std::string>>();
    }
    o.acceptMode = listFrom(j.at("accept"), o.acceptList);
    o.rejectMode = listFrom(j.at("reject"), o.rejectList);
    o.mapMode = j.contains("map");
    if (o.mapMode) {
        std::string text;
        for (const std::string& line : j.at("map").get<std::vector<std::string>>())
            text += line + '\n';
        std::vector<std::string> problems;
        o.classMap = NQClassMap::parse(text, "the class map", problems);
        if (!problems.empty())
            throw std::invalid_argument(problems.front());
    }
    if (j.contains("pageImageSuffix"))
        o.pageImageSuffix = j.at("pageImageSuffix").get<std::string>();
    o.minScoreGiven = j.contains("minScore");
    if (o.minScoreGiven)
        o.minScore = j.at("minScore").get<double>();
    return o;
}
