// PAGE XML reading on pugixml.
//
// The file is read whole (bounded by kMaxForeignInputBytes) and parsed in
// place; pugixml detects the encoding from a byte order mark or the prolog
// and turns CRLF line ends into LF. Element names are compared by their
// local part, so that the default namespace of any schema version and
// prefixed names ("pc:TextRegion") read alike; the namespace itself is not
// checked, since the region kinds and the Coords element are the same in
// every version. Only two levels of the tree are walked (the regions under
// Page and, with lineIdMode, the TextLines under a TextRegion), so deep or
// wide trees elsewhere in the file cost nothing but the parse.
//
// Coordinates are read as decimal numbers (integers in the schema, but some
// tools write fractions) and rounded to pixels.
#include "xml/NQPageXml.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include <boost/filesystem.hpp>
#include <pugixml.hpp>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"
#include "imageio/NQPageImageLoader.h"

namespace {

constexpr const char* kModule = "NQPageXml";

std::string_view localName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node firstChild(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && localName(child) == name)
            return child;
    return {};
}

// A parsed PAGE file: the text it was parsed from (pugixml parses in place)
// and its Page element.
struct PageFile {
    std::string text;
    pugi::xml_document document;
    pugi::xml_node root;
    pugi::xml_node page;
};

void parsePageFile(const std::string& file, PageFile& parsed) {
    parsed.text = nqReadForeignFile(file, kModule);
    const pugi::xml_parse_result result = parsed.document.load_buffer_inplace(
        parsed.text.data(), parsed.text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result)
        throw NQInputError(file,
                           std::string("malformed XML: ") + result.description() + " at byte " +
                               std::to_string(result.offset),
                           kModule, __LINE__);
    parsed.root = parsed.document.document_element();
    if (!parsed.root || localName(parsed.root) != "PcGts")
        throw NQInputError(
            file,
            parsed.root ? "not a PAGE file (root element <" + std::string(parsed.root.name()) + ">)"
                        : std::string("not a PAGE file (no root element)"),
            kModule, __LINE__);
    parsed.page = firstChild(parsed.root, "Page");
    if (!parsed.page)
        throw NQInputError(file, "not a PAGE file (no Page element)", kModule, __LINE__);
    if (parsed.page.attribute("imageFilename").value()[0] == '\0')
        throw NQInputError(file, "the Page element names no imageFilename", kModule, __LINE__);
}

// A decimal number filling the whole of `text`.
bool readNumber(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

enum class CoordsState : std::uint8_t { NQ_READ, NQ_MISSING, NQ_MALFORMED };

// "x1,y1 x2,y2 ...", separated by any white space.
CoordsState readPointsText(std::string_view text, std::vector<NQPoint>& points) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[pos]))) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
            ++end;
        const std::string_view pair = text.substr(pos, end - pos);
        const std::size_t comma = pair.find(',');
        double x = 0, y = 0;
        if (comma == std::string_view::npos || !readNumber(std::string(pair.substr(0, comma)), x) ||
            !readNumber(std::string(pair.substr(comma + 1)), y))
            return CoordsState::NQ_MALFORMED;
        points.emplace_back(nqPixelCoordinate(x), nqPixelCoordinate(y));
        pos = end;
    }
    return points.empty() ? CoordsState::NQ_MISSING : CoordsState::NQ_READ;
}

// The outline of a region or line: Coords/@points, or the Point children of
// Coords in the 2010 schema.
CoordsState readCoords(const pugi::xml_node& owner, std::vector<NQPoint>& points) {
    const pugi::xml_node coords = firstChild(owner, "Coords");
    if (!coords)
        return CoordsState::NQ_MISSING;
    if (const pugi::xml_attribute text = coords.attribute("points"))
        return readPointsText(text.value(), points);
    for (pugi::xml_node point = coords.first_child(); point; point = point.next_sibling()) {
        if (point.type() != pugi::node_element || localName(point) != "Point")
            continue;
        double x = 0, y = 0;
        if (!readNumber(point.attribute("x").value(), x) ||
            !readNumber(point.attribute("y").value(), y))
            return CoordsState::NQ_MALFORMED;
        points.emplace_back(nqPixelCoordinate(x), nqPixelCoordinate(y));
    }
    return points.empty() ? CoordsState::NQ_MISSING : CoordsState::NQ_READ;
}

// "TextRegion" -> "text", "LineDrawingRegion" -> "linedrawing"; empty for
// an element that is no region.
std::string regionKind(std::string_view name) {
    static constexpr std::string_view kSuffix = "Region";
    if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix)
        return {};
    std::string kind(name.substr(0, name.size() - kSuffix.size()));
    for (char& c : kind)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kind;
}

// Reads the zones of one page, reporting what it leaves out.
class RegionReader {
public:
    RegionReader(const std::string& file, NQPage& page, std::ostream& messages)
        : file_(file), page_(page), messages_(messages) {}

    // One zone for `element` (a region or a text line) with the given tags.
    void addZone(const pugi::xml_node& element, const char* what,
                 const std::vector<std::pair<std::string, std::string>>& tags) {
        const std::string id = element.attribute("id").value();
        std::vector<NQPoint> points;
        const CoordsState state = readCoords(element, points);
        if (state != CoordsState::NQ_READ) {
            leaveOut(what, id,
                     state == CoordsState::NQ_MISSING ? "has no coordinates"
                                                      : "has malformed coordinates");
            return;
        }
        NQOutlineFit fit;
        std::unique_ptr<NQZone> zone =
            nqMakePolygonZone(points, page_.nqGetPageWidth(), page_.nqGetPageHeight(), fit);
        if (!zone) {
            leaveOut(what, id, nqOutlineFitText(fit));
            return;
        }
        zone->nqSetZoneId(id);
        for (const auto& tag : tags)
            zone->nqSetTag(tag.first, tag.second);
        try {
            page_.nqAppendZone(zone.get());
            zone.release();
        } catch (const NQException&) {
            leaveOut(what, id, "lies outside the page");
        }
    }

private:
    void leaveOut(const char* what, const std::string& id, const char* problem) {
        messages_ << file_ << ": " << what << ' ' << (id.empty() ? "without id" : id) << ' '
                  << problem << ", left out" << std::endl;
    }

    const std::string& file_;
    NQPage& page_;
    std::ostream& messages_;
};

}  // namespace

NQPageXml::NQPageXml(NQForeignReadOptions options, std::ostream& messages)
    : options_(std::move(options)), messages_(messages) {}

std::string NQPageXml::nqReadImageFilename(const std::string& file) {
    PageFile parsed;
    parsePageFile(file, parsed);
    return parsed.page.attribute("imageFilename").value();
}

NQDocument NQPageXml::nqReadFromPageFile(const std::string& file, const std::string& imageFolder,
                                         NQSharedPageImages* sharedImages) const {
    PageFile parsed;
    parsePageFile(file, parsed);

    const std::string imageName = parsed.page.attribute("imageFilename").value();
    const std::string fileFolder = boost::filesystem::path(file).parent_path().string();
    NQPageImageLocation location;
    std::vector<std::string> tried;
    if (!nqLocatePageImage(imageName, options_.pageImageSuffix,
                           {fileFolder.empty() ? "." : fileFolder, imageFolder}, location, tried))
        throw NQInputError(file,
                           nqPageImageNotFoundText(imageName, options_.pageImageSuffix, tried),
                           kModule, __LINE__);

    NQPageImageLoader loader(location.path, sharedImages);
    auto page = std::make_unique<NQPage>(loader.nqLoadNextSharedPage(), "1");
    const std::string declaredWidth = parsed.page.attribute("imageWidth").value();
    const std::string declaredHeight = parsed.page.attribute("imageHeight").value();
    if ((!declaredWidth.empty() && declaredWidth != std::to_string(page->nqGetPageWidth())) ||
        (!declaredHeight.empty() && declaredHeight != std::to_string(page->nqGetPageHeight())))
        messages_ << file << ": the page image " << location.path << " is "
                  << page->nqGetPageWidth() << " x " << page->nqGetPageHeight()
                  << " pixels, the file declares " << declaredWidth << " x " << declaredHeight
                  << std::endl;

    RegionReader regions(file, *page, messages_);
    for (pugi::xml_node node = parsed.page.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element)
            continue;
        const std::string kind = regionKind(localName(node));
        if (kind.empty())
            continue;
        const std::string type = node.attribute("type").value();
        const std::string regionClass = kind == "text" && !type.empty() ? kind + ":" + type : kind;
        std::vector<std::pair<std::string, std::string>> tags{{"qola_type", regionClass}};
        if (kind != "text" && !type.empty())
            tags.emplace_back("subtype", type);

        if (options_.lineIdMode && kind == "text" && firstChild(node, "TextLine")) {
            tags.emplace_back("lineID", node.attribute("id").value());
            for (pugi::xml_node line = node.first_child(); line; line = line.next_sibling())
                if (line.type() == pugi::node_element && localName(line) == "TextLine")
                    regions.addZone(line, "text line", tags);
        } else {
            regions.addZone(node, "region", tags);
        }
    }

    NQDocument document;
    document.nqSetDocumentId(parsed.root.attribute("pcGtsId").value());
    document.nqSetTag("src", location.src);
    document.nqAppendPage(page.get());
    page.release();
    return document;
}
