// The wexa command: evaluates page-segmentation results against ground truth
// and writes the report. Every way the run ends on its own gives status 0.
// "wexa merge" combines the parts of a split run; it fails with status 1.
#include <exception>
#include <iostream>
#include <string>

#include "eval/NQPartMerger.h"
#include "eval/NQWexa.h"
#include "xml/NQxml.h"

int main(int argc, char** argv) {
    try {
        // "wexa merge ..." puts the parts of a split run together.
        if (argc > 1 && std::string(argv[1]) == "merge")
            return runMergeCommand(argc, argv);
        NQWexa wexa(argc, argv);
        wexa.doEval();
    } catch (const NQWexaExit& request) {
        return request.status();
    } catch (const NQLoadXmlError&) {
        // The run stopped at an XML file that cannot be opened; the report
        // has been closed with everything written before it.
        std::cout << "Load XML Error" << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "wexa: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
