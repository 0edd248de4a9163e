// The main of the fuzz targets in the sanitizer build, which needs neither
// clang nor libFuzzer: every input file named on the command line is run once
// through the target, under the limits of the fuzzing runs. A single
// allocation above -malloc_limit_mb, a resident size above -rss_limit_mb or an
// input that takes longer than -timeout seconds ends the run with a report
// and a failing status, as a sanitizer report does. Other options (those of
// libFuzzer) are ignored, so that fuzz/run-fuzzers can run either build.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
// The sanitizer runtime's allocation hooks (declared here because GCC ships
// the runtime without its interface headers).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          std::size_t),
                                                         void (*onFree)(const volatile void*));
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::size_t mallocLimit = std::size_t(2048) << 20;
long rssLimitKiB = 2048L << 10;
unsigned timeoutSeconds = 10;
const char* currentInput = "";

// Called by the sanitizer allocator after every allocation; it must not
// allocate itself.
void checkAllocation(const volatile void*, std::size_t size) {
    if (size <= mallocLimit)
        return;
    std::fprintf(stderr, "==ERROR: out-of-memory (malloc(%zu)) on %s\n", size, currentInput);
    std::abort();
}

// The allocator installs hooks only in pairs.
void ignoreRelease(const volatile void*) {}

void reportTimeout(int) {
    const char text[] = "==ERROR: timeout on an input\n";
    (void)!write(2, text, sizeof text - 1);
    (void)!write(2, currentInput, std::strlen(currentInput));
    (void)!write(2, "\n", 1);
    _exit(70);
}

// A value of "-name=value", or null when `argument` is another option.
const char* optionValue(const char* argument, const char* name) {
    const std::size_t length = std::strlen(name);
    return std::strncmp(argument, name, length) == 0 ? argument + length : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        if (const char* v = optionValue(argv[i], "-malloc_limit_mb="))
            mallocLimit = std::size_t(std::strtoul(v, nullptr, 10)) << 20;
        else if (const char* v = optionValue(argv[i], "-rss_limit_mb="))
            rssLimitKiB = std::strtol(v, nullptr, 10) << 10;
        else if (const char* v = optionValue(argv[i], "-timeout="))
            timeoutSeconds = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        else if (argv[i][0] != '-')
            inputs.emplace_back(argv[i]);
    }
    if (__sanitizer_install_malloc_and_free_hooks(checkAllocation, ignoreRelease) == 0) {
        std::fprintf(stderr, "cannot watch allocations: build with -DNQ_SANITIZE=ON\n");
        return 1;
    }
    signal(SIGALRM, reportTimeout);
    LLVMFuzzerInitialize(&argc, &argv);

    for (const std::string& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        // Exactly the file's bytes, so that a read past their end is reported.
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        currentInput = input.c_str();
        alarm(timeoutSeconds);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        alarm(0);
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        if (usage.ru_maxrss > rssLimitKiB) {
            std::fprintf(stderr, "==ERROR: out-of-memory (rss %ld MiB) after %s\n",
                         usage.ru_maxrss >> 10, currentInput);
            return 1;
        }
    }
    std::fprintf(stderr, "Executed %zu inputs\n", inputs.size());
    return 0;
}
