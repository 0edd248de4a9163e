// The loading constructors and the loading and saving members of NQImage.
// They live with the image I/O subsystem because they forward to the image
// factory.
#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/NQImageFactory.h"

namespace {
constexpr const char* kModule = "NQImage";

NQImageFactory* factory() {
    return NQImageFactory::nqGetInstance();
}
}  // namespace

NQImage::NQImage(const char* fileName, NQBaseImage* codec) {
    nqLoadImage(fileName, codec);
}

NQImage::NQImage(const void* buffer, int size, NQBaseImage* codec) {
    nqLoadImage(buffer, size, codec);
}

void NQImage::nqLoadImage(const char* fileName, NQBaseImage* codec) {
    *this = factory()->nqLoadImage(fileName, codec);
}

void NQImage::nqLoadImage(const void* buffer, int size, NQBaseImage* codec) {
    *this = factory()->nqLoadImage(buffer, size, codec);
}

NQImage NQImage::nqLoadImageAtPage(const char* fileName, int page) {
    return factory()->nqLoadImageAtPage(fileName, page);
}

NQImage NQImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    return factory()->nqLoadImageAtPage(buffer, size, page);
}

NQImageHead NQImage::nqLoadHeader(const char* fileName, NQBaseImage* codec) {
    return factory()->nqLoadHeader(fileName, codec);
}

NQImageHead NQImage::nqLoadHeader(const void* buffer, int size, NQBaseImage* codec) {
    return factory()->nqLoadHeader(buffer, size, codec);
}

NQImageHead NQImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    return factory()->nqLoadHeaderAtPage(fileName, page);
}

NQImageHead NQImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    return factory()->nqLoadHeaderAtPage(buffer, size, page);
}

int NQImage::nqGetTotalPages(const char* fileName) {
    return factory()->nqGetTotalPages(fileName);
}

int NQImage::nqGetTotalPages(const void* buffer, int size) {
    return factory()->nqGetTotalPages(buffer, size);
}

void NQImage::nqSaveImage(const char* fileName, NQBaseImage* codec) const {
    if (!data_)
        throw NQException(NQ_NULL_DATA, "Image Data is NULL!", kModule, __LINE__);
    factory()->nqSaveImage(*this, fileName, codec);
}

unsigned char* NQImage::nqSaveImageToMem(int& size, NQBaseImage* codec) const {
    if (!data_)
        throw NQException(NQ_NULL_DATA, "Image Data is NULL!", kModule, __LINE__);
    return factory()->nqSaveImageToMem(*this, size, codec);
}
