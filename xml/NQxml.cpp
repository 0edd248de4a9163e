// Reading and writing of ground-truth documents on top of the xml cursor.
//
// Reading locates the document element by the first occurrence of
// "NQ_DOCUMENT" in the file and makes its text the cursor's whole text. Before
// anything is read, that text is checked once, linearly, for the shape the
// cursor relies on: every tag closed by ">" with no "<" inside, attributes
// written as name="value", end tags matching their start tags, and bounded
// nesting. The cursor itself only counts tags and searches bytes, so without
// this check a truncated or unbalanced file would be read as a silently
// shortened document. After the check, every navigation step moves forward
// through the text and every ascent returns to the element it came from.
//
// Writing builds the text with the cursor's insertion operations. Each
// insertion happens at the current element, which is always close to the end
// of the text, and element ends are found by scanning forward from the
// current element only, so writing is linear in the size of the document.
#include "xml/NQxml.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQUtils.h"
#include "imageio/NQPageImageLoader.h"

namespace {

constexpr const char* kModule = "NQxml";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// strtol with base 10 (leading white space, optional sign, digits up to the
// first other character; no digits give 0), clamped to the range of int so
// that an overlong number cannot wrap around to a small or negative one.
int readNumber(const char* text) {
    const long long value = NQUtils::readDecimal(text);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int readNumber(const std::string& text) {
    return readNumber(text.c_str());
}

[[noreturn]] void refuseText(const std::string& what, std::size_t at) {
    throw NQException(NQ_INVALID_CONTENT,
                      "<NQxml::nqReadFromXmlFile()> Malformed NQ_DOCUMENT element: " + what +
                          " (byte " + std::to_string(at) + " of the element)",
                      kModule, __LINE__);
}

bool endsName(char c) {
    return isSpace(c) || c == '/' || c == '>';
}

bool isAttributeNameChar(char c) {
    return !isSpace(c) && c != '=' && c != '"' && c != '\'' && c != '<' && c != '>' && c != '/';
}

// Checks a start tag (from "<" to ">") and returns its element name; sets
// selfClosing the way the cursor decides it (a "/" in front of the ">").
std::string_view checkStartTag(std::string_view tag, std::size_t at, bool& selfClosing) {
    const std::size_t n = tag.size();
    std::size_t i = 1;
    while (i < n - 1 && !endsName(tag[i]))
        ++i;
    const std::string_view name = tag.substr(1, i - 1);
    if (name.empty())
        refuseText("a tag without a name", at);
    selfClosing = n >= 3 && tag[n - 2] == '/';
    const std::size_t end = selfClosing ? n - 2 : n - 1;

    for (;;) {
        const std::size_t before = i;
        while (i < end && isSpace(tag[i]))
            ++i;
        if (i == end)
            break;
        if (i == before)
            refuseText("attributes not separated by white space", at + i);
        const std::size_t nameStart = i;
        while (i < end && isAttributeNameChar(tag[i]))
            ++i;
        if (i == nameStart)
            refuseText("an unexpected character in a start tag", at + i);
        while (i < end && isSpace(tag[i]))
            ++i;
        if (i == end || tag[i] != '=')
            refuseText("an attribute without a value", at + i);
        ++i;
        while (i < end && isSpace(tag[i]))
            ++i;
        if (i == end || tag[i] != '"')
            refuseText("an attribute value not in double quotes", at + i);
        const std::size_t close = tag.find('"', i + 1);
        if (close == std::string_view::npos || close >= end)
            refuseText("an attribute value without its closing quote", at + i);
        i = close + 1;
    }
    return name;
}

// Refuses a document element text that the cursor would misread: see the
// file comment. `text` starts with the document element's "<".
void checkDocumentText(const std::string& text) {
    std::vector<std::string_view> open;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string::npos)
            break;
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string::npos)
            refuseText("a tag without its closing '>'", lt);
        const std::string_view tag(text.data() + lt, gt - lt + 1);
        if (tag.find('<', 1) != std::string_view::npos)
            refuseText("a tag without its closing '>'", lt);

        if (tag.size() > 2 && tag[1] == '/') {
            std::size_t i = 2;
            while (i < tag.size() - 1 && !endsName(tag[i]))
                ++i;
            const std::string_view name = tag.substr(2, i - 2);
            while (i < tag.size() - 1 && isSpace(tag[i]))
                ++i;
            if (i != tag.size() - 1)
                refuseText("a malformed end tag", lt);
            if (open.empty() || open.back() != name)
                refuseText(
                    "the end tag </" + std::string(name) + "> does not close the open element", lt);
            open.pop_back();
        } else {
            bool selfClosing = false;
            const std::string_view name = checkStartTag(tag, lt, selfClosing);
            if (!selfClosing) {
                open.push_back(name);
                if (open.size() > NQxml::kMaxNesting)
                    refuseText("elements nested too deeply", lt);
            }
        }
        if (open.empty())
            return;  // the document element is complete
        pos = gt + 1;
    }
    refuseText(open.empty() ? std::string("no element")
                            : "the element <" + std::string(open.back()) + "> is not closed",
               text.size());
}

// Copies the attributes of the start tag under the cursor, except the reserved
// ones, as tags of `owner`, replacing tags of the same name.
template <typename Owner>
void copyFreeAttributes(const xml& cursor, const std::vector<std::string>& reserved, Owner& owner) {
    cursor.forEachDynamicAttrib(1, [&](std::string&& name, std::string&& value) {
        if (!contains(reserved, name))
            owner.nqSetTag(name, value, true);
    });
}

}  // namespace

NQxml::NQxml()
    : documentReserved_{"documentID"},
      pageReserved_{"pageID", "width", "height"},
      zoneReserved_{"ZoneId", "id", "col", "row", "width", "height"} {}

NQLoadXmlError::NQLoadXmlError(const std::string& fileName)
    : NQException(NQ_FILE_OPEN_ERROR,
                  "<NQxml::nqReadFromXmlFile()> Load XML Error: " + fileName + " can not be opened",
                  kModule, __LINE__),
      fileName_(fileName) {}

void NQxml::ascendTo(xml& cursor, std::size_t parent) {
    cursor.Go2ParentLevel();
    if (cursor.getCursor() != parent)
        throw NQException(
            NQ_INVALID_CONTENT,
            "<NQxml::nqReadFromXmlFile()> The element nesting is inconsistent at byte " +
                std::to_string(parent),
            kModule, __LINE__);
}

// ---- reading -----------------------------------------------------------------------

NQDocument NQxml::nqReadFromXmlFile(const std::string& xmlFile, const std::string& imageFolder) {
    return nqReadFromXmlFile(xmlFile, imageFolder, nullptr);
}

NQDocument NQxml::nqReadFromXmlFile(const std::string& xmlFile, const std::string& imageFolder,
                                    NQSharedPageImages* sharedImages) {
    std::error_code unknownSize;
    const std::uintmax_t fileBytes = std::filesystem::file_size(xmlFile, unknownSize);
    if (!unknownSize && fileBytes > kMaxFileBytes)
        throw NQException(NQ_INVALID_CONTENT,
                          "<NQxml::nqReadFromXmlFile()> " + xmlFile + " is larger than " +
                              std::to_string(kMaxFileBytes >> 20) + " MiB",
                          kModule, __LINE__);
    if (!LoadXml(xmlFile))
        throw NQLoadXmlError(xmlFile);
    return readLoadedText(xmlFile, imageFolder, sharedImages);
}

NQDocument NQxml::nqReadFromXmlText(const std::string& xmlFile, std::string&& text,
                                    const std::string& imageFolder,
                                    NQSharedPageImages* sharedImages) {
    setXML(std::move(text));
    return readLoadedText(xmlFile, imageFolder, sharedImages);
}

NQDocument NQxml::readLoadedText(const std::string& xmlFile, const std::string& imageFolder,
                                 NQSharedPageImages* sharedImages) {
    std::string documentText;
    try {
        documentText = RetrieveSpecifiedElem("NQ_DOCUMENT");
    } catch (const std::out_of_range&) {
        // The document element's start tag has no ">" or nothing follows it.
        refuseText("the element is not closed", 0);
    }
    if (documentText.empty())
        throw NQException(NQ_INVALID_CONTENT,
                          "<NQxml::nqReadFromXmlFile()> No NQ_DOCUMENT element in " + xmlFile,
                          kModule, __LINE__);
    checkDocumentText(documentText);
    setXML(std::move(documentText));

    // The cursor's plain searches can still run past the tag they read: a
    // value holding "=" or an attribute's name makes them look for quotes
    // that the file does not have. Such a file is malformed like any other.
    try {
        NQDocument document;
        document.nqSetDocumentId(GetAttrib("documentID"));
        copyFreeAttributes(*this, documentReserved_, document);
        // Page k of the image file belongs to the k-th page element; nothing is
        // opened before the first page asks for it.
        NQPageImageLoader pageImages(imageFolder + "/" + GetAttrib("src"), sharedImages);

        if (!bHasChild())
            return document;
        const std::size_t documentElement = getCursor();
        Go2ChildLevel();
        do {
            const std::string pageId = GetAttrib("pageID");
            auto page = std::make_unique<NQPage>(pageImages.nqLoadNextSharedPage(), pageId);
            page->nqSetPageId(pageId);
            copyFreeAttributes(*this, pageReserved_, *page);
            readZones(*page);
            document.nqAppendPage(page.get());
            page.release();
        } while (GoNextSibling());
        ascendTo(*this, documentElement);
        return document;
    } catch (const std::out_of_range&) {
        refuseText("an attribute value that the attribute search runs past", getCursor());
    }
}

void NQxml::readZones(NQPage& page) {
    if (!bHasChild())
        return;
    const std::size_t pageElement = getCursor();
    Go2ChildLevel();
    do {
        auto zone = std::make_unique<NQZone>();
        traverseXML(*this, *zone);
        if (zone->nqIsTagSet("polygon") &&
            !validatePolygon(*zone, page.nqGetPageWidth(), page.nqGetPageHeight()))
            continue;
        try {
            page.nqAppendZone(zone.get());
            zone.release();
        } catch (const NQException&) {
            std::ostream& out = messages_ != nullptr ? *messages_ : std::cout;
            out << "Appending Zone(ID : " << zone->nqGetZoneId()
                << ") to the page is canceled due to the size check routine" << std::endl;
        }
    } while (GoNextSibling());
    ascendTo(*this, pageElement);
}

void NQxml::traverseXML(xml& cursor, NQZone& zone) {
    static constexpr std::array<std::string_view, 5> kFixed{"row", "col", "height", "width", "id"};
    std::array<std::string, 5> fixed;
    bool hasChild = false;
    // A start tag as our writer writes it is read in one pass; any other
    // goes through the cursor's searches, which give the same for a plain one.
    const bool plain = cursor.readPlainStartTag(
        kFixed, fixed, hasChild, [&](std::string_view name, std::string_view value) {
            if (!contains(zoneReserved_, name))
                zone.nqSetTag(std::string(name), std::string(value), true);
        });
    if (!plain)
        fixed = cursor.GetAttribs<5>(kFixed);
    zone.nqSetZoneOrigin(readNumber(fixed[1]), readNumber(fixed[0]));
    zone.nqSetZoneHeight(readNumber(fixed[2]));
    zone.nqSetZoneWidth(readNumber(fixed[3]));
    zone.nqSetZoneId(fixed[4]);
    if (!plain) {
        copyFreeAttributes(cursor, zoneReserved_, zone);
        hasChild = cursor.bHasChild();
    }

    if (!hasChild)
        return;
    const std::size_t zoneElement = cursor.getCursor();
    cursor.Go2ChildLevel();
    do {
        auto child = std::make_unique<NQZone>();
        traverseXML(cursor, *child);
        zone.nqAppendChildZone(child.get());
        child.release();
    } while (cursor.GoNextSibling());
    ascendTo(cursor, zoneElement);
}

bool NQxml::validatePolygon(const NQZone& zone, int pageWidth, int pageHeight) const {
    const std::string* found = zone.nqGetTags().findTag("polygon");
    if (found == nullptr)
        return true;
    const std::string& polygon = *found;
    auto isSeparator = [](char c) { return c == ',' || c == ';' || c == '(' || c == ')'; };
    std::size_t count = 0;
    std::size_t pos = 0;
    for (;;) {
        while (pos < polygon.size() && isSeparator(polygon[pos]))
            ++pos;
        if (pos == polygon.size())
            break;
        // The number is read in place: strtol stops at the separator that
        // ends the piece at the latest.
        const int value = readNumber(polygon.c_str() + pos);
        // Even-numbered values are x, odd-numbered ones y.
        if (value > (count % 2 == 0 ? pageWidth : pageHeight))
            return false;
        ++count;
        while (pos < polygon.size() && !isSeparator(polygon[pos]))
            ++pos;
    }
    return count >= 6;
}

// ---- writing -----------------------------------------------------------------------

NQxml::NQxml(const NQDocument& document, const std::string& imageFile) {
    // Each AddAttrib puts its attribute first, so the tags (added in ascending
    // order) end up descending, behind the fixed attributes added after them.
    InsertSiblingElem("NQ_DOCUMENT", "");
    AddDynamicAttrib(document.nqGetTags().nqGetTags());
    if (!document.nqGetDocumentId().empty())
        AddAttrib("documentID", document.nqGetDocumentId());
    if (!document.nqIsTagSet("src"))
        AddAttrib("src", imageFile);

    bool firstPage = true;
    for (const NQPage* page : document.nqGetPageList()) {
        if (firstPage) {
            InsertChildElem("NQ_PAGE", 2, "");
            Go2ChildLevel();
            firstPage = false;
        } else {
            InsertSiblingElem("NQ_PAGE", "");
        }
        AddDynamicAttrib(page->nqGetTags().nqGetTags());
        AddAttrib("height", page->nqGetPageHeight());
        AddAttrib("width", page->nqGetPageWidth());
        if (!page->nqGetPageId().empty())
            AddAttrib("pageID", page->nqGetPageId());
        if (!page->nqIsTagSet("src"))
            AddAttrib("src", imageFile);

        bool firstZone = true;
        for (const NQZone* zone : page->nqGetZoneList()) {
            if (firstZone) {
                InsertChildElem("NQ_ZONE", 3, "");
                Go2ChildLevel();
                firstZone = false;
            } else {
                InsertSiblingElem("NQ_ZONE", "");
            }
            AddDynamicAttrib(zone->nqGetTags().nqGetTags());
            AddAttrib("height", zone->nqGetZoneHeight());
            AddAttrib("width", zone->nqGetZoneWidth());
            AddAttrib("row", zone->nqGetZoneOrigin().y);
            AddAttrib("col", zone->nqGetZoneOrigin().x);
            if (!zone->nqGetZoneId().empty())
                AddAttrib("id", zone->nqGetZoneId());
            if (!zone->nqGetChildZoneList().empty())
                traverseSubtree(*zone, 0, *this);
        }
        if (!firstZone)
            Go2ParentLevel();
    }
    if (!firstPage)
        Go2ParentLevel();
}

void NQxml::traverseSubtree(const NQZone& zone, int level, xml& cursor) {
    bool first = true;
    for (const NQZone* child : zone.nqGetChildZoneList()) {
        if (first) {
            cursor.InsertChildElem("NQ_ZONE", 3, "");
            cursor.Go2ChildLevel();
            first = false;
        } else {
            cursor.InsertSiblingElem("NQ_ZONE", "");
        }
        // Child zones carry no "id": a reader finds "id" inside "width" instead.
        cursor.AddDynamicAttrib(child->nqGetTags().nqGetTags());
        cursor.AddAttrib("col", child->nqGetZoneOrigin().x);
        cursor.AddAttrib("row", child->nqGetZoneOrigin().y);
        cursor.AddAttrib("width", child->nqGetZoneWidth());
        cursor.AddAttrib("height", child->nqGetZoneHeight());
        if (!child->nqGetChildZoneList().empty())
            traverseSubtree(*child, level, cursor);
    }
    if (!first)
        cursor.Go2ParentLevel();
}

bool NQxml::nqSaveToXmlFile(const std::string& fileName) {
    return SaveXml(fileName);
}
