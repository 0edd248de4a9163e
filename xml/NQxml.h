#ifndef NQ_XML_NQXML_H
#define NQ_XML_NQXML_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "docmodel/NQDocument.h"
#include "image/NQException.h"
#include "xml/xml.h"

class NQSharedPageImages;
class NQZone;

// Raised by the reader for an XML file that cannot be opened at all. It ends
// an evaluation run: the command layer writes "Load XML Error" and stops,
// where every other reading failure only skips its file pair.
class NQLoadXmlError : public NQException {
public:
    explicit NQLoadXmlError(const std::string& fileName);
    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
};

// Reader and writer of the ground-truth file format: one NQ_DOCUMENT element
// holding NQ_PAGE elements holding NQ_ZONE elements, which nest to any depth.
// Every attribute that is not a fixed attribute of its level travels as a tag
// of the document, page or zone. Both directions go through the xml cursor,
// whose plain-text searches define what is read ("id" is found inside
// "width") and how the text is laid out (attributes added later come first).
class NQxml : public xml {
public:
    // A reader: empty cursor, reserved attribute names filled in.
    NQxml();
    // A writer: builds the document's XML text in the cursor. `imageFile` is
    // written as "src" wherever the document or a page has no "src" tag. The
    // document is only read, so it is not copied.
    NQxml(const NQDocument& document, const std::string& imageFile);

    // Reads the file into a document, loading page k of
    // imageFolder + "/" + <document src> for the k-th page element through
    // one NQPageImageLoader. A file that cannot be opened raises
    // NQLoadXmlError; any other failure its own exception.
    NQDocument nqReadFromXmlFile(const std::string& xmlFile, const std::string& imageFolder);
    // As above; page images are taken from and kept in `sharedImages` (when
    // not null), so that readers of one piece of work decode each page once.
    NQDocument nqReadFromXmlFile(const std::string& xmlFile, const std::string& imageFolder,
                                 NQSharedPageImages* sharedImages);
    // As above, for a file whose bytes were read already: `text` is read as
    // the file's content (nothing is opened but the page images).
    NQDocument nqReadFromXmlText(const std::string& xmlFile, std::string&& text,
                                 const std::string& imageFolder, NQSharedPageImages* sharedImages);
    // Where the reader's one-line messages go (standard output by default).
    void nqSetMessageStream(std::ostream& out) { messages_ = &out; }
    // Writes prolog, comment, root element and the document text; false when the
    // file cannot be opened or not every byte was written.
    bool nqSaveToXmlFile(const std::string& fileName);

    // Reads the element under the cursor into `zone`, with its child zones.
    void traverseXML(xml& cursor, NQZone& zone);
    // Writes the child zones of `zone` below the element at the cursor. The
    // level has no effect.
    void traverseSubtree(const NQZone& zone, int level, xml& cursor);
    // True when the zone's "polygon" tag holds at least three points and no x
    // beyond pageWidth nor y beyond pageHeight.
    bool validatePolygon(const NQZone& zone, int pageWidth, int pageHeight) const;

    // Attribute names that the reader does not store as tags, per level.
    const std::vector<std::string>& documentReservedNames() const { return documentReserved_; }
    const std::vector<std::string>& pageReservedNames() const { return pageReserved_; }
    const std::vector<std::string>& zoneReservedNames() const { return zoneReserved_; }

    // Nesting deeper than this (document, page and zone levels together) is
    // refused before reading, so that recursion stays bounded.
    static constexpr std::size_t kMaxNesting = 256;
    // A file larger than this is refused before it is read, so that a
    // hostile or runaway file cannot exhaust memory (the text is held whole).
    static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t(256) << 20;

private:
    // The document in the text of xmlFile that the cursor holds.
    NQDocument readLoadedText(const std::string& xmlFile, const std::string& imageFolder,
                              NQSharedPageImages* sharedImages);
    void readZones(NQPage& page);
    // Back up to the element at `parent` after reading its children; refuses
    // text in which the ascent would land anywhere else.
    static void ascendTo(xml& cursor, std::size_t parent);

    std::vector<std::string> documentReserved_;
    std::vector<std::string> pageReserved_;
    std::vector<std::string> zoneReserved_;
    std::ostream* messages_ = nullptr;  // null: standard output
};

#endif
