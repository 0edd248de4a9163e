// One libFuzzer target per codec (the codec class and its header are chosen
// at build time through NQ_FUZZ_CODEC and NQ_FUZZ_CODEC_HEADER): the bytes go to the codec's
// recognition, page count, header loads and image loads from memory, whether or not the codec
// recognises them, since a caller may hand any buffer to a codec it chose.
// Pages beyond the first are asked for when the codec counts more than one,
// and one beyond the count always, so the page walk is exercised on every
// input.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "imageio/NQBaseImage.h"

#if !defined(NQ_FUZZ_CODEC) || !defined(NQ_FUZZ_CODEC_HEADER)
#error "NQ_FUZZ_CODEC and NQ_FUZZ_CODEC_HEADER name the codec that the target exercises"
#endif
#include NQ_FUZZ_CODEC_HEADER

namespace {

// Whether the header load and the image load of one page must agree on its
// size. The PPM header reader takes the first three words after the magic,
// across lines and comments, while its image reader takes the size and the
// maximum from whole lines of their own; a file whose words and lines differ
// (a one-line header, text after the maximum) describes two pictures to them.
// Both stay within their buffers; only the comparison is left out.
bool loadsAgreeOnSize(const NQBaseImage& codec) {
    return codec.getImageName() != "PPM";
}

void exercise(NQBaseImage& codec, const void* data, int size) {
    codec.nqSupportImageBuffer(data, size);
    int pages = 0;
    nqfuzz::attempt([&] { pages = codec.nqGetTotalPages(data, size); });

    NQImageHead head;
    const bool headed = nqfuzz::attempt([&] { head = codec.nqLoadHeader(data, size); });
    nqfuzz::attempt([&] {
        const NQImage image = codec.nqLoadImage(data, size);
        nqfuzz::checkImage(image);
        if (headed && loadsAgreeOnSize(codec))
            nqfuzz::checkSameGeometry(head, image);
    });

    if (pages > 1)
        nqfuzz::attempt([&] { nqfuzz::checkImage(codec.nqLoadImageAtPage(data, size, pages)); });
    const int beyond = pages < 1 ? 2 : pages + 1;
    nqfuzz::attempt([&] { codec.nqLoadHeaderAtPage(data, size, beyond); });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > INT_MAX)
        return 0;
    exercise(*NQ_FUZZ_CODEC::createImageReader(), data, static_cast<int>(size));
    nqfuzz::checkMemoryFilesClosed();
    return 0;
}
