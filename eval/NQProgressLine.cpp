// The progress line of a run on a terminal.
//
// The line is drawn with a carriage return and "erase to end of line", so
// each update replaces the last one. The estimate of the time left assumes
// that the pairs still to come take as long on average as the ones done.
// Standard error is unbuffered, so nothing of the line waits in a buffer
// while the driver writes its own lines on standard output.
#include "eval/NQProgressLine.h"

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr const char* kEraseLine = "\r\033[K";

std::string minutesAndSeconds(double seconds) {
    const long total = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

}  // namespace

bool NQProgressLine::wanted() {
    return isatty(STDERR_FILENO) == 1;
}

double NQProgressLine::steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

NQProgressLine::NQProgressLine(std::ostream& out, Clock clock)
    : out_(out), clock_(std::move(clock)) {}

std::string NQProgressLine::text(std::size_t file, std::size_t files, double elapsed, double left) {
    std::string line = "file " + std::to_string(file) + " of " + std::to_string(files) + ", " +
                       minutesAndSeconds(elapsed) + " elapsed";
    line += left < 0 ? std::string(", estimating the time left")
                     : ", about " + minutesAndSeconds(left) + " left";
    return line;
}

void NQProgressLine::runStarted(const NQWexaOptions& options, std::size_t pairCount) {
    (void)options;
    start_ = clock_();
    files_ = pairCount;
}

void NQProgressLine::pairStarted(std::size_t index, std::size_t pairCount) {
    files_ = pairCount;
    current_ = index + 1;
    draw();
}

void NQProgressLine::pairFinished(const NQPairRecord& pair) {
    (void)pair;
    ++done_;
    draw();
}

void NQProgressLine::runFinished(const NQClassTable& classes, std::uint32_t fileCount,
                                 bool complete) {
    (void)classes;
    (void)fileCount;
    (void)complete;
    erase();
}

void NQProgressLine::beforeMessage() {
    erase();
}

void NQProgressLine::afterMessage() {
    if (current_ > 0)
        draw();
}

void NQProgressLine::draw() {
    const double elapsed = clock_() - start_;
    const double left =
        done_ > 0 ? elapsed / static_cast<double>(done_) * static_cast<double>(files_ - done_)
                  : -1.0;
    out_ << kEraseLine << text(current_, files_, elapsed, left) << std::flush;
    shown_ = true;
}

void NQProgressLine::erase() {
    if (!shown_)
        return;
    out_ << kEraseLine << std::flush;
    shown_ = false;
}
