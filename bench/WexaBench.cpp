// The evaluation benchmark: wexa over a generated corpus of A4 pages against
// a pass that only decodes the same page images.
//
//   nq_wexa_bench run WEXA WORKDIR [REPEATS]   the whole benchmark (make bench)
//   nq_wexa_bench generate DIR [PAGES] [SEED]  writes a corpus (see BenchCorpus.h)
//   nq_wexa_bench decode DIR                   loads every .tif of DIR once
//
// `run` generates the corpora of 40 and 400 pages under WORKDIR once (a stamp
// file records what a directory holds) and then times, as child processes so
// that start-up and reading are counted alike: (a) wexa over the 40 pages,
// (b) the same with -j 2, (c) the decode-only pass over the corpus's images,
// (d) two such passes on two threads at once (the machine's own ceiling for (b)).
// The three are interleaved and repeated, so that a change in the machine's
// load touches all of them alike; medians are printed, with the peak memory
// (maximum resident set) of each. The run over ../shared/realdata (when
// present) and the 400-page corpus follow. Timings depend on the machine and
// its load, which are printed with them.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <boost/filesystem.hpp>

#include "bench/BenchCorpus.h"
#include "bench/BenchSupport.h"
#include "imageio/NQTIFFImage.h"

namespace {

namespace fs = boost::filesystem;

constexpr std::uint32_t kSeed = 20240601;
constexpr int kCorpusVersion = 1;  // raise when the generator changes what it draws

struct Sample {
    double milliseconds = 0;
    long peakKilobytes = 0;
    int status = -1;
};

// Runs a program with its standard output and error discarded and returns
// its wall time and maximum resident set.
Sample runChild(const std::vector<std::string>& words, const std::string& dir) {
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        std::FILE* sink = std::fopen("/dev/null", "w");
        if (sink != nullptr) {
            dup2(fileno(sink), 1);
            dup2(fileno(sink), 2);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    Sample sample;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return sample;
    sample.milliseconds = millisecondsSince(start);
    sample.peakKilobytes = usage.ru_maxrss;
    sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return sample;
}

std::string selfPath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string("nq_wexa_bench");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The report without what differs between runs of one input: the time
// stamps and the command line.
std::string comparable(const std::string& report) {
    static const std::regex varying(
        "(Generated from |Evaluation process is finished at |Command Option : ).*\n");
    return std::regex_replace(report, varying, "$1\n");
}

std::string machine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown CPU";
    while (std::getline(cpuinfo, line))
        if (line.compare(0, 10, "model name") == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    return model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores online";
}

// What the first write to a fresh 4 KiB page of memory costs here. On a
// virtual machine it can be tens of times the native cost, and every page
// image a run decodes into fresh memory pays it, so it explains much of how
// a run and its -j form compare with the decode pass.
double firstTouchMicroseconds() {
    const std::size_t bytes = std::size_t(32) << 20, page = 4096;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t k = 0; k < bytes; k += page)
        static_cast<volatile char*>(block)[k] = 1;
    const double ms = millisecondsSince(start);
    munmap(block, bytes);
    return 1000 * ms / static_cast<double>(bytes / page);
}

// How much faster two threads copy memory than one, each between buffers of
// its own, too large for the caches. Work that streams through memory (the
// ink counts, reading files, freeing pages) only speeds up as much with -j 2;
// on a machine whose threads share little memory bandwidth this, not the
// code, caps a/b.
double twoThreadCopySpeedUp() {
    constexpr std::size_t kBytes = std::size_t(16) << 20;
    constexpr int kCopies = 6;
    struct Buffers {
        std::vector<char> from = std::vector<char>(kBytes, 1), to = std::vector<char>(kBytes, 0);
    };
    Buffers mine, theirs;  // written in full before any timing
    auto copying = [](Buffers& b) {
        volatile char seen = 0;  // reads each copy, so that none is left out
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < kCopies; ++k) {
            b.from[static_cast<std::size_t>(k)] = static_cast<char>(k);
            std::copy(b.from.begin(), b.from.end(), b.to.begin());
            seen = b.to[static_cast<std::size_t>(k)];
        }
        (void)seen;
        return millisecondsSince(start);
    };
    // The median of a few trials, since a shared machine's bandwidth wanders.
    std::vector<double> speedUps;
    for (int trial = 0; trial < 7; ++trial) {
        const double one = copying(mine);
        double both[2] = {0, 0};
        std::thread other([&] { both[1] = copying(theirs); });
        both[0] = copying(mine);
        other.join();
        const double slower = std::max(both[0], both[1]);
        speedUps.push_back(slower > 0 ? 2 * one / slower : 0.0);
    }
    std::sort(speedUps.begin(), speedUps.end());
    return speedUps[speedUps.size() / 2];
}

std::string loadAverage() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3)
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

// Writes the corpus unless the directory already holds the same one.
void ensureCorpus(const std::string& dir, int pages) {
    const std::string stamp = dir + "/corpus.stamp";
    const std::string wanted = "pages " + std::to_string(pages) + " seed " + std::to_string(kSeed) +
                               " version " + std::to_string(kCorpusVersion) + "\n";
    if (readFile(stamp) == wanted)
        return;
    fs::remove_all(dir);
    std::printf("generating %d pages in %s ...\n", pages, dir.c_str());
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const BenchCorpusStats stats = writeBenchCorpus(dir, pages, kSeed);
    std::printf(
        "  %.1f s; ground truth %lld zones (%d to %d a page, %lld polygons), result %lld zones\n",
        millisecondsSince(start) / 1000, stats.gtZones, stats.fewestZones, stats.mostZones,
        stats.gtPolygons, stats.resultZones);
    std::ofstream(stamp) << wanted;
}

struct Variant {
    std::string name;
    std::vector<std::string> words;
    std::string dir;
    std::vector<Sample> samples;

    double medianMs() const {
        std::vector<double> values;
        for (const Sample& s : samples)
            values.push_back(s.milliseconds);
        return values.empty() ? 0 : median(values);
    }
    // The least disturbed run: on a shared machine the spread is one-sided.
    double fastestMs() const {
        double fastest = 0;
        for (const Sample& s : samples)
            if (fastest == 0 || s.milliseconds < fastest)
                fastest = s.milliseconds;
        return fastest;
    }
    long peakKilobytes() const {
        long peak = 0;
        for (const Sample& s : samples)
            peak = std::max(peak, s.peakKilobytes);
        return peak;
    }
    bool allSucceeded() const {
        return std::all_of(samples.begin(), samples.end(),
                           [](const Sample& s) { return s.status == 0; });
    }
};

// Runs every variant `repeats` times, rotating the order in each round.
void interleave(std::vector<Variant>& variants, int repeats) {
    for (int round = 0; round < repeats; ++round)
        for (std::size_t k = 0; k < variants.size(); ++k) {
            Variant& v = variants[(k + static_cast<std::size_t>(round)) % variants.size()];
            v.samples.push_back(runChild(v.words, v.dir));
        }
}

void print(const Variant& v) {
    std::printf("  %-40s median %8.1f ms (fastest %8.1f)   peak memory %6.1f MB%s\n",
                v.name.c_str(), v.medianMs(), v.fastestMs(), v.peakKilobytes() / 1024.0,
                v.allSucceeded() ? "" : "   (a run FAILED)");
}

Variant wexaRun(const std::string& name, const std::string& wexa, const std::string& corpus,
                const std::string& outDir, const std::string& report,
                std::vector<std::string> extra) {
    std::vector<std::string> words{
        wexa, "-g", corpus + "/gt", "-r", corpus + "/res", "-i", corpus + "/images", "-o", report};
    words.insert(words.end(), extra.begin(), extra.end());
    return Variant{name, words, outDir, {}};
}

void checkSameReport(const std::string& a, const std::string& b) {
    const bool same = comparable(readFile(a)) == comparable(readFile(b));
    std::printf("  reports of -j 1 and -j 2: %s\n", same ? "identical" : "DIFFERENT");
}

int runBenchmark(const std::string& wexa, const std::string& work, int repeats) {
    fs::create_directories(work);
    const std::string small = work + "/corpus-40", large = work + "/corpus-400";
    ensureCorpus(small, 40);
    ensureCorpus(large, 400);
    const std::string self = selfPath();
    std::printf("\nmachine: %s; load average before: %s\n", machine().c_str(),
                loadAverage().c_str());
    std::printf("first write to a fresh 4 KiB page of memory: %.2f us\n",
                firstTouchMicroseconds());
    std::printf("copying memory on two threads at once: %.2f times the rate of one\n",
                twoThreadCopySpeedUp());

    std::printf("\n40 pages of 2480 x 3508, Group 4, %d interleaved repetitions\n", repeats);
    std::vector<Variant> corpus{
        wexaRun("(a) wexa", wexa, small, work, "report-a.txt", {}),
        wexaRun("(b) wexa -j 2", wexa, small, work, "report-b.txt", {"-j", "2"}),
        Variant{"(c) decode only, each page image once",
                {self, "decode", small + "/images"},
                work,
                {}},
        Variant{"(d) decode only, twice on two threads",
                {self, "decode", small + "/images", "2"},
                work,
                {}}};
    interleave(corpus, repeats);
    for (const Variant& v : corpus)
        print(v);
    const double a = corpus[0].medianMs(), b = corpus[1].medianMs(), c = corpus[2].medianMs();
    std::printf("  medians: a/c = %.3f   a/b = %.3f\n", c > 0 ? a / c : 0.0, b > 0 ? a / b : 0.0);
    const double fa = corpus[0].fastestMs(), fb = corpus[1].fastestMs(), fc = corpus[2].fastestMs();
    std::printf("  fastest: a/c = %.3f   a/b = %.3f\n", fc > 0 ? fa / fc : 0.0,
                fb > 0 ? fa / fb : 0.0);
    // Two threads decoding the same pages: how far the machine itself lets
    // two cores speed this work up, the bound for a/b.
    const double d = corpus[3].medianMs();
    std::printf("  the machine's two-thread speed-up of decoding, 2c/d = %.3f\n",
                d > 0 ? 2 * c / d : 0.0);
    checkSameReport(work + "/report-a.txt", work + "/report-b.txt");

    const std::string realdata = "../shared/realdata";
    if (fs::is_directory(realdata + "/gt")) {
        const std::string root = fs::canonical(realdata).string();
        std::printf("\nreal data (%s), %d repetitions\n", root.c_str(), repeats);
        std::vector<Variant> real{
            wexaRun("wexa", wexa, root, work, "report-real.txt", {}),
            wexaRun("wexa -j 2", wexa, root, work, "report-real-j2.txt", {"-j", "2"})};
        interleave(real, repeats);
        for (const Variant& v : real)
            print(v);
    }

    const int largeRepeats = std::max(1, (repeats + 2) / 3);
    std::printf("\n400 pages, %d repetitions\n", largeRepeats);
    std::vector<Variant> big{
        wexaRun("(a) wexa", wexa, large, work, "report-400.txt", {}),
        Variant{"(c) decode only", {self, "decode", large + "/images"}, work, {}}};
    interleave(big, largeRepeats);
    for (const Variant& v : big)
        print(v);
    const double bigA = big[0].medianMs();
    std::printf("  400 pages / 40 pages: time x %.2f, peak memory x %.2f\n", a > 0 ? bigA / a : 0.0,
                corpus[0].peakKilobytes() > 0
                    ? static_cast<double>(big[0].peakKilobytes()) / corpus[0].peakKilobytes()
                    : 0.0);
    std::printf("\nload average after: %s\n", loadAverage().c_str());
    return 0;
}

// Loads every TIFF file of the directory once through our codec; with
// `passes` > 1, that many threads each load every file once, which shows how
// far the machine itself scales the decoding on its cores.
int decodeAll(const std::string& dir, int passes) {
    std::vector<std::string> files;
    for (fs::directory_iterator entry(dir), end; entry != end; ++entry)
        if (entry->path().extension() == ".tif")
            files.push_back(entry->path().string());
    std::sort(files.begin(), files.end());
    NQTIFFImage* codec = NQTIFFImage::createImageReader();
    std::vector<unsigned long long> sums(static_cast<std::size_t>(passes), 0);
    const auto pass = [&](std::size_t k) {
        for (const std::string& file : files)
            sums[k] += codec->nqLoadImageAtPage(file.c_str(), 1).nqGetImageData()[0];
    };
    std::vector<std::thread> threads;
    for (std::size_t k = 1; k < sums.size(); ++k)
        threads.emplace_back(pass, k);
    pass(0);
    for (std::thread& thread : threads)
        thread.join();
    return sums[0] == 0xFFFFFFFFFFFFFFFFULL ? 1 : 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: nq_wexa_bench run WEXA WORKDIR [REPEATS]\n"
                 "       nq_wexa_bench generate DIR [PAGES] [SEED]\n"
                 "       nq_wexa_bench decode DIR [THREADS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "run")
        return runBenchmark(fs::absolute(args[1]).string(), fs::absolute(args[2]).string(),
                            args.size() > 3 ? std::max(1, std::atoi(args[3].c_str())) : 21);
    if (args.size() >= 2 && args[0] == "generate") {
        const int pages = args.size() > 2 ? std::max(0, std::atoi(args[2].c_str())) : 40;
        const auto seed =
            args.size() > 3 ? static_cast<std::uint32_t>(std::strtoul(args[3].c_str(), nullptr, 10))
                            : kSeed;
        const BenchCorpusStats stats = writeBenchCorpus(args[1], pages, seed);
        std::printf(
            "%d pages: ground truth %lld zones (%d to %d a page, %lld polygons), result %lld "
            "zones\n",
            stats.pages, stats.gtZones, stats.fewestZones, stats.mostZones, stats.gtPolygons,
            stats.resultZones);
        return 0;
    }
    if ((args.size() == 2 || args.size() == 3) && args[0] == "decode")
        return decodeAll(args[1], args.size() == 3 ? std::max(1, std::atoi(args[2].c_str())) : 1);
    return usage();
}
