#ifndef NQ_ANALYSIS_NQMASK_H
#define NQ_ANALYSIS_NQMASK_H

#include "image/NQImage.h"

// Convolution of an image with a square kernel.
class NQMask {
public:
    virtual ~NQMask() = default;

    // Convolves every channel of an 8- or 24-bit image with the n x n kernel
    // (kernel[row][column]) and divides by the sum of the weights when that is
    // at least 1. Pixels closer to the border than the kernel reaches are 0.
    // A colour image gives an RGB image, a grey image a grey one; both keep
    // the source's resolution.
    static NQImage nqMask(const NQImage& image, const double* const* kernel, int n);
};

#endif
