// Documents: the owned page list and the referring-page bookkeeping. Pages
// record their own positions in the document's lists (see NQPage.h), so a
// page moved or deleted unhooks itself in constant time.
#include "docmodel/NQDocument.h"

#include <iterator>
#include <memory>
#include <utility>

#include "image/NQException.h"
#include "image/NQImage.h"

namespace {

constexpr const char* kModule = "NQDocument";

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

}  // namespace

// ---- construction, copy, destruction ------------------------------------------

NQDocument::NQDocument() = default;

NQDocument::NQDocument(const NQImage& image, const std::string& pageId,
                       const std::string& documentId)
    : id_(documentId) {
    std::unique_ptr<NQPage> page(new NQPage(image, pageId));
    nqAppendPage(page.get());
    page.release();
}

// Delegating makes the destructor run if cloning a page throws.
NQDocument::NQDocument(const NQDocument& source) : NQDocument() {
    *this = source;
}

NQDocument::NQDocument(NQDocument&& source) : NQDocument() {
    *this = std::move(source);
}

NQDocument& NQDocument::operator=(const NQDocument& source) {
    if (&source == this)
        fail(NQ_MEMORY_ERROR, "<NQDocument::=()> It is illegal to do self assignment!", __LINE__);
    nqClearPages();
    for (const NQPage* page : source.pages_) {
        std::unique_ptr<NQPage> clone(page->nqClone());
        nqAppendPage(clone.get());
        clone.release();
    }
    id_ = source.id_;
    tags_ = source.tags_;
    return *this;
}

NQDocument& NQDocument::operator=(NQDocument&& source) {
    if (&source == this)
        return *this;
    nqClearPages();
    takePagesFrom(source);
    id_ = std::move(source.id_);
    source.id_ = "Void";
    tags_ = source.tags_;
    source.tags_.clear();
    return *this;
}

// Splicing moves list nodes without invalidating the positions the pages
// keep, so only the owner and document pointers need updating.
void NQDocument::takePagesFrom(NQDocument& source) noexcept {
    for (NQPage* page : source.pages_) {
        page->ownerDocument_ = this;
        if (page->document_ == &source) {
            referring_.splice(referring_.end(), source.referring_, page->documentRefPos_);
            page->document_ = this;
        }
    }
    pages_.splice(pages_.end(), source.pages_);
}

NQDocument::~NQDocument() {
    nqClearPages();
    resetReferringPages();
}

// Pages that point here without being owned here (clones held by a caller).
void NQDocument::resetReferringPages() noexcept {
    for (NQPage* page : referring_)
        page->document_ = nullptr;
    referring_.clear();
}

// ---- page list ----------------------------------------------------------------------

void NQDocument::linkPage(NQPage* p, PageIterator pos) {
    p->nqSetDocumentPointer(this);
    if (pos != pages_.end() && *pos == p)
        ++pos;
    p->detachFromOwner();
    p->ownerPos_ = pages_.insert(pos, p);
    p->ownerDocument_ = this;
}

void NQDocument::nqAppendPage(NQPage* p) {
    if (p == nullptr)
        fail(NQ_NULL_DATA,
             "<NQDocument::nqAppendPage()> The NQPage* of the page to be appended is not valid!",
             __LINE__);
    if (p->document_ == this)
        fail(NQ_UNSUPPORTED,
             "<NQDocument::nqAppendPage()> It is invalid to append a page which is currently "
             "pointing to the current document!",
             __LINE__);
    linkPage(p, pages_.end());
}

void NQDocument::nqAppendPageList(const PageList& pages) {
    for (NQPage* p : pages)
        nqAppendPage(p);
}

void NQDocument::nqInsertPage(PageIterator pos, NQPage* p) {
    if (pos != pages_.end() && !nqIsPageIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQDocument::nqInsertPage()> The specified page iterator position for page "
             "deletion is invalid!",
             __LINE__);
    if (p == nullptr)
        fail(NQ_NULL_DATA,
             "<NQDocument::nqInsertPage()> The NQPage* of the page to be inserted is not valid!",
             __LINE__);
    if (p->document_ == this)
        fail(NQ_UNSUPPORTED,
             "<NQDocument::nqInsertPage()> It is invalid to insert a page which is currently "
             "pointing to the current document!",
             __LINE__);
    linkPage(p, pos);
}

void NQDocument::nqInsertPage(int n, NQPage* p) {
    if (p == nullptr)
        fail(NQ_NULL_DATA,
             "<NQDocument::nqInsertPage()> The NQPage* of the page to be inserted is not valid!",
             __LINE__);
    if (n < 0 || static_cast<std::size_t>(n) > pages_.size())
        fail(NQ_INVALID_INPUT,
             "<NQDocument::nqInsertPage()> The specified position for page insertion is invalid!",
             __LINE__);
    nqInsertPage(std::next(pages_.cbegin(), n), p);
}

// Pages of this document may be in the list (they move); pages of another
// document may not. Nothing is taken until every page has passed.
void NQDocument::nqInsertPageList(PageIterator pos, const PageList& pages) {
    if (pos != pages_.end() && !nqIsPageIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQDocument::nqInsertPageList()> The specified page iterator position for page "
             "deletions is invalid!",
             __LINE__);
    for (const NQPage* p : pages) {
        if (p == nullptr)
            fail(NQ_NULL_DATA,
                 "<NQDocument::nqInsertPageList()> The NQPage* of the page to be inserted is not "
                 "valid!",
                 __LINE__);
        if (p->document_ != nullptr && p->document_ != this)
            fail(NQ_UNSUPPORTED,
                 "<NQDocument::nqInsertPageList()> Pages to be inserted have conflicting "
                 "NQDocument pointers with the current document!",
                 __LINE__);
    }
    for (NQPage* p : pages) {
        if (pos != pages_.end() && *pos == p)
            ++pos;
        linkPage(p, pos);
    }
}

void NQDocument::nqInsertPageList(int n, const PageList& pages) {
    if (n < 0 || static_cast<std::size_t>(n) > pages_.size())
        fail(NQ_INVALID_INPUT,
             "<NQDocument::nqInsertPageList()> The specified position for page insertion is "
             "invalid!",
             __LINE__);
    nqInsertPageList(std::next(pages_.cbegin(), n), pages);
}

void NQDocument::nqAppendPageCopy(const NQPage& p) {
    std::unique_ptr<NQPage> copy(new NQPage(p));
    nqAppendPage(copy.get());
    copy.release();
}

// A page can point to this document without belonging to it (a clone owned
// by the caller); deleting such a page here would free it a second time later.
void NQDocument::nqDeletePage(NQPage* p) {
    if (p == nullptr)
        fail(NQ_NULL_DATA,
             "<NQDocument::nqDeletePage()> The NQPage* of the page to be deleted is not valid!",
             __LINE__);
    if (p->document_ != this)
        fail(NQ_NULL_DATA,
             "<NQDocument::nqDeletePage()> The page to be deleted does not point to this "
             "document!",
             __LINE__);
    if (p->ownerDocument_ != this)
        fail(NQ_UNSUPPORTED,
             "<NQDocument::nqDeletePage()> The page to be deleted is not owned by this document!",
             __LINE__);
    delete p;
}

void NQDocument::nqDeletePage(int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= pages_.size())
        fail(NQ_INVALID_INPUT,
             "<NQDocument::nqDeletePage()> The specified position for page deletion is invalid!",
             __LINE__);
    delete *std::next(pages_.begin(), n);
}

void NQDocument::nqDeletePage(PageIterator pos) {
    if (!nqIsPageIteratorValid(pos))
        fail(NQ_INVALID_POSITION,
             "<NQDocument::nqDeletePage()> The specified page iterator position for page "
             "deletion is invalid!",
             __LINE__);
    delete *pos;
}

// Each page's destructor takes it out of pages_.
void NQDocument::nqClearPages() {
    while (!pages_.empty())
        delete pages_.back();
}

bool NQDocument::nqIsPageIteratorValid(PageIterator pos) const {
    for (auto it = pages_.begin(); it != pages_.end(); ++it)
        if (it == pos)
            return true;
    return false;
}

// ---- tags -------------------------------------------------------------------------------

void NQDocument::nqSetTag(const std::string& name, const std::string& value, bool overwrite) {
    tags_.setTagFor("NQDocument", name, value, overwrite);
}
