// Members of NQImage that need the analysis subsystem: pasting with a
// bit-depth conversion, shearing by an NQAngle, sub-images chosen by connected
// components and the deprecated normalisation forms. They live here so that
// the image core does not depend on this folder.
#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/NQAngle.h"
#include "analysis/NQBitsPerPixelConverter.h"
#include "analysis/NQConnectedComponents.h"
#include "analysis/NQNormalize.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"

namespace {

constexpr const char* kModule = "NQImageAnalysisMembers";

void logWarning(const char* text) {
    NQLogger::nqGetInstance()->nqLog(NQ_INFO, "%s", text);
}

enum class Largest { Width, Height, Density, Mass };

// The region cut to the box of its largest component by `measure`.
NQImage subImageByComponent(const NQImage& image, int x, int y, int w, int h, float threshold,
                            Largest measure) {
    const NQImage region = image.nqSubImage(x, y, w, h);
    NQImage binary;
    const int cut = !(threshold > 0)  ? 0
                    : threshold > 255 ? 255
                                      : static_cast<int>(std::ceil(threshold));
    switch (region.nqGetBitsPerPixel()) {
        case 1:
            binary = region;
            break;
        case 8:
            binary = NQBitsPerPixelConverter::nqDownscaleGray2Binary_global(region, cut);
            break;
        default:
            binary = NQBitsPerPixelConverter::nqDownscaleGray2Binary_global(
                NQBitsPerPixelConverter::nqDownscaleColor2Gray_global(region), cut);
    }
    NQConnectedComponents components;
    components.nqCreateConnectedComponents(binary);
    const std::vector<NQComponent>& all = components.nqComponents();
    if (all.empty())
        return region;
    auto value = [measure](const NQComponent& c) -> double {
        switch (measure) {
            case Largest::Width:
                return c.nqGetWidth();
            case Largest::Height:
                return c.nqGetHeight();
            case Largest::Density:
                return c.nqGetDensity();
            default:
                return c.nqGetMass();
        }
    };
    // max_element keeps the first of equal values.
    const NQComponent& best = *std::max_element(
        all.begin(), all.end(),
        [&](const NQComponent& a, const NQComponent& b) { return value(a) < value(b); });
    return region.nqSubImage(best.nqGetLeft(), best.nqGetTop(), best.nqGetWidth(),
                             best.nqGetHeight());
}

void deprecated(const char* oldName, const char* newName) {
    NQLogger::nqGetInstance()->nqLog(NQ_ERROR, "%s is deprecated; use %s\n", oldName, newName);
}

}  // namespace

void NQImage::nqPasteInImage(const NQImage& source, int x, int y) {
    if (!data_ || !source.data_)
        throw NQException(NQ_NULL_DATA, "<NQImage::nqPasteInImage()> Image Data is NULL!", kModule,
                          __LINE__);
    if (x < 0 || y < 0 || static_cast<long long>(x) + source.nqGetWidth() > nqGetWidth() ||
        static_cast<long long>(y) + source.nqGetHeight() > nqGetHeight())
        throw NQException(NQ_OUT_OF_BOUNDS, "Paste image is too big!", kModule, __LINE__);
    const int bits = nqGetBitsPerPixel();
    const int sourceBits = source.nqGetBitsPerPixel();
    if (sourceBits > bits)
        throw NQException(NQ_UNSUPPORTED, "<NQImage::nqPastInImage()> Invalid Depth Value", kModule,
                          __LINE__);
    if (sourceBits == bits) {
        nqPasteInByteImage(source, x, y);
        return;
    }
    NQImage promoted;
    if (bits == 8) {
        logWarning("Warning....nqPasteInImage() returning grayscale image\n");
        promoted = NQBitsPerPixelConverter::nqConvertImage(source, NQ_TO_GRAY);
    } else if (bits == 24) {
        logWarning("Warning....nqPasteInImage() returning color image\n");
        promoted = NQBitsPerPixelConverter::nqConvertImage(source, NQ_TO_COLOR);
    } else {
        throw NQException(NQ_UNSUPPORTED, "<NQimage::nqPasteIncompitable file format", kModule,
                          __LINE__);
    }
    nqPasteInByteImage(promoted, x, y);
}

NQImage NQImage::nqPasteImage(const NQImage& source, int x, int y) const {
    if (!data_)
        throw NQException(NQ_NULL_DATA, "<NQImage::nqPasteImage()> Image Data is NULL!", kModule,
                          __LINE__);
    NQImage result;
    if (source.nqGetBitsPerPixel() <= nqGetBitsPerPixel()) {
        result = *this;
    } else if (source.nqGetBitsPerPixel() == 8) {
        logWarning("Warning....nqPasteImage() returning grayscale image\n");
        result = NQBitsPerPixelConverter::nqConvertImage(*this, NQ_TO_GRAY);
    } else if (source.nqGetBitsPerPixel() == 24) {
        logWarning("Warning....nqPasteImage() returning color image\n");
        result = NQBitsPerPixelConverter::nqConvertImage(*this, NQ_TO_COLOR);
    } else {
        throw NQException(NQ_UNSUPPORTED, "<NQimage::nqPasteImage> Incompitable file format",
                          kModule, __LINE__);
    }
    result.nqPasteInImage(source, x, y);
    return result;
}

NQImage NQImage::nqShearImage(const NQAngle& angle, NQDirection direction,
                              const NQColor& background) const {
    if (direction != NQ_HORIZONTAL && direction != NQ_VERTICAL)
        throw NQException(NQ_INVALID_ARGUMENT, "<NQImage::nqShearImage()> Invalid shear direction.",
                          kModule, __LINE__);
    const int quadrant = angle.nqQuadrant();
    if (angle.nqRadians() != 0 && quadrant != 1 && quadrant != 4)
        throw NQException(NQ_INVALID_ARGUMENT, "<NQImage::nqShearImage()> Invalid shear angle.",
                          kModule, __LINE__);
    const double extent = direction == NQ_HORIZONTAL ? nqGetHeight() : nqGetWidth();
    const double amount = std::trunc(extent * std::tan(angle.nqRadians()));
    // An angle next to a quarter turn asks for more columns than an image can have.
    if (!(std::fabs(amount) < std::numeric_limits<int>::max()))
        throw NQException(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", kModule, __LINE__);
    return nqShearImage(static_cast<int>(amount), direction, background);
}

NQImage NQImage::nqSubImageMaxWidthCC(int x, int y, int w, int h, float threshold) const {
    return subImageByComponent(*this, x, y, w, h, threshold, Largest::Width);
}

NQImage NQImage::nqSubImageMaxHeightCC(int x, int y, int w, int h, float threshold) const {
    return subImageByComponent(*this, x, y, w, h, threshold, Largest::Height);
}

NQImage NQImage::nqSubImageMaxDensityCC(int x, int y, int w, int h, float threshold) const {
    return subImageByComponent(*this, x, y, w, h, threshold, Largest::Density);
}

NQImage NQImage::nqSubImageMaxMassCC(int x, int y, int w, int h, float threshold) const {
    return subImageByComponent(*this, x, y, w, h, threshold, Largest::Mass);
}

NQImage NQImage::nqNormalizeGlobalImage() const {
    deprecated("NQImage::nqNormalizeGlobalImage()", "NQNormalize::nqNormalizeGlobalImage()");
    return NQNormalize::nqNormalizeGlobalImage(*this);
}

NQImage NQImage::nqNormalizeColorImage() const {
    deprecated("NQImage::nqNormalizeColorImage()", "NQNormalize::nqNormalizeImage()");
    return NQNormalize::nqNormalizeImage(*this);
}

NQImage NQImage::nqNormalizeGrayscaleImage() const {
    deprecated("NQImage::nqNormalizeGrayscaleImage()", "NQNormalize::nqNormalizeImage()");
    return NQNormalize::nqNormalizeImage(*this);
}
