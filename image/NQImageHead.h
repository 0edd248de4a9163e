#ifndef NQ_IMAGE_NQIMAGEHEAD_H
#define NQ_IMAGE_NQIMAGEHEAD_H

#include <ostream>

#include "docmodel/NQTagList.h"

enum NQDataAlignment : int { NQ_1BYTE_ALIGN = 1, NQ_4BYTE_ALIGN = 4 };

// Geometry, layout, resolution and tags of an image.
class NQImageHead {
public:
    enum NQBitDepths : int { NQ_1BIT = 1, NQ_8BIT = 8, NQ_24BIT = 24 };
    enum NQResolutionUnits : int { NQ_RES_NONE = 0, NQ_RES_INCH = 1 };

    NQImageHead() = default;
    NQImageHead(const NQImageHead&) = default;
    NQImageHead& operator=(const NQImageHead&) = default;
    virtual ~NQImageHead() = default;

    const NQTagList& nqGetTags() const { return tags_; }
    NQTagList& nqGetTags() { return tags_; }
    void nqSetTags(const NQTagList& tags) { tags_ = tags; }

    int nqGetWidth() const { return width_; }
    void nqSetWidth(int v) { width_ = v; }
    int nqGetHeight() const { return height_; }
    void nqSetHeight(int v) { height_ = v; }
    int nqGetBitsPerPixel() const { return bitsPerPixel_; }
    void nqSetBitsPerPixel(int v) { bitsPerPixel_ = v; }
    int nqGetChannels() const { return channels_; }
    void nqSetChannels(int v) { channels_ = v; }
    int nqGetColorModel() const { return colorModel_; }
    void nqSetColorModel(int v) { colorModel_ = v; }
    int nqGetRowSize() const { return rowSize_; }
    void nqSetRowSize(int v) { rowSize_ = v; }
    int nqGetDataAlignment() const { return dataAlignment_; }
    void nqSetDataAlignment(int v) { dataAlignment_ = v; }
    float nqGetXResolution() const { return xResolution_; }
    void nqSetXResolution(float v) { xResolution_ = v; }
    float nqGetYResolution() const { return yResolution_; }
    void nqSetYResolution(float v) { yResolution_ = v; }
    bool nqGetResolutionInInches() const { return resolutionInInches_; }
    void nqSetResolutionInInches(bool v) { resolutionInInches_ = v; }
    int nqGetResolutionUnits() const { return resolutionUnits_; }
    void nqSetResolutionUnits(int v) { resolutionUnits_ = v; }

    // Bytes per row of the unpadded layout of a depth: (w + 7) / 8, w or 3w;
    // 0 for any other depth, -1 when the row would not fit an int.
    static int rowSizeFor(int width, int bitsPerPixel);

private:
    NQTagList tags_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = -1;
    int channels_ = 0;
    int colorModel_ = -1;
    int rowSize_ = 0;
    int dataAlignment_ = -1;
    float xResolution_ = 0;
    float yResolution_ = 0;
    bool resolutionInInches_ = true;
    int resolutionUnits_ = NQ_RES_INCH;
};

// Eight lines of header fields, then one line per tag; written in one piece.
std::ostream& operator<<(std::ostream& out, const NQImageHead& head);

#endif
