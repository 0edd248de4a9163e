#ifndef NQ_XML_NQFOREIGNINPUT_H
#define NQ_XML_NQFOREIGNINPUT_H

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "docmodel/NQPoint.h"
#include "image/NQException.h"

class NQZone;

// What the readers of other tools' formats (PAGE XML, COCO JSON, detection
// lists) share: their settings, the error that refuses a whole file, the
// search for a page image, and the making of a zone from an outline or a box
// in page pixels.

// Raised by those readers for a file that they refuse as a whole (not the
// format, malformed, no page image). reason() is the plain text for the
// line that names the file, for example "malformed JSON: ... at byte 17".
class NQInputError : public NQException {
public:
    NQInputError(const std::string& file, const std::string& reason, const char* module, int line);
    const std::string& fileName() const { return fileName_; }
    const std::string& reason() const { return reason_; }

private:
    std::string fileName_;
    std::string reason_;
};

struct NQForeignReadOptions {
    // PAGE: a TextRegion with TextLines becomes one zone per line, each with
    // "lineID" = the region id.
    bool lineIdMode = false;
    // Inserted in front of the extension of every page image name that a
    // PAGE or COCO file gives (NAME.tif -> NAME_B.tif for "_B").
    std::string pageImageSuffix;
    // Annotations with a "score" below this are left out.
    double minScore = -std::numeric_limits<double>::infinity();
};

// Files larger than this are refused before they are read.
constexpr std::uintmax_t kMaxForeignInputBytes = std::uintmax_t(256) << 20;

// The whole file; NQInputError when it cannot be read or is too large.
std::string nqReadForeignFile(const std::string& file, const char* module);

// `name` with `suffix` in front of the extension of its last path component
// (after it when there is no extension).
std::string nqInsertImageSuffix(const std::string& name, const std::string& suffix);

// Where a page image was found: its path, and its name relative to the folder
// it was found in (the "src" under which a reader given that folder finds it).
struct NQPageImageLocation {
    std::string path;
    std::string src;
};

// Looks for the image `name` (with the suffix inserted) in each folder in
// order, first under the name as given, then, in the last folder, under its
// base name. An absolute name is tried as it is first. Returns false when no
// candidate is a regular file; `tried` then lists the candidates.
bool nqLocatePageImage(const std::string& name, const std::string& suffix,
                       const std::vector<std::string>& folders, NQPageImageLocation& found,
                       std::vector<std::string>& tried);

// "page image NAME not found (tried A, B)", for the line that names the file.
std::string nqPageImageNotFoundText(const std::string& name, const std::string& suffix,
                                    const std::vector<std::string>& tried);

// How an outline or a box relates to the page.
enum class NQOutlineFit : std::uint8_t {
    NQ_FITS = 0,            // inside the page, or brought onto it by clamping
    NQ_TOO_FEW_POINTS = 1,  // fewer than three points
    NQ_OUTSIDE_PAGE = 2,    // nothing of it lies on the page
    NQ_EMPTY_BOX = 3,       // a box without area
};

// A zone for a polygon in page pixels, or null with the reason in `fit`.
// Points beyond the page are moved onto its edge (x into [0, pageWidth],
// y into [0, pageHeight], the range a "polygon" attribute may take); the
// zone's rectangle is the bounding box of the points (width = greatest x -
// least x) and its "polygon" attribute lists them as "(x,y);(x,y);...".
std::unique_ptr<NQZone> nqMakePolygonZone(const std::vector<NQPoint>& points, int pageWidth,
                                          int pageHeight, NQOutlineFit& fit);
// A zone for the box of pixels [x, x + width) x [y, y + height), clipped to
// the page, without a "polygon" attribute; or null with the reason in `fit`.
std::unique_ptr<NQZone> nqMakeBoxZone(double x, double y, double width, double height,
                                      int pageWidth, int pageHeight, NQOutlineFit& fit);
// A file coordinate as a pixel coordinate: rounded, and kept far inside int
// so that sums of a few of them cannot overflow.
int nqPixelCoordinate(double value);

// "has fewer than three points", "lies outside the page", "has an empty box".
const char* nqOutlineFitText(NQOutlineFit fit);

#endif
