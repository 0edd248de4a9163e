// The document constructor that loads its page image from a file. It has its
// own object file so that programs which never load images through the
// factory do not link the codecs.
#include <memory>
#include <utility>

#include "docmodel/NQDocument.h"
#include "image/NQImage.h"

NQDocument::NQDocument(const char* imageFile, const std::string& pageId,
                       const std::string& documentId)
    : id_(documentId) {
    NQImage image(imageFile);
    std::unique_ptr<NQPage> page(new NQPage(std::move(image), pageId));
    nqAppendPage(page.get());
    page.release();
}
