#ifndef NQ_DOCMODEL_NQDOCUMENT_H
#define NQ_DOCMODEL_NQDOCUMENT_H

#include <list>
#include <string>

#include "docmodel/NQPage.h"
#include "docmodel/NQTagList.h"

class NQImage;

// An ordered list of owned pages with an id and a tag list.
//
// Append and insert take ownership of the page they are given and take it
// out of the document that owned it before; a refused page (NQException
// thrown) stays with the caller. The document also keeps the list of every
// page whose document pointer names it and resets those pointers when it is
// destroyed.
//
// Copies are deep (pages are cloned, and their zones with them). Moving a
// document hands its pages over without copying them.
//
// Refused operations throw NQException (module "NQDocument") and leave the
// lists unchanged.
class NQDocument {
public:
    using PageList = std::list<NQPage*>;
    // Positions in the document's page list (from nqGetPageList()).
    using PageIterator = PageList::const_iterator;

    // Id "Void", no pages.
    NQDocument();
    // One page made from the image (NQPage(image, pageId)).
    NQDocument(const NQImage& image, const std::string& pageId, const std::string& documentId);
    // One page whose image is loaded from the named file through the image
    // factory; loading errors propagate.
    NQDocument(const char* imageFile, const std::string& pageId, const std::string& documentId);
    NQDocument(const NQDocument& source);
    // Takes over the pages, id and tags of `source`, which is left without pages.
    NQDocument(NQDocument&& source);
    // Deletes the pages, appends a clone of every source page, copies id and
    // tags. Self assignment throws NQ_MEMORY_ERROR.
    NQDocument& operator=(const NQDocument& source);
    // Deletes the pages and takes over those of `source`.
    NQDocument& operator=(NQDocument&& source);
    virtual ~NQDocument();

    // ---- page list ------------------------------------------------------------
    void nqAppendPage(NQPage* p);
    // nqAppendPage for each element in order. When one is refused the
    // exception propagates: the pages before it have been taken, it and the
    // ones after it stay with the caller.
    void nqAppendPageList(const PageList& pages);
    void nqInsertPage(PageIterator pos, NQPage* p);
    // n from 0 to the number of pages (that number appends).
    void nqInsertPage(int n, NQPage* p);
    // Inserts the pages as one run before pos, in list order. Every page is
    // checked before any is taken.
    void nqInsertPageList(PageIterator pos, const PageList& pages);
    void nqInsertPageList(int n, const PageList& pages);
    // Appends a new copy of p.
    void nqAppendPageCopy(const NQPage& p);
    // Deletes p, which must be one of this document's pages.
    void nqDeletePage(NQPage* p);
    void nqDeletePage(int n);
    void nqDeletePage(PageIterator pos);
    void nqClearPages();
    // True when pos designates an element of the page list (end() does not).
    bool nqIsPageIteratorValid(PageIterator pos) const;

    // ---- fields -------------------------------------------------------------------
    const std::string& nqGetDocumentId() const { return id_; }
    void nqSetDocumentId(const std::string& id) { id_ = id; }

    // ---- lists (read only) --------------------------------------------------
    const PageList& nqGetPageList() const { return pages_; }
    // Pages whose document pointer names this document.
    const PageList& nqGetReferringPageList() const { return referring_; }

    // ---- tags ---------------------------------------------------------------------
    bool nqIsTagSet(const std::string& name) const { return tags_.nqIsTagSet(name); }
    std::string nqGetTag(const std::string& name) const { return tags_.nqGetTag(name); }
    // NQ_MISSING_FIELD when the tag exists and overwrite is false.
    void nqSetTag(const std::string& name, const std::string& value, bool overwrite = true);
    void nqDeleteTag(const std::string& name) { tags_.nqDeleteTag(name); }
    const NQTagList& nqGetTags() const { return tags_; }

private:
    friend class NQPage;

    // Moves a checked page to `pos` of the page list.
    void linkPage(NQPage* p, PageIterator pos);
    void takePagesFrom(NQDocument& source) noexcept;
    void resetReferringPages() noexcept;

    std::string id_ = "Void";
    NQTagList tags_;
    PageList pages_;
    PageList referring_;
};

#endif
