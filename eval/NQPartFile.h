#ifndef NQ_EVAL_NQPARTFILE_H
#define NQ_EVAL_NQPARTFILE_H

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "eval/NQClassTable.h"
#include "eval/NQRunObserver.h"
#include "eval/NQWexaOptions.h"

// What every part of one split run shares, and which slice a part is.
struct NQPartHeader {
    NQWexaOptions options;  // as the shard's run read them
    std::uint32_t shardIndex = 1;
    std::uint32_t shardCount = 1;
    std::size_t pairTotal = 0;  // file pairs in the whole run's list
    std::string fingerprint;    // of that list (filePairsFingerprint)
};

// A part read back: the partial result of one shard.
struct NQPart {
    std::string path;
    NQPartHeader header;
    bool complete = false;  // false: the shard's run stopped at Load XML Error
    std::uint32_t fileCount = 0;
    NQClassTable classes;  // the shard's table, classes in the shard's meeting order
    // The shard's pairs in file order, with their global positions. Region
    // outlines are not kept: only page pictures draw them, and those are
    // written by the shards themselves.
    std::vector<NQPairRecord> pairs;
};

// A part file that cannot be read, or is not one; the message is finished
// and names the file.
class NQPartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes a shard's partial result ("-part") as JSON: a header (format, shard,
// the fingerprint of the whole file list, the options), then one line per
// file pair as it finishes, then the shard's class table and counts. Class
// names in the records are numbers into a list written at the end. Pairs go
// to the file as they arrive, so a shard keeps no more than one pair in
// memory; a part whose run was killed is cut short and is refused by the
// reader.
class NQPartWriter : public NQRunObserver {
public:
    static constexpr int kFormatVersion = 1;

    // `header.options` is taken from runStarted.
    NQPartWriter(std::string path, NQPartHeader header);

    // Opening the file fails with std::runtime_error; so does any write.
    void runStarted(const NQWexaOptions& options, std::size_t pairCount) override;
    void pairFinished(const NQPairRecord& pair) override;
    bool readsPageImages() const override { return false; }
    void runFinished(const NQClassTable& classes, std::uint32_t fileCount, bool complete) override;

private:
    std::size_t classNumber(const std::string& name);
    void check();

    std::string path_;
    NQPartHeader header_;
    std::ofstream out_;
    bool firstPair_ = true;
    std::vector<std::string> classNames_;  // the class numbers of the records
    std::map<std::string, std::size_t> classNumbers_;
};

// Reads and checks a part file; a problem is thrown as NQPartError.
NQPart readPart(const std::string& path);

#endif
