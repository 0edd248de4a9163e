#ifndef NQ_ANALYSIS_NQBITSPERPIXELCONVERTER_H
#define NQ_ANALYSIS_NQBITSPERPIXELCONVERTER_H

#include "image/NQColor.h"
#include "image/NQImage.h"

// Target depth of NQBitsPerPixelConverter::nqConvertImage.
enum NQImageConversions { NQ_TO_BINARY = 1, NQ_TO_GRAY = 2, NQ_TO_COLOR = 3 };

// Method of the local binarisation.
enum NQBinarizeType : int {
    NQ_NIBLACK = 0,
    NQ_SAUVOLA = 1,
    NQ_WOLF_JOLION = 2,
    NQ_MODIFIED_NIBLACK = 3
};

// Deprecated names of the same four methods.
enum NQ_BINARIZE_TYPE : int {
    NQ_BINARIZE_NIBLACK = 0,
    NQ_BINARIZE_SAUVOLA = 1,
    NQ_BINARIZE_WOLF_JOLION = 2,
    NQ_BINARIZE_MODIFIED_NIBLACK = 3
};

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

    // ---- binarisation -------------------------------------------------------
    // White where every channel of an RGB image is at least its threshold
    // (each 0 to 255).
    static NQImage nqDownscaleColor2Binary_threshold(const NQImage& image, int redThreshold,
                                                     int greenThreshold, int blueThreshold);
    // Per-channel thresholds of share (0 to 1) x (smallest + largest value of
    // the channel).
    static NQImage nqDownscaleColor2Binary_percentThreshold(const NQImage& image, double share);
    // The same with a percentage (0 to 100).
    static NQImage nqDownscalePercentThresholdBinarization(const NQImage& image, double percent);
    // White where the luma of the blurred colour image is at least 195.
    static NQImage nqDownscaleYCrCbBinarization(const NQImage& image);
    // Local thresholds of a grey image, one per tile of 2 trunc(ln N) pixels
    // square from the statistics of a window reaching a quarter tile further;
    // with `detect_inverted`, tiles of light text on dark ground are found and
    // thresholded on their inverted statistics. Negative k darkens less
    // (k = -0.2 is a usual Niblack setting, -0.5 for Sauvola and Wolf/Jolion).
    static NQImage nqDownscaleGray2Binary_niblack(const NQImage& image, NQBinarizeType algorithm,
                                                  double k, bool detect_inverted);
    // Deprecated: maps the old method names; an unknown one gives an empty image.
    static NQImage nqDownscaleGray2Binary_niblack(const NQImage& image, NQ_BINARIZE_TYPE algorithm,
                                                  double k, bool detect_inverted);
};

#endif
