#ifndef NQ_EVAL_NQMZONE_H
#define NQ_EVAL_NQMZONE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "docmodel/NQPolygon.h"
#include "docmodel/NQShape.h"
#include "eval/NQRegionMask.h"
#include "image/NQImage.h"

class NQZone;

// A region: one or more zones of one page treated as one. The region refers
// to its member zones without owning them; they and their page must outlive
// it. Its mask keeps the page pixels inside the members' outlines and is white
// elsewhere; pixel counts, overlaps and scores are taken from it. The mask is
// built on the first query after the last change and kept, so the queries
// are const although the first one does the work.
class NQMZone {
public:
    NQMZone();
    NQMZone(int id, const std::string& lineIdText, const std::string& type, NQZone* zone,
            bool useRle);

    // Appends a member and widens the rectangle to cover its outline; drops the mask.
    void addZone(NQZone* zone);
    // Appends every member of `other`, in order.
    void addZone(const NQMZone* other);
    // Counts the mask's pixels with these black counts when they are those of
    // the members' page image (see NQPageInk); drops the mask.
    void useInk(std::shared_ptr<const NQPageInk> ink);

    int getID() const { return id_; }
    const std::string& getLineID() const { return lineID_; }
    const std::string& getType() const { return type_; }
    const NQRectShape& getRect() const { return rect_; }
    std::size_t getZoneCnt() const { return zones_.size(); }
    NQZone* getZone(std::size_t i) const { return zones_.at(i); }
    const std::vector<NQZone*>& getZoneList() const { return zones_; }
    // The members' zone ids joined with ", ".
    std::string getZoneListStr() const;

    // Outline of a zone: its "polygon" attribute, else its rectangle turned by
    // "orientation" (radians) or "orientationD" (degrees), else its rectangle.
    static NQPolygon calPolygon(const NQZone* zone);
    static NQRectShape calRect(const NQZone* zone);

    // The mask as an image of the rectangle's size and the page's bit depth.
    NQImage getZoneImage() const;
    // Mask pixels that are not white.
    std::int64_t cntONPixel() const;
    // Pixels inside both rectangles where this mask is not white and the other
    // mask holds the same value.
    std::int64_t cntOverlapPixel(const NQMZone& other) const;
    // Harmonic mean of the two coverage percentages; NaN when nothing overlaps.
    double getMatchScore(const NQMZone& other) const;
    // The same score from the shared pixels and each region's non-white pixels.
    static double matchScore(std::int64_t overlap, std::int64_t on, std::int64_t otherOn);
    // Share (percent) of the other region's non-white pixels that lie in this one.
    double getCoverScore(const NQMZone& other) const;
    // Whether the half-open extents of both rectangles intersect.
    bool isOverlap(const NQRectShape& rect) const {
        if (rect.width < 1 || rect.height < 1 || rect_.width < 1 || rect_.height < 1)
            return false;
        return rect.x + rect.width > rect_.x && rect_.x + rect_.width > rect.x &&
               rect.y + rect.height > rect_.y && rect_.y + rect_.height > rect.y;
    }

    // Lets go of the page image and its black counts once the region has been
    // compared: cntONPixel() keeps its count; whatever would read the page's
    // pixels again raises NQException.
    void releasePixels();

    // "(row,start,end);" for each run of black (0) mask pixels that ends inside
    // its row, row by row, relative to the rectangle's origin.
    std::string getRunLengthCode() const;
    // Parses such a text into runs; an incomplete last triple is ignored.
    static void getRLEList(const std::string& text, std::vector<int>& rows,
                           std::vector<int>& starts, std::vector<int>& lengths);

private:
    // Appends a member with its outline; the outline is parsed once per member
    // and kept, since the member zones stay unchanged while the region is used.
    void addMember(NQZone* zone, NQPolygon outline);
    const NQRegionMask& mask() const;

    mutable bool imageCached = false;
    bool useRle = false;
    int id_ = 0;
    std::string lineID_;
    std::string type_;
    NQRectShape rect_;
    std::vector<NQZone*> zones_;
    std::vector<NQPolygon> outlines_;  // outline of each member, in member order
    std::shared_ptr<const NQPageInk> ink_;
    mutable NQRegionMask mask_;
};

#endif
