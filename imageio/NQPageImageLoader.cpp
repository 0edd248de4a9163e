// Page images for document readers.
//
// A document names one image file whose k-th page belongs to its k-th page
// element, and the reader asks for the pages in that order. The loader
// therefore identifies the file once and, for TIFF (the library's one
// multi-page format), keeps one handle open and moves from each directory to
// the next; a file of P pages costs P directory reads rather than the
// P (P + 1) / 2 of loading every page by its number. Other codecs load their
// page by number, which for single-page formats is the only page there is.
// The identification and the messages are the factory's, so a reader sees
// the same failures as with NQImage::nqLoadImageAtPage. With a store of
// shared images, a page found there is handed out as it is, so a reader that
// finds every page never opens the file; pages after the last one found are
// reached by stepping from the first directory as usual.
#include "imageio/NQPageImageLoader.h"

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQLogger.h"
#include "imageio/NQBaseImage.h"
#include "imageio/NQImageFactory.h"
#include "imageio/NQTIFFImage.h"

struct NQPageImageLoader::Source {
    NQBaseImage* codec = nullptr;
    std::unique_ptr<NQTIFFImage::PageReader> tiffPages;  // TIFF files only
};

NQPageImageLoader::NQPageImageLoader(std::string fileName, NQSharedPageImages* shared)
    : fileName_(std::move(fileName)), shared_(shared) {}

NQPageImageLoader::~NQPageImageLoader() = default;

NQImage NQPageImageLoader::nqLoadNextPage() {
    if (shared_ != nullptr)
        return *nqLoadNextSharedPage();
    const int page = pagesLoaded_ + 1;
    NQImage image = decodePage(page);
    pagesLoaded_ = page;
    return image;
}

std::shared_ptr<const NQImage> NQPageImageLoader::nqLoadNextSharedPage() {
    const int page = pagesLoaded_ + 1;
    if (shared_ != nullptr && !identified_) {
        identity_ = NQSharedPageImages::identify(fileName_);
        identified_ = true;
    }
    std::shared_ptr<const NQImage> image;
    if (shared_ != nullptr)
        image = shared_->find(identity_, page);
    if (!image) {
        image = std::make_shared<const NQImage>(decodePage(page));
        if (shared_ != nullptr)
            shared_->keep(identity_, page, image);
    }
    pagesLoaded_ = page;
    return image;
}

NQImage NQPageImageLoader::decodePage(int page) {
    if (!source_) {
        auto source = std::make_unique<Source>();
        source->codec = NQImageFactory::nqGetInstance()->nqIdentifyImageType(fileName_.c_str());
        if (source->codec == nullptr)
            throw NQException(
                NQ_UNSUPPORTED,
                "<NQImageFactory::nqLoadImageAtPage()> Unsupported file format " + fileName_,
                "NQPageImageLoader", __LINE__);
        if (source->codec == NQTIFFImage::createImageReader())
            source->tiffPages = std::make_unique<NQTIFFImage::PageReader>(fileName_.c_str());
        source_ = std::move(source);
    }

    NQLogger* logger = NQLogger::nqGetInstance();
    logger->nqLog("loading image with ", NQ_DEBUG);
    logger->nqLog(source_->codec->getImageName(), NQ_DEBUG);
    NQImage image = source_->tiffPages ? source_->tiffPages->nqLoadPage(page)
                                       : source_->codec->nqLoadImageAtPage(fileName_.c_str(), page);
    if (image.nqGetBitsPerPixel() != 1 && image.nqGetBitsPerPixel() != 8)
        image = NQBitsPerPixelConverter::nqDownscaleColor2Gray_global(image);
    return image;
}
