// Pages: the page image, the owned top-level zones and the referring-zone
// bookkeeping. Zones record their own positions in the page's lists (see
// NQZone.cpp), so the page only links and unlinks them here.
//
// Appending or inserting a zone runs every check first, including the one on
// the zone's whole subtree against the page image, and only then re-points
// the subtree and moves the zone out of whatever list owned it before.
#include "docmodel/NQPage.h"

#include <iterator>
#include <memory>

#include "docmodel/NQDocument.h"
#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQPage";

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

// The image of a page made without one; shared by all of them, never changed.
const std::shared_ptr<const NQImage>& emptyImage() {
    static const std::shared_ptr<const NQImage> empty = std::make_shared<const NQImage>();
    return empty;
}

void checkPageImage(const NQImage* image) {
    if (image == nullptr || !image->nqHasImageData())
        fail(NQ_NULL_DATA, "<NQPage::NQPage()> The page image data is NULL!", __LINE__);
}

}  // namespace

// ---- construction, copy, destruction ------------------------------------------

NQPage::NQPage() : image_(emptyImage()) {}

NQPage::NQPage(const NQImage& image, const std::string& id) : NQPage() {
    checkPageImage(&image);
    image_ = std::make_shared<const NQImage>(image);
    id_ = id;
}

NQPage::NQPage(NQImage&& image, const std::string& id) : NQPage() {
    checkPageImage(&image);
    image_ = std::make_shared<const NQImage>(std::move(image));
    id_ = id;
}

NQPage::NQPage(std::shared_ptr<const NQImage> image, const std::string& id) : NQPage() {
    checkPageImage(image.get());
    image_ = std::move(image);
    id_ = id;
}

void NQPage::nqReleasePageImagePixels() {
    if (image_->nqHasImageData())
        image_ = std::make_shared<const NQImage>(image_->nqCopyHead());
}

// Delegating makes the destructor run if cloning the zones throws.
NQPage::NQPage(const NQPage& source) : NQPage() {
    copyFrom(source);
}

NQPage& NQPage::operator=(const NQPage& source) {
    if (&source == this)
        fail(NQ_MEMORY_ERROR, "<NQPage::=()> It is illegal to do self assignment!", __LINE__);
    copyFrom(source);
    return *this;
}

void NQPage::copyFrom(const NQPage& source) {
    // Copies are deep: the copy gets an image of its own.
    image_ = source.image_->nqHasImageData() ? std::make_shared<const NQImage>(*source.image_)
                                             : emptyImage();
    id_ = source.id_;
    tags_ = source.tags_;
    nqSetDocumentPointer(source.document_);
    nqClearZones();
    for (const NQZone* zone : source.zones_) {
        std::unique_ptr<NQZone> clone(zone->nqClone());
        nqAppendZone(clone.get());
        clone.release();
    }
}

NQPage::~NQPage() {
    nqClearZones();
    // Zones that point here without being owned here (copies, zones of other
    // owners) lose their page pointer.
    for (NQZone* zone : referring_)
        zone->page_ = nullptr;
    referring_.clear();
    nqSetDocumentPointer(nullptr);
    detachFromOwner();
}

NQPage* NQPage::nqClone() const {
    return new NQPage(*this);
}

bool NQPage::operator==(const NQPage& other) const {
    return document_ == other.document_ && id_ == other.id_;
}

// ---- document link ----------------------------------------------------------------

void NQPage::nqSetDocumentPointer(NQDocument* document) {
    if (document == document_)
        return;
    if (document != nullptr) {
        auto pos = document->referring_.insert(document->referring_.end(), this);
        if (document_ != nullptr)
            document_->referring_.erase(documentRefPos_);
        document_ = document;
        documentRefPos_ = pos;
    } else {
        document_->referring_.erase(documentRefPos_);
        document_ = nullptr;
    }
}

void NQPage::detachFromOwner() {
    if (ownerDocument_ == nullptr)
        return;
    ownerDocument_->pages_.erase(ownerPos_);
    ownerDocument_ = nullptr;
}

// ---- zone list ----------------------------------------------------------------------

void NQPage::checkZoneCandidate(const NQZone* z, bool insert) const {
    if (z == nullptr)
        fail(NQ_NULL_DATA,
             insert ? "<NQPage::nqInsertZone()> The NQZone* of the zone to be inserted is not "
                      "valid!"
                    : "<NQPage::nqAppendZone()> The NQZone* of the zone to be appended is not "
                      "valid!",
             __LINE__);
    if (z->page_ == this)
        fail(NQ_UNSUPPORTED,
             insert ? "<NQPage::nqInsertZone()> It is invalid to insert a zone that is currently "
                      "pointing to the current page!"
                    : "<NQPage::nqAppendZone()> It is invalid to append a zone that is currently "
                      "pointing to the current page!",
             __LINE__);
    if (!z->nqIsWithinPageBoundaries(nqGetPageWidth(), nqGetPageHeight()))
        fail(NQ_OUT_OF_BOUNDS,
             insert ? "<NQPage::nqInsertZone()> The page zone exceeds the page boundaries!"
                    : "<NQPage::nqAppendZone()> The page zone exceeds the page boundaries!",
             __LINE__);
    z->checkPageTarget(this);
}

void NQPage::linkZone(NQZone* z, ZoneIterator pos) {
    z->applyPagePointer(this);
    // z may already sit at pos (owned here with another page pointer); moving
    // it must not leave pos dangling.
    if (pos != zones_.end() && *pos == z)
        ++pos;
    z->detachFromOwner();
    z->setParentLink(nullptr);
    z->ownerPos_ = zones_.insert(pos, z);
    z->ownerPage_ = this;
}

void NQPage::nqAppendZone(NQZone* z) {
    checkZoneCandidate(z, false);
    linkZone(z, zones_.end());
}

void NQPage::nqInsertZone(ZoneIterator pos, NQZone* z) {
    if (pos != zones_.end() && !nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQPage::nqInsertZone()> The specified iterator position for zone insertion is "
             "invalid!",
             __LINE__);
    checkZoneCandidate(z, true);
    linkZone(z, pos);
}

void NQPage::nqInsertZone(int n, NQZone* z) {
    if (n < 0 || static_cast<std::size_t>(n) > zones_.size())
        fail(NQ_INVALID_INPUT,
             "<NQPage::nqInsertZone()> The specified position for zone insertion is invalid!",
             __LINE__);
    nqInsertZone(std::next(zones_.cbegin(), n), z);
}

void NQPage::nqAppendZoneList(const ZoneList& zones) {
    for (NQZone* z : zones)
        nqAppendZone(z);
}

void NQPage::nqInsertZoneList(ZoneIterator pos, const ZoneList& zones) {
    if (pos != zones_.end() && !nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQPage::nqInsertZoneList()> The specified iterator position for zone deletion is "
             "invalid!",
             __LINE__);
    for (NQZone* z : zones) {
        if (pos != zones_.end() && *pos == z)
            ++pos;
        nqInsertZone(pos, z);
    }
}

void NQPage::nqInsertZoneList(int n, const ZoneList& zones) {
    if (n < 0 || static_cast<std::size_t>(n) > zones_.size())
        fail(NQ_INVALID_INPUT,
             "<NQPage::nqInsertZoneList()> The specified position for zone insertion is invalid!",
             __LINE__);
    nqInsertZoneList(std::next(zones_.cbegin(), n), zones);
}

void NQPage::nqAppendZoneCopy(const NQZone& z) {
    std::unique_ptr<NQZone> copy(new NQZone(z));
    nqAppendZone(copy.get());
    copy.release();
}

void NQPage::nqInsertZoneCopy(int n, const NQZone& z) {
    if (n < 0 || static_cast<std::size_t>(n) > zones_.size())
        fail(NQ_INVALID_INPUT,
             "<NQPage::nqInsertZone()> The specified position for zone insertion is invalid!",
             __LINE__);
    std::unique_ptr<NQZone> copy(new NQZone(z));
    nqInsertZone(std::next(zones_.cbegin(), n), copy.get());
    copy.release();
}

bool NQPage::holdsZone(const NQZone* z) const {
    while (z->ownerZone_ != nullptr)
        z = z->ownerZone_;
    return z->ownerPage_ == this;
}

// A zone can point to this page without belonging to it (a copy owned by the
// caller); deleting such a zone here would free it a second time later.
void NQPage::nqDeleteZone(NQZone* z) {
    if (z == nullptr)
        fail(NQ_NULL_DATA,
             "<NQPage::nqDeleteZone()> The NQZone* of the zone to be deleted is not valid!",
             __LINE__);
    if (z->page_ != this)
        fail(NQ_NULL_DATA,
             "<NQPage::nqDeleteZone()> The zone to be deleted does not point to this page!",
             __LINE__);
    if (!holdsZone(z))
        fail(NQ_UNSUPPORTED,
             "<NQPage::nqDeleteZone()> The zone to be deleted is not owned by this page!",
             __LINE__);
    delete z;
}

void NQPage::nqDeleteZone(int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= zones_.size())
        fail(NQ_INVALID_INPUT,
             "<NQPage::nqDeleteZone()> The specified position for zone deletion is invalid!",
             __LINE__);
    delete *std::next(zones_.begin(), n);
}

void NQPage::nqDeleteZone(ZoneIterator pos) {
    if (!nqIsZoneIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQPage::nqDeleteZone()> The specified iterator position for zone deletion is "
             "invalid!",
             __LINE__);
    delete *pos;
}

// Each zone's destructor takes it out of zones_.
void NQPage::nqClearZones() {
    while (!zones_.empty())
        delete zones_.back();
}

bool NQPage::nqIsZoneIteratorValid(ZoneIterator pos) const {
    for (auto it = zones_.begin(); it != zones_.end(); ++it)
        if (it == pos)
            return true;
    return false;
}

// ---- tags -------------------------------------------------------------------------------

void NQPage::nqSetTag(const std::string& name, const std::string& value, bool overwrite) {
    tags_.setTagFor("NQPage", name, value, overwrite);
}
