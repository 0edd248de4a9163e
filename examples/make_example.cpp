// Writes a small evaluation data set: page images (Group 4 TIFF) with
// newspaper-like content, their ground truth, and the output of an imagined
// segmenter that shifts edges a little and now and then misses a zone, finds
// one that is not there, merges two paragraphs or takes one class for another.
//
//   wexa_example DIR    writes DIR/images, DIR/gt and DIR/res
//
// Everything is drawn by this program from a fixed seed, so every run writes
// the same files.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "image/NQImage.h"

namespace {

constexpr int kWidth = 1240;  // A4 at 150 dpi
constexpr int kHeight = 1754;

struct Zone {
    std::string id;
    int x, y, w, h;
    std::string type;
    std::string polygon;  // empty: the rectangle
};

// A small linear congruential generator: the same numbers on every platform.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    int below(int n) {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(n));
    }

private:
    std::uint32_t state_;
};

void blacken(NQImage& page, int x, int y, int w, int h) {
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col)
            page.nqSetPixel(col, row, 0);
}

// Lines of words of `size` pixels high filling the zone with a margin.
void drawText(NQImage& page, const Zone& z, int size, Random& random) {
    const int margin = 6, gap = size / 2 + 2;
    for (int y = z.y + margin; y + size <= z.y + z.h - margin; y += size + gap) {
        int x = z.x + margin;
        const int right = z.x + z.w - margin - (y + size + gap > z.y + z.h - margin ? 80 : 0);
        while (x < right) {
            const int word = 12 + random.below(size * 4);
            blacken(page, x, y, std::min(word, right - x), size);
            x += word + size / 2 + 2;
        }
    }
}

// A dark picture with a light ellipse in it.
void drawFigure(NQImage& page, const Zone& z) {
    const double cx = z.x + z.w / 2.0, cy = z.y + z.h / 2.0;
    for (int y = z.y + 4; y < z.y + z.h - 4; ++y)
        for (int x = z.x + 4; x < z.x + z.w - 4; ++x) {
            const double dx = (x - cx) / (z.w / 3.0), dy = (y - cy) / (z.h / 3.0);
            const bool inside = dx * dx + dy * dy < 1.0;
            if (inside ? (x + y) % 7 == 0 : (x * 3 + y) % 4 != 0)
                page.nqSetPixel(x, y, 0);
        }
}

void draw(NQImage& page, const std::vector<Zone>& zones, Random& random) {
    for (const Zone& z : zones) {
        if (z.type == "figure")
            drawFigure(page, z);
        else if (z.type == "separator")
            blacken(page, z.x + 2, z.y + z.h / 2 - 1, z.w - 4, 3);
        else
            drawText(page, z, z.type == "heading" ? 28 : (z.type == "caption" ? 10 : 14), random);
    }
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '"' ? std::string("&quot;") : std::string(1, c);
    return out;
}

void writeXml(const std::string& path, const std::string& image, const std::string& documentId,
              const std::vector<Zone>& zones) {
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<!-- wexa example data -->\n"
        << "<QOLA xmlns=\"urn:wexa:example\" version=\"1.0\">\n"
        << "<NQ_DOCUMENT src=\"" << image << "\" documentID=\"" << documentId << "\">\n"
        << "\t<NQ_PAGE pageID=\"1\" width=\"" << kWidth << "\" height=\"" << kHeight << "\">";
    for (const Zone& z : zones) {
        out << "\n\t\t<NQ_ZONE id=\"" << z.id << "\" col=\"" << z.x << "\" row=\"" << z.y
            << "\" width=\"" << z.w << "\" height=\"" << z.h << "\" qola_type=\"" << z.type << "\"";
        if (!z.polygon.empty())
            out << " polygon=\"" << escape(z.polygon) << "\"";
        out << ">\n\t\t</NQ_ZONE>";
    }
    out << "\n\t</NQ_PAGE>\n</NQ_DOCUMENT>\n</QOLA>";
}

// The ground truth of page `n`: a heading, two columns of paragraphs, a
// figure with its caption, a separator and a page number.
std::vector<Zone> groundTruth(int n, Random& random) {
    std::vector<Zone> zones;
    int id = 1;
    auto add = [&](int x, int y, int w, int h, const std::string& type) {
        zones.push_back(Zone{std::to_string(id++), x, y, w, h, type, ""});
    };
    add(100, 80, 1040, 90, "heading");
    add(100, 190, 1040, 20, "separator");
    const int columnW = 500;
    for (int column = 0; column < 2; ++column) {
        const int x = 100 + column * (columnW + 40);
        int y = 240;
        const bool figureHere = column == (n % 2);
        const int blocks = figureHere ? 2 : 4;
        for (int b = 0; b < blocks; ++b) {
            const int h = 180 + random.below(120);
            add(x, y, columnW, h, "paragraph");
            y += h + 30;
        }
        if (figureHere) {
            add(x, y, columnW, 420, "figure");
            add(x, y + 430, columnW, 50, "caption");
        }
    }
    add(590, 1650, 60, 40, "page-number");
    return zones;
}

// An octagon inside the rectangle, as a "polygon" attribute.
std::string octagon(const Zone& z) {
    const int cx = z.w / 4, cy = z.h / 4;
    const int xs[8] = {z.x + cx,       z.x + z.w - cx, z.x + z.w, z.x + z.w,
                       z.x + z.w - cx, z.x + cx,       z.x,       z.x};
    const int ys[8] = {z.y,       z.y,       z.y + cy,       z.y + z.h - cy,
                       z.y + z.h, z.y + z.h, z.y + z.h - cy, z.y + cy};
    std::string text;
    for (int k = 0; k < 8; ++k)
        text += "(" + std::to_string(xs[k]) + "," + std::to_string(ys[k]) + ");";
    return text;
}

// What a segmenter might make of the page: edges a few pixels off, and on
// each page one or two of: a missed paragraph, two paragraphs merged, a
// heading read as a paragraph, a caption read as a paragraph, and a blot in
// the margin found as a figure.
std::vector<Zone> segmenterResult(int n, const std::vector<Zone>& truth, Random& random) {
    std::vector<Zone> zones;
    int id = 101;
    bool merged = false, missed = false;
    for (std::size_t k = 0; k < truth.size(); ++k) {
        Zone z = truth[k];
        z.id = std::to_string(id++);
        z.x += random.below(9) - 4;
        z.y += random.below(9) - 4;
        z.w += random.below(9) - 4;
        z.h += random.below(9) - 4;
        if (z.type == "paragraph" && n == 2 && !missed && k > 3) {
            missed = true;  // the segmenter saw nothing here
            continue;
        }
        if (z.type == "paragraph" && n == 1 && !merged && k + 1 < truth.size() &&
            truth[k + 1].type == "paragraph" && truth[k + 1].x == truth[k].x) {
            merged = true;  // two paragraphs taken as one
            z.h = truth[k + 1].y + truth[k + 1].h - z.y;
            ++k;
        }
        if (z.type == "heading" && n == 3)
            z.type = "paragraph";
        if (z.type == "caption" && n == 1)
            z.type = "paragraph";
        if (z.type == "figure")
            z.polygon = octagon(z);
        zones.push_back(z);
    }
    if (n != 2)
        zones.push_back(Zone{std::to_string(id++), 20, 900 + 100 * n, 60, 60, "figure", ""});
    return zones;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: wexa_example DIR\n";
        return 2;
    }
    namespace fs = boost::filesystem;
    const std::string dir = argv[1];
    try {
        for (const char* sub : {"", "/images", "/gt", "/res"})
            fs::create_directories(dir + sub);
        Random random(20240601u);
        for (int n = 1; n <= 3; ++n) {
            const std::string stem = "p00" + std::to_string(n);
            const std::vector<Zone> truth = groundTruth(n, random);
            const std::vector<Zone> result = segmenterResult(n, truth, random);
            NQImage page(kWidth, kHeight, NQImageHead::NQ_1BIT);
            draw(page, truth, random);
            if (n != 2)
                blacken(page, 35, 915 + 100 * n, 30, 30);  // the blot
            page.nqSaveImage((dir + "/images/" + stem + ".tif").c_str());
            writeXml(dir + "/gt/" + stem + ".xml", stem + ".tif", stem, truth);
            writeXml(dir + "/res/" + stem + ".xml", stem + ".tif", stem, result);
        }
    } catch (const std::exception& e) {
        std::cerr << "wexa_example: " << e.what() << '\n';
        return 1;
    }
    std::cout << "Example data written to " << dir << " (images/, gt/, res/)\n";
    return 0;
}
