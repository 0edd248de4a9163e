#ifndef NQ_ANALYSIS_NQBITSPERPIXELCONVERTER_H
#define NQ_ANALYSIS_NQBITSPERPIXELCONVERTER_H

#include "image/NQColor.h"
#include "image/NQImage.h"

// Target depth of NQBitsPerPixelConverter::nqConvertImage.
enum NQImageConversions { NQ_TO_BINARY = 1, NQ_TO_GRAY = 2, NQ_TO_COLOR = 3 };

// Conversions between the three depths of the image buffer (1-bit binary,
// 8-bit grey, 24-bit RGB). Every operation takes a constant image and returns
// a new one with the source's width, height and resolution; wrong input is
// refused with NQException and the source is never changed.
class NQBitsPerPixelConverter {
public:
    // Set bit -> 255, clear bit -> 0.
    static NQImage nqBinary2Gray(const NQImage& image);
    // (g, g, g).
    static NQImage nqGray2Color(const NQImage& image);
    // Set bit -> white, clear bit -> (red, green, blue).
    static NQImage nqBinary2Color(const NQImage& image, unsigned char red, unsigned char green,
                                  unsigned char blue);
    static NQImage nqBinary2Color(const NQImage& image, const NQColor& color);
    // (r + g + b) / 3 of a 24-bit image.
    static NQImage nqDownscaleColor2Gray_global(const NQImage& image);
    // (r wr + g wg + b wb) / (wr + wg + wb), truncated. Negative weights are
    // refused, and so are three zero weights.
    static NQImage nqDownscaleColor2Gray_weighted(const NQImage& image, double redWeight,
                                                  double greenWeight, double blueWeight);
    // White where the grey value is at least `threshold` (0 to 255).
    static NQImage nqDownscaleGray2Binary_global(const NQImage& image, int threshold);
    // A 24-bit image with at most 256 colours: binary and grey images are
    // expanded, colour images with more than 256 colours are mapped onto the
    // 6 x 6 x 6 palette of levels 0, 51, ..., 255 (`reduced` tells which).
    static NQImage nqDownscale256Color_global(const NQImage& image, bool& reduced);
    // Up-conversion to the target depth; a copy when the depth is already
    // right; down-conversions are refused (code 11).
    static NQImage nqConvertImage(const NQImage& image, NQImageConversions target);
};

#endif
