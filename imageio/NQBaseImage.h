#ifndef NQ_IMAGEIO_NQBASEIMAGE_H
#define NQ_IMAGEIO_NQBASEIMAGE_H

#include <string>
#include <vector>

#include "image/NQImage.h"
#include "image/NQImageHead.h"

// The codec contract. Each image file format is handled by one process-wide
// codec object derived from this class, created by the codec's static
// createImageReader() and registered with NQImageFactory by the factory's own
// ordered codec list. Codecs report every failure with NQException.
//
// Page numbers count from 1; page 0 (or below) raises code 15 with a text that
// ends in "Page number can't be 0 (zero).". Images come back with a complete
// header (width, height, depth, channels, row size, colour model, alignment 1).
class NQBaseImage {
public:
    // Stores the name and the extension list (converted to lower case) and the
    // type number (5 for every codec of the library; nothing reads it).
    NQBaseImage(const std::string& name, const std::string& extensions, int type);
    NQBaseImage(const NQBaseImage&) = delete;
    NQBaseImage& operator=(const NQBaseImage&) = delete;
    virtual ~NQBaseImage();

    // True when the file's content is of this format. A file that cannot be
    // opened raises code 2 with the codec's own text.
    virtual bool nqSupportImageFile(const char* fileName) = 0;
    // The same test on bytes in memory; never opens files, never throws.
    virtual bool nqSupportImageBuffer(const void* buffer, int size) = 0;
    virtual void nqSaveImage(const char* fileName, const NQImage& image) = 0;
    // Encodes into a malloc'ed buffer that the caller releases with free, and
    // sets size. A codec that cannot encode into memory raises code 11.
    virtual unsigned char* nqSaveImageToMem(int& size, const NQImage& image) = 0;
    // The first (or only) page.
    virtual NQImage nqLoadImage(const char* fileName) = 0;
    virtual NQImage nqLoadImage(const void* buffer, int size) = 0;
    // Number of pages; single-page formats return 1.
    virtual int nqGetTotalPages(const void* buffer, int size) = 0;
    virtual int nqGetTotalPages(const char* fileName) = 0;
    // A page beyond the last raises an error.
    virtual NQImage nqLoadImageAtPage(const char* fileName, int page) = 0;
    virtual NQImage nqLoadImageAtPage(const void* buffer, int size, int page) = 0;
    // Only the header of the first page (or of the given page).
    virtual NQImageHead nqLoadHeader(const char* fileName) = 0;
    virtual NQImageHead nqLoadHeader(const void* buffer, int size) = 0;
    virtual NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) = 0;
    virtual NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) = 0;

    std::string getImageName() const { return name_; }
    std::string getExtension() const { return extensions_; }
    int getImageType() const { return type_; }

    // Appends every maximal run of non-delimiter characters of `text` to
    // `tokens`, in order; empty runs are skipped.
    static void Tokenize(const std::string& text, std::vector<std::string>& tokens,
                         const std::string& delimiters);
    // Case-insensitive: true when ext is one of the comma-separated extensions.
    bool nqSupportImageExt(std::string ext) const;

private:
    std::string name_;
    std::string extensions_;
    int type_;
};

#endif
