#ifndef NQ_EVAL_NQJSONWRITER_H
#define NQ_EVAL_NQJSONWRITER_H

#include <cstdint>
#include <memory>
#include <string>

#include "eval/NQRunObserver.h"

class NQRunAnalyses;

// Writes the outcome of a run as one JSON document ("-json"): the options,
// per class its counts and rates, the confusion matrix with class names, the
// average F-score, and per file and page every region with its outcome. The
// layout is described by docs/wexa-result.schema.json; kSchemaVersion
// changes whenever a reader would have to change.
//
// File entries are built as the pairs arrive (in file order) and the file is
// written once, when the run finishes.
class NQJsonWriter : public NQRunObserver {
public:
    static constexpr int kSchemaVersion = 1;

    // With `analyses` (which must outlive the writer), the sections of the
    // analyses the run asked for are written too.
    explicit NQJsonWriter(std::string path, const NQRunAnalyses* analyses = nullptr);
    ~NQJsonWriter() override;
    NQJsonWriter(const NQJsonWriter&) = delete;
    NQJsonWriter& operator=(const NQJsonWriter&) = delete;

    void runStarted(const NQWexaOptions& options, std::size_t pairCount) override;
    void pairFinished(const NQPairRecord& pair) override;
    bool readsPageImages() const override { return false; }
    // Writes the file; one that cannot be written is thrown as std::runtime_error.
    void runFinished(const NQClassTable& classes, std::uint32_t fileCount, bool complete) override;

    // The document with the pairs received so far and the given totals.
    std::string text(const NQClassTable& classes, std::uint32_t fileCount, bool complete) const;

private:
    struct Document;
    std::string path_;
    const NQRunAnalyses* analyses_;
    std::unique_ptr<Document> document_;
};

#endif
