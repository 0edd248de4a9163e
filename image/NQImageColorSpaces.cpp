// Colour-space conversions of 24-bit images: RGB and BGR, YCrCb (stored in
// the order Y, Cr, Cb) and a byte form of HSV. The results keep the source's
// header, so a YCrCb image still reads as a three-channel RGB-model image and
// can be thresholded channel by channel.
//
// The conversions back to RGB truncate towards zero and then clamp to 0..255:
// a YCrCb triple made from a valid colour can land a little outside that
// range (0, 0, 106 gives a red of -1), and keeping only the low 8 bits would
// turn such a dark pixel bright.
#include <algorithm>
#include <cmath>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "image/NQUtils.h"

namespace {

constexpr const char* kModule = "NQImageColorSpaces";

// A copy of a 24-bit image whose pixels are then rewritten in place.
NQImage colourCopy(const NQImage& image, const char* nullText, const char* depthText, int line) {
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA, nullText, kModule, line);
    if (image.nqGetBitsPerPixel() != 24 || image.nqGetChannels() != 3)
        throw NQException(NQ_INVALID_INPUT, depthText, kModule, line);
    return image;
}

std::size_t pixelCount(const NQImage& image) {
    return std::size_t(image.nqGetWidth()) * image.nqGetHeight();
}

inline unsigned char clampedByte(double value) {
    const double truncated = std::trunc(value);
    return static_cast<unsigned char>(std::min(255.0, std::max(0.0, truncated)));
}

void deprecated(const char* oldName, const char* newName) {
    NQLogger::nqGetInstance()->nqLog(NQ_ERROR, "%s is deprecated; use %s\n", oldName, newName);
}

}  // namespace

NQImage NQImage::nqConvertRGBToBGR() const {
    NQImage result =
        colourCopy(*this, "<NQImage::nqConvertRGBToBGR()> Image Data is NULL!",
                   "<NQImage::nqConvertRGBToBGR()> 24-bit color image expected.", __LINE__);
    unsigned char* p = result.nqGetImageData();
    for (std::size_t i = 0, n = pixelCount(result); i < n; ++i, p += 3)
        std::swap(p[0], p[2]);
    return result;
}

NQImage NQImage::nqConvertBGRToRGB() const {
    return nqConvertRGBToBGR();
}

NQImage NQImage::nqConvertRGBToYCrCb() const {
    NQImage result =
        colourCopy(*this, "<NQImage::nqConvertToYcrCb()> Image Data is NULL!",
                   "<NQImage::nqConvertToYcrCb()> 24-bit color image expected.", __LINE__);
    unsigned char* p = result.nqGetImageData();
    for (std::size_t i = 0, n = pixelCount(result); i < n; ++i, p += 3) {
        const double r = p[0], g = p[1], b = p[2];
        p[0] =
            static_cast<unsigned char>(NQUtils::roundInt(0.257 * r + 0.504 * g + 0.098 * b + 16));
        p[1] =
            static_cast<unsigned char>(NQUtils::roundInt(0.439 * r - 0.368 * g - 0.071 * b + 128));
        p[2] =
            static_cast<unsigned char>(NQUtils::roundInt(-0.148 * r - 0.291 * g + 0.439 * b + 128));
    }
    return result;
}

NQImage NQImage::nqConvertYCrCbToRGB() const {
    NQImage result =
        colourCopy(*this, "<NQImage::nqConvertYCrCbToRGB()> Image Data is NULL!",
                   "<NQImage::nqConvertYCrCbToRGB()> 24-bit color image expected.", __LINE__);
    unsigned char* p = result.nqGetImageData();
    for (std::size_t i = 0, n = pixelCount(result); i < n; ++i, p += 3) {
        const double y = 1.164 * (p[0] - 16);
        const double cr = p[1] - 128;
        const double cb = p[2] - 128;
        p[0] = clampedByte(y + 1.596 * cr);
        p[1] = clampedByte(y - 0.813 * cr - 0.392 * cb);
        p[2] = clampedByte(y + 2.017 * cb);
    }
    return result;
}

NQImage NQImage::nqConvertToYcrCb() const {
    deprecated("NQImage::nqConvertToYcrCb()", "NQImage::nqConvertRGBToYCrCb()");
    return nqConvertRGBToYCrCb();
}

NQImage NQImage::nqConvertYcrCbToRGB() const {
    deprecated("NQImage::nqConvertYcrCbToRGB()", "NQImage::nqConvertYCrCbToRGB()");
    return nqConvertYCrCbToRGB();
}

void NQImage::RGBtoHSV(float r, float g, float b, float* h, float* s, float* v) {
    const float max = std::max(r, std::max(g, b));
    const float min = std::min(r, std::min(g, b));
    *v = max;
    const float d = max - min;
    // Black has no saturation; black and grey have no hue.
    *s = max != 0 ? d / max : 0;
    if (max == 0 || d == 0) {
        *h = -1;
        return;
    }
    float hue;
    if (r == max)
        hue = (g - b) / d;
    else if (g == max)
        hue = 2 + (b - r) / d;
    else
        hue = 4 + (r - g) / d;
    hue *= 60;
    if (hue < 0)
        hue += 360;
    *h = hue;
}

void NQImage::HSVtoRGB(float* r, float* g, float* b, float h, float s, float v) {
    if (s == 0) {
        *r = *g = *b = v;
        return;
    }
    const float sector = h / 60;
    const int i = static_cast<int>(std::floor(sector));
    const float f = sector - i;
    const float p = v * (1 - s);
    const float q = v * (1 - s * f);
    const float t = v * (1 - s * (1 - f));
    switch (i) {
        case 0:
            *r = v, *g = t, *b = p;
            break;
        case 1:
            *r = q, *g = v, *b = p;
            break;
        case 2:
            *r = p, *g = v, *b = t;
            break;
        case 3:
            *r = p, *g = q, *b = v;
            break;
        case 4:
            *r = t, *g = p, *b = v;
            break;
        default:
            *r = v, *g = p, *b = q;
            break;
    }
}

NQImage NQImage::nqConvertRGBToHSV() const {
    NQImage result =
        colourCopy(*this, "<NQImage::nqConverRGBToHSV()> Image Data is NULL!",
                   "<NQImage::nqConverRGBToHSV()> 24-bit color image expected.", __LINE__);
    unsigned char* p = result.nqGetImageData();
    for (std::size_t i = 0, n = pixelCount(result); i < n; ++i, p += 3) {
        float h, s, v;
        RGBtoHSV(p[0], p[1], p[2], &h, &s, &v);
        p[0] = h < 0 ? 0 : static_cast<unsigned char>(static_cast<int>(h) & 0xFF);
        p[1] = static_cast<unsigned char>(s);
        p[2] = static_cast<unsigned char>(v);
    }
    return result;
}

NQImage NQImage::nqConvertHSVToRGB() const {
    NQImage result =
        colourCopy(*this, "<NQImage::nqConverHSVToRGB()> Image Data is NULL!",
                   "<NQImage::nqConverHSVToRGB()> 24-bit color image expected.", __LINE__);
    unsigned char* p = result.nqGetImageData();
    for (std::size_t i = 0, n = pixelCount(result); i < n; ++i, p += 3) {
        float r, g, b;
        HSVtoRGB(&r, &g, &b, p[0], p[1], p[2]);
        p[0] = clampedByte(r);
        p[1] = clampedByte(g);
        p[2] = clampedByte(b);
    }
    return result;
}
