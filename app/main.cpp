// The wexa command: evaluates page-segmentation results against ground truth
// and writes the report; "wexa compare A.json B.json" compares two such
// evaluations and "wexa merge" combines the parts of a split run. An
// evaluation ends with status 0, also when it stops on its own, unless
// --fail-under asks for 1; a comparison that cannot be made ends with 2, a
// merge that refuses its parts with 1.
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "eval/NQPartMerger.h"
#include "eval/NQRunComparison.h"
#include "eval/NQWexa.h"
#include "xml/NQxml.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// A run decodes page after page into buffers of the same few sizes, a
// megabyte or more each. By default glibc maps such buffers one by one, or
// trims them off a worker thread's heap when they are freed, and the next
// page faults its memory in afresh; with -j the returned pages also cost
// every core a TLB flush. Keeping freed memory in the heap for reuse makes
// -j 2 about a tenth faster and leaves the peak memory as it was.
void keepFreedPageBuffers() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest value glibc accepts
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    keepFreedPageBuffers();
    if (argc >= 2 && std::string(argv[1]) == "compare")
        return runCompare(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);

    std::unique_ptr<NQWexa> wexa;
    try {
        // "wexa merge ..." puts the parts of a split run together.
        if (argc > 1 && std::string(argv[1]) == "merge")
            return runMergeCommand(argc, argv);
        wexa = std::make_unique<NQWexa>(argc, argv);
        wexa->doEval();
    } catch (const NQWexaExit& request) {
        return request.status();
    } catch (const NQLoadXmlError&) {
        // The run stopped at an XML file that cannot be opened; the report
        // has been closed with everything written before it.
        std::cout << "Load XML Error" << std::endl;
        return wexa ? wexa->exitStatus() : 0;
    } catch (const std::exception& e) {
        std::cerr << "wexa: " << e.what() << '\n';
        return 1;
    }
    return wexa->exitStatus();
}
