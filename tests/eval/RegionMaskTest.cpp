// Region masks against the per-pixel rule on random pages: polygons (partly
// off the page), turned rectangles and run-length members in random order,
// on binary and grey pages. Every query (image, counts, overlaps, run-length
// text) must equal what painting the members pixel by pixel gives.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "docmodel/NQZone.h"
#include "eval/NQMZone.h"
#include "eval/NQRegionMask.h"

namespace {

struct Member {
    NQPolygon outline;
    NQRegionMask::Runs runs;
};

struct Mask {
    NQRectShape rect;
    std::vector<int> pixels;  // rect.width x rect.height, row by row
};

Mask referenceMask(const std::vector<Member>& members, const NQRectShape& rect,
                   const NQImage& page) {
    Mask mask{rect, std::vector<int>(static_cast<std::size_t>(rect.width) * rect.height, 255)};
    auto set = [&](long long x, long long y, int value) {
        if (x < rect.x || y < rect.y || x >= rect.x + rect.width || y >= rect.y + rect.height)
            return;
        if (x < 0 || y < 0 || x >= page.nqGetWidth() || y >= page.nqGetHeight())
            return;
        mask.pixels[(y - rect.y) * rect.width + (x - rect.x)] = value;
    };
    for (const Member& m : members) {
        const NQPolygon& p = m.outline;
        if (m.runs.used) {
            for (std::size_t k = 0; k < m.runs.rows.size(); ++k)
                for (int n = 0; n < m.runs.lengths[k]; ++n)
                    set(static_cast<long long>(m.runs.starts[k]) + p.x + n,
                        static_cast<long long>(m.runs.rows[k]) + p.y, 0);
            continue;
        }
        for (int y = p.y; y < p.y + p.height; ++y)
            for (int x = p.x; x < p.x + p.width; ++x)
                if (p.contains(x, y) && x >= 0 && y >= 0 && x < page.nqGetWidth() &&
                    y < page.nqGetHeight())
                    set(x, y, page.nqGetPixelValue(x, y));
    }
    return mask;
}

std::string referenceRunLengths(const Mask& mask) {
    std::string text;
    for (int y = 0; y < mask.rect.height; ++y) {
        int start = -1;
        for (int x = 0; x < mask.rect.width; ++x) {
            const bool black = mask.pixels[y * mask.rect.width + x] == 0;
            if (black && start < 0)
                start = x;
            if (!black && start >= 0) {
                text += "(" + std::to_string(y) + "," + std::to_string(start) + "," +
                        std::to_string(x) + ");";
                start = -1;
            }
        }
    }
    return text;
}

std::int64_t referenceOverlap(const Mask& a, const Mask& b) {
    std::int64_t count = 0;
    for (int y = std::max(a.rect.y, b.rect.y);
         y < std::min(a.rect.y + a.rect.height, b.rect.y + b.rect.height); ++y)
        for (int x = std::max(a.rect.x, b.rect.x);
             x < std::min(a.rect.x + a.rect.width, b.rect.x + b.rect.width); ++x) {
            const int va = a.pixels[(y - a.rect.y) * a.rect.width + (x - a.rect.x)];
            const int vb = b.pixels[(y - b.rect.y) * b.rect.width + (x - b.rect.x)];
            count += va != 255 && va == vb;
        }
    return count;
}

class RandomMembers {
public:
    explicit RandomMembers(unsigned seed) : random_(seed) {}

    int uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }

    NQImage page(int width, int height, bool binary) {
        NQImage image(width, height, binary ? NQImageHead::NQ_1BIT : NQImageHead::NQ_8BIT);
        static const unsigned char kGrey[] = {0, 0, 40, 128, 254, 255, 255, 255};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.nqSetPixel(x, y,
                                 binary ? (uniform(0, 2) == 0 ? 0 : 255) : kGrey[uniform(0, 7)]);
        return image;
    }

    // A polygon, a turned or plain rectangle, or a rectangle drawn from runs.
    Member member(int width, int height) {
        Member m;
        const int kind = uniform(0, 3);
        if (kind == 0) {
            std::vector<int> xs, ys;
            for (int k = uniform(3, 9); k > 0; --k) {
                xs.push_back(uniform(-15, width + 15));
                ys.push_back(uniform(-15, height + 15));
            }
            m.outline = NQPolygon(xs, ys);
            return m;
        }
        NQZone zone("z", uniform(0, width - 2), uniform(0, height - 2), uniform(2, width / 2),
                    uniform(2, height / 2));
        if (kind == 1)
            zone.nqSetTag("orientationD", std::to_string(uniform(-180, 180)));
        m.outline = NQMZone::calPolygon(&zone);
        if (kind == 3) {
            m.runs.used = true;
            for (int k = uniform(0, 12); k > 0; --k) {
                const int start = uniform(-10, width);
                m.runs.rows.push_back(uniform(-5, height));
                m.runs.starts.push_back(start);
                m.runs.lengths.push_back(uniform(-3, width + 10));
            }
        }
        return m;
    }

private:
    std::mt19937 random_;
};

NQRectShape boundsOf(const std::vector<Member>& members) {
    NQRectShape rect = members.front().outline.getBounds();
    for (const Member& m : members) {
        const NQRectShape b = m.outline.getBounds();
        const int right = std::max(rect.x + rect.width, b.x + b.width);
        const int bottom = std::max(rect.y + rect.height, b.y + b.height);
        rect.x = std::min(rect.x, b.x);
        rect.y = std::min(rect.y, b.y);
        rect.width = right - rect.x;
        rect.height = bottom - rect.y;
    }
    return rect;
}

TEST(RegionMask, RandomMembersGiveWhatThePixelRuleGives) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomMembers random(seed);
        const int width = random.uniform(20, 90), height = random.uniform(20, 90);
        const NQImage page = random.page(width, height, seed % 2 == 0);
        std::vector<NQRegionMask> masks;
        std::vector<Mask> references;
        for (int region = 0; region < 3; ++region) {
            std::vector<Member> members;
            for (int k = random.uniform(1, 4); k > 0; --k)
                members.push_back(random.member(width, height));
            std::vector<NQPolygon> outlines;
            std::vector<NQRegionMask::Runs> runs;
            for (const Member& m : members) {
                outlines.push_back(m.outline);
                runs.push_back(m.runs);
            }
            const NQRectShape rect = boundsOf(members);
            masks.emplace_back(page, rect, outlines, runs);
            references.push_back(referenceMask(members, rect, page));
        }
        for (std::size_t a = 0; a < masks.size(); ++a) {
            const Mask& expected = references[a];
            const NQImage image = masks[a].image();
            std::int64_t on = 0;
            for (int y = 0; y < expected.rect.height; ++y)
                for (int x = 0; x < expected.rect.width; ++x) {
                    const int value = expected.pixels[y * expected.rect.width + x];
                    ASSERT_EQ(image.nqGetPixelValue(x, y), value)
                        << "region " << a << " at " << x << "," << y;
                    on += value != 255;
                }
            EXPECT_EQ(masks[a].onPixels(), on) << "region " << a;
            EXPECT_EQ(masks[a].runLengthCode(), referenceRunLengths(expected)) << "region " << a;
            for (std::size_t b = 0; b < masks.size(); ++b)
                EXPECT_EQ(masks[a].overlap(masks[b]), referenceOverlap(expected, references[b]))
                    << "regions " << a << ", " << b;
        }
    }
}

}  // namespace
