#ifndef NQ_DOCMODEL_NQPAGE_H
#define NQ_DOCMODEL_NQPAGE_H

#include <list>
#include <memory>
#include <string>

#include "docmodel/NQTagList.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"

class NQDocument;

// One page image with its ordered list of top-level zones and a tag list.
//
// The page owns its top-level zones, and the zones own their children. Its
// image is never changed through the page, so pages read from one image file
// may hold one decoded image between them (see the shared-image constructor);
// a page's copy gets a copy of the image. Append and insert take ownership of the zone they are
// given, re-point the zone's subtree to this page and take the zone out of
// the list that owned it before (another page's zone list or a parent's child
// list); a refused zone (NQException thrown) stays with the caller.
//
// Besides its zone list the page keeps the list of every zone, at any depth,
// whose page pointer names it, and resets those pointers when it is
// destroyed. The document pointer is a back pointer, not owned.
//
// Refused operations throw NQException (module "NQPage") and leave the lists
// unchanged.
class NQPage {
public:
    using ZoneList = std::list<NQZone*>;
    // Positions in the page's zone list (from nqGetZoneList()).
    using ZoneIterator = ZoneList::const_iterator;

    // Id "Void", empty image, no document.
    NQPage();
    // Copies the image; NQ_NULL_DATA when it has no pixel data.
    NQPage(const NQImage& image, const std::string& id);
    // Takes the image over without copying its pixels; same check.
    NQPage(NQImage&& image, const std::string& id);
    // Holds an image that other pages may hold too; NQ_NULL_DATA for a null
    // pointer or an image without pixel data.
    NQPage(std::shared_ptr<const NQImage> image, const std::string& id);
    // Deep copy: image, id, tags, a clone of every zone; the copy points to
    // the source's document without being in its page list.
    NQPage(const NQPage& source);
    // As the copy constructor; the page's own zones are deleted first. Self
    // assignment throws NQ_MEMORY_ERROR. A page that a document owns stays in
    // that document's list.
    NQPage& operator=(const NQPage& source);
    virtual ~NQPage();

    // A new copy that the caller owns.
    NQPage* nqClone() const;
    // Same document pointer and same id (zones are not compared).
    bool operator==(const NQPage& other) const;
    bool nqCheckPageImageData() const { return image_->nqHasImageData(); }
    // Lets go of the page's share of its image: the page keeps an image with
    // the same head and no pixel data, so nqCheckPageImageData() turns false.
    // For work that has taken all it needs from the pixels.
    void nqReleasePageImagePixels();

    // ---- zone list ------------------------------------------------------------
    void nqAppendZone(NQZone* z);
    void nqInsertZone(ZoneIterator pos, NQZone* z);
    // n from 0 to the number of zones (that number appends).
    void nqInsertZone(int n, NQZone* z);
    // nqAppendZone for each element in order. When one is refused the
    // exception propagates: the zones before it have been taken, it and the
    // ones after it stay with the caller.
    void nqAppendZoneList(const ZoneList& zones);
    // Inserts the zones as one run before pos, in list order; on a refusal as
    // nqAppendZoneList.
    void nqInsertZoneList(ZoneIterator pos, const ZoneList& zones);
    void nqInsertZoneList(int n, const ZoneList& zones);
    // Appends (inserts) a new copy of z. The copy takes z's page pointer, so
    // a copy of a zone of this page is refused as already pointing here.
    void nqAppendZoneCopy(const NQZone& z);
    void nqInsertZoneCopy(int n, const NQZone& z);
    // Deletes z, a zone of this page's tree (top level or deeper).
    void nqDeleteZone(NQZone* z);
    void nqDeleteZone(int n);
    void nqDeleteZone(ZoneIterator pos);
    void nqClearZones();
    // True when pos designates an element of the zone list (end() does not).
    bool nqIsZoneIteratorValid(ZoneIterator pos) const;

    // Moves the page's entry from its old document's referring list to the new
    // one's; ownership does not change.
    void nqSetDocumentPointer(NQDocument* document);
    NQDocument* nqGetDocument() const { return document_; }

    // ---- fields -------------------------------------------------------------------
    const std::string& nqGetPageId() const { return id_; }
    void nqSetPageId(const std::string& id) { id_ = id; }
    // A copy of the page image.
    NQImage nqGetPageImage() const { return *image_; }
    // The page image itself, without copying; valid while the page lives.
    const NQImage& nqGetPageImageRef() const { return *image_; }
    int nqGetPageWidth() const { return image_->nqGetWidth(); }
    int nqGetPageHeight() const { return image_->nqGetHeight(); }

    // ---- lists (read only) --------------------------------------------------
    const ZoneList& nqGetZoneList() const { return zones_; }
    // Zones at any depth whose page pointer names this page.
    const ZoneList& nqGetReferringZoneList() const { return referring_; }

    // ---- tags ---------------------------------------------------------------------
    bool nqIsTagSet(const std::string& name) const { return tags_.nqIsTagSet(name); }
    std::string nqGetTag(const std::string& name) const { return tags_.nqGetTag(name); }
    // NQ_MISSING_FIELD when the tag exists and overwrite is false.
    void nqSetTag(const std::string& name, const std::string& value, bool overwrite = true);
    void nqDeleteTag(const std::string& name) { tags_.nqDeleteTag(name); }
    const NQTagList& nqGetTags() const { return tags_; }

private:
    friend class NQZone;
    friend class NQDocument;

    // Throws the refusal that appending (insert = false) or inserting z would
    // raise, apart from the position check.
    void checkZoneCandidate(const NQZone* z, bool insert) const;
    // Moves a checked zone to `pos` of the zone list.
    void linkZone(NQZone* z, ZoneIterator pos);
    bool holdsZone(const NQZone* z) const;
    // Leaves the document list that owns this page, if any.
    void detachFromOwner();
    void copyFrom(const NQPage& source);

    std::string id_ = "Void";
    std::shared_ptr<const NQImage> image_;  // never null
    NQDocument* document_ = nullptr;
    NQTagList tags_;
    ZoneList zones_;
    ZoneList referring_;

    std::list<NQPage*>::iterator documentRefPos_;  // this page in document_'s referring list
    NQDocument* ownerDocument_ = nullptr;
    std::list<NQPage*>::iterator ownerPos_;
};

#endif
