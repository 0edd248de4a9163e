#ifndef NQ_ANALYSIS_NQCONNECTEDCOMPONENTSUTILS_H
#define NQ_ANALYSIS_NQCONNECTEDCOMPONENTSUTILS_H

#include <cstdint>
#include <vector>

#include "analysis/NQConnectedComponents.h"
#include "docmodel/NQPoint.h"
#include "image/NQImage.h"

// The labelling engine behind NQConnectedComponents: one pass over the rows
// of a binary image, run by run. Its state lives in three records so that an
// engine object can be reused for several images.

// The finished components, in the order they were written out.
struct NQCCdocument {
    std::vector<NQComponent> ComponentList;
};

// Run boundaries of the previous and the current row (alternately the start
// and the end of each black run, then -1) and the open component of each run.
struct NQtmpdata {
    std::vector<int> previousBounds, currentBounds;
    std::vector<int> previousLabels, currentLabels;
};

// An open component: its sums so far and its runs.
struct NQtmpdocdata {
    struct Segment {
        int mass = 0;
        std::int64_t columnSum = 0;  // sum over runs of (start + end - 1) x length
        std::int64_t rowSum = 0;
        int top = 0, bottom = 0, left = 0, right = 0;
        int lastRow = 0;
        int parent = 0;  // itself while the segment is a component of its own
        bool open = false;
        std::vector<NQDatarun> runs, closedGaps, openedGaps;
    };
    std::vector<Segment> C;
    std::vector<int> freeSlots;
    std::vector<int> absorbed;  // segments merged away in the current row
};

class NQConnectedComponentsUtils {
public:
    // Column of every change between white and black in a packed binary row
    // (set bit white), black runs first: start, end, start, end, ..., -1.
    // Returns the number of columns written (twice the number of runs).
    static int NQiPixelToRunStart(const unsigned char* row, int width, std::vector<int>& bounds);

    // Labels `image` (1 bit per pixel) into D.ComponentList.
    void NQCalcConnectedComponents(const NQImage& image);
    NQCCdocument& document() { return D; }

    // Drops the finished components; NQClose also releases the scratch.
    void NQFreeConnectedComponents();
    void NQClose();

    // The side chains of a hull (one point per row, rows increasing) with
    // every point removed that lies on or inside the line through its
    // neighbours; `inside` decides with exact integer cross-multiplication.
    static void CONVEXIFY(std::vector<NQPoint>& chain, bool (*inside)(std::int64_t, std::int64_t));
    static bool lessequal(std::int64_t a, std::int64_t b) { return a <= b; }
    static bool greaterequal(std::int64_t a, std::int64_t b) { return a >= b; }

private:
    void GET_RUNS(const unsigned char* row, int width);
    int NEW_SEGMENT(int row, int start, int end);
    // Runs [start, end) and [previousStart, previousEnd) of two neighbouring
    // rows touch when their columns meet or are diagonal neighbours.
    static bool OVERLAP(int start, int end, int previousStart, int previousEnd) {
        return start <= previousEnd && end >= previousStart;
    }
    void ADD_RUN(int segment, int row, int start, int end);
    int MERGE(int a, int b);
    void OUTPUT(int segment);
    // A negative end records an opened gap (end negated), else a closed gap.
    void ADD_CONCAVITY(int segment, int row, int start, int end);
    void GET_MEMORY_RC(std::vector<int>& store, std::size_t size, const char* name);
    int GET_MEMORY_S();
    int root(int segment);
    void labelRow(int row);
    void outputFinished(int row);

    NQCCdocument D;
    NQtmpdata T;
    NQtmpdocdata S;
};

#endif
