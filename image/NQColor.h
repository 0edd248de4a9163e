#ifndef NQ_IMAGE_NQCOLOR_H
#define NQ_IMAGE_NQCOLOR_H

// Colour models of images and colours. 0 is not a model.
enum NQColorModel : int {
    NQ_UNKNOWN_COLOR = -1,
    NQ_BINARY = 1,
    NQ_GRAY = 2,
    NQ_RGBCOLOR = 3,
    NQ_YUVCOLOR = 4  // three channels holding Y, Cr, Cb
};

// A pixel value of one colour model. Only the bytes of its own model are
// meaningful; the others are 0.
class NQColor {
public:
    // Binary values are stored unchanged; filling a binary image writes the
    // value into every data byte, so 255 is all white and 0 all black.
    enum NQBWColors : int { NQ_BW_BLACK = 0, NQ_BW_WHITE = 255 };

    // Index into the fixed table of 248 named colours (0 to 247). Any value in
    // that range may be used; the common ones are named.
    enum NQColorMapValue : int {
        NQ_CM_FIRST = 0,
        NQ_CM_BLACK = 139,
        NQ_CM_BLUE = 140,
        NQ_CM_GREEN = 172,
        NQ_CM_RED = 205,
        NQ_CM_WHITE = 233,
        NQ_CM_YELLOW = 234,
        NQ_CM_LAST = 247
    };
    static constexpr int kColorMapSize = 248;

    NQColor() = default;
    NQColor(unsigned char red, unsigned char green, unsigned char blue);
    explicit NQColor(unsigned char grey);
    explicit NQColor(NQBWColors value);
    explicit NQColor(NQColorMapValue value);

    void nqSetColor(unsigned char grey);
    void nqSetColor(NQColorMapValue value);

    // Different models are unequal; models other than binary, grey and RGB
    // cannot be compared (code 11).
    bool operator==(const NQColor& other) const;
    bool operator!=(const NQColor& other) const { return !(*this == other); }

    unsigned char nqGetRed() const { return red_; }
    unsigned char nqGetGreen() const { return green_; }
    unsigned char nqGetBlue() const { return blue_; }
    unsigned char nqGetGray() const { return grey_; }
    unsigned char nqGetBinary() const { return binary_; }
    int nqGetColorModel() const { return model_; }

    void nqSetRed(unsigned char v) { red_ = v; }
    void nqSetGreen(unsigned char v) { green_ = v; }
    void nqSetBlue(unsigned char v) { blue_ = v; }
    void nqSetGray(unsigned char v) { grey_ = v; }
    void nqSetBinary(unsigned char v) { binary_ = v; }
    void nqSetColorModel(int model) { model_ = model; }

private:
    unsigned char red_ = 0;
    unsigned char green_ = 0;
    unsigned char blue_ = 0;
    unsigned char grey_ = 0;
    unsigned char binary_ = 0;
    int model_ = NQ_UNKNOWN_COLOR;
};

#endif
