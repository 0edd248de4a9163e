#ifndef NQ_IMAGEIO_NQGIFUTILITIES_H
#define NQ_IMAGEIO_NQGIFUTILITIES_H

#include <cstddef>
#include <memory>
#include <vector>

// The colour table of a GIF frame: `count` entries of red, green, blue.
struct NQGifPalette {
    int count = 0;
    unsigned char rgb[256][3] = {};
};

// A decoded picture: width x height pixels of three bytes (red, green, blue),
// row by row.
struct NQGifImageFormat {
    int width = 0;
    int height = 0;
    int xResolution = 200;
    int yResolution = 200;
    std::unique_ptr<unsigned char[]> data;
};

// Data sub-blocks of a GIF block, concatenated.
struct NQGifBlockData {
    std::vector<unsigned char> bytes;
    // The length shared by the first four sub-blocks, 255 when they differ.
    int usualLength = 255;
};

// Where an LZW run stands and why it stopped.
struct NQGifLzwRun {
    enum Stop : int { NQ_COMPLETE = 0, NQ_END_CODE = 1, NQ_DATA_END = 2, NQ_BAD_CODE = 3 };
    std::size_t pixel = 0;  // in: first pixel to write; out: pixels present
    std::size_t bit = 0;    // in: first bit to read; out: the bit after the last code read
    Stop stop = NQ_COMPLETE;
};

// The GIF decoder: stateless operations that get as much picture as they can
// out of damaged and truncated files. Problems are logged; the operations
// answer false rather than throw (allocation failures excepted).
class NQGIFUtilities {
public:
    // Decodes a whole file: every frame pasted, in file order, onto a white
    // canvas of the logical-screen size. True when at least one frame was
    // pasted.
    static bool image_read_gif(const unsigned char* buffer, std::size_t size,
                               NQGifImageFormat& out);

    // A picture of width x height pixels whose bytes are not yet set; false
    // when the size exceeds the library's pixel bound.
    static bool image_create(NQGifImageFormat& out, int width, int height);

    // Collects the sub-blocks that start at `start` (a length byte) into out
    // (when given) up to a zero length or the end of the buffer; a sub-block
    // that runs past the end is cut. Returns the position after the consumed
    // data. Raises code 13 when the collection cannot grow.
    static std::size_t buffer_parse_gif_block_new(const unsigned char* buffer, std::size_t size,
                                                  std::size_t start, NQGifBlockData* out);

    // One run of variable-width LZW over `data`, starting at run.bit with a
    // fresh table and writing the palette colours of the decoded indices into
    // `frame` from pixel run.pixel on. False when the run stopped on a code it
    // cannot decode (run.stop == NQ_BAD_CODE).
    static bool buffer_LZW_decode_new(const unsigned char* data, std::size_t length,
                                      int minimumCodeSize, const NQGifPalette& palette,
                                      unsigned char* frame, std::size_t pixels, NQGifLzwRun& run);

    // The first bit at or after `fromBit` where a 12-bit field equals `code`;
    // false when there is none.
    static bool buffer_find_next_clear_code_new(const unsigned char* data, std::size_t length,
                                                std::size_t fromBit, unsigned code,
                                                std::size_t& found);

    // Rows of an interlaced frame put in picture order.
    static void image_GIF_deinterlace(unsigned char* frame, int width, int height);

    // Moves the pixel segments that start at breaks[0], breaks[1], ... (the
    // last entry ends the last segment) so that each starts at the beginning
    // of a row, shifted by the amount that best continues the rows above.
    static bool image_GIF_realign(unsigned char* frame, int width, int height,
                                  const std::vector<std::size_t>& breaks);

    // Copies a frame onto the canvas at (left, top); the frame lies inside it.
    static void image_paste(const unsigned char* frame, int width, int height,
                            NQGifImageFormat& canvas, int left, int top);
};

#endif
