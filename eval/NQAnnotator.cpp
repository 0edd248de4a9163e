// Annotation of a result page for the visual output (-v).
//
// Every result zone carries the outcome of its region as its class with the
// identity, class and score of the partner; each missed ground-truth region
// is appended to the result page as a zone of class "MISSED", numbered over
// all pages of a file by the caller's counter. Attributes that are "added"
// keep a value the zone already carries (a visual file read back as a
// result); "set" ones are replaced. The zones' regions come from the match
// itself, not from their "MZID" attributes, which a file may have preset.
#include "eval/NQAnnotator.h"

#include <cstdio>
#include <iostream>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQPageMatcher.h"
#include "image/NQException.h"

namespace {

void addTag(NQZone& zone, const std::string& name, const std::string& value) {
    if (!zone.nqIsTagSet(name))
        zone.nqSetTag(name, value);
}

std::string scoreText(double score) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", score);
    return text;
}

// The score of the best overlapping pair, or the empty text when there is none.
std::string bestScoreText(double best) {
    return best > 0 ? scoreText(best) : std::string();
}

}  // namespace

void NQAnnotator::annotate(const NQPageMatch& match, NQPage& resultPage,
                           std::uint32_t& missCount) const {
    for (const NQZoneRegion& entry : match.resultZones) {
        NQZone& zone = *entry.zone;
        const NQMZone& region = match.result[entry.region];
        const NQRegionOutcome& outcome = match.resultOutcome[entry.region];
        addTag(zone, "RESID", region.getLineID());
        addTag(zone, "RESClass", region.getType());
        if (rleMode_ && !zone.nqIsTagSet("RLEIMAGE"))
            zone.nqSetTag("RLEIMAGE", region.getRunLengthCode());
        if (outcome.partner >= 0) {
            const NQMZone& partner = match.gt[outcome.partner];
            addTag(zone, "GTID", partner.getLineID());
            addTag(zone, "GTClass", partner.getType());
            zone.nqSetTag("qola_type", outcome.kind == 2 ? "MATCHED" : "DETECTED");
            zone.nqSetTag("score", scoreText(outcome.score));
        } else {
            zone.nqSetTag("qola_type", "FALSEALRAM");
            zone.nqSetTag("score", bestScoreText(outcome.best));
        }
    }

    for (std::size_t j = 0; j < match.gt.size(); ++j) {
        if (match.gtOutcome[j].partner >= 0)
            continue;
        const NQMZone& region = match.gt[j];
        NQZone missed;
        ++missCount;
        missed.nqSetZoneId("MISS" + std::to_string(missCount));
        const NQRectShape rect = region.getRect();
        missed.nqSetZoneOrigin(rect.x, rect.y);
        missed.nqSetZoneWidth(rect.width);
        missed.nqSetZoneHeight(rect.height);
        missed.nqSetTag("qola_type", "MISSED");
        missed.nqSetTag("GTID", region.getLineID());
        missed.nqSetTag("GTClass", region.getType());
        missed.nqSetTag("score", bestScoreText(match.gtOutcome[j].best));
        if (rleMode_)
            missed.nqSetTag("RLEIMAGE", region.getRunLengthCode());
        try {
            resultPage.nqAppendZoneCopy(missed);
        } catch (const NQException&) {
            std::cout << "Append zone is failed\n";
        }
    }
}

void NQAnnotator::annotate(const NQIdPair& pair) {
    if (pair.partner == nullptr)
        return;
    pair.zone->nqSetTag("RS_Type", pair.type);
    pair.zone->nqSetTag("GT_Type", pair.gtType);
    // With different classes the zone keeps its own class.
    if (pair.type == pair.gtType)
        pair.zone->nqSetTag("qola_type", "NQ_CORRECT");
}
