// The ground-truth reader on a hostile XML file whose pages are real
// images: at start-up a private folder receives "page.tif" (two pages, grey
// and binary) and "page.png" (colour, so the grey conversion runs), both made
// by our own code. Each input is written as the XML file and read with
// NQxml; a document that reads is checked (every zone lies on its page) and
// written back to text with the writer.
//
// The reader's sound outcomes are a document or an NQException (the file
// always exists, so NQLoadXmlError, one of them, does not occur).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzDocuments.h"
#include "fuzz/FuzzImages.h"
#include "fuzz/FuzzSupport.h"
#include "xml/NQxml.h"

namespace {

std::string folder;
std::string xmlFile;

void makeFolder() {
    folder = nqfuzz::makeScratchFolder("gt");
    xmlFile = folder + "/doc.xml";

    const NQImage tiffPages[] = {nqfuzz::picture(64, 48, 8, 1), nqfuzz::picture(64, 48, 1, 2)};
    if (!nqfuzz::writeMultiPageTiff(folder + "/page.tif", tiffPages, 2))
        nqfuzz::broken("cannot write page.tif");
    nqfuzz::picture(40, 30, 24, 3).nqSaveImage((folder + "/page.png").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    makeFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nqfuzz::writeInput(xmlFile, data, size);
    nqfuzz::attempt([&] {
        NQxml reader;
        const NQDocument document = reader.nqReadFromXmlFile(xmlFile, folder);
        nqfuzz::checkZonesOnTheirPages(document);
        const NQxml writer(document, "page.tif");
        if (writer.getText().empty())
            nqfuzz::broken("the writer produced no text");
    });
    return 0;
}
