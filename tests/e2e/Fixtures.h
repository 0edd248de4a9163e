#ifndef NQ_TESTS_E2E_FIXTURES_H
#define NQ_TESTS_E2E_FIXTURES_H

#include <string>
#include <utility>
#include <vector>

#include <boost/filesystem.hpp>

#include "image/NQImage.h"
#include "support/TestSupport.h"
#include "support/TiffWriter.h"

// Inputs of the end-to-end tests, made here: binary page images with black
// rectangles saved as Group 4 TIFF, and XML documents of zones.
namespace e2e {

struct Ink {
    int x, y, w, h;
};

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct Zone {
    std::string id;
    int col, row, width, height;
    Attributes attributes;  // qola_type, polygon, lineID, ...
};

inline Zone zone(const std::string& id, int col, int row, int width, int height,
                 const std::string& type, Attributes more = {}) {
    Attributes attributes{{"qola_type", type}};
    attributes.insert(attributes.end(), more.begin(), more.end());
    return Zone{id, col, row, width, height, attributes};
}

inline NQImage pageImage(int width, int height, const std::vector<Ink>& ink) {
    NQImage image(width, height, NQImageHead::NQ_1BIT);
    for (const Ink& i : ink)
        for (int y = i.y; y < i.y + i.h; ++y)
            for (int x = i.x; x < i.x + i.w; ++x)
                image.nqSetPixel(x, y, 0);
    return image;
}

// One Group 4 page per entry of `pages`.
inline void writeTiff(const std::string& path, int width, int height,
                      const std::vector<std::vector<Ink>>& pages) {
    std::vector<NQImage> images;
    for (const auto& ink : pages)
        images.push_back(pageImage(width, height, ink));
    nqtest::writeTiffPages(path, images, COMPRESSION_CCITTFAX4, true);
}

// A document of the ground-truth format naming `src`, one page per entry.
inline std::string documentXml(const std::string& src, int width, int height,
                               const std::vector<std::vector<Zone>>& pages) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- test fixture -->\n"
        "<QOLA xmlns=\"urn:wexa:test\" version=\"1.0\">\n<NQ_DOCUMENT src=\"" +
        src + "\">";
    for (std::size_t p = 0; p < pages.size(); ++p) {
        text += "\n\t<NQ_PAGE pageID=\"" + std::to_string(p + 1) + "\" width=\"" +
                std::to_string(width) + "\" height=\"" + std::to_string(height) + "\">";
        for (const Zone& z : pages[p]) {
            text += "\n\t\t<NQ_ZONE id=\"" + z.id + "\" col=\"" + std::to_string(z.col) +
                    "\" row=\"" + std::to_string(z.row) + "\" width=\"" + std::to_string(z.width) +
                    "\" height=\"" + std::to_string(z.height) + "\"";
            for (const auto& a : z.attributes)
                text += " " + a.first + "=\"" + a.second + "\"";
            text += ">\n\t\t</NQ_ZONE>";
        }
        text += "\n\t</NQ_PAGE>";
    }
    return text + "\n</NQ_DOCUMENT>\n</QOLA>";
}

// A working directory with gt/, res/ and images/.
class Workspace {
public:
    Workspace() {
        for (const char* sub : {"gt", "res", "images"})
            boost::filesystem::create_directory(dir_.file(sub));
    }
    const std::string& path() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }
    void write(const std::string& name, const std::string& text) const {
        nqtest::writeFile(dir_.file(name), text);
    }
    std::string read(const std::string& name) const { return nqtest::readFile(dir_.file(name)); }

private:
    nqtest::TempDir dir_;
};

}  // namespace e2e

#endif
