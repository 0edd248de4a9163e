// Shrinks a picture by a whole factor with the library's resize, for the
// README's picture of the example run.
//
//   wexa_thumbnail IN.png OUT.png FACTOR
#include <cstdlib>
#include <iostream>

#include "image/NQImage.h"

int main(int argc, char** argv) {
    const int factor = argc == 4 ? std::atoi(argv[3]) : 0;
    if (factor < 1) {
        std::cerr << "usage: wexa_thumbnail IN.png OUT.png FACTOR\n";
        return 2;
    }
    try {
        const NQImage in(argv[1]);
        in.nqResizeImage(in.nqGetWidth() / factor, in.nqGetHeight() / factor)
            .nqSaveImage(argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "wexa_thumbnail: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
