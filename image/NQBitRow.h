#ifndef NQ_IMAGE_NQBITROW_H
#define NQ_IMAGE_NQBITROW_H

// Pixel x of a packed binary row: bit 7 - (x mod 8) of byte x / 8, set = white.
// The callers have checked x against the row's width.
namespace nqbits {

inline bool isWhite(const unsigned char* row, int x) {
    return (row[x >> 3] & (0x80 >> (x & 7))) != 0;
}

inline void setWhite(unsigned char* row, int x, bool white) {
    const unsigned char mask = static_cast<unsigned char>(0x80 >> (x & 7));
    if (white)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= static_cast<unsigned char>(~mask);
}

}  // namespace nqbits

#endif
