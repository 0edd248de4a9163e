#ifndef NQ_TESTS_E2E_E2ESUPPORT_H
#define NQ_TESTS_E2E_E2ESUPPORT_H

#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace e2e {

struct Run {
    int status = -1;  // exit status, -1 when the process did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char c : word) {
        if (c == '\'')
            text += "'\\''";
        else
            text += c;
    }
    return text + "'";
}

// Runs wexa with `words` in `dir`, capturing its output streams.
inline Run runWexa(const std::string& dir, const std::vector<std::string>& words) {
    std::string command = "cd " + quoted(dir) + " && " + quoted(WEXA_BINARY);
    for (const std::string& word : words)
        command += " " + quoted(word);
    const std::string outFile = dir + "/.wexa-stdout", errFile = dir + "/.wexa-stderr";
    command += " > " + quoted(outFile) + " 2> " + quoted(errFile);
    const int raw = std::system(command.c_str());
    Run run;
    run.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    run.out = nqtest::readFile(outFile);
    run.err = nqtest::readFile(errFile);
    std::remove(outFile.c_str());
    std::remove(errFile.c_str());
    return run;
}

// The "Command Option : " text of a run with `words`.
inline std::string commandLine(const std::vector<std::string>& words) {
    std::string text = std::string(WEXA_BINARY) + " ";
    for (const std::string& word : words)
        text += word + " ";
    return text;
}

// The report with both time stamps replaced by "<time>", after checking that
// each is in asctime form.
inline std::string maskTimes(const std::string& report) {
    static const std::regex stamp(
        "(Generated from |Evaluation process is finished at )"
        "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 123][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n");
    return std::regex_replace(report, stamp, "$1<time>\n");
}

// The fixed head of every report.
inline std::string reportHead(const std::vector<std::string>& words) {
    return "Result of WEXA\nGenerated from <time>\n\nCommand Option : " + commandLine(words) +
           "\n\n";
}

inline const char* reportEnd() {
    return "\nEvaluation process is finished at <time>\n\n";
}

}  // namespace e2e

#endif
