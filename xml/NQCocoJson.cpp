// COCO JSON reading: data sets and detection lists.
//
// The file is parsed with nlohmann-json's event (SAX) interface straight
// into plain records: only the fields a page needs are kept, and every other
// value is skipped as it streams past, so memory follows what is kept (about
// four bytes per coordinate) rather than the size of a JSON tree, and
// nesting costs the parser one bit per level. The handler keeps a short stack
// of the containers it is inside, each with the role it plays (the images
// list, an annotation, a segmentation part, ...); a container that plays no
// role is skipped by counting its depth.
//
// Outlines. COCO polygons are in continuous pixel coordinates and are
// rounded to whole pixels. An annotation in several parts is joined into one
// outline: each further part is entered from the first point of the first
// part and left the same way, and those two bridging edges cancel in the
// crossing-number test, so the outline holds exactly the union of disjoint
// parts. A box [x, y, w, h] becomes the zone (x, y, w, h), as our own format
// would store those pixels. An RLE mask (column-major runs, background
// first; counts as numbers or in COCO's compressed text form) is turned into
// row runs relative to the mask's bounding box, which the zone's "polygon"
// covers pixel for pixel.
#include "xml/NQCocoJson.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include <nlohmann/json.hpp>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"
#include "imageio/NQPageImageLoader.h"

namespace {

constexpr const char* kModule = "NQCocoJson";
// A mask may turn into at most this many row runs; more (a pattern of thin
// columns, say) would cost far more memory than the file that describes it.
constexpr std::size_t kMaxMaskRuns = std::size_t(1) << 22;

using Annotation = NQCocoFile::Annotation;

// One scalar value as the parser reports it.
struct Value {
    enum class Kind : std::uint8_t { NQ_NUMBER, NQ_STRING, NQ_OTHER };
    Kind kind = Kind::NQ_OTHER;
    double number = 0;
    bool integral = false;
    std::string text;  // numbers as written (integers in decimal)
};

// Builds the records of a COCO file from the parser's events.
class CocoHandler : public nlohmann::json::json_sax_t {
public:
    CocoHandler(const std::string& file, std::ostream& messages)
        : file_(file), messages_(messages) {}

    std::string failure;  // why the file is refused; empty when it is not
    bool detectionList = false;
    bool sawDataSetKey = false;
    std::vector<NQCocoImage> images;
    NQCocoFile::Categories categories;
    std::vector<Annotation> annotations;
    std::unordered_map<std::string, std::size_t> imageById;

    // ---- scalar events --------------------------------------------------------
    bool null() override { return scalar(Value{}); }
    bool boolean(bool) override { return scalar(Value{}); }
    bool number_integer(number_integer_t v) override {
        return scalar(
            Value{Value::Kind::NQ_NUMBER, static_cast<double>(v), true, std::to_string(v)});
    }
    bool number_unsigned(number_unsigned_t v) override {
        return scalar(
            Value{Value::Kind::NQ_NUMBER, static_cast<double>(v), true, std::to_string(v)});
    }
    bool number_float(number_float_t v, const string_t& s) override {
        return scalar(Value{Value::Kind::NQ_NUMBER, v, false, s});
    }
    bool string(string_t& s) override {
        return scalar(Value{Value::Kind::NQ_STRING, 0, false, std::move(s)});
    }
    bool binary(binary_t&) override { return scalar(Value{}); }

    // ---- containers -------------------------------------------------------------
    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& k) override {
        if (skipDepth_ == 0 && !stack_.empty())
            stack_.back().key = std::move(k);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& ex) override {
        std::string what = ex.what();
        // "[json.exception.parse_error.101] parse error at line 1, column 4: ..."
        // becomes "malformed JSON at line 1, column 4: ...".
        const std::size_t bracket = what.find("] ");
        if (what.rfind("[json.exception.", 0) == 0 && bracket != std::string::npos)
            what.erase(0, bracket + 2);
        static const std::string kPrefix = "parse error ";
        if (what.rfind(kPrefix, 0) == 0 && what.compare(kPrefix.size(), 3, "at ") == 0)
            failure = "malformed JSON " + what.substr(kPrefix.size());
        else
            failure = "malformed JSON: " + what + " (byte " + std::to_string(position) + ")";
        return false;
    }

private:
    enum class Role : std::uint8_t {
        NQ_DATA_SET,    // the root object
        NQ_DETECTIONS,  // the root array
        NQ_IMAGES,      // the lists under the root object
        NQ_ANNOTATIONS,
        NQ_CATEGORIES,
        NQ_IMAGE,  // their entries
        NQ_ANNOTATION,
        NQ_CATEGORY,
        NQ_BOX,           // annotation "bbox"
        NQ_SEGMENTATION,  // annotation "segmentation" as a list of parts (or one flat part)
        NQ_PART,          // one polygon
        NQ_MASK,          // annotation "segmentation" as an RLE object
        NQ_COUNTS,        // its "counts" as numbers
        NQ_SIZE,          // its "size"
    };
    struct Frame {
        Role role;
        std::string key;
    };

    Frame* top() { return stack_.empty() ? nullptr : &stack_.back(); }

    bool refuse(const std::string& reason) {
        failure = reason;
        return false;
    }
    // Marks the annotation being read as unusable; it is reported when it ends.
    void spoil(const std::string& problem) {
        if (problem_.empty())
            problem_ = problem;
    }

    bool open(bool array) {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        Frame* frame = top();
        if (frame == nullptr) {
            detectionList = array;
            stack_.push_back(Frame{array ? Role::NQ_DETECTIONS : Role::NQ_DATA_SET, {}});
            return true;
        }
        const std::string key = frame->key;  // push() may move the frames
        switch (frame->role) {
            case Role::NQ_DATA_SET:
                if (key == "images" || key == "annotations" || key == "categories") {
                    sawDataSetKey = true;
                    if (!array)
                        return refuse("not a COCO file (its \"" + key + "\" is not a list)");
                    return push(key == "images"        ? Role::NQ_IMAGES
                                : key == "annotations" ? Role::NQ_ANNOTATIONS
                                                       : Role::NQ_CATEGORIES);
                }
                break;
            case Role::NQ_DETECTIONS:
                ++entryCount_;
                if (array)
                    return refuse("not a detection list (entry " + std::to_string(entryCount_) +
                                  " is not an object)");
                return startAnnotation();
            case Role::NQ_IMAGES:
            case Role::NQ_CATEGORIES:
                ++entryCount_;
                if (!array) {
                    entry_ = NQCocoImage{};
                    categoryName_.clear();
                    seenName_ = false;
                    return push(frame->role == Role::NQ_IMAGES ? Role::NQ_IMAGE
                                                               : Role::NQ_CATEGORY);
                }
                break;
            case Role::NQ_ANNOTATIONS:
                ++entryCount_;
                if (!array)
                    return startAnnotation();
                break;
            case Role::NQ_ANNOTATION:
                if (key == "bbox") {
                    if (!array)
                        spoil("has a malformed bbox");
                    else
                        return push(Role::NQ_BOX);
                } else if (key == "segmentation") {
                    return push(array ? Role::NQ_SEGMENTATION : Role::NQ_MASK);
                }
                break;
            case Role::NQ_SEGMENTATION:
                if (array)
                    return push(Role::NQ_PART);
                spoil("has a malformed segmentation");
                break;
            case Role::NQ_MASK:
                if (array && key == "counts")
                    return push(Role::NQ_COUNTS);
                if (array && key == "size")
                    return push(Role::NQ_SIZE);
                break;
            case Role::NQ_PART:
            case Role::NQ_BOX:
            case Role::NQ_COUNTS:
            case Role::NQ_SIZE:
                spoil("has a malformed segmentation");
                break;
            case Role::NQ_IMAGE:
            case Role::NQ_CATEGORY:
                break;
        }
        skipDepth_ = 1;
        return true;
    }

    bool push(Role role) {
        stack_.push_back(Frame{role, {}});
        return true;
    }

    bool startAnnotation() {
        current_ = Annotation{};
        problem_.clear();
        seenImageId_ = false;
        flatPart_.clear();
        return push(Role::NQ_ANNOTATION);
    }

    bool close() {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return true;
        }
        const Role role = stack_.back().role;
        stack_.pop_back();
        switch (role) {
            case Role::NQ_DATA_SET:
                if (!sawDataSetKey)
                    return refuse(
                        "not a COCO file (no \"images\", \"annotations\" or \"categories\")");
                break;
            case Role::NQ_IMAGES:
            case Role::NQ_ANNOTATIONS:
            case Role::NQ_CATEGORIES:
                entryCount_ = 0;
                break;
            case Role::NQ_IMAGE:
                finishImage();
                break;
            case Role::NQ_CATEGORY:
                finishCategory();
                break;
            case Role::NQ_ANNOTATION:
                finishAnnotation();
                break;
            case Role::NQ_BOX:
                if (boxValues_ != 4)
                    spoil("has a malformed bbox");
                else
                    current_.hasBox = true;
                boxValues_ = 0;
                break;
            case Role::NQ_PART:
                if (part_.size() % 2 != 0)
                    spoil("has a malformed segmentation");
                else if (!part_.empty())
                    current_.polygons.push_back(std::move(part_));
                part_.clear();
                break;
            case Role::NQ_SEGMENTATION:
                if (flatPart_.size() % 2 != 0)
                    spoil("has a malformed segmentation");
                else if (!flatPart_.empty())
                    current_.polygons.push_back(std::move(flatPart_));
                flatPart_.clear();
                break;
            case Role::NQ_MASK:
                if (current_.maskHeight <= 0 || current_.maskWidth <= 0 || !seenCounts_)
                    spoil("has a malformed segmentation mask");
                else
                    current_.hasMask = true;
                seenCounts_ = false;
                sizeValues_ = 0;
                break;
            case Role::NQ_COUNTS:
                seenCounts_ = true;
                break;
            case Role::NQ_SIZE:
                if (sizeValues_ != 2)
                    spoil("has a malformed segmentation mask");
                break;
            case Role::NQ_DETECTIONS:
                break;
        }
        return true;
    }

    bool scalar(const Value& v) {
        if (stack_.empty())
            return refuse("not a COCO file (no JSON object or array)");
        if (skipDepth_ > 0)
            return true;
        Frame& frame = stack_.back();
        const bool number = v.kind == Value::Kind::NQ_NUMBER;
        const bool idLike = number || v.kind == Value::Kind::NQ_STRING;
        switch (frame.role) {
            case Role::NQ_IMAGE:
                if (frame.key == "id" && idLike)
                    entry_.id = v.text;
                else if (frame.key == "file_name" && v.kind == Value::Kind::NQ_STRING)
                    entry_.fileName = v.text;
                else if (frame.key == "width" && number)
                    entry_.width = nqPixelCoordinate(v.number);
                else if (frame.key == "height" && number)
                    entry_.height = nqPixelCoordinate(v.number);
                break;
            case Role::NQ_CATEGORY:
                if (frame.key == "id" && idLike) {
                    entry_.id = v.text;
                } else if (frame.key == "name" && v.kind == Value::Kind::NQ_STRING) {
                    categoryName_ = v.text;
                    seenName_ = true;
                }
                break;
            case Role::NQ_ANNOTATION:
                if (frame.key == "id" && idLike) {
                    current_.id = v.text;
                } else if (frame.key == "image_id" && idLike) {
                    current_.imageId = v.text;
                    seenImageId_ = true;
                } else if (frame.key == "category_id" && idLike) {
                    current_.categoryId = v.text;
                } else if (frame.key == "score" && number) {
                    current_.hasScore = true;
                    current_.score = v.number;
                } else if (frame.key == "bbox" && v.kind != Value::Kind::NQ_OTHER) {
                    spoil("has a malformed bbox");
                } else if (frame.key == "segmentation" && v.kind != Value::Kind::NQ_OTHER) {
                    spoil("has a malformed segmentation");
                }
                break;
            case Role::NQ_BOX:
                if (!number || boxValues_ >= 4)
                    spoil("has a malformed bbox");
                else
                    current_.box[boxValues_++] = v.number;
                break;
            case Role::NQ_SEGMENTATION:
            case Role::NQ_PART:
                if (!number)
                    spoil("has a malformed segmentation");
                else
                    (frame.role == Role::NQ_PART ? part_ : flatPart_)
                        .push_back(nqPixelCoordinate(v.number));
                break;
            case Role::NQ_MASK:
                if (frame.key == "counts" && v.kind == Value::Kind::NQ_STRING) {
                    seenCounts_ = true;
                    if (!decodeCompressedCounts(v.text, current_.maskCounts))
                        spoil("has a malformed segmentation mask");
                }
                break;
            case Role::NQ_COUNTS:
                if (!number || !v.integral || v.number < 0 ||
                    v.number > std::numeric_limits<std::uint32_t>::max())
                    spoil("has a malformed segmentation mask");
                else
                    current_.maskCounts.push_back(static_cast<std::uint32_t>(v.number));
                break;
            case Role::NQ_SIZE:
                if (!number || !v.integral || sizeValues_ >= 2)
                    spoil("has a malformed segmentation mask");
                else
                    (sizeValues_++ == 0 ? current_.maskHeight : current_.maskWidth) =
                        nqPixelCoordinate(v.number);
                break;
            case Role::NQ_DETECTIONS:
                return refuse("not a detection list (entry " + std::to_string(++entryCount_) +
                              " is not an object)");
            case Role::NQ_DATA_SET:
            case Role::NQ_IMAGES:
            case Role::NQ_ANNOTATIONS:
            case Role::NQ_CATEGORIES:
                break;
        }
        return true;
    }

    // COCO's compressed counts: each count in groups of 5 bits, least
    // significant first, as characters from '0'; 0x20 marks a further group,
    // 0x10 in the last group the sign. From the fourth count on, a count is
    // coded as the difference to the count two places before it.
    static bool decodeCompressedCounts(const std::string& text, std::vector<std::uint32_t>& out) {
        out.clear();
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::uint64_t bits = 0;
            int groups = 0;
            bool more = true;
            while (more) {
                if (pos >= text.size() || groups >= 12)
                    return false;
                const int c = static_cast<unsigned char>(text[pos++]) - 48;
                if (c < 0 || c > 63)
                    return false;
                bits |= static_cast<std::uint64_t>(c & 0x1f) << (5 * groups);
                more = (c & 0x20) != 0;
                ++groups;
                if (!more && (c & 0x10) != 0)
                    bits |= ~std::uint64_t(0) << (5 * groups);
            }
            std::int64_t value = static_cast<std::int64_t>(bits);
            if (out.size() > 2)
                value += out[out.size() - 2];
            if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
                return false;
            out.push_back(static_cast<std::uint32_t>(value));
        }
        return true;
    }

    void note(const std::string& text) { messages_ << file_ << ": " << text << std::endl; }

    void finishImage() {
        if (entry_.id.empty()) {
            note("image entry " + std::to_string(entryCount_) + " has no id, left out");
            return;
        }
        if (!imageById.emplace(entry_.id, images.size()).second) {
            note("image " + entry_.id + " is listed twice, the second entry is left out");
            return;
        }
        images.push_back(std::move(entry_));
    }

    void finishCategory() {
        if (entry_.id.empty()) {
            note("category entry " + std::to_string(entryCount_) + " has no id, left out");
            return;
        }
        categories.emplace(entry_.id, seenName_ ? categoryName_ : entry_.id);
    }

    void finishAnnotation() {
        if (current_.id.empty())
            current_.id = std::to_string(entryCount_);
        if (!seenImageId_) {
            note("annotation " + current_.id + " has no image_id, left out");
            return;
        }
        if (!problem_.empty()) {
            note("annotation " + current_.id + " " + problem_ + ", left out");
            return;
        }
        annotations.push_back(std::move(current_));
    }

    const std::string& file_;
    std::ostream& messages_;
    std::vector<Frame> stack_;
    std::size_t skipDepth_ = 0;
    std::size_t entryCount_ = 0;  // entries of the list being read, from 1
    NQCocoImage entry_;           // the image or category being read (a category uses its id)
    std::string categoryName_;
    bool seenName_ = false;
    Annotation current_;
    std::string problem_;
    bool seenImageId_ = false;
    std::vector<int> part_;
    std::vector<int> flatPart_;
    int boxValues_ = 0;
    int sizeValues_ = 0;
    bool seenCounts_ = false;
};

// The parts of a polygon annotation as one outline; parts of fewer than
// three points are dropped.
std::vector<NQPoint> joinParts(const std::vector<std::vector<int>>& parts) {
    std::vector<const std::vector<int>*> usable;
    for (const std::vector<int>& part : parts)
        if (part.size() >= 6)
            usable.push_back(&part);
    std::vector<NQPoint> outline;
    for (const std::vector<int>* part : usable) {
        const NQPoint first((*part)[0], (*part)[1]);
        const NQPoint anchor = outline.empty() ? first : outline.front();
        for (std::size_t k = 0; k + 1 < part->size(); k += 2)
            outline.emplace_back((*part)[k], (*part)[k + 1]);
        if (usable.size() > 1) {
            outline.push_back(first);
            outline.push_back(anchor);
        }
    }
    return outline;
}

// Row intervals [row0, row1) of one mask column, ascending and disjoint.
struct Interval {
    int row0, row1;
};
using Intervals = std::vector<Interval>;

// Calls emit(row0, row1) for each interval of rows in a but not in b.
template <typename Emit>
void subtract(const Intervals& a, const Intervals& b, Emit&& emit) {
    std::size_t first = 0;
    for (const Interval& in : a) {
        while (first < b.size() && b[first].row1 <= in.row0)
            ++first;
        int r = in.row0;
        for (std::size_t j = first; j < b.size() && b[j].row0 < in.row1; ++j) {
            if (b[j].row0 > r)
                emit(r, b[j].row0);
            r = std::max(r, b[j].row1);
        }
        if (r < in.row1)
            emit(r, in.row1);
    }
}

// Turns the column-major runs of an RLE mask into row runs. A row's run
// starts at a column that covers the row when the column before does not,
// and ends at the first column after it that does not; both are found per
// column as differences of interval lists, so the cost follows the number
// of runs and counts, not the mask's area.
class MaskRows {
public:
    struct Run {
        int row, start, end;  // end exclusive
    };

    explicit MaskRows(std::uint64_t height) : height_(height) {}

    // Adds the foreground pixels [pos, pos + n) in column-major order; false
    // when the mask has more row runs than is sensible to keep.
    bool addPixels(std::uint64_t pos, std::uint64_t n) {
        for (std::uint64_t at = pos; at < pos + n;) {
            const int column = static_cast<int>(at / height_);
            const int row = static_cast<int>(at % height_);
            const std::uint64_t stop = std::min(pos + n, (at / height_ + 1) * height_);
            const int rowEnd = row + static_cast<int>(stop - at);
            if (column != column_ && !flushColumn())
                return false;
            column_ = column;
            if (!current_.empty() && current_.back().row1 == row)
                current_.back().row1 = rowEnd;
            else
                current_.push_back(Interval{row, rowEnd});
            minX_ = std::min(minX_, column);
            maxX_ = std::max(maxX_, column);
            minY_ = std::min(minY_, row);
            maxY_ = std::max(maxY_, rowEnd - 1);
            at = stop;
        }
        return true;
    }

    // The runs, ordered by row and start; false as for addPixels.
    bool finish(std::vector<Run>& runs) {
        if (!flushColumn() || !closeAll(previousColumn_ + 1))
            return false;
        std::sort(starts_.begin(), starts_.end());
        std::sort(ends_.begin(), ends_.end());
        runs.clear();
        for (std::size_t k = 0; k < starts_.size() && k < ends_.size(); ++k)
            runs.push_back(Run{starts_[k].first, starts_[k].second, ends_[k].second});
        return true;
    }

    bool empty() const { return maxX_ < 0; }
    int minX() const { return minX_; }
    int maxX() const { return maxX_; }
    int minY() const { return minY_; }
    int maxY() const { return maxY_; }

private:
    bool record(std::vector<std::pair<int, int>>& list, int row0, int row1, int column) {
        if (list.size() + static_cast<std::size_t>(row1 - row0) > kMaxMaskRuns)
            return false;
        for (int r = row0; r < row1; ++r)
            list.emplace_back(r, column);
        return true;
    }

    bool closeAll(int column) {
        for (const Interval& in : previous_)
            if (!record(ends_, in.row0, in.row1, column))
                return false;
        previous_.clear();
        return true;
    }

    bool flushColumn() {
        if (column_ < 0)
            return true;
        if (previousColumn_ + 1 != column_ && !closeAll(previousColumn_ + 1))
            return false;
        bool ok = true;
        subtract(current_, previous_,
                 [&](int r0, int r1) { ok = ok && record(starts_, r0, r1, column_); });
        subtract(previous_, current_,
                 [&](int r0, int r1) { ok = ok && record(ends_, r0, r1, column_); });
        previous_.swap(current_);
        current_.clear();
        previousColumn_ = column_;
        column_ = -1;
        return ok;
    }

    std::uint64_t height_;
    int column_ = -1;  // column of current_, -1 before the first pixel
    int previousColumn_ = -2;
    Intervals current_, previous_;
    std::vector<std::pair<int, int>> starts_, ends_;  // (row, column)
    int minX_ = std::numeric_limits<int>::max(), maxX_ = -1;
    int minY_ = std::numeric_limits<int>::max(), maxY_ = -1;
};

// A zone for an RLE mask on a page of pageWidth x pageHeight; null with the
// problem in `problem` when the mask does not fit.
std::unique_ptr<NQZone> maskZone(const Annotation& a, int pageWidth, int pageHeight,
                                 std::string& problem) {
    if (a.maskWidth != pageWidth || a.maskHeight != pageHeight) {
        problem = "has a mask of " + std::to_string(a.maskWidth) + " x " +
                  std::to_string(a.maskHeight) + " pixels on a page of " +
                  std::to_string(pageWidth) + " x " + std::to_string(pageHeight);
        return nullptr;
    }
    const std::uint64_t area =
        static_cast<std::uint64_t>(pageHeight) * static_cast<std::uint64_t>(pageWidth);
    MaskRows rows(static_cast<std::uint64_t>(pageHeight));
    std::uint64_t pos = 0;
    for (std::size_t k = 0; k < a.maskCounts.size(); ++k) {
        const std::uint64_t n = a.maskCounts[k];
        if (n > area - pos) {
            problem = "has a malformed segmentation mask";
            return nullptr;
        }
        if (k % 2 == 1 && !rows.addPixels(pos, n)) {
            problem = "has a mask too fragmented to keep";
            return nullptr;
        }
        pos += n;
    }
    std::vector<MaskRows::Run> runs;
    if (!rows.finish(runs)) {
        problem = "has a mask too fragmented to keep";
        return nullptr;
    }
    if (rows.empty()) {
        problem = "has an empty mask";
        return nullptr;
    }

    const int x0 = rows.minX(), y0 = rows.minY();
    const int x1 = rows.maxX() + 1, y1 = rows.maxY() + 1;
    std::string text;
    for (const MaskRows::Run& run : runs)
        text += '(' + std::to_string(run.row - y0) + ',' + std::to_string(run.start - x0) + ',' +
                std::to_string(run.end - x0) + ");";
    // The outline is the mask's box, one pixel past its last column and row,
    // so that the region covers every pixel of the mask.
    auto zone = std::make_unique<NQZone>(x0, y0, x1 - x0, y1 - y0);
    const std::string left = std::to_string(x0), top = std::to_string(y0);
    const std::string right = std::to_string(x1), bottom = std::to_string(y1);
    zone->nqSetTag("polygon", "(" + left + "," + top + ");(" + right + "," + top + ");(" + right +
                                  "," + bottom + ");(" + left + "," + bottom + ")");
    zone->nqSetTag("RLEIMAGE", text);
    return zone;
}

std::string scoreText(double score) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", score);
    return buffer;
}

std::string baseName(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

NQCocoFile NQCocoFile::nqReadFromJsonFile(const std::string& file, std::ostream& messages) {
    const std::string text = nqReadForeignFile(file, kModule);
    CocoHandler handler(file, messages);
    const bool parsed = nlohmann::json::sax_parse(text, &handler);
    if (!parsed || !handler.failure.empty())
        throw NQInputError(file, handler.failure.empty() ? "malformed JSON" : handler.failure,
                           kModule, __LINE__);

    NQCocoFile coco;
    coco.fileName_ = file;
    coco.detectionList_ = handler.detectionList;
    coco.images_ = std::move(handler.images);
    coco.imageById_ = std::move(handler.imageById);
    coco.categories_ = std::move(handler.categories);
    coco.annotations_ = std::move(handler.annotations);
    for (std::size_t k = 0; k < coco.images_.size(); ++k)
        if (!coco.images_[k].fileName.empty())
            coco.imageByName_.emplace(baseName(coco.images_[k].fileName), k);
    for (std::size_t k = 0; k < coco.annotations_.size(); ++k)
        coco.annotationsByImage_[coco.annotations_[k].imageId].push_back(k);
    if (!coco.detectionList_)
        coco.nqReportUnknownImages(coco.images_, messages);
    return coco;
}

const NQCocoImage* NQCocoFile::nqFindImageByName(const std::string& name) const {
    const auto found = imageByName_.find(baseName(name));
    return found == imageByName_.end() ? nullptr : &images_[found->second];
}

const NQCocoImage* NQCocoFile::nqFindImageById(const std::string& id) const {
    const auto found = imageById_.find(id);
    return found == imageById_.end() ? nullptr : &images_[found->second];
}

std::size_t NQCocoFile::nqCountAnnotations(const std::string& imageId) const {
    const auto found = annotationsByImage_.find(imageId);
    return found == annotationsByImage_.end() ? 0 : found->second.size();
}

void NQCocoFile::nqReportUnknownImages(const std::vector<NQCocoImage>& images,
                                       std::ostream& messages) const {
    std::unordered_map<std::string, bool> known;
    for (const NQCocoImage& image : images)
        known.emplace(image.id, true);
    for (const Annotation& a : annotations_)
        if (known.count(a.imageId) == 0)
            messages << fileName_ << ": annotation " << a.id << " names unknown image " << a.imageId
                     << ", left out" << std::endl;
}

NQDocument NQCocoFile::nqReadDocument(const NQCocoImage& image, const Categories& categories,
                                      const std::string& imageFolder,
                                      const NQForeignReadOptions& options, std::ostream& messages,
                                      NQSharedPageImages* sharedImages) const {
    if (image.fileName.empty())
        throw NQInputError(fileName_, "image " + image.id + " has no file_name", kModule, __LINE__);
    NQPageImageLocation location;
    std::vector<std::string> tried;
    if (!nqLocatePageImage(image.fileName, options.pageImageSuffix, {imageFolder}, location, tried))
        throw NQInputError(fileName_,
                           nqPageImageNotFoundText(image.fileName, options.pageImageSuffix, tried),
                           kModule, __LINE__);

    NQPageImageLoader loader(location.path, sharedImages);
    auto page = std::make_unique<NQPage>(loader.nqLoadNextSharedPage(), image.id);
    const int width = page->nqGetPageWidth(), height = page->nqGetPageHeight();
    if ((image.width != 0 && image.width != width) || (image.height != 0 && image.height != height))
        messages << fileName_ << ": the page image " << location.path << " is " << width << " x "
                 << height << " pixels, the file declares " << image.width << " x " << image.height
                 << std::endl;

    const auto annotations = annotationsByImage_.find(image.id);
    if (annotations != annotationsByImage_.end()) {
        for (const std::size_t k : annotations->second) {
            const Annotation& a = annotations_[k];
            if (a.hasScore && a.score < options.minScore)
                continue;
            auto leaveOut = [&](const std::string& problem) {
                messages << fileName_ << ": annotation " << a.id << ' ' << problem << ", left out"
                         << std::endl;
            };
            const auto category = categories.find(a.categoryId);
            if (category == categories.end()) {
                leaveOut(a.categoryId.empty() ? "has no category_id"
                                              : "names unknown category " + a.categoryId);
                continue;
            }

            std::unique_ptr<NQZone> zone;
            NQOutlineFit fit = NQOutlineFit::NQ_FITS;
            std::string problem;
            const std::vector<NQPoint> outline =
                a.polygons.empty() ? std::vector<NQPoint>() : joinParts(a.polygons);
            if (!outline.empty())
                zone = nqMakePolygonZone(outline, width, height, fit);
            else if (a.hasMask)
                zone = maskZone(a, width, height, problem);
            else if (a.hasBox)
                zone = nqMakeBoxZone(a.box[0], a.box[1], a.box[2], a.box[3], width, height, fit);
            else
                problem = a.polygons.empty() ? "has neither a segmentation nor a bbox"
                                             : "has no polygon of three points";
            if (!zone) {
                leaveOut(problem.empty() ? nqOutlineFitText(fit) : problem);
                continue;
            }
            zone->nqSetZoneId(a.id);
            zone->nqSetTag("qola_type", category->second);
            if (a.hasScore)
                zone->nqSetTag("confidence", scoreText(a.score));
            try {
                page->nqAppendZone(zone.get());
                zone.release();
            } catch (const NQException&) {
                leaveOut("lies outside the page");
            }
        }
    }

    NQDocument document;
    document.nqSetDocumentId(image.fileName);
    document.nqSetTag("src", location.src);
    document.nqAppendPage(page.get());
    page.release();
    return document;
}
