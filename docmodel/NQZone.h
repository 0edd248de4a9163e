#ifndef NQ_DOCMODEL_NQZONE_H
#define NQ_DOCMODEL_NQZONE_H

#include <list>
#include <ostream>
#include <string>

#include "docmodel/NQPoint.h"
#include "docmodel/NQTagList.h"

class NQImage;
class NQPage;

// An axis-aligned rectangle of a page image with an id, tags and an ordered
// list of owned child zones; the zones of a page form a tree.
//
// Geometry: the zone covers columns x .. x + width - 1 and rows
// y .. y + height - 1 of its page image.
//
// Ownership and back pointers:
// - A zone is owned by at most one container: the zone list of a page, the
//   child list of a parent zone, or (when in neither) whoever created it.
//   Append and insert take ownership of the zone they are given; when the
//   zone is refused (an NQException is thrown) it stays with the caller.
//   A zone that is appended or inserted somewhere leaves the list that owned
//   it before, so no zone is ever owned twice.
// - The page and parent pointers are not owned. Every page and every zone
//   keeps a list of the zones that point to it ("referring zones") and resets
//   their pointers when it is destroyed or reassigned, so a back pointer never
//   dangles. A zone can point to a page or parent without being owned by it:
//   a copy takes the source's pointers but belongs to its creator.
// - Destroying a zone deletes its children and unhooks it from its page, its
//   parent and its owner.
//
// Rules checked on every structural change: a zone on a page whose image has
// data lies inside that image; the descendants of an appended or resized zone
// lie inside it; a zone and its subtree point to one page. A refused operation
// throws NQException (module "NQZone") and leaves every list and pointer as it
// was.
class NQZone {
public:
    using ZoneList = std::list<NQZone*>;
    // Positions in a zone's child list (from nqGetChildZoneList()).
    using ZoneIterator = ZoneList::const_iterator;

    NQZone();
    // Geometry set without checks (the zone is on no page yet).
    NQZone(int x, int y, int width, int height);
    NQZone(const std::string& id, int x, int y, int width, int height);
    // Width and height are the coordinate differences (bottomRight - topLeft).
    NQZone(const NQPoint& topLeft, const NQPoint& bottomRight);
    // With a parent the new zone appends itself to it and the parent owns it,
    // so such a zone must be created with new. Without a parent but with a
    // page the zone only points to the page (it is entered in the page's
    // referring list, not its zone list) and belongs to the caller.
    // The parent's page must equal `page` (NQ_NULL_DATA otherwise); the
    // append or page pointer checks may refuse the zone.
    NQZone(NQPage* page, NQZone* parent, const std::string& id, int x, int y, int width,
           int height);
    // Deep copy: id, tags, geometry and a copy of the whole subtree. The copy
    // points to the source's page and parent but is owned by the caller.
    NQZone(const NQZone& source);
    virtual ~NQZone();

    // Field-wise equality of page, parent, id, origin and size (tags and
    // children are not compared).
    virtual bool operator==(const NQZone& other) const;
    // Row, then column order. Only between zones with the same page and the
    // same parent (NQ_INVALID_INPUT otherwise).
    virtual bool operator<(const NQZone& other) const;
    // Deep copy as the copy constructor; the old children are deleted. Self
    // assignment throws NQ_MEMORY_ERROR. A zone that a page or parent owns
    // stays in that owner's list.
    virtual NQZone& operator=(const NQZone& source);

    // ---- child zone tree ------------------------------------------------------
    // Appends z (taking ownership). z gets this zone's page when this zone has
    // one, leaves its former owner and parent, and points to this zone.
    // z's descendants must lie inside z and inside this zone; z's own
    // rectangle is not compared with this zone's.
    virtual void nqAppendChildZone(NQZone* z);
    // Appends a new copy of z. The copy takes z's parent pointer, so a copy
    // of one of this zone's children is refused as already pointing here.
    virtual void nqAppendChildZoneCopy(const NQZone& z);
    // nqAppendChildZone for each element in order. When one is refused the
    // exception propagates: the zones before it have been taken, it and the
    // ones after it stay with the caller.
    virtual void nqAppendChildZoneList(const ZoneList& zones);
    // Inserts z before pos (end() appends). Unlike append, insert always gives
    // z this zone's page pointer, also when that is null.
    virtual void nqInsertChildZone(ZoneIterator pos, NQZone* z);
    // n from 0 to the number of children (that number appends).
    virtual void nqInsertChildZone(int n, NQZone* z);
    virtual void nqInsertChildZoneCopy(ZoneIterator pos, const NQZone& z);
    virtual void nqInsertChildZoneCopy(int n, const NQZone& z);
    // Inserts the zones one by one before pos, in list order; on a refusal as
    // nqAppendChildZoneList.
    virtual void nqInsertChildZoneList(ZoneIterator pos, const ZoneList& zones);
    virtual void nqInsertChildZoneList(int n, const ZoneList& zones);
    virtual void nqDeleteChildZone(ZoneIterator pos);
    virtual void nqDeleteChildZone(int n);
    // Deletes z, which must be one of this zone's own children; a null z does
    // nothing.
    virtual void nqDeleteChildZone(NQZone* z);
    virtual void nqClearChildZones();

    // Creates a zone on this zone's page, without parent, with the given id and
    // the bounding rectangle of this zone and `other`, and moves both zones into
    // it as children (they leave the list that owned them, for example their
    // page's zone list). The caller owns the returned zone; it points to the
    // page without being in its zone list.
    virtual NQZone* nqMergeZones(NQZone* other, const std::string& id);
    // Merges child b into child a: a takes the id (and b's page when a has
    // none) and the bounding rectangle of both, b's children move to a, and b
    // is deleted. a and b must be two different children of this zone.
    virtual void nqMergeChildZones(NQZone* a, NQZone* b, const std::string& id);
    // Splits a zone without children into two new children id1 and id2 on this
    // zone's page. Mode 1 cuts at column x + offset, mode 2 at row y + offset:
    // the first piece covers the `offset` columns (rows) before the cut, the
    // second the rest, 1 <= offset <= width - 1 (height - 1).
    virtual void nqSplitZone(int offset, int mode, const std::string& id1, const std::string& id2);

    // A new copy (as the copy constructor) that the caller owns.
    NQZone* nqClone() const;

    // ---- geometry -------------------------------------------------------------
    // On a page whose image has data the new geometry must lie inside the page
    // image and keep every descendant inside the zone (NQ_OUT_OF_BOUNDS).
    // Otherwise any value is stored unchecked.
    void nqSetZoneOrigin(int x, int y);
    void nqSetZoneOrigin(const NQPoint& origin);
    void nqSetZoneWidth(int width);
    void nqSetZoneHeight(int height);
    NQPoint nqGetZoneOrigin() const { return origin_; }
    int nqGetZoneWidth() const { return width_; }
    int nqGetZoneHeight() const { return height_; }

    const std::string& nqGetZoneId() const { return id_; }
    void nqSetZoneId(const std::string& id) { id_ = id; }

    // ---- page -------------------------------------------------------------------
    NQPage* nqGetPage() const { return page_; }
    NQZone* nqGetParentZone() const { return parent_; }
    // Page image width and height; NQ_NULL_DATA without page.
    int nqGetPageWidth() const;
    int nqGetPageHeight() const;
    // A copy of the page image; NQ_NULL_DATA without page.
    NQImage nqGetPageImage() const;
    // The page image itself, without copying; valid while the page lives and
    // the zone stays on it. NQ_NULL_DATA without page.
    const NQImage& nqGetPageImageRef() const;
    // The zone's pixels cut from the page image (NQImage::nqSubImage).
    NQImage nqGetZoneImage() const;

    // Points this zone and its whole subtree to `page` (null detaches them).
    // With a page, every zone of the subtree must lie inside its image, which
    // must have data; otherwise NQ_OUT_OF_BOUNDS and nothing changes. Only the
    // pointers and referring lists change: ownership stays where it is.
    void nqSetPagePointer(NQPage* page);

    // ---- checks -------------------------------------------------------------------
    bool nqIsWithinPageBoundaries(int pageWidth, int pageHeight) const;
    // True when every descendant (not the zone itself) lies inside the given
    // rectangle.
    bool nqCheckZoneBoundaries(NQPoint origin, int width, int height) const;
    // True when every descendant points to this zone's page; NQ_NULL_DATA when
    // this zone has no page.
    bool nqCheckPagePointer() const;
    // True when pos designates an element of the child list (end() does not).
    bool nqIsZoneIteratorValid(ZoneIterator pos) const;

    // ---- lists (read only) --------------------------------------------------
    const ZoneList& nqGetChildZoneList() const { return children_; }
    // Zones whose parent pointer names this zone (owned children and copies).
    const ZoneList& nqGetReferringZoneList() const { return referring_; }

    // ---- tags ---------------------------------------------------------------------
    bool nqIsTagSet(const std::string& name) const { return tags_.nqIsTagSet(name); }
    std::string nqGetTag(const std::string& name) const { return tags_.nqGetTag(name); }
    // NQ_MISSING_FIELD when the tag exists and overwrite is false.
    void nqSetTag(const std::string& name, const std::string& value, bool overwrite = true);
    void nqDeleteTag(const std::string& name) { tags_.nqDeleteTag(name); }
    const NQTagList& nqGetTags() const { return tags_; }

private:
    friend class NQPage;

    // Target of a child append or insert: the rectangle the child's subtree
    // must fit and the page the child will point to.
    struct ChildTarget {
        NQPoint origin;
        int width;
        int height;
        NQPage* page;
        bool setPage;  // false: the child keeps its own page pointer
    };

    ChildTarget appendTarget() const;
    ChildTarget insertTarget() const;
    // Throws the refusal that appending (insert = false) or inserting z would
    // raise with the given target; returns when z may be taken.
    void checkChildCandidate(const NQZone* z, const ChildTarget& target, bool insert) const;
    // Moves z to `pos` of the child list; the checks have passed.
    void linkChild(NQZone* z, ZoneIterator pos, const ChildTarget& target);

    // Throws the refusal of nqSetPagePointer(page) for a non-null page.
    void checkPageTarget(const NQPage* page) const;
    // Subtree page pointer bookkeeping without checks.
    void applyPagePointer(NQPage* page);
    bool subtreeFitsPage(const NQPage* page) const;
    bool subtreeHasPage(const NQPage* page) const;
    // True when this zone is `root` or owned, directly or deeper, by it.
    bool isInSubtreeOf(const NQZone* root) const;

    void setPageLink(NQPage* page);
    void setParentLink(NQZone* parent);
    // Leaves the list that owns this zone, if any.
    void detachFromOwner();
    void deleteChildren();
    void resetReferringZones();
    void copyFieldsFrom(const NQZone& source);
    // Appends copies of the children of `source` (and their subtrees), each
    // keeping its source's page pointer.
    void copyChildrenFrom(const NQZone& source);

    std::string id_;
    NQPoint origin_;
    int width_ = 0;
    int height_ = 0;
    NQTagList tags_;

    NQPage* page_ = nullptr;
    ZoneList::iterator pageRefPos_;  // this zone in page_->referring list
    NQZone* parent_ = nullptr;
    ZoneList::iterator parentRefPos_;  // this zone in parent_->referring_

    // Owning container: at most one of the two is set.
    NQPage* ownerPage_ = nullptr;
    NQZone* ownerZone_ = nullptr;
    ZoneList::iterator ownerPos_;

    ZoneList children_;
    ZoneList referring_;
};

// "ZONE id=<id> (<x>,<y>) <width>x<height> <n> children", no line end.
std::ostream& operator<<(std::ostream& out, const NQZone& zone);

#endif
