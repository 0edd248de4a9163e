// The ground-truth reader on a hostile XML file whose pages are real
// images: at start-up a private folder receives "page.tif" (two pages, grey
// and binary) and "page.png" (colour, so the grey conversion runs), both made
// by our own code. Each input is written as the XML file and read with
// NQxml; a document that reads is checked (every zone lies on its page) and
// written back to text with the writer.
//
// The reader's sound outcomes are a document or an NQException (the file
// always exists, so NQLoadXmlError, one of them, does not occur).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzImages.h"
#include "fuzz/FuzzSupport.h"
#include "xml/NQxml.h"

namespace {

std::string folder;
std::string xmlFile;

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// Memory-backed when the system has one, since every input is written once.
void makeFolder() {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/nqfuzz-gt-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        nqfuzz::broken("cannot make the page image folder");
    folder = pattern;
    xmlFile = folder + "/doc.xml";
    std::atexit(removeFolder);

    const NQImage tiffPages[] = {nqfuzz::picture(64, 48, 8, 1), nqfuzz::picture(64, 48, 1, 2)};
    if (!nqfuzz::writeMultiPageTiff(folder + "/page.tif", tiffPages, 2))
        nqfuzz::broken("cannot write page.tif");
    nqfuzz::picture(40, 30, 24, 3).nqSaveImage((folder + "/page.png").c_str());
}

void checkDocument(const NQDocument& document) {
    for (const NQPage* page : document.nqGetPageList())
        for (const NQZone* zone : page->nqGetZoneList())
            if (!zone->nqIsWithinPageBoundaries(page->nqGetPageWidth(), page->nqGetPageHeight()))
                nqfuzz::broken("a zone outside its page was read");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    makeFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(xmlFile.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        nqfuzz::broken("cannot write the XML file");
    nqfuzz::attempt([&] {
        NQxml reader;
        const NQDocument document = reader.nqReadFromXmlFile(xmlFile, folder);
        checkDocument(document);
        const NQxml writer(document, "page.tif");
        if (writer.getText().empty())
            nqfuzz::broken("the writer produced no text");
    });
    return 0;
}
