// The image factory on a buffer of unknown format: identification by
// content, then the page count and the loads that pick the first codec in
// probing order that accepts the bytes, as a caller that does not know the
// format reaches them.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "imageio/NQImageFactory.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > INT_MAX)
        return 0;
    const int length = static_cast<int>(size);
    NQImageFactory* factory = NQImageFactory::nqGetInstance();
    if (factory->nqIdentifyImageType(data, length) == nullptr) {
        if (factory->nqGetTotalPages(data, length) != 0)
            nqfuzz::broken("pages counted in a buffer that no codec accepts");
        return 0;
    }
    nqfuzz::attempt([&] { factory->nqGetTotalPages(data, length); });
    NQImageHead head;
    const bool headed = nqfuzz::attempt([&] { head = factory->nqLoadHeader(data, length); });
    nqfuzz::attempt([&] {
        const NQImage image = factory->nqLoadImageAtPage(data, length, 1);
        nqfuzz::checkImage(image);
        if (headed)
            nqfuzz::checkSameGeometry(head, image);
    });
    nqfuzz::checkMemoryFilesClosed();
    return 0;
}
