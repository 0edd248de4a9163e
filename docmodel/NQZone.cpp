// Zones: geometry checked against the page image, the child tree, and the
// bookkeeping that keeps owners, page pointers and parent pointers in step.
//
// Every zone records three positions as list iterators: its entry in its
// page's referring list, its entry in its parent's referring list and its
// entry in the list that owns it (a page's zone list or a parent's child
// list). std::list iterators stay valid while other elements come and go, so
// unhooking a zone is constant time and tearing down a page of N zones costs
// O(N). Ownership is recorded separately from the parent and page pointers
// because the two can differ: a copy points to its source's page and parent
// but belongs to its creator.
//
// Each operation runs all of its checks before it touches a list, so a
// refused operation leaves the tree exactly as it was. Geometry sums are
// computed in 64 bits: zones filled without a page accept any int.
#include "docmodel/NQZone.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <memory>

#include "docmodel/NQPage.h"
#include "image/NQException.h"
#include "image/NQImage.h"

namespace {

constexpr const char* kModule = "NQZone";

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

// True when rectangle (x, y, w, h) lies inside (ox, oy, ow, oh).
bool rectInside(long long x, long long y, long long w, long long h, long long ox, long long oy,
                long long ow, long long oh) {
    return x >= ox && y >= oy && x + w <= ox + ow && y + h <= oy + oh;
}

bool fitsInt(long long v) {
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

// Bounding rectangle of two zones: right and bottom are the last covered
// column and row, so width = right - left + 1.
struct Bounds {
    long long x, y, width, height;
};

Bounds boundsOf(const NQZone& a, const NQZone& b) {
    const NQPoint pa = a.nqGetZoneOrigin();
    const NQPoint pb = b.nqGetZoneOrigin();
    const long long left = std::min<long long>(pa.x, pb.x);
    const long long top = std::min<long long>(pa.y, pb.y);
    const long long right =
        std::max<long long>(static_cast<long long>(pa.x) + a.nqGetZoneWidth() - 1,
                            static_cast<long long>(pb.x) + b.nqGetZoneWidth() - 1);
    const long long bottom =
        std::max<long long>(static_cast<long long>(pa.y) + a.nqGetZoneHeight() - 1,
                            static_cast<long long>(pb.y) + b.nqGetZoneHeight() - 1);
    return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

// ---- construction, copy, destruction ------------------------------------------

NQZone::NQZone() = default;

NQZone::NQZone(int x, int y, int width, int height) {
    nqSetZoneOrigin(x, y);
    nqSetZoneWidth(width);
    nqSetZoneHeight(height);
}

NQZone::NQZone(const std::string& id, int x, int y, int width, int height) : id_(id) {
    nqSetZoneOrigin(x, y);
    nqSetZoneWidth(width);
    nqSetZoneHeight(height);
}

NQZone::NQZone(const NQPoint& topLeft, const NQPoint& bottomRight)
    : origin_(topLeft.x, topLeft.y),
      width_(static_cast<int>(static_cast<long long>(bottomRight.x) - topLeft.x)),
      height_(static_cast<int>(static_cast<long long>(bottomRight.y) - topLeft.y)) {}

NQZone::NQZone(NQPage* page, NQZone* parent, const std::string& id, int x, int y, int width,
               int height) {
    if (parent != nullptr && parent->page_ != page)
        fail(NQ_NULL_DATA,
             "<NQZone::NQZone()> The parent zone has conflicting NQPage* with the parent page!",
             __LINE__);
    id_ = id;
    origin_ = NQPoint(x, y);
    width_ = width;
    height_ = height;
    // Both calls refuse without linking anything, so a throw here leaves no
    // list pointing at the half-made zone.
    if (parent != nullptr)
        parent->nqAppendChildZone(this);
    else if (page != nullptr)
        nqSetPagePointer(page);
}

// Delegating to the default constructor makes the destructor run if copying
// the subtree throws, so a partial copy unhooks itself.
NQZone::NQZone(const NQZone& source) : NQZone() {
    copyFieldsFrom(source);
    setPageLink(source.page_);
    setParentLink(source.parent_);
    copyChildrenFrom(source);
}

NQZone::~NQZone() {
    deleteChildren();
    resetReferringZones();
    setPageLink(nullptr);
    setParentLink(nullptr);
    detachFromOwner();
}

NQZone& NQZone::operator=(const NQZone& source) {
    if (&source == this)
        fail(NQ_MEMORY_ERROR, "<NQZone::=()> It is illegal to do self assignment!", __LINE__);
    // The source may lie in this zone's own subtree, which is deleted below, so
    // the copy is taken first. If the source's parent is deleted with the
    // subtree (or is this zone), the copy's parent pointer is reset on the way.
    NQZone copy(source);
    deleteChildren();
    resetReferringZones();
    copyFieldsFrom(copy);
    setPageLink(copy.page_);
    setParentLink(copy.parent_);
    for (NQZone* child : copy.children_) {
        child->ownerZone_ = this;
        child->setParentLink(this);
    }
    // Splicing keeps the children's stored owner positions valid.
    children_.splice(children_.end(), copy.children_);
    return *this;
}

NQZone* NQZone::nqClone() const {
    return new NQZone(*this);
}

void NQZone::copyFieldsFrom(const NQZone& source) {
    id_ = source.id_;
    tags_ = source.tags_;
    origin_ = source.origin_;
    width_ = source.width_;
    height_ = source.height_;
}

void NQZone::copyChildrenFrom(const NQZone& source) {
    for (const NQZone* child : source.children_) {
        std::unique_ptr<NQZone> copy(new NQZone());
        copy->copyFieldsFrom(*child);
        copy->setPageLink(child->page_);
        copy->copyChildrenFrom(*child);
        copy->setParentLink(this);
        copy->ownerPos_ = children_.insert(children_.end(), copy.get());
        copy->ownerZone_ = this;
        copy.release();
    }
}

// ---- link bookkeeping -----------------------------------------------------------

void NQZone::setPageLink(NQPage* page) {
    if (page == page_)
        return;
    if (page != nullptr) {
        auto pos = page->referring_.insert(page->referring_.end(), this);
        if (page_ != nullptr)
            page_->referring_.erase(pageRefPos_);
        page_ = page;
        pageRefPos_ = pos;
    } else {
        page_->referring_.erase(pageRefPos_);
        page_ = nullptr;
    }
}

void NQZone::setParentLink(NQZone* parent) {
    if (parent == parent_)
        return;
    if (parent != nullptr) {
        auto pos = parent->referring_.insert(parent->referring_.end(), this);
        if (parent_ != nullptr)
            parent_->referring_.erase(parentRefPos_);
        parent_ = parent;
        parentRefPos_ = pos;
    } else {
        parent_->referring_.erase(parentRefPos_);
        parent_ = nullptr;
    }
}

void NQZone::detachFromOwner() {
    if (ownerPage_ != nullptr) {
        ownerPage_->zones_.erase(ownerPos_);
        ownerPage_ = nullptr;
    } else if (ownerZone_ != nullptr) {
        ownerZone_->children_.erase(ownerPos_);
        ownerZone_ = nullptr;
    }
}

// Each child's destructor takes it out of children_.
void NQZone::deleteChildren() {
    while (!children_.empty())
        delete children_.back();
}

// Zones that still name this zone as parent without being owned by it.
void NQZone::resetReferringZones() {
    for (NQZone* zone : referring_)
        zone->parent_ = nullptr;
    referring_.clear();
}

bool NQZone::isInSubtreeOf(const NQZone* root) const {
    for (const NQZone* zone = this; zone != nullptr; zone = zone->ownerZone_)
        if (zone == root)
            return true;
    return false;
}

// ---- comparison and printing ------------------------------------------------------

bool NQZone::operator==(const NQZone& other) const {
    return page_ == other.page_ && parent_ == other.parent_ && id_ == other.id_ &&
           origin_ == other.origin_ && width_ == other.width_ && height_ == other.height_;
}

bool NQZone::operator<(const NQZone& other) const {
    if (page_ != other.page_ || parent_ != other.parent_)
        fail(NQ_INVALID_INPUT,
             "<NQZone::<()> It is illegal to compare two child zones from different parent zones!",
             __LINE__);
    if (origin_.y != other.origin_.y)
        return origin_.y < other.origin_.y;
    return origin_.x < other.origin_.x;
}

std::ostream& operator<<(std::ostream& out, const NQZone& zone) {
    const NQPoint origin = zone.nqGetZoneOrigin();
    out << "ZONE"
        << " id=" << zone.nqGetZoneId() << " (" << origin.x << "," << origin.y << ") "
        << zone.nqGetZoneWidth() << "x" << zone.nqGetZoneHeight() << " "
        << zone.nqGetChildZoneList().size() << " children";
    return out;
}

// ---- geometry ---------------------------------------------------------------------

void NQZone::nqSetZoneOrigin(int x, int y) {
    if (page_ != nullptr && page_->nqCheckPageImageData()) {
        if (x < 0 || y < 0 || static_cast<long long>(x) + width_ > page_->nqGetPageWidth() ||
            static_cast<long long>(y) + height_ > page_->nqGetPageHeight())
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneOrigin()> The specified zone origin is invalid with "
                 "reference to the dimensions of the page image!",
                 __LINE__);
        if (!nqCheckZoneBoundaries(NQPoint(x, y), width_, height_))
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneOrigin()> The specified zone origin conflicts with its own "
                 "child zones!",
                 __LINE__);
    }
    origin_ = NQPoint(x, y);
}

void NQZone::nqSetZoneOrigin(const NQPoint& origin) {
    nqSetZoneOrigin(origin.x, origin.y);
}

void NQZone::nqSetZoneWidth(int width) {
    if (page_ != nullptr && page_->nqCheckPageImageData()) {
        if (width <= 0 || static_cast<long long>(origin_.x) + width > page_->nqGetPageWidth())
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneWidth()> The specified width is invalid with reference to "
                 "the width of the page image!",
                 __LINE__);
        if (!nqCheckZoneBoundaries(origin_, width, height_))
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneWidth()> The specified zone width conflicts with its own "
                 "child zones!",
                 __LINE__);
    }
    width_ = width;
}

void NQZone::nqSetZoneHeight(int height) {
    if (page_ != nullptr && page_->nqCheckPageImageData()) {
        // This message carries no operation prefix and says "width"; readers
        // of logs match it as it stands.
        if (height <= 0 || static_cast<long long>(origin_.y) + height > page_->nqGetPageHeight())
            fail(NQ_OUT_OF_BOUNDS,
                 "The specified height is invalid with reference to the width of the page image!",
                 __LINE__);
        if (!nqCheckZoneBoundaries(origin_, width_, height))
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneHeight()> The specified zone height conflicts with its own "
                 "child zones!",
                 __LINE__);
    }
    height_ = height;
}

// ---- page -----------------------------------------------------------------------------

int NQZone::nqGetPageWidth() const {
    if (page_ == nullptr)
        fail(NQ_NULL_DATA, "<NQZone::nqGetPageWidth()> The zone is not associated with any page!",
             __LINE__);
    return page_->nqGetPageWidth();
}

int NQZone::nqGetPageHeight() const {
    if (page_ == nullptr)
        fail(NQ_NULL_DATA, "<NQZone::nqGetPageHeight()> The zone is not associated with any page!",
             __LINE__);
    return page_->nqGetPageHeight();
}

NQImage NQZone::nqGetPageImage() const {
    if (page_ == nullptr)
        fail(NQ_NULL_DATA, "<NQZone::nqGetPageImage()> The current zone has a NULL NQPage*!",
             __LINE__);
    return page_->nqGetPageImageRef();
}

const NQImage& NQZone::nqGetPageImageRef() const {
    if (page_ == nullptr)
        fail(NQ_NULL_DATA, "<NQZone::nqGetPageImageRef()> The current zone has a NULL NQPage*!",
             __LINE__);
    return page_->nqGetPageImageRef();
}

// Cutting from the page image directly gives the same pixels as cutting from
// a copy of it, without copying the whole page.
NQImage NQZone::nqGetZoneImage() const {
    if (page_ == nullptr)
        fail(NQ_NULL_DATA, "<NQZone::nqGetZoneImage()> The current zone has a NULL NQPage*!",
             __LINE__);
    return page_->nqGetPageImageRef().nqSubImage(*this);
}

void NQZone::checkPageTarget(const NQPage* page) const {
    if (!subtreeFitsPage(page))
        fail(NQ_OUT_OF_BOUNDS,
             "<NQZone::nqSetPagePointer()> The current zone or its child zone is outside the "
             "page image boundary!",
             __LINE__);
}

// The whole subtree is checked before any pointer moves, so a refusal leaves
// every zone on its old page.
void NQZone::nqSetPagePointer(NQPage* page) {
    if (page != nullptr)
        checkPageTarget(page);
    applyPagePointer(page);
}

void NQZone::applyPagePointer(NQPage* page) {
    for (NQZone* child : children_)
        child->applyPagePointer(page);
    setPageLink(page);
}

bool NQZone::subtreeFitsPage(const NQPage* page) const {
    if (!page->nqCheckPageImageData())
        return false;
    if (!nqIsWithinPageBoundaries(page->nqGetPageWidth(), page->nqGetPageHeight()))
        return false;
    for (const NQZone* child : children_)
        if (!child->subtreeFitsPage(page))
            return false;
    return true;
}

bool NQZone::subtreeHasPage(const NQPage* page) const {
    for (const NQZone* child : children_)
        if (child->page_ != page || !child->subtreeHasPage(page))
            return false;
    return true;
}

// ---- checks -----------------------------------------------------------------------------

bool NQZone::nqIsWithinPageBoundaries(int pageWidth, int pageHeight) const {
    return rectInside(origin_.x, origin_.y, width_, height_, 0, 0, pageWidth, pageHeight);
}

bool NQZone::nqCheckZoneBoundaries(NQPoint origin, int width, int height) const {
    for (const NQZone* child : children_) {
        if (!rectInside(child->origin_.x, child->origin_.y, child->width_, child->height_, origin.x,
                        origin.y, width, height))
            return false;
        if (!child->nqCheckZoneBoundaries(origin, width, height))
            return false;
    }
    return true;
}

bool NQZone::nqCheckPagePointer() const {
    if (page_ == nullptr)
        fail(NQ_NULL_DATA, "<NQZone::nqCheckPagePointer()> The current zone has a null NQPage*!",
             __LINE__);
    return subtreeHasPage(page_);
}

bool NQZone::nqIsZoneIteratorValid(ZoneIterator pos) const {
    for (auto it = children_.begin(); it != children_.end(); ++it)
        if (it == pos)
            return true;
    return false;
}

// ---- child tree -----------------------------------------------------------------------

NQZone::ChildTarget NQZone::appendTarget() const {
    return {origin_, width_, height_, page_, page_ != nullptr};
}

NQZone::ChildTarget NQZone::insertTarget() const {
    return {origin_, width_, height_, page_, true};
}

void NQZone::checkChildCandidate(const NQZone* z, const ChildTarget& target, bool insert) const {
    if (z->page_ != nullptr && !z->nqCheckPagePointer())
        fail(NQ_UNSUPPORTED,
             insert ? "<NQZone::nqInsertChildZone()> The child zone to be inserted has "
                      "conflicting NQPage* with its own child zones!"
                    : "<NQZone::nqAppendChildZone()> The child zone to be appended has "
                      "conflicting NQPage* with its own child zones!",
             __LINE__);
    if (z->parent_ == this)
        fail(NQ_UNSUPPORTED,
             insert ? "<NQZone::nqInsertChildZone()> It is invalid to insert a zone that is "
                      "currently pointing to this zone!"
                    : "<NQZone::nqAppendChildZone()> It is invalid to append a zone that is "
                      "currently pointing to this zone!",
             __LINE__);
    // A zone taken into its own subtree would own itself: nobody could reach
    // or free the cycle, and every walk over it would never end.
    if (isInSubtreeOf(z))
        fail(NQ_UNSUPPORTED,
             insert ? "<NQZone::nqInsertChildZone()> It is invalid to insert a zone into itself "
                      "or into one of its own child zones!"
                    : "<NQZone::nqAppendChildZone()> It is invalid to append a zone to itself "
                      "or to one of its own child zones!",
             __LINE__);
    if (!z->nqCheckZoneBoundaries(z->origin_, z->width_, z->height_))
        fail(NQ_OUT_OF_BOUNDS,
             insert ? "<NQZone::nqInsertChildZone()> The child zone to be inserted has "
                      "conflicting dimensions with its own child zones!"
                    : "<NQZone::nqAppendChildZone()> The child zone to be appended has "
                      "conflicting dimensions with its own child zones!",
             __LINE__);
    if (!z->nqCheckZoneBoundaries(target.origin, target.width, target.height))
        fail(NQ_OUT_OF_BOUNDS,
             insert ? "<NQZone::nqInsertChildZone()> The child zone to be inserted has "
                      "conflicting dimensions with this zone!"
                    : "<NQZone::nqAppendChildZone()> The child zone to be appended has "
                      "conflicting dimensions with this zone!",
             __LINE__);
    if (target.setPage && target.page != nullptr)
        z->checkPageTarget(target.page);
}

void NQZone::linkChild(NQZone* z, ZoneIterator pos, const ChildTarget& target) {
    if (target.setPage)
        z->applyPagePointer(target.page);
    // z may sit at pos itself (owned here under another parent pointer);
    // moving it must not leave pos dangling.
    if (pos != children_.end() && *pos == z)
        ++pos;
    z->detachFromOwner();
    z->setParentLink(this);
    z->ownerPos_ = children_.insert(pos, z);
    z->ownerZone_ = this;
}

void NQZone::nqAppendChildZone(NQZone* z) {
    if (z == nullptr)
        fail(NQ_NULL_DATA,
             "<NQZone::nqAppendChildZone()> The NQZone* of the zone to be appended is not valid!",
             __LINE__);
    const ChildTarget target = appendTarget();
    checkChildCandidate(z, target, false);
    linkChild(z, children_.end(), target);
}

void NQZone::nqAppendChildZoneCopy(const NQZone& z) {
    std::unique_ptr<NQZone> copy(new NQZone(z));
    nqAppendChildZone(copy.get());
    copy.release();
}

void NQZone::nqAppendChildZoneList(const ZoneList& zones) {
    for (NQZone* z : zones)
        nqAppendChildZone(z);
}

void NQZone::nqInsertChildZone(ZoneIterator pos, NQZone* z) {
    if (z == nullptr)
        fail(NQ_NULL_DATA,
             "<NQZone::nqInsertChildZone()> The NQZone* of the zone to be inserted is not valid!",
             __LINE__);
    if (pos != children_.end() && !nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQZone::nqInsertChildZone()> The specified iterator position for child zone "
             "deletion is invalid!",
             __LINE__);
    const ChildTarget target = insertTarget();
    checkChildCandidate(z, target, true);
    linkChild(z, pos, target);
}

void NQZone::nqInsertChildZone(int n, NQZone* z) {
    if (z == nullptr)
        fail(NQ_NULL_DATA,
             "<NQZone::nqInsertChildZone()> The NQZone* of the zone to be inserted is not valid!",
             __LINE__);
    if (n < 0 || static_cast<std::size_t>(n) > children_.size())
        fail(NQ_INVALID_INPUT,
             "<NQZone::nqInsertChildZone()> The specified position for zone insertion is invalid!",
             __LINE__);
    nqInsertChildZone(std::next(children_.cbegin(), n), z);
}

void NQZone::nqInsertChildZoneCopy(ZoneIterator pos, const NQZone& z) {
    if (pos != children_.end() && !nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQZone::nqInsertChildZone()> The specified iterator position for child zone "
             "deletion is invalid!",
             __LINE__);
    std::unique_ptr<NQZone> copy(new NQZone(z));
    nqInsertChildZone(pos, copy.get());
    copy.release();
}

void NQZone::nqInsertChildZoneCopy(int n, const NQZone& z) {
    if (n < 0 || static_cast<std::size_t>(n) > children_.size())
        fail(NQ_INVALID_INPUT,
             "<NQZone::nqInsertChildZone()> The specified postion for zone insertion is invalid!",
             __LINE__);
    std::unique_ptr<NQZone> copy(new NQZone(z));
    nqInsertChildZone(std::next(children_.cbegin(), n), copy.get());
    copy.release();
}

void NQZone::nqInsertChildZoneList(ZoneIterator pos, const ZoneList& zones) {
    if (pos != children_.end() && !nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQZone::nqDeleteChildZone()> The specified iterator position for child zone "
             "deletion is invalid!",
             __LINE__);
    for (NQZone* z : zones) {
        if (pos != children_.end() && *pos == z)
            ++pos;
        nqInsertChildZone(pos, z);
    }
}

void NQZone::nqInsertChildZoneList(int n, const ZoneList& zones) {
    if (n < 0 || static_cast<std::size_t>(n) > children_.size())
        fail(NQ_INVALID_INPUT,
             "<NQZone::nqInsertChildZoneList()> The specified postion for zone insertion is "
             "invalid!",
             __LINE__);
    nqInsertChildZoneList(std::next(children_.cbegin(), n), zones);
}

// Only a zone this zone owns may be deleted through it: anything else belongs
// to another owner (or lives on the stack) and would be freed twice.
void NQZone::nqDeleteChildZone(NQZone* z) {
    if (z == nullptr)
        return;
    if (z->ownerZone_ != this)
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqDeleteChildZone()> The zone to be deleted is not a child zone of this "
             "zone!",
             __LINE__);
    delete z;
}

void NQZone::nqDeleteChildZone(ZoneIterator pos) {
    if (!nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQZone::nqDeleteChildZone()> The specified iterator position for child zone "
             "deletion is invalid!",
             __LINE__);
    delete *pos;
}

void NQZone::nqDeleteChildZone(int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= children_.size())
        fail(NQ_INVALID_INPUT,
             "<NQZone::nqDeleteChildZone()> The specified postion for zone deletion is invalid!",
             __LINE__);
    delete *std::next(children_.begin(), n);
}

void NQZone::nqClearChildZones() {
    deleteChildren();
}

// ---- merging and splitting ---------------------------------------------------------

NQZone* NQZone::nqMergeZones(NQZone* other, const std::string& id) {
    if (other == nullptr)
        fail(NQ_NULL_DATA,
             "<NQZone::nqMergeZones()> The NQZone* of the zone to be merged is not valid!",
             __LINE__);
    if (other == this)
        fail(NQ_UNSUPPORTED, "<NQZone::nqMergeZones()> A zone cannot be merged with itself!",
             __LINE__);
    if (parent_ != nullptr || other->parent_ != nullptr)
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqMergeZones()> The zones to be merged must not have parent zones!",
             __LINE__);
    if (page_ != other->page_)
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqMergeZones()> The zones to be merged must not have conflicting "
             "NQPage*s!",
             __LINE__);
    const Bounds box = boundsOf(*this, *other);
    if (!fitsInt(box.width) || !fitsInt(box.height))
        fail(NQ_OUT_OF_BOUNDS, "<NQZone::nqMergeZones()> The merged zone is too large!", __LINE__);

    std::unique_ptr<NQZone> merged(new NQZone(page_, nullptr, id, static_cast<int>(box.x),
                                              static_cast<int>(box.y), static_cast<int>(box.width),
                                              static_cast<int>(box.height)));
    // Both moves are checked before either happens.
    const ChildTarget target = merged->appendTarget();
    merged->checkChildCandidate(this, target, false);
    merged->checkChildCandidate(other, target, false);
    merged->linkChild(this, merged->children_.end(), target);
    merged->linkChild(other, merged->children_.end(), target);
    return merged.release();
}

// The merged geometry is checked once, as a whole, with the messages of the
// setters. Setting origin, width and height one after another would check
// intermediate rectangles (new origin with old size) that can leave a child
// or the page even when the final rectangle is fine.
void NQZone::nqMergeChildZones(NQZone* a, NQZone* b, const std::string& id) {
    if (a == nullptr || b == nullptr || a->ownerZone_ != this || b->ownerZone_ != this)
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqMergeChildZones()> Both child zones to be merged must be immediate "
             "child zones of the current zone!",
             __LINE__);
    if (a == b)
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqMergeChildZones()> The child zones to be merged must be two different "
             "zones!",
             __LINE__);
    if (a->page_ != nullptr && b->page_ != nullptr && a->page_ != b->page_)
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqMergeChildZones()> The child zones to be merged must not have "
             "conflicting NQPage*s!",
             __LINE__);

    NQPage* page = a->page_ != nullptr ? a->page_ : b->page_;
    const bool takesPage = a->page_ == nullptr && page != nullptr;
    if (takesPage)
        a->checkPageTarget(page);

    const Bounds box = boundsOf(*a, *b);
    if (!fitsInt(box.width) || !fitsInt(box.height))
        fail(NQ_OUT_OF_BOUNDS, "<NQZone::nqMergeChildZones()> The merged zone is too large!",
             __LINE__);
    const NQPoint origin(static_cast<int>(box.x), static_cast<int>(box.y));
    const int width = static_cast<int>(box.width);
    const int height = static_cast<int>(box.height);
    if (page != nullptr && page->nqCheckPageImageData()) {
        const long long pageWidth = page->nqGetPageWidth();
        const long long pageHeight = page->nqGetPageHeight();
        if (origin.x < 0 || origin.y < 0)
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneOrigin()> The specified zone origin is invalid with "
                 "reference to the dimensions of the page image!",
                 __LINE__);
        if (!a->nqCheckZoneBoundaries(origin, width, height))
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneOrigin()> The specified zone origin conflicts with its own "
                 "child zones!",
                 __LINE__);
        if (width <= 0 || box.x + box.width > pageWidth)
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSetZoneWidth()> The specified width is invalid with reference to "
                 "the width of the page image!",
                 __LINE__);
        if (height <= 0 || box.y + box.height > pageHeight)
            fail(NQ_OUT_OF_BOUNDS,
                 "The specified height is invalid with reference to the width of the page image!",
                 __LINE__);
    }

    // b's children move to a: a as it will be after the merge is their target.
    const ChildTarget target = {origin, width, height, page, page != nullptr};
    for (const NQZone* child : b->children_)
        a->checkChildCandidate(child, target, false);

    if (takesPage)
        a->applyPagePointer(page);
    a->id_ = id;
    a->origin_ = origin;
    a->width_ = width;
    a->height_ = height;
    while (!b->children_.empty())
        a->linkChild(b->children_.front(), a->children_.end(), target);
    delete b;
}

void NQZone::nqSplitZone(int offset, int mode, const std::string& id1, const std::string& id2) {
    if (!children_.empty())
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqSplitZone()> The zone to be split must not have its own child zones!",
             __LINE__);
    std::unique_ptr<NQZone> first;
    std::unique_ptr<NQZone> second;
    // The first piece ends just before the cut and the second starts at it, so
    // together they cover the zone exactly.
    if (mode == 1) {
        if (offset < 1 || static_cast<long long>(offset) > static_cast<long long>(width_) - 1)
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSplitZone()> The specified horizontal offset for zone splitting is "
                 "invalid!",
                 __LINE__);
        first.reset(new NQZone(id1, origin_.x, origin_.y, offset, height_));
        second.reset(new NQZone(id2, static_cast<int>(static_cast<long long>(origin_.x) + offset),
                                origin_.y, width_ - offset, height_));
    } else if (mode == 2) {
        if (offset < 1 || static_cast<long long>(offset) > static_cast<long long>(height_) - 1)
            fail(NQ_OUT_OF_BOUNDS,
                 "<NQZone::nqSplitZone()> The specified vertical offset for zone splitting is "
                 "invalid!",
                 __LINE__);
        first.reset(new NQZone(id1, origin_.x, origin_.y, width_, offset));
        second.reset(new NQZone(id2, origin_.x,
                                static_cast<int>(static_cast<long long>(origin_.y) + offset),
                                width_, height_ - offset));
    } else {
        fail(NQ_UNSUPPORTED,
             "<NQZone::nqSplitZone()> The specified mode for zone splitting is invalid!", __LINE__);
    }
    const ChildTarget target = appendTarget();
    checkChildCandidate(first.get(), target, false);
    checkChildCandidate(second.get(), target, false);
    linkChild(first.release(), children_.end(), target);
    linkChild(second.release(), children_.end(), target);
}

// ---- tags -------------------------------------------------------------------------------

void NQZone::nqSetTag(const std::string& name, const std::string& value, bool overwrite) {
    tags_.setTagFor("NQZone", name, value, overwrite);
}
