#ifndef NQ_IMAGEIO_NQIMAGEFACTORY_H
#define NQ_IMAGEIO_NQIMAGEFACTORY_H

#include <map>
#include <shared_mutex>
#include <string>
#include <vector>

#include "image/NQImage.h"
#include "image/NQImageHead.h"

class NQBaseImage;

// The registry of codecs. It picks a codec by the file name's suffix, by
// probing the content in registration order, or by the caller's choice, and
// forwards loads, saves and page counts to it. The process-wide instance,
// reached through nqGetInstance(), registers the library's codecs in the order
// TIFF, PPM, PNG, PBM, JPEG, GIF, BMP; that order is also the probing order.
// Codecs are not owned. Images handed out belong to the caller.
//
// Any thread may load, save and identify through the factory while others do
// the same: the codec list is read under a shared lock and the codecs'
// operations are made from a copy of it, outside the lock; registering takes
// the lock exclusively.
class NQImageFactory {
public:
    static NQImageFactory* nqGetInstance();

    NQImageFactory(const NQImageFactory&) = delete;
    NQImageFactory& operator=(const NQImageFactory&) = delete;
    virtual ~NQImageFactory();

    // Appends the codec and maps each of its extensions to it (a later codec
    // with the same extension takes the entry over).
    void nqRegisterImageType(NQBaseImage* codec);

    // The suffix after the last '.', looked up exactly as written, and
    // confirmed by the codec's content test; otherwise every codec in
    // registration order. Null when none accepts the file. A file that cannot
    // be opened raises the first probing codec's code-2 exception.
    NQBaseImage* nqIdentifyImageType(const char* fileName);
    // The first codec that accepts the bytes, or null.
    NQBaseImage* nqIdentifyImageType(const void* buffer, int size);

    // A given codec is tried first; its failure is only logged (severity 2)
    // before the automatic choice, whose exceptions reach the caller. No codec
    // found: code 11.
    NQImage nqLoadImage(const char* fileName, NQBaseImage* codec = nullptr);
    NQImage nqLoadImage(const void* buffer, int size, NQBaseImage* codec = nullptr);
    NQImage nqLoadImageAtPage(const char* fileName, int page);
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page);
    NQImageHead nqLoadHeader(const char* fileName, NQBaseImage* codec = nullptr);
    NQImageHead nqLoadHeader(const void* buffer, int size, NQBaseImage* codec = nullptr);
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page);
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page);

    // Chooses by the file name's suffix only (case-insensitive), never by
    // content; a name without '.' serves whole as the suffix.
    void nqSaveImage(const NQImage& image, const char* fileName, NQBaseImage* codec = nullptr);
    // Uses the given codec; without one it raises code 11. The buffer is
    // malloc'ed and released by the caller with free.
    unsigned char* nqSaveImageToMem(const NQImage& image, int& size, NQBaseImage* codec);

    // 0 when no codec recognises the data.
    int nqGetTotalPages(const char* fileName);
    int nqGetTotalPages(const void* buffer, int size);

    // Logs the registered codecs at severity 2.
    void nqShowAllRegistered();

    // The registered codecs in registration (probing) order. The reference
    // must not be held while another thread registers a codec.
    const std::vector<NQBaseImage*>& nqGetRegisteredTypes() const { return codecs_; }

protected:
    // An empty registry. Only the process-wide instance holds the library's
    // codecs; a derived registry lets a caller assemble its own list.
    NQImageFactory();

private:
    struct nqLtstr {
        bool operator()(const std::string& a, const std::string& b) const { return a < b; }
    };

    // The library's codecs, in probing order.
    void registerLibraryCodecs();
    NQBaseImage* firstCodecForBuffer(const void* buffer, int size);
    // The codec for a file or buffer; code 11 naming `operation` when none
    // accepts it.
    NQBaseImage* codecForFile(const char* fileName, const char* operation);
    NQBaseImage* codecForBuffer(const void* buffer, int size, const char* operation);
    // A copy of the codec list, and the codec of an extension (or null),
    // taken under the registry lock.
    std::vector<NQBaseImage*> registeredCodecs() const;
    NQBaseImage* codecOfExtension(const char* suffix) const;

    mutable std::shared_mutex registry_;
    std::vector<NQBaseImage*> codecs_;
    std::map<std::string, NQBaseImage*, nqLtstr> extensions_;
};

#endif
