#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>

#include "docmodel/DocModelFixtures.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "support/TestSupport.h"

using nqtest::contains;
using nqtest::Ids;
using nqtest::idsOf;
using nqtest::throwsNQ;
using nqtest::unitZone;

namespace {

// A 100 x 100 page holding zone z (10, 10, 50, 50) with child c (20, 20, 10, 10).
class ZoneOnPage : public ::testing::Test {
protected:
    void SetUp() override {
        zone = new NQZone("z", 10, 10, 50, 50);
        child = new NQZone("c", 20, 20, 10, 10);
        zone->nqAppendChildZone(child);
        page.nqAppendZone(zone);
    }
    NQPage page{nqtest::greyImage(100, 100), "p"};
    NQZone* zone = nullptr;
    NQZone* child = nullptr;
};

TEST_F(ZoneOnPage, SettersRejectGeometryOutsidePageImage) {
    NQZone* edge = new NQZone(0, 0, 10, 10);
    page.nqAppendZone(edge);
    edge->nqSetZoneWidth(100);
    EXPECT_TRUE(throwsNQ([&] { edge->nqSetZoneOrigin(1, 0); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSetZoneOrigin()> The specified zone origin is invalid with "
                         "reference to the dimensions of the page image!"));
    edge->nqSetZoneOrigin(0, 90);  // height 10 ends exactly at the last row
    edge->nqSetZoneOrigin(0, 0);
    edge->nqSetZoneWidth(10);
    edge->nqSetZoneOrigin(1, 0);
    const std::string widthText =
        "<NQZone::nqSetZoneWidth()> The specified width is invalid with reference to the width "
        "of the page image!";
    EXPECT_TRUE(throwsNQ([&] { edge->nqSetZoneWidth(100); }, NQ_OUT_OF_BOUNDS, widthText));
    EXPECT_TRUE(throwsNQ([&] { edge->nqSetZoneWidth(0); }, NQ_OUT_OF_BOUNDS, widthText));
    EXPECT_TRUE(throwsNQ([&] { edge->nqSetZoneHeight(101); }, NQ_OUT_OF_BOUNDS,
                         "The specified height is invalid with reference to the width of the "
                         "page image!"));
    EXPECT_EQ(NQPoint(1, 0), edge->nqGetZoneOrigin());
    EXPECT_EQ(10, edge->nqGetZoneWidth());
    EXPECT_EQ(10, edge->nqGetZoneHeight());
}

TEST_F(ZoneOnPage, SettersKeepChildrenInside) {
    // Child spans columns 20..29 and rows 20..29 of a zone starting at 10.
    zone->nqSetZoneWidth(20);
    EXPECT_TRUE(throwsNQ([&] { zone->nqSetZoneWidth(19); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSetZoneWidth()> The specified zone width conflicts with its "
                         "own child zones!"));
    EXPECT_TRUE(throwsNQ([&] { zone->nqSetZoneHeight(19); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSetZoneHeight()> The specified zone height conflicts with "
                         "its own child zones!"));
    EXPECT_TRUE(throwsNQ([&] { zone->nqSetZoneOrigin(21, 10); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSetZoneOrigin()> The specified zone origin conflicts with "
                         "its own child zones!"));
    EXPECT_EQ(NQPoint(10, 10), zone->nqGetZoneOrigin());
    EXPECT_EQ(20, zone->nqGetZoneWidth());
}

TEST(ZoneWithoutPage, StoresAnyGeometryUnchecked) {
    NQZone zone;
    zone.nqSetZoneOrigin(-5, -7);
    zone.nqSetZoneWidth(0);
    zone.nqSetZoneHeight(-3);
    EXPECT_EQ(NQPoint(-5, -7), zone.nqGetZoneOrigin());
    EXPECT_EQ(0, zone.nqGetZoneWidth());
    EXPECT_EQ(-3, zone.nqGetZoneHeight());
    EXPECT_TRUE(throwsNQ([&] { zone.nqGetPageWidth(); }, NQ_NULL_DATA,
                         "<NQZone::nqGetPageWidth()> The zone is not associated with any page!"));
    EXPECT_TRUE(throwsNQ([&] { zone.nqGetZoneImage(); }, NQ_NULL_DATA,
                         "<NQZone::nqGetZoneImage()> The current zone has a NULL NQPage*!"));
}

// Unchecked extreme values must not overflow the boundary sums.
TEST(ZoneWithoutPage, ExtremeGeometryIsRefusedByPageNotOverflowed) {
    NQPage page(nqtest::greyImage(10, 10), "p");
    NQZone zone(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
    EXPECT_FALSE(zone.nqIsWithinPageBoundaries(10, 10));
    EXPECT_TRUE(throwsNQ([&] { page.nqAppendZone(&zone); }, NQ_OUT_OF_BOUNDS,
                         "<NQPage::nqAppendZone()> The page zone exceeds the page boundaries!"));
    NQZone parent(0, 0, 10, 10);
    parent.nqAppendChildZone(new NQZone(5, 5, INT_MAX, 1));
    EXPECT_FALSE(parent.nqCheckZoneBoundaries(NQPoint(0, 0), 10, 10));
}

TEST(ZoneTree, PositionalInsertAndDelete) {
    NQZone parent("p", 0, 0, 100, 100);
    parent.nqInsertChildZone(0, unitZone("a"));
    parent.nqInsertChildZone(1, unitZone("c"));
    parent.nqInsertChildZone(1, unitZone("b"));
    std::unique_ptr<NQZone> spare(unitZone("x"));
    EXPECT_TRUE(throwsNQ([&] { parent.nqInsertChildZone(4, spare.get()); }, NQ_INVALID_INPUT,
                         "<NQZone::nqInsertChildZone()> The specified position for zone "
                         "insertion is invalid!"));
    EXPECT_TRUE(throwsNQ([&] { parent.nqDeleteChildZone(3); }, NQ_INVALID_INPUT,
                         "<NQZone::nqDeleteChildZone()> The specified postion for zone deletion "
                         "is invalid!"));
    EXPECT_EQ(nullptr, spare->nqGetParentZone());
    parent.nqDeleteChildZone(1);
    parent.nqInsertChildZoneList(1, {unitZone("m"), unitZone("n")});
    EXPECT_EQ((Ids{"a", "m", "n", "c"}), idsOf(parent.nqGetChildZoneList()));
    parent.nqClearChildZones();
    EXPECT_TRUE(parent.nqGetReferringZoneList().empty());
}

TEST(ZoneTree, AppendRefusalsLeaveTreeUnchanged) {
    NQZone parent("p", 0, 0, 10, 10);
    NQZone* child = new NQZone("c", 0, 0, 5, 5);
    parent.nqAppendChildZone(child);
    EXPECT_TRUE(throwsNQ([&] { parent.nqAppendChildZone(child); }, NQ_UNSUPPORTED,
                         "<NQZone::nqAppendChildZone()> It is invalid to append a zone that is "
                         "currently pointing to this zone!"));

    // A zone whose own child sticks out of it, and one whose child would stick
    // out of the new parent.
    std::unique_ptr<NQZone> loose(new NQZone(0, 0, 2, 2));
    loose->nqAppendChildZone(new NQZone(1, 1, 5, 5));
    EXPECT_TRUE(throwsNQ([&] { parent.nqInsertChildZone(0, loose.get()); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqInsertChildZone()> The child zone to be inserted has "
                         "conflicting dimensions with its own child zones!"));
    std::unique_ptr<NQZone> big(new NQZone(0, 0, 50, 50));
    big->nqAppendChildZone(new NQZone(20, 20, 5, 5));
    EXPECT_TRUE(throwsNQ([&] { parent.nqAppendChildZone(big.get()); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqAppendChildZone()> The child zone to be appended has "
                         "conflicting dimensions with this zone!"));
    EXPECT_EQ(1u, parent.nqGetChildZoneList().size());
    EXPECT_EQ(nullptr, big->nqGetParentZone());
}

// Taking a zone into its own subtree would make it own itself.
TEST(ZoneTree, RefusesCycles) {
    NQZone* root = new NQZone("r", 0, 0, 100, 100);
    NQZone* mid = new NQZone("m", 0, 0, 100, 100);
    NQZone* leaf = new NQZone("l", 0, 0, 100, 100);
    root->nqAppendChildZone(mid);
    mid->nqAppendChildZone(leaf);
    EXPECT_TRUE(throwsNQ([&] { leaf->nqAppendChildZone(root); }, NQ_UNSUPPORTED,
                         "<NQZone::nqAppendChildZone()> It is invalid to append a zone to itself "
                         "or to one of its own child zones!"));
    EXPECT_TRUE(throwsNQ([&] { root->nqInsertChildZone(0, root); }, NQ_UNSUPPORTED,
                         "<NQZone::nqInsertChildZone()> It is invalid to insert a zone into "
                         "itself or into one of its own child zones!"));
    EXPECT_EQ(mid, leaf->nqGetParentZone());
    delete root;
}

TEST(ZoneTree, MovingAChildLeavesTheOldParent) {
    NQZone first("1", 0, 0, 10, 10);
    NQZone second("2", 0, 0, 10, 10);
    NQZone* c = new NQZone(1, 1, 2, 2);
    first.nqAppendChildZone(c);
    second.nqAppendChildZone(c);
    EXPECT_TRUE(first.nqGetChildZoneList().empty());
    EXPECT_TRUE(first.nqGetReferringZoneList().empty());
    EXPECT_EQ(&second, c->nqGetParentZone());
    EXPECT_TRUE(throwsNQ([&] { first.nqDeleteChildZone(c); }, NQ_UNSUPPORTED,
                         "<NQZone::nqDeleteChildZone()> The zone to be deleted is not a child "
                         "zone of this zone!"));
    second.nqDeleteChildZone(c);
    EXPECT_TRUE(second.nqGetChildZoneList().empty());
}

TEST_F(ZoneOnPage, TopLevelZoneMovedUnderAnotherZoneLeavesPageList) {
    NQZone* other = new NQZone("o", 0, 0, 100, 100);
    page.nqAppendZone(other);
    other->nqAppendChildZone(zone);
    EXPECT_EQ((Ids{"o"}), idsOf(page.nqGetZoneList()));
    EXPECT_EQ(&page, zone->nqGetPage());
    EXPECT_EQ(&page, child->nqGetPage());
    EXPECT_EQ(3u, page.nqGetReferringZoneList().size());
}

TEST_F(ZoneOnPage, AppendToZoneOnPageRepointsSubtree) {
    std::unique_ptr<NQZone> sub(new NQZone(12, 12, 5, 5));
    sub->nqAppendChildZone(new NQZone(13, 13, 1, 1));
    zone->nqAppendChildZone(sub.get());
    NQZone* moved = sub.release();
    EXPECT_EQ(&page, moved->nqGetPage());
    EXPECT_TRUE(moved->nqCheckPagePointer());
    EXPECT_EQ(&page, moved->nqGetChildZoneList().front()->nqGetPage());
    // Insert gives the zone its new parent's page even when that is null.
    NQZone pageless(0, 0, 100, 100);
    pageless.nqInsertChildZone(0, moved);
    EXPECT_EQ(nullptr, moved->nqGetPage());
    EXPECT_EQ(nullptr, moved->nqGetChildZoneList().front()->nqGetPage());
    EXPECT_EQ(2u, page.nqGetReferringZoneList().size());
    EXPECT_EQ(1u, zone->nqGetChildZoneList().size());
}

// A refused page pointer change must not leave part of the subtree re-pointed.
TEST(ZonePagePointer, RefusalLeavesWholeSubtreeUnchanged) {
    NQPage small(nqtest::greyImage(20, 20), "small");
    NQZone zone(0, 0, 10, 10);
    zone.nqAppendChildZone(new NQZone(1, 1, 2, 2));
    zone.nqAppendChildZone(new NQZone(5, 5, 50, 50));  // outside the small page
    EXPECT_TRUE(throwsNQ([&] { zone.nqSetPagePointer(&small); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSetPagePointer()> The current zone or its child zone is "
                         "outside the page image boundary!"));
    EXPECT_TRUE(small.nqGetReferringZoneList().empty());
    for (const NQZone* c : zone.nqGetChildZoneList())
        EXPECT_EQ(nullptr, c->nqGetPage());
    NQPage empty;
    EXPECT_TRUE(throwsNQ([&] { NQZone(0, 0, 0, 0).nqSetPagePointer(&empty); }, NQ_OUT_OF_BOUNDS,
                         "outside the page image boundary!"));
}

TEST_F(ZoneOnPage, CopyIsDeepAndSharesNothing) {
    zone->nqSetTag("qola_type", "text");
    std::unique_ptr<NQZone> copy(zone->nqClone());
    EXPECT_EQ(*zone, *copy);
    EXPECT_EQ("text", copy->nqGetTag("qola_type"));
    ASSERT_EQ(1u, copy->nqGetChildZoneList().size());
    NQZone* childCopy = copy->nqGetChildZoneList().front();
    EXPECT_NE(child, childCopy);
    EXPECT_EQ(copy.get(), childCopy->nqGetParentZone());
    EXPECT_EQ(&page, childCopy->nqGetPage());
    // The copy points to the page without being one of its zones.
    EXPECT_EQ(1u, page.nqGetZoneList().size());

    copy->nqSetTag("qola_type", "figure");
    copy->nqSetZoneWidth(60);
    page.nqDeleteZone(zone);
    EXPECT_EQ(1u, copy->nqGetChildZoneList().size());
    EXPECT_EQ(60, copy->nqGetZoneWidth());
    // Only the copy and its child still point to the page.
    EXPECT_EQ(2u, page.nqGetReferringZoneList().size());
    EXPECT_TRUE(contains(page.nqGetReferringZoneList(), childCopy));
}

TEST(ZoneCopy, AssignmentFromOwnDescendant) {
    NQZone root("root", 0, 0, 100, 100);
    NQZone* mid = new NQZone("mid", 10, 10, 50, 50);
    mid->nqAppendChildZone(new NQZone("leaf", 20, 20, 5, 5));
    root.nqAppendChildZone(mid);
    root = *mid;  // mid is deleted on the way; the copy must come first
    EXPECT_EQ("mid", root.nqGetZoneId());
    EXPECT_EQ(nullptr, root.nqGetParentZone());
    ASSERT_EQ(1u, root.nqGetChildZoneList().size());
    EXPECT_EQ("leaf", root.nqGetChildZoneList().front()->nqGetZoneId());
    EXPECT_EQ(&root, root.nqGetChildZoneList().front()->nqGetParentZone());
    EXPECT_TRUE(throwsNQ([&] { root = root; }, NQ_MEMORY_ERROR,
                         "<NQZone::=()> It is illegal to do self assignment!"));
}

TEST(ZoneLifetime, DestroyedOwnersResetBackPointers) {
    std::unique_ptr<NQZone> copy;
    std::unique_ptr<NQZone> pageCopy;
    {
        NQPage page(nqtest::greyImage(50, 50), "p");
        NQZone* parent = new NQZone(0, 0, 40, 40);
        parent->nqAppendChildZone(new NQZone(1, 1, 2, 2));
        page.nqAppendZone(parent);
        copy.reset(parent->nqGetChildZoneList().front()->nqClone());
        pageCopy.reset(parent->nqClone());
        EXPECT_EQ(parent, copy->nqGetParentZone());
        page.nqDeleteZone(0);
        EXPECT_EQ(nullptr, copy->nqGetParentZone());
        EXPECT_EQ(&page, copy->nqGetPage());
    }
    EXPECT_EQ(nullptr, copy->nqGetPage());
    EXPECT_EQ(nullptr, pageCopy->nqGetPage());
    EXPECT_EQ(nullptr, pageCopy->nqGetChildZoneList().front()->nqGetPage());
}

TEST(ZoneConstruction, WithPageAndParent) {
    NQPage page(nqtest::greyImage(50, 50), "p");
    NQPage other(nqtest::greyImage(50, 50), "o");
    NQZone* parent = new NQZone("parent", 0, 0, 40, 40);
    page.nqAppendZone(parent);
    NQZone* child = new NQZone(&page, parent, "c", 1, 2, 3, 4);
    EXPECT_EQ(parent, child->nqGetParentZone());
    EXPECT_TRUE(contains(parent->nqGetChildZoneList(), child));
    EXPECT_TRUE(throwsNQ([&] { NQZone(&other, parent, "x", 0, 0, 1, 1); }, NQ_NULL_DATA,
                         "<NQZone::NQZone()> The parent zone has conflicting NQPage* with the "
                         "parent page!"));
    NQZone loose(&page, nullptr, "l", 0, 0, 5, 5);
    EXPECT_EQ(&page, loose.nqGetPage());
    EXPECT_FALSE(contains(page.nqGetZoneList(), &loose));
    EXPECT_TRUE(throwsNQ([&] { NQZone(&page, nullptr, "l", 0, 0, 51, 5); }, NQ_OUT_OF_BOUNDS,
                         "outside the page image boundary!"));
}

TEST_F(ZoneOnPage, ComparisonAndPrinting) {
    NQZone* right = new NQZone("r", 70, 10, 5, 5);
    NQZone* below = new NQZone("b", 0, 11, 5, 5);
    page.nqAppendZone(right);
    page.nqAppendZone(below);
    EXPECT_TRUE(*zone < *right);
    EXPECT_TRUE(*right < *below);
    EXPECT_TRUE(throwsNQ([&] { (void)(*zone < *child); }, NQ_INVALID_INPUT,
                         "<NQZone::<()> It is illegal to compare two child zones from different "
                         "parent zones!"));
    std::ostringstream text;
    text << *zone << "|" << NQZone("a", 3, 4, 5, 6);
    EXPECT_EQ("ZONE id=z (10,10) 50x50 1 children|ZONE id=a (3,4) 5x6 0 children", text.str());
}

TEST_F(ZoneOnPage, MergeZonesMovesBothIntoNewZone) {
    NQZone* other = new NQZone("o", 70, 5, 10, 10);
    page.nqAppendZone(other);
    std::unique_ptr<NQZone> merged(zone->nqMergeZones(other, "m"));
    EXPECT_EQ(NQPoint(10, 5), merged->nqGetZoneOrigin());
    EXPECT_EQ(70, merged->nqGetZoneWidth());
    EXPECT_EQ(55, merged->nqGetZoneHeight());
    EXPECT_EQ(&page, merged->nqGetPage());
    EXPECT_EQ((Ids{"z", "o"}), idsOf(merged->nqGetChildZoneList()));
    EXPECT_TRUE(page.nqGetZoneList().empty());
    EXPECT_TRUE(throwsNQ([&] { child->nqMergeZones(child, "x"); }, NQ_UNSUPPORTED,
                         "<NQZone::nqMergeZones()> A zone cannot be merged with itself!"));
}

TEST_F(ZoneOnPage, MergeChildZones) {
    NQZone* b = new NQZone("b", 40, 40, 10, 10);
    b->nqAppendChildZone(new NQZone("bc", 41, 41, 1, 1));
    zone->nqAppendChildZone(b);
    zone->nqMergeChildZones(child, b, "ab");
    EXPECT_EQ((Ids{"ab"}), idsOf(zone->nqGetChildZoneList()));
    EXPECT_EQ(NQPoint(20, 20), child->nqGetZoneOrigin());
    EXPECT_EQ(30, child->nqGetZoneWidth());
    EXPECT_EQ((Ids{"bc"}), idsOf(child->nqGetChildZoneList()));
    EXPECT_TRUE(throwsNQ([&] { zone->nqMergeChildZones(child, child, "x"); }, NQ_UNSUPPORTED,
                         "<NQZone::nqMergeChildZones()> The child zones to be merged must be two "
                         "different zones!"));

    // Moving the origin up-left before growing the size would push "far" out
    // for a moment; the final rectangle holds it.
    NQZone* near = new NQZone("near", 12, 12, 2, 2);
    zone->nqAppendChildZone(near);
    child->nqAppendChildZone(new NQZone("far", 48, 48, 2, 2));
    zone->nqMergeChildZones(child, near, "all");
    EXPECT_EQ(NQPoint(12, 12), child->nqGetZoneOrigin());
    EXPECT_EQ(38, child->nqGetZoneWidth());
}

TEST_F(ZoneOnPage, SplitPiecesCoverTheZoneExactly) {
    child->nqSplitZone(4, 1, "left", "right");
    ASSERT_EQ(2u, child->nqGetChildZoneList().size());
    const NQZone* left = child->nqGetChildZoneList().front();
    const NQZone* right = child->nqGetChildZoneList().back();
    EXPECT_EQ(NQPoint(20, 20), left->nqGetZoneOrigin());
    EXPECT_EQ(4, left->nqGetZoneWidth());
    EXPECT_EQ(NQPoint(24, 20), right->nqGetZoneOrigin());
    EXPECT_EQ(6, right->nqGetZoneWidth());
    EXPECT_EQ(10, right->nqGetZoneHeight());
    EXPECT_EQ(&page, right->nqGetPage());
    EXPECT_TRUE(throwsNQ([&] { child->nqSplitZone(4, 1, "a", "b"); }, NQ_UNSUPPORTED,
                         "<NQZone::nqSplitZone()> The zone to be split must not have its own "
                         "child zones!"));
    NQZone lone(0, 0, 10, 10);
    EXPECT_TRUE(throwsNQ([&] { lone.nqSplitZone(10, 2, "a", "b"); }, NQ_OUT_OF_BOUNDS,
                         "<NQZone::nqSplitZone()> The specified vertical offset for zone "
                         "splitting is invalid!"));
    lone.nqSplitZone(9, 2, "top", "bottom");
    EXPECT_EQ(9, lone.nqGetChildZoneList().front()->nqGetZoneHeight());
    EXPECT_EQ(1, lone.nqGetChildZoneList().back()->nqGetZoneHeight());
}

TEST(ZoneImage, CutsTheZonePixelsFromThePage) {
    NQImage image = nqtest::greyImage(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            image.nqSetPixel(x, y, static_cast<unsigned char>(10 * y + x));
    NQPage page(image, "p");
    NQZone* zone = new NQZone(2, 1, 3, 4);
    page.nqAppendZone(zone);
    const NQImage cut = zone->nqGetZoneImage();
    ASSERT_EQ(3, cut.nqGetWidth());
    ASSERT_EQ(4, cut.nqGetHeight());
    EXPECT_EQ(12, cut.nqGetPixelValue(0, 0));
    EXPECT_EQ(44, cut.nqGetPixelValue(2, 3));
    EXPECT_EQ(&page.nqGetPageImageRef(), &zone->nqGetPageImageRef());
}

}  // namespace
