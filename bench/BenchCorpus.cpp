// A benchmark corpus drawn by our own code: scanned A4 pages with the ground
// truth a person would draw and the output of a segmenter that errs the way
// real ones do.
//
// A page is laid out like a printed book or journal page: a running head and
// a page number, one to three columns of blocks (paragraphs, headings,
// figures with captions, tables, rules) and now and then a footnote. Text is
// lines of glyph-like blobs (rings, stems, bowls, ascenders and descenders),
// so that the Group 4 coder sees the run structure of real text; figures are
// clustered-dot halftones of smooth random fields or line drawings, the two
// kinds of picture that cost a CCITT decoder the most. The number of zones
// a page gets is drawn first (30 to 120) and the column count and block sizes
// follow from it.
//
// Ground-truth zones are the blocks' boxes with a small margin; a fifth of
// them are polygons, hugging text line by line (a staircase along the ragged
// line ends) or cutting the corners of pictures and tables. The result takes
// each ground-truth zone and shifts its edges by a few pixels (sometimes by
// many), splits paragraphs into their lines with one shared "lineID", merges
// neighbours, confuses classes, misses zones and adds zones that are not
// there.
//
// All randomness comes from a splitmix64 generator seeded by the corpus seed
// and the page number, and only integer arithmetic decides what is drawn, so
// a corpus is the same on every machine.
#include "bench/BenchCorpus.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <boost/filesystem.hpp>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"
#include "imageio/NQTIFFImage.h"
#include "xml/NQxml.h"

namespace {

namespace fs = boost::filesystem;

constexpr int kWidth = 2480;  // A4 at 300 dpi
constexpr int kHeight = 3508;
constexpr int kPad = 6;                             // margin of a ground-truth zone around its ink
constexpr int kFewestZones = 30, kMostZones = 120;  // ground-truth zones of a page

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 1 ? 0 : static_cast<int>(next() % static_cast<unsigned>(n)); }
    // Inclusive range.
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    // About normally distributed around 0 with spread `sigma`: a sum of four
    // uniform integers.
    int spread(int sigma) {
        const int a = std::max(1, (sigma * 7 + 4) / 8);
        return between(-a, a) + between(-a, a) + between(-a, a) + between(-a, a);
    }

private:
    std::uint64_t state_;
};

// A half-open box.
struct Box {
    int left, top, right, bottom;
    bool empty() const { return right <= left || bottom <= top; }
    void add(const Box& other) {
        if (other.empty())
            return;
        if (empty()) {
            *this = other;
            return;
        }
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
    }
};

constexpr Box kNoBox{0, 0, 0, 0};

// Black and white rectangles straight into the bits of a binary page (a
// clear bit is black).
class Canvas {
public:
    explicit Canvas(NQImage& image)
        : data_(image.nqGetImageData()),
          rowSize_(static_cast<std::size_t>(image.nqGetRowSize())),
          width_(image.nqGetWidth()),
          height_(image.nqGetHeight()) {}

    void fill(int x0, int y0, int x1, int y1, bool black = true) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, width_);
        y1 = std::min(y1, height_);
        if (x0 >= x1 || y0 >= y1)
            return;
        const int first = x0 >> 3, last = (x1 - 1) >> 3;
        const auto headMask = static_cast<unsigned char>(0xFF >> (x0 & 7));
        const auto tailMask = static_cast<unsigned char>(0xFF << (7 - ((x1 - 1) & 7)));
        for (int y = y0; y < y1; ++y) {
            unsigned char* row = data_ + static_cast<std::size_t>(y) * rowSize_;
            if (first == last) {
                apply(row[first], headMask & tailMask, black);
                continue;
            }
            apply(row[first], headMask, black);
            std::memset(row + first + 1, black ? 0x00 : 0xFF,
                        static_cast<std::size_t>(last - first - 1));
            apply(row[last], tailMask, black);
        }
    }
    void dot(int x, int y) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_)
            data_[static_cast<std::size_t>(y) * rowSize_ + (x >> 3)] &=
                static_cast<unsigned char>(~(0x80 >> (x & 7)));
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    static void apply(unsigned char& byte, unsigned char mask, bool black) {
        byte = black ? static_cast<unsigned char>(byte & ~mask)
                     : static_cast<unsigned char>(byte | mask);
    }

    unsigned char* data_;
    std::size_t rowSize_;
    int width_, height_;
};

// ---- text ---------------------------------------------------------------------

struct TextStyle {
    int size;    // x-height in pixels
    int stroke;  // stem width
};

TextStyle styleOf(int size, bool bold = false) {
    return TextStyle{size, std::max(2, size / (bold ? 4 : 6))};
}

// One glyph-like blob on the baseline; returns its ink box.
Box drawGlyph(Canvas& canvas, Random& random, int x, int baseline, const TextStyle& style) {
    const int h = style.size, s = style.stroke;
    const int w = std::max(s * 2 + 2, h * random.between(55, 100) / 100);
    const int top = baseline - h, ascent = baseline - h * 145 / 100,
              descent = baseline + h * 45 / 100;
    auto ring = [&](int x0, int y0, int x1, int y1) {
        canvas.fill(x0, y0, x1, y1);
        canvas.fill(x0 + s, y0 + s, x1 - s, y1 - s, false);
    };
    switch (random.below(9)) {
        case 0:  // o
            ring(x, top, x + w, baseline);
            return Box{x, top, x + w, baseline};
        case 1:  // l
            canvas.fill(x, ascent, x + s, baseline);
            return Box{x, ascent, x + s, baseline};
        case 2:  // n
            canvas.fill(x, top, x + s, baseline);
            canvas.fill(x + w - s, top + s / 2, x + w, baseline);
            canvas.fill(x, top, x + w - s / 2, top + s);
            return Box{x, top, x + w, baseline};
        case 3:  // e
            ring(x, top, x + w, baseline);
            canvas.fill(x, top + h / 2 - s / 2, x + w, top + h / 2 + s / 2 + 1);
            canvas.fill(x + w - s, top + h / 2 + s / 2 + 1, x + w, baseline - s, false);
            return Box{x, top, x + w, baseline};
        case 4:  // p
            canvas.fill(x, top, x + s, descent);
            ring(x, top, x + w, baseline);
            return Box{x, top, x + w, descent};
        case 5:  // d
            ring(x, top, x + w, baseline);
            canvas.fill(x + w - s, ascent, x + w, baseline);
            return Box{x, ascent, x + w, baseline};
        case 6:  // t
            canvas.fill(x + w / 3, ascent + h / 4, x + w / 3 + s, baseline);
            canvas.fill(x, top, x + w * 3 / 4, top + s);
            return Box{x, ascent + h / 4, x + w, baseline};
        case 7:  // v
            for (int r = 0; r < h; ++r) {
                const int offset = r * (w - s) / (2 * h);
                canvas.fill(x + offset, top + r, x + offset + s, top + r + 1);
                canvas.fill(x + w - s - offset, top + r, x + w - offset, top + r + 1);
            }
            return Box{x, top, x + w, baseline};
        default:  // i
            canvas.fill(x, top, x + s, baseline);
            canvas.fill(x, ascent + s, x + s, ascent + 2 * s);
            return Box{x, ascent + s, x + s, baseline};
    }
}

// Words of glyphs from `left` up to at most `right`; returns the line's ink.
Box drawLine(Canvas& canvas, Random& random, int left, int right, int baseline,
             const TextStyle& style) {
    Box ink = kNoBox;
    const int gap = std::max(2, style.stroke / 2 + 1), space = style.size * 6 / 10;
    int x = left;
    while (x + style.size * 2 < right) {
        const int letters = random.between(1, 9);
        // Estimate the word's width so that it is not cut at the right margin.
        if (x + letters * (style.size * 8 / 10 + gap) > right)
            break;
        for (int k = 0; k < letters; ++k) {
            const Box glyph = drawGlyph(canvas, random, x, baseline, style);
            ink.add(glyph);
            x = glyph.right + gap;
        }
        x += space;
    }
    return ink;
}

// ---- blocks -------------------------------------------------------------------

enum class Kind : std::uint8_t {
    Text,
    Heading,
    Caption,
    Figure,
    Table,
    Header,
    PageNumber,
    Footnote,
    Separator
};

const char* className(Kind kind) {
    switch (kind) {
        case Kind::Text:
            return "text";
        case Kind::Heading:
            return "heading";
        case Kind::Caption:
            return "caption";
        case Kind::Figure:
            return "figure";
        case Kind::Table:
            return "table";
        case Kind::Header:
            return "header";
        case Kind::PageNumber:
            return "page-number";
        case Kind::Footnote:
            return "footnote";
        case Kind::Separator:
            return "separator";
    }
    return "text";
}

// A laid-out block: what it is, its ink and, for text, the ink of each line.
struct Block {
    Kind kind;
    Box ink;
    std::vector<Box> lines;
    int column;
};

bool isText(Kind kind) {
    return kind == Kind::Text || kind == Kind::Heading || kind == Kind::Caption ||
           kind == Kind::Footnote || kind == Kind::Header;
}

// Lines of text between left and right from `top` on. The first line may be
// indented, the last ends early.
Block drawText(Canvas& canvas, Random& random, Kind kind, int column, int left, int right, int top,
               int lines, const TextStyle& style, bool ragged) {
    Block block{kind, kNoBox, {}, column};
    const int pitch = style.size * 19 / 10;
    for (int i = 0; i < lines; ++i) {
        const int baseline = top + style.size * 3 / 2 + i * pitch;
        int from = left, to = right;
        if (i == 0 && kind == Kind::Text && random.chance(50))
            from += style.size * 2;
        if (i + 1 == lines || ragged)
            to = left + (right - left) * random.between(25, 95) / 100;
        const Box ink = drawLine(canvas, random, from, to, baseline, style);
        if (ink.empty())
            continue;
        block.lines.push_back(ink);
        block.ink.add(ink);
    }
    return block;
}

// A clustered-dot halftone of a smooth random field.
void drawHalftone(Canvas& canvas, Random& random, const Box& box) {
    static const int kDot[4][4] = {{12, 5, 6, 13}, {4, 0, 1, 7}, {11, 3, 2, 8}, {15, 10, 9, 14}};
    struct Blob {
        long long x, y, r2, amplitude;
    };
    std::vector<Blob> blobs;
    for (int k = random.between(3, 6); k > 0; --k) {
        const long long r = random.between(80, 450);
        blobs.push_back(Blob{random.between(box.left, box.right),
                             random.between(box.top, box.bottom), r * r,
                             random.between(-220, 220)});
    }
    const long long base = random.between(70, 210);
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            long long value = base;
            for (const Blob& b : blobs) {
                const long long d2 = (x - b.x) * (x - b.x) + (y - b.y) * (y - b.y);
                if (d2 < b.r2)
                    value += b.amplitude * (b.r2 - d2) / b.r2;
            }
            if (value < kDot[y & 3][x & 3] * 16 + 8)
                canvas.dot(x, y);
        }
}

// A line drawing: a frame, boxes, rings and strokes.
void drawLineArt(Canvas& canvas, Random& random, const Box& box) {
    const int t = random.between(2, 4);
    auto frame = [&](const Box& b) {
        canvas.fill(b.left, b.top, b.right, b.top + t);
        canvas.fill(b.left, b.bottom - t, b.right, b.bottom);
        canvas.fill(b.left, b.top, b.left + t, b.bottom);
        canvas.fill(b.right - t, b.top, b.right, b.bottom);
    };
    frame(box);
    const int w = box.right - box.left, h = box.bottom - box.top;
    for (int k = random.between(2, 6); k > 0; --k) {
        const int x = box.left + random.below(w * 3 / 4), y = box.top + random.below(h * 3 / 4);
        const int bw = random.between(20, std::max(21, w / 3)),
                  bh = random.between(20, std::max(21, h / 3));
        if (random.chance(50)) {
            frame(Box{x, y, std::min(x + bw, box.right), std::min(y + bh, box.bottom)});
            continue;
        }
        const long long r = std::min(bw, bh) / 2, cx = x + r, cy = y + r;
        for (long long py = cy - r; py <= cy + r; ++py)
            for (long long px = cx - r; px <= cx + r; ++px) {
                const long long d2 = (px - cx) * (px - cx) + (py - cy) * (py - cy);
                if (d2 <= r * r && d2 >= (r - t) * (r - t) && px < box.right && py < box.bottom)
                    canvas.dot(static_cast<int>(px), static_cast<int>(py));
            }
    }
    for (int k = random.between(1, 4); k > 0; --k) {
        const int x0 = box.left + random.below(w), y0 = box.top + random.below(h);
        const int x1 = box.left + random.below(w), y1 = box.top + random.below(h);
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
        for (int i = 0; i < steps; ++i) {
            const int x = x0 + (x1 - x0) * i / steps, y = y0 + (y1 - y0) * i / steps;
            canvas.fill(x, y, x + t, y + t);
        }
    }
}

Block drawTable(Canvas& canvas, Random& random, int column, int left, int right, int top, int rows,
                const TextStyle& style) {
    const int columns = random.between(2, 5), rowHeight = style.size * 22 / 10, t = 2;
    const int bottom = top + rows * rowHeight;
    for (int r = 0; r <= rows; ++r)
        canvas.fill(left, top + r * rowHeight, right, top + r * rowHeight + t);
    for (int c = 0; c <= columns; ++c) {
        const int x = left + (right - left - t) * c / columns;
        canvas.fill(x, top, x + t, bottom + t);
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int x0 = left + (right - left) * c / columns + style.size / 2;
            const int x1 = left + (right - left) * (c + 1) / columns - style.size / 2;
            if (random.chance(85))
                drawLine(canvas, random, x0, x0 + (x1 - x0) * random.between(30, 100) / 100,
                         top + r * rowHeight + style.size * 16 / 10, style);
        }
    return Block{Kind::Table, Box{left, top, right, bottom + t}, {}, column};
}

// Draws a page and returns its blocks in reading order.
std::vector<Block> drawPage(Canvas& canvas, Random& random, int zoneTarget) {
    std::vector<Block> blocks;
    const int marginLeft = random.between(190, 260), marginRight = random.between(190, 260);
    const int left = marginLeft, right = kWidth - marginRight;
    const int columns = zoneTarget < 40 ? 1 : zoneTarget < 75 ? 2 : 3;
    const int size = (columns == 1 ? 21 : columns == 2 ? 19 : 17) + random.between(-2, 2);
    const TextStyle body = styleOf(size), small = styleOf(size * 8 / 10);

    // Running head, page number and the rule below them.
    const int headTop = random.between(170, 200);
    const bool numberLeft = random.chance(50);
    const int headLeft = left + (right - left) * random.between(20, 35) / 100;
    blocks.push_back(drawText(canvas, random, Kind::Header, -1, headLeft,
                              headLeft + (right - left) / 2, headTop, 1, small, false));
    Block number{Kind::PageNumber, kNoBox, {}, -1};
    {
        int x = numberLeft ? left : right - small.size * 3;
        for (int k = random.between(1, 3); k > 0; --k) {
            const Box glyph = drawGlyph(canvas, random, x, headTop + small.size * 3 / 2, small);
            number.ink.add(glyph);
            x = glyph.right + 3;
        }
        number.lines.push_back(number.ink);
    }
    blocks.push_back(number);
    int bodyTop = headTop + small.size * 3 + 20;
    if (random.chance(50)) {
        canvas.fill(left, bodyTop, right, bodyTop + 3);
        blocks.push_back(Block{Kind::Separator, Box{left, bodyTop, right, bodyTop + 3}, {}, -1});
    }
    bodyTop += 40;

    // The footnote area at the foot of the page, under a short rule.
    int bodyBottom = kHeight - random.between(200, 260);
    Block footnote{Kind::Footnote, kNoBox, {}, -1};
    if (random.chance(40)) {
        const int lines = random.between(2, 5);
        const int top = bodyBottom - lines * small.size * 19 / 10 - small.size;
        const int footRight = columns == 1 ? right : left + (right - left) / columns;
        canvas.fill(left, top - 20, left + (right - left) / 5, top - 18);
        footnote =
            drawText(canvas, random, Kind::Footnote, -1, left, footRight, top, lines, small, false);
        bodyBottom = top - 60;
    }

    // Columns of blocks. The mean paragraph length follows from the zones
    // wanted: the body's lines shared among the body zones.
    const int gutter = 70;
    const int columnWidth = (right - left - (columns - 1) * gutter) / columns;
    const int pitch = body.size * 19 / 10;
    const int bodyZones = std::max(4, zoneTarget - 4);
    const int bodyLines = columns * (bodyBottom - bodyTop) / pitch;
    const int meanLines = std::max(1, std::min(14, bodyLines * 72 / 100 / bodyZones - 1));
    for (int c = 0; c < columns; ++c) {
        const int x0 = left + c * (columnWidth + gutter), x1 = x0 + columnWidth;
        if (c > 0 && random.chance(30)) {
            const int rx = x0 - gutter / 2 - 1;
            canvas.fill(rx, bodyTop, rx + 3, bodyBottom);
            blocks.push_back(Block{Kind::Separator, Box{rx, bodyTop, rx + 3, bodyBottom}, {}, c});
        }
        int y = bodyTop;
        while (y + pitch * 2 < bodyBottom) {
            const int room = bodyBottom - y;
            const int roll = random.below(100);
            if (roll < 12) {
                const TextStyle heading = styleOf(body.size * 17 / 10, true);
                const int lines = random.chance(75) ? 1 : 2;
                if (lines * heading.size * 19 / 10 + heading.size > room)
                    break;
                blocks.push_back(
                    drawText(canvas, random, Kind::Heading, c, x0, x1, y, lines, heading, true));
                y = blocks.back().ink.empty() ? y + pitch : blocks.back().ink.bottom + pitch;
            } else if (roll < 17 && room > 500) {
                const int h = std::min(room - 160, random.between(200, 700));
                const int fx1 =
                    random.chance(70) ? x1 : x0 + columnWidth * random.between(50, 90) / 100;
                const Box box{x0, y, fx1, y + h};
                if (random.chance(55))
                    drawHalftone(canvas, random, box);
                else
                    drawLineArt(canvas, random, box);
                blocks.push_back(Block{Kind::Figure, box, {}, c});
                y = box.bottom + pitch / 2;
                if (random.chance(70)) {
                    blocks.push_back(drawText(canvas, random, Kind::Caption, c, x0, x1, y,
                                              random.between(1, 2), small, false));
                    if (!blocks.back().ink.empty())
                        y = blocks.back().ink.bottom;
                }
                y += pitch;
            } else if (roll < 21 && room > 400) {
                const int rows =
                    std::min((room - 40) / (body.size * 22 / 10), random.between(3, 12));
                blocks.push_back(drawTable(canvas, random, c, x0, x1, y, rows, small));
                y = blocks.back().ink.bottom + pitch;
            } else if (roll < 24) {
                canvas.fill(x0 + columnWidth / 4, y + 10, x1 - columnWidth / 4, y + 14);
                blocks.push_back(
                    Block{Kind::Separator,
                          Box{x0 + columnWidth / 4, y + 10, x1 - columnWidth / 4, y + 14},
                          {},
                          c});
                y += 24 + pitch / 2;
            } else {
                int lines = 1 + random.below(2 * meanLines - 1);
                lines = std::min(lines, (room - body.size) / pitch);
                if (lines < 1)
                    break;
                blocks.push_back(
                    drawText(canvas, random, Kind::Text, c, x0, x1, y, lines, body, false));
                y = blocks.back().ink.empty() ? y + pitch : blocks.back().ink.bottom + pitch;
            }
        }
    }
    if (!footnote.ink.empty())
        blocks.push_back(footnote);
    blocks.erase(
        std::remove_if(blocks.begin(), blocks.end(), [](const Block& b) { return b.ink.empty(); }),
        blocks.end());
    return blocks;
}

// ---- zones --------------------------------------------------------------------

Box padded(const Box& box, int pad) {
    return Box{std::max(0, box.left - pad), std::max(0, box.top - pad),
               std::min(kWidth, box.right + pad), std::min(kHeight, box.bottom + pad)};
}

struct Point {
    int x, y;
};

int clampX(int x) {
    return std::max(0, std::min(kWidth, x));
}
int clampY(int y) {
    return std::max(0, std::min(kHeight, y));
}

// A staircase along the line ends of a text block: down the right ends,
// then up the left ends, each step halfway between two lines.
std::vector<Point> hugLines(const std::vector<Box>& lines, int pad) {
    std::vector<Point> right, left;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int top = i == 0 ? lines[i].top - pad : (lines[i - 1].bottom + lines[i].top) / 2;
        const int bottom = i + 1 == lines.size() ? lines[i].bottom + pad
                                                 : (lines[i].bottom + lines[i + 1].top) / 2;
        right.push_back(Point{lines[i].right + pad, top});
        right.push_back(Point{lines[i].right + pad, bottom});
        left.push_back(Point{lines[i].left - pad, top});
        left.push_back(Point{lines[i].left - pad, bottom});
    }
    std::vector<Point> outline = right;
    outline.insert(outline.end(), left.rbegin(), left.rend());
    return outline;
}

// The box with its corners cut.
std::vector<Point> cutCorners(const Box& box) {
    const int c = std::max(2, std::min(box.right - box.left, box.bottom - box.top) / 8);
    return {{box.left + c, box.top},     {box.right - c, box.top},    {box.right, box.top + c},
            {box.right, box.bottom - c}, {box.right - c, box.bottom}, {box.left + c, box.bottom},
            {box.left, box.bottom - c},  {box.left, box.top + c}};
}

std::string polygonText(const std::vector<Point>& points) {
    std::string text;
    for (const Point& p : points) {
        if (!text.empty())
            text += ';';
        text += '(' + std::to_string(clampX(p.x)) + ',' + std::to_string(clampY(p.y)) + ')';
    }
    return text;
}

Box boundsOf(const std::vector<Point>& points) {
    Box box{kWidth, kHeight, 0, 0};
    for (const Point& p : points) {
        box.left = std::min(box.left, clampX(p.x));
        box.top = std::min(box.top, clampY(p.y));
        box.right = std::max(box.right, clampX(p.x));
        box.bottom = std::max(box.bottom, clampY(p.y));
    }
    return box;
}

// One zone as it will be written.
struct ZoneSpec {
    Box box;
    std::string type;
    std::string polygon;  // empty: the box
    std::string lineId;   // empty: none
    std::string orientation;
};

ZoneSpec boxZone(const Box& box, const std::string& type) {
    ZoneSpec zone{box, type, "", "", ""};
    zone.box.right = std::max(zone.box.right, zone.box.left + 1);
    zone.box.bottom = std::max(zone.box.bottom, zone.box.top + 1);
    return zone;
}

ZoneSpec polygonZone(const std::vector<Point>& points, const std::string& type) {
    ZoneSpec zone = boxZone(boundsOf(points), type);
    zone.polygon = polygonText(points);
    return zone;
}

std::vector<Point> outlineOf(const Block& block, int pad) {
    if (isText(block.kind) && !block.lines.empty())
        return hugLines(block.lines, pad);
    return cutCorners(padded(block.ink, pad));
}

// The class a segmenter takes a block of this kind for when it is wrong.
std::string confused(Kind kind, Random& random) {
    switch (kind) {
        case Kind::Text:
            return random.chance(50) ? "heading" : random.chance(50) ? "caption" : "footnote";
        case Kind::Heading:
            return "text";
        case Kind::Caption:
            return "text";
        case Kind::Figure:
            return random.chance(70) ? "table" : "text";
        case Kind::Table:
            return random.chance(60) ? "figure" : "text";
        case Kind::Footnote:
            return "text";
        case Kind::Header:
            return "text";
        case Kind::PageNumber:
            return "text";
        case Kind::Separator:
            return "figure";
    }
    return "text";
}

// Moves each edge a little, now and then a lot.
Box shifted(const Box& box, Random& random) {
    auto moveBy = [&random]() {
        return random.chance(10) ? random.between(-35, 35) : random.spread(4);
    };
    Box out{box.left + moveBy(), box.top + moveBy(), box.right + moveBy(), box.bottom + moveBy()};
    out.left = clampX(out.left);
    out.top = clampY(out.top);
    out.right = clampX(std::max(out.right, out.left + 2));
    out.bottom = clampY(std::max(out.bottom, out.top + 2));
    return out;
}

struct PageZones {
    std::vector<ZoneSpec> gt;
    std::vector<ZoneSpec> result;
    int polygons = 0;
};

PageZones zonesOf(const std::vector<Block>& blocks, Random& random) {
    PageZones zones;
    std::vector<bool> polygon(blocks.size());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        polygon[b] = random.chance(20);
        const std::string type = className(blocks[b].kind);
        zones.gt.push_back(polygon[b] ? polygonZone(outlineOf(blocks[b], kPad), type)
                                      : boxZone(padded(blocks[b].ink, kPad), type));
        zones.polygons += polygon[b];
    }

    int lineGroups = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const Block& block = blocks[b];
        const int roll = random.below(100);
        std::string type = random.chance(8) ? confused(block.kind, random) : className(block.kind);
        if (roll < 6)
            continue;  // missed
        if (roll < 15 && block.kind == Kind::Text && block.lines.size() >= 2) {
            // Split into its lines, which share one line id.
            const std::string lineId = "l" + std::to_string(++lineGroups);
            for (const Box& line : block.lines) {
                ZoneSpec zone = boxZone(shifted(padded(line, 4), random), type);
                zone.lineId = lineId;
                zones.result.push_back(zone);
            }
            continue;
        }
        if (roll < 21 && b + 1 < blocks.size() && blocks[b + 1].column == block.column) {
            // Merged with the next block.
            Box merged = padded(block.ink, kPad);
            merged.add(padded(blocks[b + 1].ink, kPad));
            zones.result.push_back(boxZone(shifted(merged, random), type));
            ++b;
            continue;
        }
        if (polygon[b] && random.chance(50)) {
            const int dx = random.spread(3), dy = random.spread(3);
            std::vector<Point> points = outlineOf(block, kPad + random.spread(3));
            for (Point& p : points)
                p = Point{p.x + dx, p.y + dy};
            zones.result.push_back(polygonZone(points, type));
            continue;
        }
        ZoneSpec zone = boxZone(shifted(padded(block.ink, kPad), random), type);
        if (random.chance(2)) {
            // A slight skew in tenths of a degree.
            const int tenths = random.between(-15, 15);
            zone.orientation = (tenths < 0 ? "-" : "") + std::to_string(std::abs(tenths) / 10) +
                               "." + std::to_string(std::abs(tenths) % 10);
        }
        zones.result.push_back(zone);
    }

    // Zones where there is nothing to find: specks in the margins, boxes over
    // pictures.
    for (int k = random.between(0, static_cast<int>(blocks.size()) / 12 + 1); k > 0; --k) {
        const int w = random.between(40, 420), h = random.between(30, 220);
        const int x = random.below(kWidth - w), y = random.below(kHeight - h);
        zones.result.push_back(
            boxZone(Box{x, y, x + w, y + h}, random.chance(60) ? "text" : "figure"));
    }
    return zones;
}

void appendZones(NQPage& page, const std::vector<ZoneSpec>& zones, char prefix) {
    int n = 0;
    for (const ZoneSpec& drawn : zones) {
        auto* zone = new NQZone(prefix + std::to_string(++n), drawn.box.left, drawn.box.top,
                                drawn.box.right - drawn.box.left, drawn.box.bottom - drawn.box.top);
        zone->nqSetTag("qola_type", drawn.type);
        if (!drawn.polygon.empty())
            zone->nqSetTag("polygon", drawn.polygon);
        if (!drawn.lineId.empty())
            zone->nqSetTag("lineID", drawn.lineId);
        if (!drawn.orientation.empty())
            zone->nqSetTag("orientationD", drawn.orientation);
        page.nqAppendZone(zone);
    }
}

void writeDocument(const std::string& path, const std::string& src, const NQImage& image,
                   const std::vector<ZoneSpec>& zones, char prefix) {
    NQDocument document;
    auto* page = new NQPage(image, "1");
    document.nqAppendPage(page);
    appendZones(*page, zones, prefix);
    if (!NQxml(document, src).nqSaveToXmlFile(path))
        throw std::runtime_error("cannot write " + path);
}

std::string pageName(int page) {
    std::string digits = std::to_string(page);
    return "p" + std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

}  // namespace

BenchCorpusStats writeBenchCorpus(const std::string& dir, int pages, std::uint32_t seed) {
    for (const char* sub : {"images", "gt", "res"})
        fs::create_directories(fs::path(dir) / sub);
    BenchCorpusStats stats;
    stats.pages = pages;
    stats.fewestZones = 1 << 30;
    for (int p = 1; p <= pages; ++p) {
        Random random((static_cast<std::uint64_t>(seed) << 32) ^
                      static_cast<std::uint64_t>(p) * 0x2545F4914F6CDD1DULL);
        NQImage image(kWidth, kHeight, NQImageHead::NQ_1BIT);
        image.nqSetResolution(300, 300);
        Canvas canvas(image);
        // The layout only approaches the number of zones asked for; a page
        // outside 30 to 120 is drawn again with the request corrected.
        const int wanted = random.between(kFewestZones, kMostZones);
        int target = wanted;
        std::vector<Block> blocks;
        for (int attempt = 0; attempt < 8; ++attempt) {
            image.nqSetAllPixels(255);
            blocks = drawPage(canvas, random, target);
            const int count = static_cast<int>(blocks.size());
            if (count >= kFewestZones && count <= kMostZones)
                break;
            target = std::max(10, std::min(200, target + wanted - count));
        }
        const PageZones zones = zonesOf(blocks, random);

        const std::string name = pageName(p);
        NQTIFFImage::createImageReader()->nqSaveImage((dir + "/images/" + name + ".tif").c_str(),
                                                      image);
        writeDocument(dir + "/gt/" + name + ".xml", name + ".tif", image, zones.gt, 'g');
        writeDocument(dir + "/res/" + name + ".xml", name + ".tif", image, zones.result, 'r');

        const int count = static_cast<int>(zones.gt.size());
        stats.gtZones += count;
        stats.gtPolygons += zones.polygons;
        stats.resultZones += static_cast<long long>(zones.result.size());
        stats.fewestZones = std::min(stats.fewestZones, count);
        stats.mostZones = std::max(stats.mostZones, count);
    }
    if (pages == 0)
        stats.fewestZones = 0;
    return stats;
}
