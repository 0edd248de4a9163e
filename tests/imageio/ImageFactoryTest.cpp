// The image factory: registration, identification by suffix and content, the
// fall-back from a caller-chosen codec, saving by suffix, and the NQImage
// members that forward to it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "imageio/NQBaseImage.h"
#include "imageio/NQImageFactory.h"
#include "imageio/NQTIFFImage.h"
#include "support/TestSupport.h"

namespace {

using nqtest::throwsNQ;

// Accepts content that starts with its marker; loads give a 1 x 1 image
// tagged with the codec's name, or throw when `throws` is set.
class FakeCodec : public NQBaseImage {
public:
    FakeCodec(const std::string& name, const std::string& extensions, std::string marker)
        : NQBaseImage(name, extensions, 5), marker_(std::move(marker)) {}

    bool nqSupportImageFile(const char* fileName) override {
        return nqtest::readFile(fileName).rfind(marker_, 0) == 0;
    }
    bool nqSupportImageBuffer(const void* buffer, int size) override {
        return size >= int(marker_.size()) &&
               std::string(static_cast<const char*>(buffer), marker_.size()) == marker_;
    }
    void nqSaveImage(const char* fileName, const NQImage&) override {
        check();
        saved.push_back(fileName);
    }
    unsigned char* nqSaveImageToMem(int&, const NQImage&) override { return nullptr; }
    NQImage nqLoadImage(const char*) override { return result(); }
    NQImage nqLoadImage(const void*, int) override { return result(); }
    int nqGetTotalPages(const void*, int) override { return 7; }
    int nqGetTotalPages(const char*) override { return 7; }
    NQImage nqLoadImageAtPage(const char*, int) override { return result(); }
    NQImage nqLoadImageAtPage(const void*, int, int) override { return result(); }
    NQImageHead nqLoadHeader(const char*) override { return result().nqGetImageHead(); }
    NQImageHead nqLoadHeader(const void*, int) override { return result().nqGetImageHead(); }
    NQImageHead nqLoadHeaderAtPage(const char*, int) override { return result().nqGetImageHead(); }
    NQImageHead nqLoadHeaderAtPage(const void*, int, int) override {
        return result().nqGetImageHead();
    }

    bool throws = false;
    std::vector<std::string> saved;

private:
    void check() const {
        if (throws)
            throw NQException(NQ_UNSUPPORTED, "<FakeCodec> refused", "FakeCodec", 1);
    }
    NQImage result() const {
        check();
        NQImage image(1, 1, NQImageHead::NQ_8BIT);
        image.nqSetTag("codec", getImageName());
        return image;
    }
    std::string marker_;
};

// A registry of its own, so that fakes never reach the process-wide factory.
class LocalFactory : public NQImageFactory {};

std::string logAtInfo(const std::function<void()>& action) {
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_INFO);
    const std::string out = nqtest::captureStdout(action);
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_ERROR);
    return out;
}

NQImage smallPage() {
    NQImage image(9, 4, NQImageHead::NQ_1BIT);
    image.nqSetPixel(3, 2, static_cast<unsigned char>(0));
    return image;
}

TEST(ImageFactory, RegistersTheLibraryCodecsInProbingOrder) {
    std::vector<std::string> names;
    for (const NQBaseImage* codec : NQImageFactory::nqGetInstance()->nqGetRegisteredTypes())
        names.push_back(codec->getImageName() + ":" + codec->getExtension());
    EXPECT_EQ(names, std::vector<std::string>({
                         "TIFF:tiff,tif",
                         "PPM:ppm",
                         "PNG:png",
                         "PBM:pbm",
                         "JPEG:jpeg,jpg",
                         "GIF:gif",
                         "BMP:bmp",
                     }));
}

TEST(ImageFactory, ExtensionsAreLowerCaseTokensMatchedCaseInsensitively) {
    FakeCodec codec("FAKE", "FK,Fake", "FK");
    EXPECT_EQ(codec.getExtension(), "fk,fake");
    EXPECT_TRUE(codec.nqSupportImageExt("FAKE"));
    EXPECT_FALSE(codec.nqSupportImageExt("f"));
    std::vector<std::string> tokens{"kept"};
    NQBaseImage::Tokenize(",a,,b,", tokens, ",");
    EXPECT_EQ(tokens, std::vector<std::string>({"kept", "a", "b"}));
}

TEST(ImageFactory, PrefersTheSuffixCodecThenProbesInRegistrationOrder) {
    LocalFactory factory;
    FakeCodec first("FIRST", "one", "AB");
    FakeCodec second("SECOND", "two,One", "ABC");
    factory.nqRegisterImageType(&first);
    factory.nqRegisterImageType(&second);
    nqtest::TempDir dir;
    for (const char* name : {"x.two", "x.one", "x.TWO", "noext"})
        nqtest::writeFile(dir.file(name), "ABC");
    EXPECT_EQ(factory.nqIdentifyImageType(dir.file("x.two").c_str()), &second);
    EXPECT_EQ(factory.nqIdentifyImageType(dir.file("x.one").c_str()), &second);  // taken over
    EXPECT_EQ(factory.nqIdentifyImageType(dir.file("x.TWO").c_str()), &first);   // exact case only
    EXPECT_EQ(factory.nqIdentifyImageType(dir.file("noext").c_str()), &first);
    EXPECT_EQ(factory.nqIdentifyImageType("ABC", 3), &first);
    EXPECT_EQ(factory.nqIdentifyImageType("XY", 2), nullptr);

    EXPECT_EQ(logAtInfo([&] { factory.nqShowAllRegistered(); }),
              "Supported Image types:\n Name = FIRST, Ext = one\nName = SECOND, Ext = two,one\n");
    LocalFactory empty;
    EXPECT_EQ(logAtInfo([&] { empty.nqShowAllRegistered(); }),
              "Supported Image types:\n No supported image types!!");
}

TEST(ImageFactory, IdentifiesByContentWhateverTheName) {
    nqtest::TempDir dir;
    NQImageFactory* factory = NQImageFactory::nqGetInstance();
    smallPage().nqSaveImage(dir.file("page.tif").c_str());
    const std::string bytes = nqtest::readFile(dir.file("page.tif"));
    nqtest::writeFile(dir.file("page.TIF"), bytes);
    nqtest::writeFile(dir.file("page"), bytes);
    const std::string fake = dir.file("fake.tif");
    nqtest::writeFile(fake, "plain text, no image at all");
    NQBaseImage* tiff = NQTIFFImage::createImageReader();
    EXPECT_EQ(factory->nqIdentifyImageType(dir.file("page.TIF").c_str()), tiff);
    EXPECT_EQ(factory->nqIdentifyImageType(dir.file("page").c_str()), tiff);
    EXPECT_EQ(factory->nqIdentifyImageType(fake.c_str()), nullptr);
    EXPECT_EQ(factory->nqGetTotalPages(fake.c_str()), 0);
    EXPECT_EQ(factory->nqGetTotalPages("not an image", 12), 0);

    const std::string format = "Unsupported file format " + fake;
    EXPECT_TRUE(throwsNQ([&] { factory->nqLoadImage(fake.c_str()); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqLoadImage()> " + format));
    EXPECT_TRUE(throwsNQ([&] { factory->nqLoadHeader(fake.c_str()); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqLoadImage()> " + format));
    EXPECT_TRUE(throwsNQ([&] { factory->nqLoadHeaderAtPage(fake.c_str(), 1); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqLoadHeaderAtPage()> " + format));
    EXPECT_TRUE(throwsNQ([&] { factory->nqLoadHeader("junk junk", 9); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqLoadHeader()> Unsupported image buffer"));
    EXPECT_TRUE(throwsNQ([&] { factory->nqLoadImageAtPage("junk junk", 9, 1); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqLoadImageAtPage()> Unsupported image buffer"));

    // A missing file fails in the first codec that probes it: the one its
    // suffix names, else the first registered.
    nqtest::captureStdout([&] {
        EXPECT_TRUE(throwsNQ([&] { NQImage image(dir.file("gone").c_str()); }, NQ_FILE_OPEN_ERROR,
                             "<NQTIFFImage::nqSupportImageFile()> Can not open file!"));
        EXPECT_TRUE(throwsNQ([&] { NQImage image(dir.file("gone.png").c_str()); }, NQ_IO_ERROR,
                             "<NQPNGImage::nqSupportImageFile()> File could not be opened."));
    });
}

TEST(ImageFactory, FailingChosenCodecIsLoggedThenTheIdentifiedCodecLoads) {
    nqtest::TempDir dir;
    const std::string path = dir.file("page.tif");
    smallPage().nqSaveImage(path.c_str());
    const std::string bytes = nqtest::readFile(path);
    FakeCodec chosen("CHOSEN", "chosen", "nothing");
    chosen.throws = true;
    NQImageFactory* factory = NQImageFactory::nqGetInstance();

    NQImage loaded;
    EXPECT_EQ(logAtInfo([&] { loaded = factory->nqLoadImage(path.c_str(), &chosen); }),
              "Caller passed NQBaseImage*... overriding filename extension... using \nCHOSEN\n\n\n"
              "Error loading image : \nFakeCodec:1: <FakeCodec> refused\n\n\n"
              "\nWill try other image objects to load image\n\n"
              "loading image with TIFF\n");
    EXPECT_EQ(loaded.nqGetWidth(), 9);
    // From memory, a codec that does not accept the bytes is passed over silently.
    EXPECT_EQ(
        logAtInfo([&] { loaded = factory->nqLoadImage(bytes.data(), int(bytes.size()), &chosen); }),
        "Over riding image type..Using \nCHOSEN\n\n\n");
    EXPECT_EQ(loaded.nqGetWidth(), 9);
    // A chosen codec that works is used whatever the name says.
    FakeCodec willing("WILLING", "w", "II");
    EXPECT_EQ(factory->nqLoadImage(path.c_str(), &willing).nqGetTag("codec"), "WILLING");
}

TEST(ImageFactory, SavesBySuffixOnly) {
    nqtest::TempDir dir;
    const NQImage page = smallPage();
    page.nqSaveImage(dir.file("out.TIFF").c_str());
    EXPECT_EQ(NQImage::nqGetTotalPages(dir.file("out.TIFF").c_str()), 1);
    const std::string noDot = dir.path() + "/out";
    EXPECT_TRUE(throwsNQ([&] { page.nqSaveImage(noDot.c_str()); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqSaveImage()> Unsupported file format " + noDot));
    EXPECT_TRUE(throwsNQ([&] { page.nqSaveImage(dir.file("out.xyz").c_str()); }, NQ_UNSUPPORTED,
                         "<NQImageFactory::nqSaveImage()> Unsupported file format xyz"));
    // A failing chosen codec falls back to the suffix; a working one wins.
    FakeCodec chosen("CHOSEN", "chosen", "x");
    chosen.throws = true;
    page.nqSaveImage(dir.file("fallback.tif").c_str(), &chosen);
    EXPECT_EQ(NQImage::nqLoadHeader(dir.file("fallback.tif").c_str()).nqGetWidth(), 9);
    chosen.throws = false;
    page.nqSaveImage(dir.file("by.chosen").c_str(), &chosen);
    EXPECT_EQ(chosen.saved, std::vector<std::string>({dir.file("by.chosen")}));

    const NQImage empty;
    EXPECT_TRUE(throwsNQ([&] { empty.nqSaveImage(dir.file("e.tif").c_str()); }, NQ_NULL_DATA,
                         "Image Data is NULL!"));
}

TEST(ImageFactory, ImageMembersLoadAndSaveThroughTheFactory) {
    nqtest::TempDir dir;
    const std::string path = dir.file("page.tif");
    NQImage page = smallPage();
    page.nqSetTag("artist", "someone");
    page.nqSaveImage(path.c_str());
    const std::string bytes = nqtest::readFile(path);
    const int size = static_cast<int>(bytes.size());

    EXPECT_EQ(NQImage(path.c_str()).nqGetTag("artist"), "someone");
    EXPECT_EQ(NQImage(bytes.data(), size).nqGetPixelValue(3, 2), 0);
    EXPECT_EQ(NQImage::nqLoadImageAtPage(bytes.data(), size, 1).nqGetHeight(), 4);
    EXPECT_EQ(NQImage::nqLoadHeader(bytes.data(), size).nqGetColorModel(), NQ_BINARY);
    EXPECT_EQ(NQImage::nqLoadHeaderAtPage(path.c_str(), 1).nqGetRowSize(), 2);
    EXPECT_EQ(NQImage::nqGetTotalPages(bytes.data(), size), 1);
    EXPECT_TRUE(throwsNQ([&] { NQImage::nqLoadImageAtPage(path.c_str(), 0); }, NQ_INVALID_PAGE,
                         "Page number can't be 0 (zero)."));

    int encoded = 0;
    EXPECT_TRUE(throwsNQ([&] { page.nqSaveImageToMem(encoded, nullptr); }, NQ_UNSUPPORTED,
                         "No image type given for saving to memory"));
    EXPECT_TRUE(
        throwsNQ([&] { NQImage().nqSaveImageToMem(encoded, NQTIFFImage::createImageReader()); },
                 NQ_NULL_DATA, "Image Data is NULL!"));
    unsigned char* block = page.nqSaveImageToMem(encoded, NQTIFFImage::createImageReader());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), encoded), bytes);
    std::free(block);
}

}  // namespace
