#include <gtest/gtest.h>

#include <sstream>

#include "docmodel/NQTagList.h"
#include "image/NQColor.h"
#include "image/NQImage.h"
#include "image/NQImageHead.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;

TEST(Color, ColourMapEntriesAndNamedColours) {
    NQColor black(NQColor::NQ_CM_BLACK);
    EXPECT_EQ(black, NQColor(0, 0, 0));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_RED), NQColor(255, 0, 0));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_GREEN), NQColor(0, 255, 0));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_BLUE), NQColor(0, 0, 255));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_YELLOW), NQColor(255, 255, 0));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_WHITE), NQColor(255, 255, 255));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_FIRST), NQColor(240, 248, 255));
    EXPECT_EQ(NQColor(NQColor::NQ_CM_LAST), NQColor(212, 212, 212));
    EXPECT_EQ(NQColor(static_cast<NQColor::NQColorMapValue>(100)), NQColor(175, 238, 238));

    NQColor grey(NQColor::NQ_CM_BLUE);
    grey.nqSetColor(static_cast<unsigned char>(9));
    EXPECT_EQ(grey.nqGetColorModel(), NQ_GRAY);
    EXPECT_EQ(grey.nqGetBlue(), 0);  // re-initialised, not only re-labelled
}

TEST(Color, EqualityComparesOnlyTheBytesOfTheModel) {
    EXPECT_FALSE(NQColor(5) == NQColor(5, 5, 5));
    EXPECT_TRUE(NQColor(NQColor::NQ_BW_WHITE) == NQColor(NQColor::NQ_BW_WHITE));
    EXPECT_FALSE(NQColor(NQColor::NQ_BW_WHITE) == NQColor(NQColor::NQ_BW_BLACK));
    EXPECT_TRUE(throwsNQ([] { (void)(NQColor() == NQColor()); }, NQ_UNSUPPORTED,
                         "<NQColor::operator==()> Unsupported color model."));
}

TEST(ImageHeader, PrintedFormOfDefaultAndTaggedHeaders) {
    std::ostringstream text;
    text << NQImageHead();
    EXPECT_EQ(text.str(),
              "Image Width: 0 Image Height: 0\n"
              "Row Size: 0 bytes\n"
              "Resolution: 0, 0 pixels/inch\n"
              "Bits/Pixel: -1\n"
              "Channels: 0\n"
              "Color Model: NQ_UNKNOWN_COLOR\n"
              "Data Alignment: (INVALID ENTRY)\n"
              "Image Tags:\n");

    NQImage image;
    image.nqSetImageHead(3, 2, 8, 200.5f, 100.f, false);
    image.nqSetTag("b", "2");
    image.nqSetTag("a", "1");
    std::ostringstream tagged;
    tagged << image.nqGetImageHead();
    EXPECT_EQ(tagged.str(),
              "Image Width: 3 Image Height: 2\n"
              "Row Size: 3 bytes\n"
              "Resolution: 200.5, 100 pixels/inch\n"
              "Bits/Pixel: 8\n"
              "Channels: 1\n"
              "Color Model: NQ_GRAY\n"
              "Data Alignment: NQ_1BYTE_ALIGN\n"
              "Image Tags:\n"
              " a: 1\n"
              " b: 2\n");
}

TEST(TagList, OrderOverwriteAndRefusal) {
    NQTagList tags;
    tags.nqSetTag("b", "2", false);
    tags.nqSetTag("a", "1", false);
    tags.nqSetTag("c", "3", false);
    std::string order;
    for (const auto& tag : tags.nqGetTags()) order += tag.first;
    EXPECT_EQ(order, "abc");

    EXPECT_TRUE(throwsNQ([&] { tags.nqSetTag("a", "x", false); }, NQ_MISSING_FIELD,
                         "<NQTagList::nqSetTag()> Unable to set or overwrite tag: a"));
    EXPECT_EQ(tags.nqGetTag("a"), "1");
    tags.nqSetTag("a", "x", true);
    EXPECT_EQ(tags.nqGetTag("a"), "x");

    EXPECT_EQ(tags.nqGetTag("missing"), "");
    EXPECT_FALSE(tags.nqIsTagSet("missing"));
    tags.nqDeleteTag("missing");
    tags.nqDeleteTag("b");
    EXPECT_EQ(tags.size(), 2u);

    NQImage image;
    image.nqSetTag("k", "v");
    EXPECT_TRUE(throwsNQ([&] { image.nqSetTag("k", "w", false); }, NQ_MISSING_FIELD,
                         "<NQImage::nqSetTag()> Unable to set or overwrite tag: k"));
    try {
        image.nqSetTag("k", "w", false);
    } catch (const NQException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("NQImage:", 0), 0u) << e.what();
    }
}
