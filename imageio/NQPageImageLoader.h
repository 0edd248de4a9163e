#ifndef NQ_IMAGEIO_NQPAGEIMAGELOADER_H
#define NQ_IMAGEIO_NQPAGEIMAGELOADER_H

#include <memory>
#include <string>

#include "image/NQImage.h"

// The page images of one image file, handed to a document reader in page
// order. The file is identified by the image factory once, on the first
// request, and a multi-page TIFF file is opened once and stepped through
// page by page, instead of being opened and searched from its first page for
// every page. Colour pages come back converted to grey, since a page of a
// document holds a binary or grey image. Failures raise the exceptions (and
// log the lines) of NQImageFactory::nqLoadImageAtPage for the same page.
class NQPageImageLoader {
public:
    explicit NQPageImageLoader(std::string fileName);
    ~NQPageImageLoader();
    NQPageImageLoader(const NQPageImageLoader&) = delete;
    NQPageImageLoader& operator=(const NQPageImageLoader&) = delete;

    // The next page: page 1 on the first call, then 2, 3, ...
    NQImage nqLoadNextPage();
    // Pages handed out so far.
    int nqGetPagesLoaded() const { return pagesLoaded_; }
    const std::string& nqGetFileName() const { return fileName_; }

private:
    struct Source;

    std::string fileName_;
    int pagesLoaded_ = 0;
    std::unique_ptr<Source> source_;
};

#endif
