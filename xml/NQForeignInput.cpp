// Shared parts of the PAGE and COCO readers.
//
// Both formats give outlines in page pixels that tools often let stray a
// pixel or more beyond the image (a point at x = width, a box from -0.5).
// Such points are moved onto the page's edge rather than losing the region:
// the page image holds nothing beyond its edge, so no score changes. Only an
// outline of which nothing lies on the page is refused. Coordinates are kept
// within +-2^24 before any arithmetic, so that no hostile number overflows.
#include "xml/NQForeignInput.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include <boost/filesystem.hpp>

#include "docmodel/NQZone.h"

namespace {

namespace fs = boost::filesystem;

constexpr double kCoordinateLimit = 16777216.0;  // 2^24

bool isRegularFile(const std::string& path) {
    boost::system::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

std::string polygonText(const std::vector<NQPoint>& points) {
    std::string text;
    for (const NQPoint& p : points) {
        if (!text.empty())
            text += ';';
        text += '(' + std::to_string(p.x) + ',' + std::to_string(p.y) + ')';
    }
    return text;
}

}  // namespace

NQInputError::NQInputError(const std::string& file, const std::string& reason, const char* module,
                           int line)
    : NQException(NQ_INVALID_CONTENT, file + ": " + reason, module, line),
      fileName_(file),
      reason_(reason) {}

std::string nqReadForeignFile(const std::string& file, const char* module) {
    boost::system::error_code failed;
    if (!fs::is_regular_file(file, failed))
        throw NQInputError(file, "can not be opened", module, __LINE__);
    const std::uintmax_t size = fs::file_size(file, failed);
    if (failed)
        throw NQInputError(file, "can not be opened", module, __LINE__);
    if (size > kMaxForeignInputBytes)
        throw NQInputError(file,
                           "is larger than " + std::to_string(kMaxForeignInputBytes >> 20) + " MiB",
                           module, __LINE__);
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (!in || static_cast<std::uintmax_t>(in.gcount()) != size)
        throw NQInputError(file, "can not be read", module, __LINE__);
    return text;
}

std::string nqInsertImageSuffix(const std::string& name, const std::string& suffix) {
    if (suffix.empty())
        return name;
    const std::size_t slash = name.find_last_of('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.find_last_of('.');
    // A leading dot (".hidden") starts a name, not an extension.
    if (dot == std::string::npos || dot <= base)
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

bool nqLocatePageImage(const std::string& name, const std::string& suffix,
                       const std::vector<std::string>& folders, NQPageImageLocation& found,
                       std::vector<std::string>& tried) {
    const std::string wanted = nqInsertImageSuffix(name, suffix);
    tried.clear();
    auto attempt = [&](const std::string& path, const std::string& src) {
        tried.push_back(path);
        if (!isRegularFile(path))
            return false;
        found = NQPageImageLocation{path, src};
        return true;
    };
    if (!wanted.empty() && wanted.front() == '/' && attempt(wanted, wanted))
        return true;
    for (const std::string& folder : folders)
        if (!wanted.empty() && wanted.front() != '/' && attempt(folder + "/" + wanted, wanted))
            return true;
    const std::string base = fs::path(wanted).filename().string();
    if (!folders.empty() && !base.empty() && base != wanted &&
        attempt(folders.back() + "/" + base, base))
        return true;
    return false;
}

std::string nqPageImageNotFoundText(const std::string& name, const std::string& suffix,
                                    const std::vector<std::string>& tried) {
    std::string text = "page image " + nqInsertImageSuffix(name, suffix) + " not found (tried ";
    for (std::size_t k = 0; k < tried.size(); ++k)
        text += (k > 0 ? ", " : "") + tried[k];
    return text + ")";
}

int nqPixelCoordinate(double value) {
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::lround(std::clamp(value, -kCoordinateLimit, kCoordinateLimit)));
}

std::unique_ptr<NQZone> nqMakePolygonZone(const std::vector<NQPoint>& points, int pageWidth,
                                          int pageHeight, NQOutlineFit& fit) {
    if (points.size() < 3) {
        fit = NQOutlineFit::NQ_TOO_FEW_POINTS;
        return nullptr;
    }
    int minX = points.front().x, maxX = minX, minY = points.front().y, maxY = minY;
    for (const NQPoint& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (maxX < 0 || maxY < 0 || minX > pageWidth || minY > pageHeight) {
        fit = NQOutlineFit::NQ_OUTSIDE_PAGE;
        return nullptr;
    }
    std::vector<NQPoint> clamped;
    clamped.reserve(points.size());
    for (const NQPoint& p : points)
        clamped.emplace_back(std::clamp(p.x, 0, pageWidth), std::clamp(p.y, 0, pageHeight));
    minX = std::max(minX, 0);
    minY = std::max(minY, 0);
    maxX = std::min(maxX, pageWidth);
    maxY = std::min(maxY, pageHeight);

    auto zone = std::make_unique<NQZone>(minX, minY, maxX - minX, maxY - minY);
    zone->nqSetTag("polygon", polygonText(clamped));
    fit = NQOutlineFit::NQ_FITS;
    return zone;
}

std::unique_ptr<NQZone> nqMakeBoxZone(double x, double y, double width, double height,
                                      int pageWidth, int pageHeight, NQOutlineFit& fit) {
    const int left = nqPixelCoordinate(x);
    const int top = nqPixelCoordinate(y);
    const int right = nqPixelCoordinate(x + width);
    const int bottom = nqPixelCoordinate(y + height);
    if (right <= left || bottom <= top) {
        fit = NQOutlineFit::NQ_EMPTY_BOX;
        return nullptr;
    }
    const int l = std::max(left, 0), t = std::max(top, 0);
    const int r = std::min(right, pageWidth), b = std::min(bottom, pageHeight);
    if (r <= l || b <= t) {
        fit = NQOutlineFit::NQ_OUTSIDE_PAGE;
        return nullptr;
    }
    fit = NQOutlineFit::NQ_FITS;
    return std::make_unique<NQZone>(l, t, r - l, b - t);
}

const char* nqOutlineFitText(NQOutlineFit fit) {
    switch (fit) {
        case NQOutlineFit::NQ_TOO_FEW_POINTS:
            return "has fewer than three points";
        case NQOutlineFit::NQ_OUTSIDE_PAGE:
            return "lies outside the page";
        case NQOutlineFit::NQ_EMPTY_BOX:
            return "has an empty box";
        case NQOutlineFit::NQ_FITS:
            break;
    }
    return "fits the page";
}
