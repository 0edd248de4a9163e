// Shrinks a 24-bit picture by a whole factor, averaging each factor x factor
// block of pixels (a box filter), so that thin coloured outlines stay visible
// as softened lines instead of vanishing as with plain subsampling. Used for
// the README's picture of the example run.
//
//   wexa_thumbnail IN.png OUT.png FACTOR
#include <cstdlib>
#include <iostream>
#include <string>

#include "image/NQImage.h"

namespace {

NQImage shrink(const NQImage& in, int factor) {
    const int width = in.nqGetWidth() / factor, height = in.nqGetHeight() / factor;
    NQImage out(width, height, NQImageHead::NQ_24BIT);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned sum[3] = {0, 0, 0};
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx) {
                    unsigned char rgb[3];
                    in.nqGetPixel(x * factor + dx, y * factor + dy, rgb[0], rgb[1], rgb[2]);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += rgb[c];
                }
            const unsigned n = static_cast<unsigned>(factor * factor);
            out.nqSetPixel(x, y, static_cast<unsigned char>((sum[0] + n / 2) / n),
                           static_cast<unsigned char>((sum[1] + n / 2) / n),
                           static_cast<unsigned char>((sum[2] + n / 2) / n));
        }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int factor = argc == 4 ? std::atoi(argv[3]) : 0;
    if (factor < 1) {
        std::cerr << "usage: wexa_thumbnail IN.png OUT.png FACTOR\n";
        return 2;
    }
    try {
        const NQImage in(argv[1]);
        if (in.nqGetBitsPerPixel() != 24 || in.nqGetWidth() < factor || in.nqGetHeight() < factor) {
            std::cerr << "wexa_thumbnail: " << argv[1] << " is not a colour picture of at least "
                      << factor << " x " << factor << " pixels\n";
            return 1;
        }
        shrink(in, factor).nqSaveImage(argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "wexa_thumbnail: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
