// The image factory: registration, identification, and the fall-back rules of
// loading and saving.
//
// The library's codecs are registered by one explicit list in
// registerLibraryCodecs(), run when the process-wide factory is first reached.
// Each codec is a function-local static of its own createImageReader(), so
// neither the registration nor its order depends on static initialisation
// order or on which object files the linker keeps from the static library.
#include "imageio/NQImageFactory.h"

#include <cstring>
#include <optional>

#include "image/NQException.h"
#include "image/NQLogger.h"
#include "imageio/NQBMPImage.h"
#include "imageio/NQBaseImage.h"
#include "imageio/NQGIFImage.h"
#include "imageio/NQJPGImage.h"
#include "imageio/NQPBMImage.h"
#include "imageio/NQPNGImage.h"
#include "imageio/NQPPMImage.h"
#include "imageio/NQTIFFImage.h"

namespace {

constexpr const char* kModule = "NQImageFactory";

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

// Text after the last '.', or null when the name has none.
const char* suffixOf(const char* fileName) {
    const char* dot = std::strrchr(fileName, '.');
    return dot != nullptr ? dot + 1 : nullptr;
}

void logOverride(const NQBaseImage* codec) {
    logger()->nqLog("Over riding image type..Using ", NQ_INFO);
    logger()->nqLog(codec->getImageName(), NQ_INFO);
    logger()->nqLog("\n", NQ_INFO);
}

// The four lines that record a caller-chosen codec's failure before the
// automatic choice takes over.
void logFallBack(const char* what, const NQException& error) {
    logger()->nqLog(what, NQ_INFO);
    logger()->nqLog(error.what(), NQ_INFO);
    logger()->nqLog("\n", NQ_INFO);
    logger()->nqLog("\nWill try other image objects to load image\n", NQ_INFO);
}

[[noreturn]] void throwUnsupported(const std::string& text, int line) {
    throw NQException(NQ_UNSUPPORTED, text, kModule, line);
}

void logChosenForFile(const NQBaseImage* codec) {
    logger()->nqLog("Caller passed NQBaseImage*... overriding filename extension... using ",
                    NQ_INFO);
    logger()->nqLog(codec->getImageName(), NQ_INFO);
    logger()->nqLog("\n", NQ_INFO);
}

// The attempt of a caller-chosen codec: its failure is only logged, and the
// automatic choice takes over.
template <typename Load>
auto tryChosenCodec(const char* failureLabel, Load load) -> std::optional<decltype(load())> {
    try {
        return load();
    } catch (const NQException& error) {
        logFallBack(failureLabel, error);
        return std::nullopt;
    }
}

}  // namespace

NQImageFactory* NQImageFactory::nqGetInstance() {
    static NQImageFactory* instance = [] {
        static NQImageFactory factory;
        factory.registerLibraryCodecs();
        return &factory;
    }();
    return instance;
}

NQImageFactory::NQImageFactory() = default;

NQImageFactory::~NQImageFactory() {
    codecs_.clear();
    extensions_.clear();
}

void NQImageFactory::registerLibraryCodecs() {
    // Probing order: TIFF, PPM, PNG, PBM, JPEG, GIF, BMP. Each further codec
    // joins with one line at its place in this list.
    nqRegisterImageType(NQTIFFImage::createImageReader());
    nqRegisterImageType(NQPPMImage::createImageReader());
    nqRegisterImageType(NQPNGImage::createImageReader());
    nqRegisterImageType(NQPBMImage::createImageReader());
    nqRegisterImageType(NQJPGImage::createImageReader());
    nqRegisterImageType(NQGIFImage::createImageReader());
    nqRegisterImageType(NQBMPImage::createImageReader());
}

void NQImageFactory::nqRegisterImageType(NQBaseImage* codec) {
    if (codec == nullptr)
        return;
    const std::unique_lock<std::shared_mutex> lock(registry_);
    codecs_.push_back(codec);
    std::vector<std::string> pieces;
    NQBaseImage::Tokenize(codec->getExtension(), pieces, ",");
    for (const std::string& ext : pieces)
        extensions_[ext] = codec;
}

std::vector<NQBaseImage*> NQImageFactory::registeredCodecs() const {
    const std::shared_lock<std::shared_mutex> lock(registry_);
    return codecs_;
}

NQBaseImage* NQImageFactory::codecOfExtension(const char* suffix) const {
    const std::shared_lock<std::shared_mutex> lock(registry_);
    const auto found = extensions_.find(suffix);
    return found != extensions_.end() ? found->second : nullptr;
}

NQBaseImage* NQImageFactory::nqIdentifyImageType(const char* fileName) {
    if (fileName == nullptr)
        return nullptr;
    if (const char* suffix = suffixOf(fileName)) {
        NQBaseImage* byName = codecOfExtension(suffix);
        if (byName != nullptr && byName->nqSupportImageFile(fileName))
            return byName;
    }
    for (NQBaseImage* codec : registeredCodecs())
        if (codec->nqSupportImageFile(fileName))
            return codec;
    return nullptr;
}

NQBaseImage* NQImageFactory::firstCodecForBuffer(const void* buffer, int size) {
    for (NQBaseImage* codec : registeredCodecs())
        if (codec->nqSupportImageBuffer(buffer, size))
            return codec;
    return nullptr;
}

NQBaseImage* NQImageFactory::nqIdentifyImageType(const void* buffer, int size) {
    return firstCodecForBuffer(buffer, size);
}

NQBaseImage* NQImageFactory::codecForFile(const char* fileName, const char* operation) {
    NQBaseImage* found = nqIdentifyImageType(fileName);
    if (found == nullptr)
        throwUnsupported(std::string("<NQImageFactory::") + operation +
                             "()> Unsupported file format " + (fileName != nullptr ? fileName : ""),
                         __LINE__);
    return found;
}

NQBaseImage* NQImageFactory::codecForBuffer(const void* buffer, int size, const char* operation) {
    NQBaseImage* found = firstCodecForBuffer(buffer, size);
    if (found == nullptr)
        throwUnsupported(std::string("<NQImageFactory::") + operation +
                             "()> Unsupported image buffer",
                         __LINE__);
    return found;
}

NQImage NQImageFactory::nqLoadImage(const char* fileName, NQBaseImage* codec) {
    if (codec != nullptr) {
        logChosenForFile(codec);
        if (auto image = tryChosenCodec("Error loading image : ",
                                        [&] { return codec->nqLoadImage(fileName); }))
            return std::move(*image);
    }
    NQBaseImage* found = codecForFile(fileName, "nqLoadImage");
    logger()->nqLog(NQ_INFO, "loading image with %s\n", found->getImageName().c_str());
    return found->nqLoadImage(fileName);
}

NQImage NQImageFactory::nqLoadImage(const void* buffer, int size, NQBaseImage* codec) {
    if (codec != nullptr) {
        logOverride(codec);
        if (codec->nqSupportImageBuffer(buffer, size))
            if (auto image = tryChosenCodec("Error loading image : ",
                                            [&] { return codec->nqLoadImage(buffer, size); }))
                return std::move(*image);
    }
    return codecForBuffer(buffer, size, "nqLoadImage")->nqLoadImage(buffer, size);
}

NQImageHead NQImageFactory::nqLoadHeader(const char* fileName, NQBaseImage* codec) {
    if (codec != nullptr) {
        logChosenForFile(codec);
        if (auto head = tryChosenCodec("Error loading image header : ",
                                       [&] { return codec->nqLoadHeader(fileName); }))
            return *head;
    }
    // The header load reports a missing codec with the image load's text.
    NQBaseImage* found = codecForFile(fileName, "nqLoadImage");
    logger()->nqLog(NQ_INFO, "loading image header with %s\n", found->getImageName().c_str());
    return found->nqLoadHeader(fileName);
}

NQImageHead NQImageFactory::nqLoadHeader(const void* buffer, int size, NQBaseImage* codec) {
    if (codec != nullptr) {
        logOverride(codec);
        if (codec->nqSupportImageBuffer(buffer, size))
            if (auto head = tryChosenCodec("Error loading image header : ",
                                           [&] { return codec->nqLoadHeader(buffer, size); }))
                return *head;
    }
    return codecForBuffer(buffer, size, "nqLoadHeader")->nqLoadHeader(buffer, size);
}

NQImage NQImageFactory::nqLoadImageAtPage(const char* fileName, int page) {
    NQBaseImage* found = codecForFile(fileName, "nqLoadImageAtPage");
    logger()->nqLog("loading image with ", NQ_DEBUG);
    logger()->nqLog(found->getImageName(), NQ_DEBUG);
    return found->nqLoadImageAtPage(fileName, page);
}

NQImage NQImageFactory::nqLoadImageAtPage(const void* buffer, int size, int page) {
    return codecForBuffer(buffer, size, "nqLoadImageAtPage")->nqLoadImageAtPage(buffer, size, page);
}

NQImageHead NQImageFactory::nqLoadHeaderAtPage(const char* fileName, int page) {
    NQBaseImage* found = codecForFile(fileName, "nqLoadHeaderAtPage");
    logger()->nqLog("loading image header with ", NQ_INFO);
    logger()->nqLog(found->getImageName(), NQ_INFO);
    return found->nqLoadHeaderAtPage(fileName, page);
}

NQImageHead NQImageFactory::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    return codecForBuffer(buffer, size, "nqLoadHeaderAtPage")
        ->nqLoadHeaderAtPage(buffer, size, page);
}

void NQImageFactory::nqSaveImage(const NQImage& image, const char* fileName, NQBaseImage* codec) {
    if (codec != nullptr) {
        logOverride(codec);
        try {
            codec->nqSaveImage(fileName, image);
            return;
        } catch (const NQException& error) {
            logFallBack("Error saving image : ", error);
        }
    }
    const std::string name = fileName != nullptr ? fileName : "";
    const std::string::size_type dot = name.rfind('.');
    const std::string suffix = dot == std::string::npos ? name : name.substr(dot + 1);
    for (NQBaseImage* candidate : registeredCodecs()) {
        if (candidate->nqSupportImageExt(suffix)) {
            candidate->nqSaveImage(fileName, image);
            return;
        }
    }
    throwUnsupported("<NQImageFactory::nqSaveImage()> Unsupported file format " + suffix, __LINE__);
}

unsigned char* NQImageFactory::nqSaveImageToMem(const NQImage& image, int& size,
                                                NQBaseImage* codec) {
    if (codec == nullptr)
        throwUnsupported(
            "<NQImageFactory::nqSaveImageToMem()> No image type given for saving to memory",
            __LINE__);
    logOverride(codec);
    return codec->nqSaveImageToMem(size, image);
}

int NQImageFactory::nqGetTotalPages(const char* fileName) {
    NQBaseImage* found = nqIdentifyImageType(fileName);
    return found != nullptr ? found->nqGetTotalPages(fileName) : 0;
}

int NQImageFactory::nqGetTotalPages(const void* buffer, int size) {
    NQBaseImage* found = firstCodecForBuffer(buffer, size);
    return found != nullptr ? found->nqGetTotalPages(buffer, size) : 0;
}

void NQImageFactory::nqShowAllRegistered() {
    logger()->nqLog(NQ_INFO, "Supported Image types:\n ");
    const std::vector<NQBaseImage*> codecs = registeredCodecs();
    if (codecs.empty()) {
        logger()->nqLog(NQ_INFO, "No supported image types!!");
        return;
    }
    for (const NQBaseImage* codec : codecs)
        logger()->nqLog(NQ_INFO, "Name = %s, Ext = %s\n", codec->getImageName().c_str(),
                        codec->getExtension().c_str());
}
