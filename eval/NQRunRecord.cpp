// Records of a run: what each page and file pair gave, copied out of the
// pages and regions, which live only while the pair is compared.
#include "eval/NQRunRecord.h"

#include <algorithm>
#include <iterator>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQMZone.h"
#include "eval/NQPageMatcher.h"

namespace {

// Paired regions carry the pair's score; the best overlapping score is kept
// whenever some pair overlapped (0 stands for "none" in the outcome).
NQRegionRecord regionRecord(const NQMZone& region, const NQRegionOutcome& outcome,
                            NQOutcome unpaired) {
    NQRegionRecord record;
    record.outcome = outcome.partner < 0
                         ? unpaired
                         : (outcome.kind == 2 ? NQOutcome::Matched : NQOutcome::Detected);
    record.id = region.getLineID();
    record.type = region.getType();
    for (const NQZone* zone : region.getZoneList()) {
        record.zoneIds.push_back(zone->nqGetZoneId());
        record.outlines.push_back(NQMZone::calPolygon(zone));
    }
    record.partner = outcome.partner;
    if (outcome.partner >= 0)
        record.score = outcome.score;
    if (outcome.best > 0)
        record.bestScore = outcome.best;
    record.rect = region.getRect();
    return record;
}

NQRegionRecord zoneRecord(const NQZone& zone, const std::string& type) {
    NQRegionRecord record;
    record.id = zone.nqGetZoneId();
    record.type = type;
    record.zoneIds.push_back(zone.nqGetZoneId());
    record.outlines.push_back(NQMZone::calPolygon(&zone));
    record.rect = NQMZone::calRect(&zone);
    return record;
}

}  // namespace

const char* outcomeName(NQOutcome outcome) {
    switch (outcome) {
        case NQOutcome::Matched:
            return "matched";
        case NQOutcome::Detected:
            return "detected";
        case NQOutcome::FalseAlarm:
            return "falseAlarm";
        case NQOutcome::Missed:
            return "missed";
    }
    return "unknown";
}

const char* pairStatusName(NQPairStatus status) {
    switch (status) {
        case NQPairStatus::Compared:
            return "compared";
        case NQPairStatus::NoPages:
            return "noPages";
        case NQPairStatus::EvaluationError:
            return "evaluationError";
        case NQPairStatus::GtMissing:
            return "groundTruthMissing";
        case NQPairStatus::ResultReadError:
            return "resultReadError";
        case NQPairStatus::GtReadError:
            return "groundTruthReadError";
    }
    return "unknown";
}

std::size_t NQPageRecord::count(const std::vector<NQRegionRecord>& side, NQOutcome outcome) {
    return static_cast<std::size_t>(
        std::count_if(side.begin(), side.end(),
                      [outcome](const NQRegionRecord& r) { return r.outcome == outcome; }));
}

NQPageRecord NQPageRecord::fromMatch(const NQPageMatch& match) {
    NQPageRecord page;
    page.resultZones = match.resultZoneCount;
    page.gtZones = match.gtZoneCount;
    for (std::size_t i = 0; i < match.result.size(); ++i)
        page.result.push_back(
            regionRecord(match.result[i], match.resultOutcome[i], NQOutcome::FalseAlarm));
    for (std::size_t j = 0; j < match.gt.size(); ++j)
        page.gt.push_back(regionRecord(match.gt[j], match.gtOutcome[j], NQOutcome::Missed));
    return page;
}

NQPageRecord NQPageRecord::fromIdPairs(const std::vector<NQIdPair>& pairs, const NQPage& gtPage) {
    NQPageRecord page;
    const NQPage::ZoneList& gtZones = gtPage.nqGetZoneList();
    page.resultZones = static_cast<std::uint32_t>(pairs.size());
    page.gtZones = static_cast<std::uint32_t>(gtZones.size());
    for (const NQZone* zone : gtZones) {
        NQRegionRecord record = zoneRecord(*zone, zone->nqGetTag("qola_type"));
        record.outcome = NQOutcome::Missed;
        page.gt.push_back(record);
    }
    for (const NQIdPair& pair : pairs) {
        NQRegionRecord record = zoneRecord(*pair.zone, pair.type);
        record.outcome = NQOutcome::FalseAlarm;
        const auto found = std::find(gtZones.begin(), gtZones.end(), pair.partner);
        if (pair.partner != nullptr && found != gtZones.end()) {
            const int j = static_cast<int>(std::distance(gtZones.begin(), found));
            record.outcome = pair.type == pair.gtType ? NQOutcome::Matched : NQOutcome::Detected;
            record.partner = j;
            // Several result zones may share an id; the ground-truth zone
            // keeps its first partner.
            if (page.gt[j].partner < 0) {
                page.gt[j].partner = static_cast<int>(page.result.size());
                page.gt[j].outcome = record.outcome;
            }
        }
        page.result.push_back(record);
    }
    return page;
}
