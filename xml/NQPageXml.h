#ifndef NQ_XML_NQPAGEXML_H
#define NQ_XML_NQPAGEXML_H

#include <iostream>
#include <string>

#include "docmodel/NQDocument.h"
#include "xml/NQForeignInput.h"

class NQSharedPageImages;

// Reader of PAGE XML files (the 2010, 2013, 2017 and 2019 schemas): one
// document of one page per file.
//
// Every region element directly under Page (TextRegion, ImageRegion,
// GraphicRegion, TableRegion, SeparatorRegion, MathsRegion, ChartRegion, ...)
// becomes a top-level zone with the region's id. Its outline is the Coords
// element ("points", or Point children in the 2010 schema), kept as the
// "polygon" attribute; its rectangle is the outline's bounding box. The class
// ("qola_type") is the kind in lower case without "Region" ("text",
// "separator", "linedrawing", ...); a TextRegion with a "type" adds it after
// a colon ("text:paragraph"), other kinds keep their "type" as the zone's
// "subtype" attribute. Regions nested in regions (table cells and the like)
// are left out. With lineIdMode a TextRegion that has TextLines gives one
// zone per line instead, each with the region's class and "lineID" = the
// region id.
//
// The page image is Page/@imageFilename, looked up beside the PAGE file, then
// in the image folder, then by its base name in the image folder; it is
// loaded through NQPageImageLoader. The document's "src" is the image's name
// relative to the folder it was found in.
//
// A file that is not PAGE, malformed XML, or a missing page image raise
// NQInputError. A region without coordinates or whose outline lies outside
// the page is left out with one line on `messages` naming the file.
class NQPageXml {
public:
    explicit NQPageXml(NQForeignReadOptions options = {}, std::ostream& messages = std::cout);

    // The page image comes from `sharedImages` when it holds it, and is kept there.
    NQDocument nqReadFromPageFile(const std::string& file, const std::string& imageFolder,
                                  NQSharedPageImages* sharedImages = nullptr) const;
    // Page/@imageFilename of the file, without loading anything else;
    // NQInputError as above.
    static std::string nqReadImageFilename(const std::string& file);

private:
    NQForeignReadOptions options_;
    std::ostream& messages_;
};

#endif
