#ifndef NQ_TESTS_EVAL_EVALSUPPORT_H
#define NQ_TESTS_EVAL_EVALSUPPORT_H

#include <memory>
#include <string>
#include <vector>

#include "eval/NQWexa.h"
#include "support/TestSupport.h"

namespace evaltest {

// Builds an evaluator from command words (the program name is added in
// front). Returns null when the option reader ended the run; `out` receives
// what it wrote on standard output.
inline std::unique_ptr<NQWexa> makeWexa(const std::vector<std::string>& words,
                                        std::string* out = nullptr) {
    std::vector<std::string> all{"wexa"};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : all)
        argv.push_back(word.data());
    std::unique_ptr<NQWexa> wexa;
    const std::string text = nqtest::captureStdout([&] {
        try {
            wexa = std::make_unique<NQWexa>(static_cast<int>(argv.size()), argv.data());
        } catch (const NQWexaExit&) {
        }
    });
    if (out != nullptr)
        *out = text;
    return wexa;
}

}  // namespace evaltest

#endif
