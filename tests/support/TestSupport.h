#ifndef NQ_TESTS_SUPPORT_TESTSUPPORT_H
#define NQ_TESTS_SUPPORT_TESTSUPPORT_H

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

#include "image/NQException.h"

namespace nqtest {

// Runs `action` and checks that it throws an NQException with `code` whose
// message ends with `text` (the part after "Module:line: ").
inline ::testing::AssertionResult throwsNQ(const std::function<void()>& action,
                                           NQExceptionCodes code, const std::string& text) {
    try {
        action();
    } catch (const NQException& e) {
        const std::string message = e.what();
        if (e.nqGetErrorID() != code)
            return ::testing::AssertionFailure()
                   << "code " << e.nqGetErrorID() << " instead of " << code << " (" << message
                   << ")";
        if (message.size() < text.size() ||
            message.compare(message.size() - text.size(), text.size(), text) != 0)
            return ::testing::AssertionFailure() << "message \"" << message << "\" does not end in \""
                                                 << text << "\"";
        return ::testing::AssertionSuccess();
    } catch (...) {
        return ::testing::AssertionFailure() << "threw something other than NQException";
    }
    return ::testing::AssertionFailure() << "did not throw";
}

// Path of a file below the shared test data folder next to the project.
inline std::string sharedPath(const std::string& relative) {
    return std::string(NQ_SOURCE_DIR) + "/../shared/" + relative;
}

// A fresh directory below the system temp folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nqtest-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        path_ = made != nullptr ? made : pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Captures what the library writes to standard output (C and C++ streams)
// while `action` runs.
inline std::string captureStdout(const std::function<void()>& action) {
    ::testing::internal::CaptureStdout();
    try {
        action();
    } catch (...) {
        std::fflush(stdout);
        ::testing::internal::GetCapturedStdout();
        throw;
    }
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace nqtest

#endif
