#ifndef NQ_TESTS_DOCMODEL_DOCMODELFIXTURES_H
#define NQ_TESTS_DOCMODEL_DOCMODELFIXTURES_H

#include <algorithm>
#include <string>
#include <vector>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"

namespace nqtest {

// A white grey page image of the given size.
inline NQImage greyImage(int width, int height) {
    return NQImage(width, height, NQImageHead::NQ_8BIT);
}

// A new 1 x 1 zone at (0, 0); the caller (or the list it is given to) owns it.
inline NQZone* unitZone(const std::string& id) {
    return new NQZone(id, 0, 0, 1, 1);
}

using Ids = std::vector<std::string>;

inline bool contains(const std::list<NQZone*>& zones, const NQZone* z) {
    return std::find(zones.begin(), zones.end(), z) != zones.end();
}

// Ids of a zone list, in order.
inline std::vector<std::string> idsOf(const std::list<NQZone*>& zones) {
    std::vector<std::string> ids;
    for (const NQZone* z : zones)
        ids.push_back(z->nqGetZoneId());
    return ids;
}

}  // namespace nqtest

#endif
