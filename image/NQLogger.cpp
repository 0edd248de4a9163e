#include "image/NQLogger.h"

#include <cstdarg>
#include <iostream>
#include <vector>

#include "image/NQException.h"

namespace {
constexpr const char* kModule = "NQLogger";

// Arguments as printf takes them from the typed log calls.
template <typename T>
T printable(T value) {
    return value;
}
double printable(float value) { return value; }
const char* printable(const std::string& value) { return value.c_str(); }

// Where this thread's standard-output messages go instead, if anywhere.
thread_local std::ostream* tCapture = nullptr;
}  // namespace

NQLogger::Capture::Capture(std::ostream& out) : previous_(tCapture) {
    tCapture = &out;
}

NQLogger::Capture::~Capture() {
    tCapture = previous_;
}

NQLogger* NQLogger::nqGetInstance() {
    static NQLogger instance;
    return &instance;
}

NQLogger::NQLogger() : out_(&std::cout) {}

NQLogger::~NQLogger() {
    if (logFile_ != nullptr) std::fclose(logFile_);
}

void NQLogger::nqSetLogType(NQLogType type, const char* fileName) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (type_ == NQ_LOG_FILE && type != NQ_LOG_FILE && logFile_ != nullptr) {
        std::fclose(logFile_);
        logFile_ = nullptr;
    }
    if (type == NQ_LOG_STDERR) {
        out_ = &std::cerr;
    } else if (type == NQ_LOG_STDOUT) {
        out_ = &std::cout;
    } else if (type == NQ_LOG_FILE) {
        if (fileName == nullptr)
            throw NQException(NQ_FILE_OPEN_ERROR,
                              "<NQLogger::nqSetLogType()> Must provide log file name.", kModule,
                              __LINE__);
        if (logFile_ != nullptr) std::fclose(logFile_);
        logFile_ = std::fopen(fileName, "a");
    }
    type_ = type;
}

bool NQLogger::isOkToLog(NQSeverity severity) const {
    if (severity == NQ_SILENT) return false;
    return severity >= threshold_;
}

void NQLogger::reportInvalidType() const {
    std::printf("Logger error! Invalid log output type. %d\n", static_cast<int>(type_));
}

void NQLogger::nqLog(NQSeverity severity, const char* format, ...) {
    if (!isOkToLog(severity) || format == nullptr) return;
    if (type_ == NQ_LOG_STDOUT && tCapture != nullptr) {
        va_list args;
        va_start(args, format);
        va_list again;
        va_copy(again, args);
        const int length = std::vsnprintf(nullptr, 0, format, args);
        va_end(args);
        if (length > 0) {
            std::vector<char> text(static_cast<std::size_t>(length) + 1);
            std::vsnprintf(text.data(), text.size(), format, again);
            tCapture->write(text.data(), length);
        }
        va_end(again);
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::FILE* target = nullptr;
    switch (type_) {
        case NQ_LOG_STDOUT: target = stdout; break;
        case NQ_LOG_STDERR: target = stderr; break;
        case NQ_LOG_FILE: target = logFile_; break;
        default: reportInvalidType(); return;
    }
    if (target == nullptr) return;
    std::fflush(stdout);
    va_list args;
    va_start(args, format);
    std::vfprintf(target, format, args);
    va_end(args);
}

// Typed values go to the C++ output stream for standard output and error, and
// to the log file with the printf format of their type.
template <typename T>
void NQLogger::logValue(const T& value, const char* fileFormat, NQSeverity severity) {
    if (!isOkToLog(severity)) return;
    if (type_ == NQ_LOG_STDOUT && tCapture != nullptr) {
        *tCapture << value << '\n';
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (type_ == NQ_LOG_STDOUT || type_ == NQ_LOG_STDERR) {
        // Keep the C and C++ streams in order when both are in use.
        std::fflush(type_ == NQ_LOG_STDOUT ? stdout : stderr);
        *out_ << value << std::endl;
    } else if (type_ == NQ_LOG_FILE) {
        if (logFile_ != nullptr) std::fprintf(logFile_, fileFormat, printable(value));
    } else {
        reportInvalidType();
    }
}

void NQLogger::nqLog(double value, NQSeverity s) { logValue(value, "%e\n", s); }
void NQLogger::nqLog(short value, NQSeverity s) { logValue(value, "%5hd\n", s); }
void NQLogger::nqLog(long value, NQSeverity s) { logValue(value, "%5ld\n", s); }
void NQLogger::nqLog(float value, NQSeverity s) { logValue(value, "%f\n", s); }
void NQLogger::nqLog(int value, NQSeverity s) { logValue(value, "%d\n", s); }
void NQLogger::nqLog(char value, NQSeverity s) { logValue(value, "%c\n", s); }
void NQLogger::nqLog(const char* value, NQSeverity s) {
    logValue(value != nullptr ? value : "", "%s\n", s);
}
void NQLogger::nqLog(const std::string& value, NQSeverity s) { logValue(value, "%s\n", s); }
