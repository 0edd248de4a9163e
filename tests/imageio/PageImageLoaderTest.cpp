// Page images of a document through one loader: the pages, in order, equal
// those loaded one by one by page number (colour pages as grey), and the
// failures are the factory's. Loaders that share a store decode a page of a
// file once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/NQPageImageLoader.h"
#include "imageio/NQSharedPageImages.h"
#include "support/TestSupport.h"
#include "support/TiffWriter.h"

namespace {

NQImage pattern(int width, int height, NQImageHead::NQBitDepths bits) {
    NQImage image(width, height, bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = (x * 7 + y * 11) % 5;
            if (bits == NQImageHead::NQ_24BIT)
                image.nqSetPixel(x, y, 50 * v, 255 - 40 * v, 30 * v);
            else if (bits == NQImageHead::NQ_8BIT)
                image.nqSetPixel(x, y, static_cast<unsigned char>(60 * v));
            else
                image.nqSetPixel(x, y, v < 2 ? 0 : 255);
        }
    return image;
}

std::string bytesOf(const NQImage& image) {
    return std::string(reinterpret_cast<const char*>(image.nqGetImageData()),
                       image.nqGetImageDataSize());
}

TEST(PageImageLoader, PagesInOrderEqualThePagesLoadedByNumber) {
    nqtest::TempDir dir;
    const std::string path = dir.file("mixed.tif");
    nqtest::writeTiffPages(
        path, {pattern(30, 20, NQImageHead::NQ_1BIT), pattern(31, 21, NQImageHead::NQ_8BIT),
               pattern(32, 22, NQImageHead::NQ_24BIT), pattern(33, 23, NQImageHead::NQ_1BIT)});
    NQPageImageLoader loader(path);
    for (int page = 1; page <= 4; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        NQImage expected = NQImage::nqLoadImageAtPage(path.c_str(), page);
        if (expected.nqGetBitsPerPixel() == 24)
            expected = NQBitsPerPixelConverter::nqDownscaleColor2Gray_global(expected);
        const NQImage loaded = loader.nqLoadNextPage();
        EXPECT_EQ(loaded.nqGetWidth(), 29 + page);
        EXPECT_EQ(loaded.nqGetBitsPerPixel(), expected.nqGetBitsPerPixel());
        EXPECT_EQ(bytesOf(loaded), bytesOf(expected));
    }
    EXPECT_EQ(loader.nqGetPagesLoaded(), 4);
    EXPECT_TRUE(nqtest::throwsNQ([&] { loader.nqLoadNextPage(); }, NQ_INVALID_PAGE,
                                 "<NQTIFFImage::nqLoadImage()> Invalid page number"));
}

TEST(PageImageLoader, MissingAndUnknownFilesFailAsThroughTheFactory) {
    nqtest::TempDir dir;
    const std::string missing = dir.file("missing.tif");
    const std::string said = nqtest::captureStdout([&] {
        EXPECT_TRUE(nqtest::throwsNQ([&] { NQPageImageLoader(missing).nqLoadNextPage(); },
                                     NQ_FILE_OPEN_ERROR,
                                     "<NQTIFFImage::nqSupportImageFile()> Can not open file!"));
    });
    EXPECT_EQ(said, "Can't open " + missing + "\n");

    const std::string text = dir.file("notes.tif");
    nqtest::writeFile(text, "no image in here");
    EXPECT_TRUE(
        nqtest::throwsNQ([&] { NQPageImageLoader(text).nqLoadNextPage(); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqLoadImageAtPage()> Unsupported file format " + text));
}

// The loader keeps the file open between pages. Shortening it in between
// must fail the next page with an exception; a file mapped into memory would
// end the process with SIGBUS instead.
TEST(PageImageLoader, AFileShortenedBetweenPagesFailsTheNextPage) {
    nqtest::TempDir dir;
    const std::string path = dir.file("pages.tif");
    nqtest::writeTiffPages(path, {pattern(300, 200, NQImageHead::NQ_8BIT),
                                  pattern(300, 200, NQImageHead::NQ_8BIT)});
    ASSERT_GT(boost::filesystem::file_size(path), 100000u);
    NQPageImageLoader loader(path);
    loader.nqLoadNextPage();
    boost::filesystem::resize_file(path, 4096);
    EXPECT_THROW(loader.nqLoadNextPage(), NQException);
}

TEST(PageImageLoader, LoadersSharingAStoreDecodeAPageOfOneFileOnce) {
    nqtest::TempDir dir;
    const std::string path = dir.file("pages.tif"), other = dir.file("other.tif");
    nqtest::writeTiffPages(path, {pattern(30, 20, NQImageHead::NQ_1BIT),
                                  pattern(31, 21, NQImageHead::NQ_8BIT)});
    nqtest::writeTiffPages(other, {pattern(30, 20, NQImageHead::NQ_1BIT)});
    boost::filesystem::create_symlink(path, dir.file("alias.tif"));
    NQSharedPageImages store;

    NQPageImageLoader result(path, &store);
    const auto first = result.nqLoadNextSharedPage();
    // Another name of the same file gets the same image; pages beyond those
    // in the store are decoded as usual.
    NQPageImageLoader gt(dir.file("alias.tif"), &store);
    EXPECT_EQ(gt.nqLoadNextSharedPage(), first);
    const auto second = gt.nqLoadNextSharedPage();
    EXPECT_EQ(second->nqGetWidth(), 31);
    EXPECT_EQ(store.size(), 2u);
    // A different file is not shared, nor is the same file once rewritten.
    EXPECT_NE(NQPageImageLoader(other, &store).nqLoadNextSharedPage(), first);
    nqtest::writeTiffPages(path, {pattern(32, 22, NQImageHead::NQ_1BIT)});
    EXPECT_EQ(NQPageImageLoader(path, &store).nqLoadNextSharedPage()->nqGetWidth(), 32);
}

}  // namespace
