#ifndef NQ_XML_NQINPUTFORMAT_H
#define NQ_XML_NQINPUTFORMAT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The file formats that ground truth and results may come in. The format of
// a file is told by its content, never by its name or by an option.
enum class NQInputFormat : std::uint8_t {
    NQ_NATIVE_XML = 0,      // our own format (NQ_DOCUMENT), and anything not recognised
    NQ_PAGE_XML = 1,        // a PcGts root element
    NQ_COCO_JSON = 2,       // a JSON object (a COCO data set: images, annotations, categories)
    NQ_DETECTION_LIST = 3,  // a JSON array (detections: image_id, category_id, bbox, score)
};

// The format of the file, from its first bytes. A file that cannot be opened
// counts as our own format, so that its reader reports it as it always has.
NQInputFormat nqDetectInputFormat(const std::string& file);
// The same, for a file that is read next: when it is in our own format and a
// regular file of at most `maxBytes`, `text` receives all its bytes (and is
// emptied otherwise), so that the file need not be opened again.
NQInputFormat nqDetectInputFormat(const std::string& file, std::uintmax_t maxBytes,
                                  std::string& text);
// The same decision on the first bytes of a file.
NQInputFormat nqDetectInputFormatOfText(std::string_view head);
// "native XML", "PAGE XML", "COCO JSON", "detection list".
const char* nqInputFormatName(NQInputFormat format);
// The short key of a format in files that record it: "native", "page",
// "coco", "detections"; and back (false for any other text).
const char* nqInputFormatKey(NQInputFormat format);
bool nqInputFormatFromKey(const std::string& key, NQInputFormat& format);

// One document of an evaluation input: a file of one document (our own
// format, PAGE), or one page of a COCO file. `text` holds the bytes of a file
// of our own format when they were read while its format was told: reading
// the source takes them (leaving `text` empty) instead of opening the file
// again, and any later read opens it.
struct NQDocumentSource {
    std::string file;
    NQInputFormat format = NQInputFormat::NQ_NATIVE_XML;
    // COCO: the id of the page's image, and the file whose "images" and
    // "categories" describe it (the file itself, or for a detection list the
    // data set it is evaluated against).
    std::string imageId;
    std::string imageFile;
    std::shared_ptr<std::string> text;

    bool isCocoPage() const { return !imageFile.empty(); }
};

#endif
