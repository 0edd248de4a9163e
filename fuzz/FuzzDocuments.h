#ifndef NQ_FUZZ_FUZZDOCUMENTS_H
#define NQ_FUZZ_FUZZDOCUMENTS_H

// Shared by the fuzz targets of the document readers (our own ground truth,
// PAGE XML, COCO JSON): a private scratch folder for the input file and the
// real page images it names, the writing of each input, and the checks that a
// document which reads must pass.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzSupport.h"

namespace nqfuzz {

// Makes a folder of its own for a target, memory-backed when the system has
// one since every input is written once, and removes it when the process
// ends. `name` tells the targets' folders apart.
inline std::string makeScratchFolder(const std::string& name) {
    static std::string folder;
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/nqfuzz-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        broken("cannot make the page image folder");
    folder = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return folder;
}

// The input as the file the reader opens.
inline void writeInput(const std::string& file, const std::uint8_t* data, std::size_t size) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr || std::fwrite(data, 1, size, out) != size || std::fclose(out) != 0)
        broken("cannot write the input file");
}

// Every point of a "(x,y);(x,y);..." outline on a page of width x height;
// at least `leastPoints` of them.
inline void checkOutline(const std::string& polygon, int width, int height,
                         std::size_t leastPoints) {
    static const std::regex point("\\((-?[0-9]+),(-?[0-9]+)\\)");
    std::size_t points = 0;
    for (std::sregex_iterator p(polygon.begin(), polygon.end(), point), end; p != end; ++p) {
        const long x = std::stol((*p)[1]), y = std::stol((*p)[2]);
        if (x < 0 || y < 0 || x > width || y > height)
            broken("an outline point off the page was kept");
        ++points;
    }
    if (points < leastPoints)
        broken("a zone was kept with an outline of too few points");
}

// Every zone of every page lies on its page.
inline void checkZonesOnTheirPages(const NQDocument& document) {
    for (const NQPage* page : document.nqGetPageList())
        for (const NQZone* zone : page->nqGetZoneList())
            if (!zone->nqIsWithinPageBoundaries(page->nqGetPageWidth(), page->nqGetPageHeight()))
                broken("a zone outside its page was read");
}

// A document read from a PAGE file or a COCO image: one page, every zone on
// it with an outline of at least `leastPoints` points, all on the page.
inline void checkOnePageDocument(const NQDocument& document, std::size_t leastPoints) {
    if (document.nqGetPageList().size() != 1)
        broken("a document without exactly one page");
    checkZonesOnTheirPages(document);
    const NQPage& page = *document.nqGetPageList().front();
    for (const NQZone* zone : page.nqGetZoneList())
        checkOutline(zone->nqGetTag("polygon"), page.nqGetPageWidth(), page.nqGetPageHeight(),
                     leastPoints);
}

}  // namespace nqfuzz

#endif
