// Saves and loads a page image and reads a ground-truth file through an
// installed nq; prints what it found and fails on any difference.
//
//   nq_consumer DIR    works in DIR
#include <fstream>
#include <iostream>
#include <string>

#include "docmodel/NQDocument.h"
#include "image/NQImage.h"
#include "xml/NQxml.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    try {
        NQImage page(40, 30, NQImageHead::NQ_8BIT);
        page.nqSetPixel(5, 7, 0);
        page.nqSaveImage((dir + "/page.png").c_str());
        const NQImage loaded((dir + "/page.png").c_str());
        if (loaded.nqGetWidth() != 40 || loaded.nqGetPixelValue(5, 7) != 0 ||
            loaded.nqGetPixelValue(6, 7) != 255) {
            std::cerr << "nq_consumer: the image did not come back\n";
            return 1;
        }
        std::ofstream(dir + "/page.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QOLA version=\"1.0\">\n"
               "<NQ_DOCUMENT src=\"page.png\">\n\t<NQ_PAGE pageID=\"1\" width=\"40\" height=\"30\">"
               "\n\t\t<NQ_ZONE id=\"z1\" col=\"2\" row=\"3\" width=\"10\" height=\"8\" "
               "qola_type=\"text\">\n\t\t</NQ_ZONE>\n\t</NQ_PAGE>\n</NQ_DOCUMENT>\n</QOLA>";
        NQxml reader;
        const NQDocument document = reader.nqReadFromXmlFile(dir + "/page.xml", dir);
        const NQPage& first = *document.nqGetPageList().front();
        if (first.nqGetZoneList().size() != 1 ||
            first.nqGetZoneList().front()->nqGetZoneId() != "z1") {
            std::cerr << "nq_consumer: the ground truth did not come back\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "nq_consumer: " << e.what() << '\n';
        return 1;
    }
    std::cout << "nq_consumer: image and ground truth read\n";
    return 0;
}
