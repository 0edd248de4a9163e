#ifndef NQ_IMAGE_NQLOGGER_H
#define NQ_IMAGE_NQLOGGER_H

#include <atomic>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <string>

enum NQLogType : int { NQ_LOG_STDERR = 1, NQ_LOG_STDOUT = 2, NQ_LOG_FILE = 3 };

enum NQSeverity : int { NQ_DEBUG = 1, NQ_INFO = 2, NQ_ERROR = 3, NQ_SILENT = 4 };

// Process-wide logger. Messages below the severity threshold are dropped;
// NQ_SILENT messages are never written. Reach it through nqGetInstance().
//
// Any thread may log: each message is written whole, under a lock. A thread
// can hold back what it would write to standard output with a Capture, so
// that work done on several threads can show its lines in a fixed order.
class NQLogger {
public:
    static NQLogger* nqGetInstance();

    // While it lives, the messages this thread logs to standard output are
    // appended to `out` instead. Captures nest; the innermost one receives.
    class Capture {
    public:
        explicit Capture(std::ostream& out);
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

    private:
        std::ostream* previous_;
    };

    virtual ~NQLogger();
    NQLogger(const NQLogger&) = delete;
    NQLogger& operator=(const NQLogger&) = delete;

    // Type 3 needs a file name (else code 2); the file is opened for appending.
    // Leaving type 3 closes the log file.
    void nqSetLogType(NQLogType type, const char* fileName = nullptr);
    void nqSetLogSeverity(NQSeverity severity) { threshold_ = severity; }
    NQSeverity nqGetLogSeverity() const { return threshold_; }
    NQLogType nqGetLogType() const { return type_; }
    bool isOkToLog(NQSeverity severity) const;

    // printf-style message; no line end is added.
    void nqLog(NQSeverity severity, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    // One value per call, each ending its own line.
    void nqLog(double value, NQSeverity severity);
    void nqLog(short value, NQSeverity severity);
    void nqLog(long value, NQSeverity severity);
    void nqLog(float value, NQSeverity severity);
    void nqLog(int value, NQSeverity severity);
    void nqLog(char value, NQSeverity severity);
    void nqLog(const char* value, NQSeverity severity);
    void nqLog(const std::string& value, NQSeverity severity);

private:
    NQLogger();
    template <typename T>
    void logValue(const T& value, const char* fileFormat, NQSeverity severity);
    void reportInvalidType() const;

    std::atomic<NQSeverity> threshold_{NQ_ERROR};
    std::mutex mutex_;  // guards the output and its settings below
    std::ostream* out_;
    std::FILE* logFile_ = nullptr;
    std::atomic<NQLogType> type_{NQ_LOG_STDOUT};
};

#endif
