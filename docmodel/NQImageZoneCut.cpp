// The image cut by a zone. It lives with the document model so that the image
// core does not depend on zones.
#include "docmodel/NQZone.h"
#include "image/NQImage.h"

NQImage NQImage::nqSubImage(const NQZone& zone) const {
    const NQPoint origin = zone.nqGetZoneOrigin();
    return nqSubImage(origin.x, origin.y, zone.nqGetZoneWidth(), zone.nqGetZoneHeight());
}
