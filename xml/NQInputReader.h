#ifndef NQ_XML_NQINPUTREADER_H
#define NQ_XML_NQINPUTREADER_H

#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "docmodel/NQDocument.h"
#include "xml/NQCocoJson.h"
#include "xml/NQForeignInput.h"
#include "xml/NQInputFormat.h"

class NQSharedPageImages;

// Reads the documents of a run in whatever format they come. COCO files are
// parsed once, by nqLoadCoco while the run lists its pairs, and are only read
// afterwards, so that the reader can be shared by threads once the pairs are
// listed.
class NQInputReader {
public:
    explicit NQInputReader(std::string imageFolder);

    // The parsed COCO file, parsing it on the first call (not thread-safe);
    // NQInputError when it is malformed or not COCO. Lines about annotations
    // left out go to `messages`.
    const NQCocoFile& nqLoadCoco(const std::string& file, std::ostream& messages = std::cout);
    // A COCO file parsed before; null when it was not.
    const NQCocoFile* nqFindCoco(const std::string& file) const;

    // The document of a source. Files of our own format are read by NQxml
    // exactly as always (an unopenable file raises NQLoadXmlError); the other
    // formats raise NQInputError for a file they refuse. Page images come
    // from `sharedImages` when another document of the same work decoded
    // them, and are kept there. The bytes a source holds are taken, not
    // copied (see NQDocumentSource). Safe to call from several threads, each
    // with sources of its own.
    NQDocument nqRead(const NQDocumentSource& source, const NQForeignReadOptions& options,
                      std::ostream& messages = std::cout,
                      NQSharedPageImages* sharedImages = nullptr) const;

    // The page image name a one-document file gives (our format's "src",
    // PAGE's imageFilename), without loading anything; empty when the file
    // gives none or cannot be read.
    static std::string nqReadImageName(const std::string& file, NQInputFormat format);

    const std::string& nqGetImageFolder() const { return imageFolder_; }

private:
    std::string imageFolder_;
    std::map<std::string, std::unique_ptr<NQCocoFile>> coco_;
};

#endif
