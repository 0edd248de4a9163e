#ifndef NQ_XML_NQCOCOJSON_H
#define NQ_XML_NQCOCOJSON_H

#include <cstdint>
#include <iostream>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "docmodel/NQDocument.h"
#include "xml/NQForeignInput.h"

class NQSharedPageImages;

// One entry of a COCO file's "images": one page.
struct NQCocoImage {
    std::string id;        // the "id", a number written in decimal, or a string
    std::string fileName;  // "file_name"; empty when the entry has none
    int width = 0;         // "width" and "height"; 0 when absent
    int height = 0;
};

// Reader of COCO JSON: a data set (an object with "images", "annotations"
// and "categories", many pages in one file) or a detection list (an array of
// annotations with "image_id", "category_id", "bbox" or "segmentation" and
// "score", whose images and categories are those of a data set it is
// evaluated against).
//
// The file is parsed once and kept as plain records; the document of each
// image is then made on request, with its page image loaded from the image
// folder. An annotation becomes a zone with the annotation's "id" (or its
// position in the file, from 1) and the class ("qola_type") of its
// category's "name". Its outline is taken from "segmentation" polygons
// (several parts are joined into one outline that encloses exactly their
// union), else from an RLE mask (kept as the "RLEIMAGE" run-length
// attribute, which -rle reads; the zone's outline is then the mask's
// bounding box), else from "bbox". A "score" is kept as "confidence".
//
// A file that is malformed or of neither shape raises NQInputError. An
// annotation that cannot become a zone (unknown image or category, no usable
// outline, outside the page) is left out with one line on the messages
// stream naming the file.
class NQCocoFile {
public:
    using Categories = std::map<std::string, std::string>;  // category id -> name

    static NQCocoFile nqReadFromJsonFile(const std::string& file,
                                         std::ostream& messages = std::cout);

    const std::string& nqGetFileName() const { return fileName_; }
    bool nqIsDetectionList() const { return detectionList_; }
    // Images in file order; none for a detection list.
    const std::vector<NQCocoImage>& nqGetImages() const { return images_; }
    const Categories& nqGetCategories() const { return categories_; }
    // The image whose file name has this base name, or null.
    const NQCocoImage* nqFindImageByName(const std::string& name) const;
    const NQCocoImage* nqFindImageById(const std::string& id) const;
    // Number of annotations kept for an image id.
    std::size_t nqCountAnnotations(const std::string& imageId) const;

    // One line for each annotation whose image is none of `images` (for a
    // data set, its own images are checked when it is read).
    void nqReportUnknownImages(const std::vector<NQCocoImage>& images,
                               std::ostream& messages = std::cout) const;

    // The document of `image` (an image of this file, or of the data set a
    // detection list is evaluated against): one page holding this file's
    // annotations of that image, classes named by `categories`. The page
    // image is the image's file name looked up in `imageFolder`, then by its
    // base name there (taken from `sharedImages` when another document of
    // the same work decoded it, and kept there); NQInputError when it is not
    // found.
    NQDocument nqReadDocument(const NQCocoImage& image, const Categories& categories,
                              const std::string& imageFolder,
                              const NQForeignReadOptions& options = {},
                              std::ostream& messages = std::cout,
                              NQSharedPageImages* sharedImages = nullptr) const;

    // An annotation as read from the file.
    struct Annotation {
        std::string id;
        std::string imageId;
        std::string categoryId;
        std::vector<std::vector<int>> polygons;  // x, y, x, y, ... per part
        bool hasBox = false;
        double box[4] = {0, 0, 0, 0};  // x, y, width, height
        bool hasMask = false;
        int maskHeight = 0;
        int maskWidth = 0;
        std::vector<std::uint32_t> maskCounts;  // column-major runs, background first
        bool hasScore = false;
        double score = 0;
    };

private:
    std::string fileName_;
    bool detectionList_ = false;
    std::vector<NQCocoImage> images_;
    std::unordered_map<std::string, std::size_t> imageById_;
    std::unordered_map<std::string, std::size_t> imageByName_;
    Categories categories_;
    std::vector<Annotation> annotations_;
    std::unordered_map<std::string, std::vector<std::size_t>> annotationsByImage_;
};

#endif
