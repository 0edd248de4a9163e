#ifndef NQ_ANALYSIS_NQNORMALIZE_H
#define NQ_ANALYSIS_NQNORMALIZE_H

#include "image/NQImage.h"

// Stretching of grey levels to the full range 0..255.
class NQNormalize {
public:
    virtual ~NQNormalize() = default;

    // Binary images come back as a copy; 8- and 24-bit images are stretched
    // with nqNormalizeGlobalImage.
    static NQImage nqNormalizeImage(const NQImage& image);
    // Maps the smallest data byte to 0 and the largest to 255 (all channels
    // together), truncating; a flat image comes back unchanged.
    static NQImage nqNormalizeGlobalImage(const NQImage& image);
};

#endif
