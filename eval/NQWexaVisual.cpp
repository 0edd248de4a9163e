// Annotation of a result page for the visual output (-v).
//
// Every result zone carries the outcome of its region as its class
// ("MATCHED", "DETECTED", "FALSEALRAM") with the identity, class and score of
// the partner; each missed ground-truth region is appended to the result page
// as a zone of class "MISSED", numbered MISS1, MISS2, ... over all pages of a
// file. Attributes that are "added" keep a value the zone already carries
// (a visual file read back as a result); "set" ones are replaced.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQWexa.h"
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

void NQWexa::saveVisual(std::vector<NQMZone>& result, std::vector<NQMZone>& gt, NQPage& resultPage,
                        const PageMatch& match) {
    for (NQZone* zone : resultPage.nqGetZoneList()) {
        // Every zone left after filtering names its region in "MZID".
        const std::string mzid = zone->nqGetTag("MZID");
        const long i = std::strtol(mzid.c_str(), nullptr, 10);
        if (mzid.empty() || i < 0 || static_cast<std::size_t>(i) >= result.size())
            continue;
        NQMZone& region = result[i];
        const int j = match.gtOfResult[i];

        addTag(*zone, "RESID", region.getLineID());
        addTag(*zone, "RESClass", region.getType());
        if (rleMode && !zone->nqIsTagSet("RLEIMAGE"))
            zone->nqSetTag("RLEIMAGE", region.getRunLengthCode());
        if (j >= 0) {
            addTag(*zone, "GTID", gt[j].getLineID());
            addTag(*zone, "GTClass", gt[j].getType());
            zone->nqSetTag("qola_type", match.kindOfResult[i] == 2 ? "MATCHED" : "DETECTED");
            zone->nqSetTag("score", scoreText(match.pairScore[i]));
        } else {
            zone->nqSetTag("qola_type", "FALSEALRAM");
            zone->nqSetTag("score", bestScoreText(match.bestOfResult[i]));
        }
    }

    for (std::size_t j = 0; j < gt.size(); ++j) {
        if (match.resultOfGt[j] >= 0)
            continue;
        NQZone missed;
        ++missCount;
        missed.nqSetZoneId("MISS" + std::to_string(missCount));
        const NQRectShape rect = gt[j].getRect();
        missed.nqSetZoneOrigin(rect.x, rect.y);
        missed.nqSetZoneWidth(rect.width);
        missed.nqSetZoneHeight(rect.height);
        missed.nqSetTag("qola_type", "MISSED");
        missed.nqSetTag("GTID", gt[j].getLineID());
        missed.nqSetTag("GTClass", gt[j].getType());
        missed.nqSetTag("score", bestScoreText(match.bestOfGt[j]));
        if (rleMode)
            missed.nqSetTag("RLEIMAGE", gt[j].getRunLengthCode());
        try {
            resultPage.nqAppendZoneCopy(missed);
        } catch (const NQException&) {
            std::cout << "Append zone is failed\n";
        }
    }
}
