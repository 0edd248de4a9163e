#ifndef NQ_IMAGEIO_NQPAGEIMAGELOADER_H
#define NQ_IMAGEIO_NQPAGEIMAGELOADER_H

#include <memory>
#include <string>

#include "image/NQImage.h"
#include "imageio/NQSharedPageImages.h"

// The page images of one image file, handed to a document reader in page
// order. The file is identified by the image factory once, on the first
// request, and a multi-page TIFF file is opened once and stepped through
// page by page, instead of being opened and searched from its first page for
// every page. Colour pages come back converted to grey, since a page of a
// document holds a binary or grey image. Failures raise the exceptions (and
// log the lines) of NQImageFactory::nqLoadImageAtPage for the same page.
//
// Given a store of shared page images, the loader takes a page from it when
// another reader of the same work has decoded that page of the same file
// already, and keeps the pages it decodes there; the file is then only
// identified and opened when a page is not in the store.
class NQPageImageLoader {
public:
    explicit NQPageImageLoader(std::string fileName, NQSharedPageImages* shared = nullptr);
    ~NQPageImageLoader();
    NQPageImageLoader(const NQPageImageLoader&) = delete;
    NQPageImageLoader& operator=(const NQPageImageLoader&) = delete;

    // The next page: page 1 on the first call, then 2, 3, ...
    NQImage nqLoadNextPage();
    // The next page as an image that other holders may share; never null.
    std::shared_ptr<const NQImage> nqLoadNextSharedPage();
    // Pages handed out so far.
    int nqGetPagesLoaded() const { return pagesLoaded_; }
    const std::string& nqGetFileName() const { return fileName_; }

private:
    struct Source;
    NQImage decodePage(int page);

    std::string fileName_;
    NQSharedPageImages* shared_;
    NQSharedPageImages::FileIdentity identity_;
    bool identified_ = false;
    int pagesLoaded_ = 0;
    std::unique_ptr<Source> source_;
};

#endif
