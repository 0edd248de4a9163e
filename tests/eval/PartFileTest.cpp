// Shard slices and part files: slices tile a run's list in balanced pieces;
// a part keeps its records byte for byte; a damaged part is refused with its
// fault instead of feeding a wrong report.
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "eval/NQPartFile.h"
#include "eval/NQShard.h"
#include "support/TestSupport.h"

namespace {

using json = nlohmann::ordered_json;

TEST(ShardSlice, SlicesTileTheListInOrderWithSizesWithinOne) {
    for (std::size_t total : {0u, 1u, 2u, 7u, 35u, 80863u})
        for (std::uint32_t count : {1u, 2u, 3u, 7u, 36u, 1000u}) {
            std::size_t next = 0, smallest = total, largest = 0;
            for (std::uint32_t k = 1; k <= count; ++k) {
                const NQShardSlice slice = shardSlice(total, k, count);
                ASSERT_EQ(slice.begin, next) << total << " " << k << "/" << count;
                next = slice.end;
                smallest = std::min(smallest, slice.size());
                largest = std::max(largest, slice.size());
            }
            EXPECT_EQ(next, total);
            EXPECT_LE(largest - smallest, 1u) << total << " in " << count;
        }
}

NQRegionRecord region(NQOutcome outcome, const std::string& id, const std::string& type,
                      std::vector<std::string> zones, int partner) {
    NQRegionRecord r;
    r.outcome = outcome;
    r.id = id;
    r.type = type;
    r.zoneIds = std::move(zones);
    r.partner = partner;
    if (partner >= 0)
        r.score = r.bestScore = 91.25;
    r.rect = NQRectShape(3, 4, 50, 60);
    return r;
}

// Writes a part of shard 2 of 3 over five pairs (it holds pairs 1 and 2) as
// a run would, with text that is not UTF-8 and a region of two zones.
void writePart(const std::string& path) {
    NQPairRecord compared;
    compared.index = 1;
    compared.files = NQFilePair{"res/b.xml", "gt/b.xml", "vis/b.evl.xml", true};
    compared.src = "b\xe9.tif";
    compared.failedPageClasses = {"late"};
    NQPageRecord page;
    page.number = 1;
    page.pageId = "1";
    page.resultZones = 2;
    page.gtZones = 1;
    page.newClasses = {"unmatch", "caf\xe9", "text"};
    page.result = {region(NQOutcome::Detected, "M0", "caf\xe9", {"r1", "r2"}, 0),
                   region(NQOutcome::FalseAlarm, "r3", "text", {"r3"}, -1)};
    page.gt = {region(NQOutcome::Detected, "g1", "text", {"g1"}, 0)};
    compared.pages = {page};
    NQPairRecord skipped;
    skipped.index = 2;
    skipped.files = NQFilePair{"res/c.xml", "gt/c.xml", "vis/c.evl.xml", false};
    skipped.status = NQPairStatus::GtMissing;

    NQClassTable classes;
    for (const char* name : {"unmatch", "caf\xe9", "text", "late"})
        classes.addType(name);
    classes.countPair("caf\xe9", "text");
    classes.addZoneTotals(2, 1);
    NQWexaOptions options;
    options.commandWords = {"wexa", "-g", "gt", "-shard", "2/3"};
    NQPartWriter writer(path, NQPartHeader{{}, 2, 3, 5, "0123456789abcdef"});
    writer.runStarted(options, 2);
    writer.pairFinished(compared);
    writer.pairFinished(skipped);
    writer.runFinished(classes, 1, true);
}

class PartFile : public ::testing::Test {
protected:
    void SetUp() override {
        writePart(file());
        text = nqtest::readFile(file());
    }
    std::string file() const { return dir.file("part.json"); }

    nqtest::TempDir dir;
    std::string text;
};

TEST_F(PartFile, ReadsBackWhatWasWrittenByteForByte) {
    // Written again from what was read, the part is the same file: no field
    // is lost or changed on the way, bytes that are not UTF-8 included.
    const NQPart part = readPart(file());
    NQPartWriter writer(dir.file("again.json"), part.header);
    writer.runStarted(part.header.options, part.pairs.size());
    for (const NQPairRecord& pair : part.pairs)
        writer.pairFinished(pair);
    writer.runFinished(part.classes, part.fileCount, part.complete);
    EXPECT_EQ(nqtest::readFile(dir.file("again.json")), text);
    EXPECT_EQ(part.pairs.at(0).src, "b\xe9.tif");
    EXPECT_EQ(part.pairs.at(0).pages.at(0).result.at(0).zoneIds,
              (std::vector<std::string>{"r1", "r2"}));
    EXPECT_EQ(part.pairs.at(0).pages.at(0).gt.at(0).zoneIds, std::vector<std::string>{"g1"});
}

TEST_F(PartFile, RefusesADamagedPartWithItsFault) {
    const json sound = json::parse(text);
    const struct {
        std::function<void(json&)> damage;
        std::string fault;
    } cases[] = {
        {[](json& j) { j["format"] = "wexa-report"; }, "it does not say it is one"},
        {[](json& j) { j["formatVersion"] = 2; }, "it has format version 2, this wexa reads 1"},
        {[](json& j) { j["shard"]["index"] = 4; }, "its shard is not K/N with 1 <= K <= N"},
        {[](json& j) { j["options"].erase("detail"); }, "its options are not complete"},
        {[](json& j) { j["files"].erase(1); }, "it does not hold the files of its shard"},
        {[](json& j) { j["files"][0]["index"] = 0; }, "it does not hold the files of its shard"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0][4] = 1; },
         "a region's partner does not agree with its outcome or its page"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0][0] = 3; },
         "a region has an outcome its side cannot have"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0][2] = 9; },
         "a class number is not a number from 0 to 3"},
        {[](json& j) { j["files"][0]["pages"][0]["result"][0].erase(10); },
         "a region is not a list of eleven values"},
        {[](json& j) { j["files"][0]["pages"][0]["zones"][1] = -1; },
         "zones is not a number from 0 to 4294967295"},
        {[](json& j) {
             j["files"][0]["src"] = json{{"bytes", "6"}};
         },
         "an image name holds an odd number of hexadecimal digits"},
        {[](json& j) { j["files"][0]["status"] = "lost"; }, "a file's status \"lost\" is unknown"},
        {[](json& j) { j["classTable"]["counts"][1].erase(0); },
         "a row of the confusion matrix does not have a cell per class"},
        {[](json& j) { j["classTable"]["names"][3] = "text"; },
         "the class table names a class twice"},
        {[](json& j) { j.erase("fileCount"); }, "fileCount is missing"},
        {[](json& j) { j["fileCount"] = 2; }, "its number of files does not agree with its files"},
    };
    for (const auto& c : cases) {
        json damaged = sound;
        c.damage(damaged);
        nqtest::writeFile(file(), damaged.dump());
        try {
            readPart(file());
            ADD_FAILURE() << "read: " << c.fault;
        } catch (const NQPartError& e) {
            EXPECT_EQ(e.what(), file() + " is not a wexa part file: " + c.fault);
        }
    }
}

}  // namespace
