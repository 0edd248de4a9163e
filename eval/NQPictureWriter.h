#ifndef NQ_EVAL_NQPICTUREWRITER_H
#define NQ_EVAL_NQPICTUREWRITER_H

#include <string>

#include "eval/NQRunObserver.h"
#include "image/NQColor.h"
#include "image/NQImage.h"

// Writes a PNG picture of every compared page ("-vimg"): the page image
// lightened, with the outline of each result region in the colour of its
// outcome and the outline of each missed ground-truth region. The picture of
// page k of result file NAME.xml is NAME.pagek.png in the picture directory.
class NQPictureWriter : public NQRunObserver {
public:
    explicit NQPictureWriter(std::string dir) : dir_(std::move(dir)) {}

    // Renders and saves one page; a file that cannot be written is thrown as
    // std::runtime_error.
    void pageCompared(const NQFilePair& files, const NQPageRecord& page,
                      const NQImage& pageImage) override;

    // The picture: a 24-bit copy of the page, lightened, with the outlines.
    static NQImage render(const NQPageRecord& page, const NQImage& pageImage);
    static std::string pictureName(const std::string& resultFile, std::size_t pageNumber);
    static NQColor outcomeColor(NQOutcome outcome);
    // Pen width for a page: thick enough to show when the page fits a screen.
    static int penWidth(int width, int height);
    // Grey value v of the page as shown under the outlines.
    static unsigned char lightened(unsigned char v) {
        return static_cast<unsigned char>(v + (255 - v) * 3 / 5);
    }

private:
    std::string dir_;
};

#endif
