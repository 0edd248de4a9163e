#ifndef NQ_FUZZ_FUZZIMAGES_H
#define NQ_FUZZ_FUZZIMAGES_H

// Page images made by our own code, for the seed corpora and for the
// ground-truth reader's target: small pictures with structure (gradients,
// edges, a blank band) so that every codec's compression has something to do.

#include <string>

#include "image/NQImage.h"

namespace nqfuzz {

// A picture of the given depth (1, 8 or 24 bits); `seed` varies it.
NQImage picture(int width, int height, int bits, unsigned seed = 1);

// Writes a TIFF file with one page per image, each in the codec's default
// compression for its depth; false when libtiff cannot write it.
bool writeMultiPageTiff(const std::string& fileName, const NQImage* pages, int count);

}  // namespace nqfuzz

#endif
