#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "docmodel/DocModelFixtures.h"
#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "support/TestSupport.h"

using nqtest::contains;
using nqtest::Ids;
using nqtest::idsOf;
using nqtest::throwsNQ;
using nqtest::unitZone;

namespace {

NQPage* newPage(const std::string& id, int width = 100, int height = 100) {
    return new NQPage(nqtest::greyImage(width, height), id);
}

std::vector<std::string> pageIds(const NQDocument& document) {
    std::vector<std::string> ids;
    for (const NQPage* p : document.nqGetPageList())
        ids.push_back(p->nqGetPageId());
    return ids;
}

TEST(Page, DefaultsAndConstruction) {
    EXPECT_EQ("Void", NQPage().nqGetPageId());
    EXPECT_EQ("Void", NQDocument().nqGetDocumentId());
    EXPECT_FALSE(NQPage().nqCheckPageImageData());
    EXPECT_TRUE(throwsNQ([] { NQPage(NQImage(), "p"); }, NQ_NULL_DATA,
                         "<NQPage::NQPage()> The page image data is NULL!"));
    const NQImage image = nqtest::greyImage(30, 20);
    NQPage page(image, "p1");
    EXPECT_EQ(30, page.nqGetPageWidth());
    EXPECT_EQ(20, page.nqGetPageHeight());
    EXPECT_NE(image.nqGetImageData(), page.nqGetPageImageRef().nqGetImageData());
}

TEST(PageZones, AppendChecks) {
    NQPage page(nqtest::greyImage(100, 100), "p");
    NQZone* full = new NQZone(0, 0, 100, 100);
    page.nqAppendZone(full);
    EXPECT_TRUE(throwsNQ([&] { page.nqAppendZone(full); }, NQ_UNSUPPORTED,
                         "<NQPage::nqAppendZone()> It is invalid to append a zone that is "
                         "currently pointing to the current page!"));
    NQZone shifted(1, 0, 100, 100);
    EXPECT_TRUE(throwsNQ([&] { page.nqAppendZone(&shifted); }, NQ_OUT_OF_BOUNDS,
                         "<NQPage::nqAppendZone()> The page zone exceeds the page boundaries!"));
    EXPECT_TRUE(throwsNQ([&] { page.nqAppendZone(nullptr); }, NQ_NULL_DATA,
                         "<NQPage::nqAppendZone()> The NQZone* of the zone to be appended is not "
                         "valid!"));
    EXPECT_EQ(1u, page.nqGetZoneList().size());
    EXPECT_EQ(nullptr, shifted.nqGetPage());
}

// The zone fits but its child does not: the refusal comes from the subtree
// check, before anything moves, and the zone stays with the caller.
TEST(PageZones, RefusedSubtreeLeavesPageAndZoneUnchanged) {
    NQPage page(nqtest::greyImage(50, 50), "p");
    NQZone holder(0, 0, 500, 500);
    NQZone* zone = new NQZone(0, 0, 40, 40);
    holder.nqAppendChildZone(zone);
    zone->nqAppendChildZone(new NQZone(1, 1, 2, 2));
    NQZone* child = new NQZone(30, 30, 10, 10);
    zone->nqAppendChildZone(child);
    child->nqSetZoneWidth(300);  // pageless, so unchecked; now outside the page
    EXPECT_TRUE(throwsNQ([&] { page.nqAppendZone(zone); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSetPagePointer()> The current zone or its child zone is "
                         "outside the page image boundary!"));
    EXPECT_TRUE(page.nqGetZoneList().empty());
    EXPECT_TRUE(page.nqGetReferringZoneList().empty());
    EXPECT_EQ(&holder, zone->nqGetParentZone());
    EXPECT_TRUE(contains(holder.nqGetChildZoneList(), zone));
}

TEST(PageZones, PositionalInsertAndDelete) {
    NQPage page(nqtest::greyImage(100, 100), "p");
    std::unique_ptr<NQZone> spare(unitZone("s"));
    EXPECT_TRUE(throwsNQ([&] { page.nqInsertZone(1, spare.get()); }, NQ_INVALID_INPUT,
                         "<NQPage::nqInsertZone()> The specified position for zone insertion is "
                         "invalid!"));
    page.nqInsertZone(0, unitZone("x"));
    page.nqAppendZoneList({unitZone("y")});
    page.nqInsertZoneList(0, {unitZone("a"), unitZone("b")});
    EXPECT_EQ((Ids{"a", "b", "x", "y"}), idsOf(page.nqGetZoneList()));
    page.nqInsertZoneCopy(2, *spare);
    EXPECT_TRUE(throwsNQ([&] { page.nqDeleteZone(page.nqGetZoneList().end()); },
                         NQ_INVALID_POSITION,
                         "<NQPage::nqDeleteZone()> The specified iterator position for zone "
                         "deletion is invalid!"));
    EXPECT_TRUE(throwsNQ([&] { page.nqDeleteZone(5); }, NQ_INVALID_INPUT,
                         "<NQPage::nqDeleteZone()> The specified position for zone deletion is "
                         "invalid!"));
    EXPECT_TRUE(throwsNQ([&] { page.nqDeleteZone(spare.get()); }, NQ_NULL_DATA,
                         "<NQPage::nqDeleteZone()> The zone to be deleted does not point to this "
                         "page!"));
    page.nqDeleteZone(0);
    page.nqDeleteZone(page.nqGetZoneList().back());
    EXPECT_EQ((Ids{"b", "s", "x"}), idsOf(page.nqGetZoneList()));
    page.nqClearZones();
    EXPECT_TRUE(page.nqGetReferringZoneList().empty());
}

TEST(PageZones, DeleteOnlyZonesHeldByThePage) {
    NQPage page(nqtest::greyImage(100, 100), "p");
    NQZone* top = new NQZone("t", 0, 0, 50, 50);
    NQZone* nested = new NQZone("n", 1, 1, 5, 5);
    top->nqAppendChildZone(nested);
    page.nqAppendZone(top);
    // A copy points to the page but belongs to us; the page must not free it.
    std::unique_ptr<NQZone> copy(top->nqClone());
    EXPECT_TRUE(throwsNQ([&] { page.nqDeleteZone(copy.get()); }, NQ_UNSUPPORTED,
                         "<NQPage::nqDeleteZone()> The zone to be deleted is not owned by this "
                         "page!"));
    page.nqDeleteZone(nested);
    EXPECT_TRUE(top->nqGetChildZoneList().empty());
    EXPECT_EQ(3u, page.nqGetReferringZoneList().size());  // top, copy and copy's child
}

// Moving zones between pages: the former page no longer owns the zone.
TEST(PageZones, ZoneMovedToAnotherPageLeavesFormerPage) {
    NQPage first(nqtest::greyImage(100, 100), "1");
    NQPage second(nqtest::greyImage(100, 100), "2");
    NQZone* zone = new NQZone("z", 0, 0, 10, 10);
    zone->nqAppendChildZone(new NQZone("c", 1, 1, 2, 2));
    first.nqAppendZone(zone);
    first.nqAppendZone(unitZone("stay"));
    second.nqInsertZone(0, zone);
    EXPECT_EQ((Ids{"stay"}), idsOf(first.nqGetZoneList()));
    EXPECT_EQ(1u, first.nqGetReferringZoneList().size());
    EXPECT_EQ((Ids{"z"}), idsOf(second.nqGetZoneList()));
    EXPECT_EQ(&second, zone->nqGetChildZoneList().front()->nqGetPage());

    // A child zone taken to another page leaves its parent.
    NQZone* parent = second.nqGetZoneList().front();
    NQZone* c = parent->nqGetChildZoneList().front();
    first.nqAppendZone(c);
    EXPECT_TRUE(parent->nqGetChildZoneList().empty());
    EXPECT_EQ(nullptr, c->nqGetParentZone());
    EXPECT_EQ((Ids{"stay", "c"}), idsOf(first.nqGetZoneList()));
}

TEST(PageCopy, IsDeepAndSharesNothing) {
    NQDocument document;
    NQPage* source = newPage("p");
    document.nqAppendPage(source);
    source->nqSetTag("src", "a.png");
    NQZone* zone = new NQZone("z", 5, 5, 20, 20);
    zone->nqAppendChildZone(new NQZone("c", 6, 6, 2, 2));
    source->nqAppendZone(zone);

    std::unique_ptr<NQPage> copy(source->nqClone());
    EXPECT_TRUE(*copy == *source);
    EXPECT_EQ(&document, copy->nqGetDocument());
    EXPECT_EQ(1u, document.nqGetPageList().size());
    EXPECT_EQ("a.png", copy->nqGetTag("src"));
    NQZone* copied = copy->nqGetZoneList().front();
    EXPECT_NE(zone, copied);
    EXPECT_EQ(copy.get(), copied->nqGetPage());
    EXPECT_EQ(copy.get(), copied->nqGetChildZoneList().front()->nqGetPage());

    copy->nqDeleteZone(copied);
    EXPECT_EQ(1u, source->nqGetZoneList().size());
    EXPECT_EQ(2u, source->nqGetReferringZoneList().size());
    EXPECT_TRUE(throwsNQ([&] { *copy = *copy; }, NQ_MEMORY_ERROR,
                         "<NQPage::=()> It is illegal to do self assignment!"));
    *copy = *source;
    EXPECT_EQ(1u, copy->nqGetZoneList().size());
}

TEST(DocumentPages, AppendInsertAndDelete) {
    NQDocument document;
    NQPage* a = newPage("a");
    document.nqAppendPage(a);
    EXPECT_TRUE(throwsNQ([&] { document.nqAppendPage(a); }, NQ_UNSUPPORTED,
                         "<NQDocument::nqAppendPage()> It is invalid to append a page which is "
                         "currently pointing to the current document!"));
    std::unique_ptr<NQPage> spare(newPage("s"));
    EXPECT_TRUE(throwsNQ([&] { document.nqInsertPage(2, spare.get()); }, NQ_INVALID_INPUT,
                         "<NQDocument::nqInsertPage()> The specified position for page "
                         "insertion is invalid!"));
    document.nqInsertPage(0, newPage("first"));
    document.nqInsertPageList(1, {newPage("m"), newPage("n")});
    document.nqAppendPageList({newPage("last")});
    document.nqAppendPageCopy(*spare);
    EXPECT_EQ((Ids{"first", "m", "n", "a", "last", "s"}), pageIds(document));

    EXPECT_TRUE(throwsNQ([&] { document.nqDeletePage(6); }, NQ_INVALID_INPUT,
                         "<NQDocument::nqDeletePage()> The specified position for page deletion "
                         "is invalid!"));
    document.nqDeletePage(a);
    document.nqDeletePage(0);
    document.nqDeletePage(document.nqGetPageList().begin());
    EXPECT_EQ((Ids{"n", "last", "s"}), pageIds(document));
    EXPECT_EQ(3u, document.nqGetReferringPageList().size());
}

TEST(DocumentPages, InsertListChecksEveryPageFirst) {
    NQDocument document;
    NQDocument other;
    document.nqAppendPage(newPage("a"));
    NQPage* foreign = newPage("f");
    other.nqAppendPage(foreign);
    std::unique_ptr<NQPage> fresh(newPage("fresh"));
    EXPECT_TRUE(throwsNQ(
        [&] {
            document.nqInsertPageList(0, {fresh.get(), foreign});
        },
        NQ_UNSUPPORTED,
        "<NQDocument::nqInsertPageList()> Pages to be inserted have conflicting "
        "NQDocument pointers with the current document!"));
    EXPECT_TRUE(throwsNQ(
        [&] {
            document.nqInsertPageList(0, {fresh.get(), nullptr});
        },
        NQ_NULL_DATA, "is not valid!"));
    EXPECT_EQ(nullptr, fresh->nqGetDocument());
    EXPECT_EQ(1u, document.nqGetPageList().size());
    // A page of this document in the list moves instead of being owned twice.
    NQPage* a = document.nqGetPageList().front();
    document.nqInsertPageList(document.nqGetPageList().end(), {fresh.release(), a});
    EXPECT_EQ((Ids{"fresh", "a"}), pageIds(document));
}

TEST(DocumentPages, PageMovedToAnotherDocumentLeavesFormerDocument) {
    NQDocument first;
    NQDocument second;
    NQPage* page = newPage("p");
    first.nqAppendPage(page);
    second.nqAppendPage(page);
    EXPECT_TRUE(first.nqGetPageList().empty());
    EXPECT_TRUE(first.nqGetReferringPageList().empty());
    EXPECT_EQ(&second, page->nqGetDocument());
    EXPECT_TRUE(throwsNQ([&] { first.nqDeletePage(page); }, NQ_NULL_DATA,
                         "<NQDocument::nqDeletePage()> The page to be deleted does not point to "
                         "this document!"));
}

TEST(DocumentCopy, IsDeepAndMoveHandsPagesOver) {
    NQDocument source(nqtest::greyImage(40, 40), "page1", "doc");
    source.nqSetTag("src", "doc.png");
    source.nqGetPageList().front()->nqAppendZone(new NQZone("z", 1, 1, 5, 5));

    NQDocument copy(source);
    EXPECT_EQ("doc", copy.nqGetDocumentId());
    EXPECT_EQ("doc.png", copy.nqGetTag("src"));
    ASSERT_EQ(1u, copy.nqGetPageList().size());
    NQPage* page = copy.nqGetPageList().front();
    EXPECT_NE(source.nqGetPageList().front(), page);
    EXPECT_EQ(&copy, page->nqGetDocument());
    EXPECT_EQ(page, page->nqGetZoneList().front()->nqGetPage());
    EXPECT_EQ(1u, source.nqGetReferringPageList().size());
    EXPECT_TRUE(throwsNQ([&] { copy = copy; }, NQ_MEMORY_ERROR,
                         "<NQDocument::=()> It is illegal to do self assignment!"));

    NQDocument moved(std::move(copy));
    EXPECT_TRUE(copy.nqGetPageList().empty());
    EXPECT_TRUE(copy.nqGetReferringPageList().empty());
    EXPECT_EQ(page, moved.nqGetPageList().front());
    EXPECT_EQ(&moved, page->nqGetDocument());
    moved.nqDeletePage(page);
    EXPECT_TRUE(moved.nqGetReferringPageList().empty());

    copy = source;
    moved = std::move(copy);
    EXPECT_EQ(1u, moved.nqGetPageList().size());
    EXPECT_EQ(&moved, moved.nqGetPageList().front()->nqGetDocument());
}

TEST(DocumentConstruction, LoadsItsPageImageFromAFile) {
    nqtest::TempDir dir;
    NQImage image = nqtest::greyImage(7, 5);
    image.nqSetPixel(3, 2, static_cast<unsigned char>(40));
    const std::string path = dir.file("page.tif");
    image.nqSaveImage(path.c_str());
    NQDocument document(path.c_str(), "p1", "d1");
    EXPECT_EQ("d1", document.nqGetDocumentId());
    ASSERT_EQ(1u, document.nqGetPageList().size());
    const NQPage* page = document.nqGetPageList().front();
    EXPECT_EQ("p1", page->nqGetPageId());
    EXPECT_EQ(&document, page->nqGetDocument());
    EXPECT_EQ(40, page->nqGetPageImageRef().nqGetPixelValue(3, 2));
    EXPECT_THROW(NQDocument(dir.file("missing.tif").c_str(), "p", "d"), NQException);
}

// Copies point to the originals' page and document without being owned by
// them; when those die the copies' pointers are reset, not left dangling.
TEST(DocumentLifetime, DestroyedOwnersResetPointersOfCopies) {
    std::unique_ptr<NQPage> pageCopy;
    std::unique_ptr<NQZone> zoneCopy;
    {
        NQDocument document(nqtest::greyImage(10, 10), "p", "d");
        NQPage* page = document.nqGetPageList().front();
        page->nqAppendZone(unitZone("z"));
        pageCopy.reset(page->nqClone());
        zoneCopy.reset(page->nqGetZoneList().front()->nqClone());
        EXPECT_TRUE(throwsNQ([&] { document.nqDeletePage(pageCopy.get()); }, NQ_UNSUPPORTED,
                             "<NQDocument::nqDeletePage()> The page to be deleted is not owned "
                             "by this document!"));
        document.nqDeletePage(page);
        EXPECT_EQ(nullptr, zoneCopy->nqGetPage());
        EXPECT_EQ(&document, pageCopy->nqGetDocument());
    }
    EXPECT_EQ(nullptr, pageCopy->nqGetDocument());
}

// Each owner names itself in the refusal and keeps the old value.
TEST(DocumentModelTags, RefusalsNameTheirOwner) {
    NQZone zone;
    NQPage page;
    NQDocument document;
    zone.nqSetTag("k", "v");
    page.nqSetTag("k", "v");
    document.nqSetTag("k", "v");
    EXPECT_TRUE(throwsNQ([&] { zone.nqSetTag("k", "w", false); }, NQ_MISSING_FIELD,
                         "<NQZone::nqSetTag()> Unable to set or overwrite tag: k"));
    EXPECT_TRUE(throwsNQ([&] { page.nqSetTag("k", "w", false); }, NQ_MISSING_FIELD,
                         "<NQPage::nqSetTag()> Unable to set or overwrite tag: k"));
    EXPECT_TRUE(throwsNQ([&] { document.nqSetTag("k", "w", false); }, NQ_MISSING_FIELD,
                         "<NQDocument::nqSetTag()> Unable to set or overwrite tag: k"));
    EXPECT_EQ("v", zone.nqGetTag("k"));
}

}  // namespace
