// One-pass run-length labelling of 8-connected black pixels.
//
// Each row is first turned into the columns where white and black change
// (NQiPixelToRunStart), a byte at a time: a table indexed by the colour of
// the last pixel before the byte and the byte itself lists the changes inside
// it, and runs of eight all-white bytes are skipped as one 64-bit word. The
// padding bits of a row's last byte are made to repeat its last pixel, so they
// never create a change.
//
// The runs of a row are then walked together with the runs of the row above.
// A run touches a run above when their column ranges meet or are diagonal
// neighbours (start <= previous end and end >= previous start, ends being
// exclusive). A run touching nothing opens a segment; a run touching one
// segment joins it; a run touching several merges them, the segment with more
// runs absorbing the other (its runs are appended, so a merged run list is
// sorted once when the component is written out). Merged-away segments keep a
// parent link until the end of the row (a small union-find), after which every
// label of the row is replaced by its root and the slot is reused. A segment
// that none of the current row's runs continues is complete and is written out
// at once, so only the components that reach the current row are held open.
#include "analysis/NQConnectedComponentsUtils.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "image/NQException.h"
#include "image/NQLogger.h"

namespace {

constexpr const char* kModule = "NQConnectedComponentsUtils";

struct ByteChanges {
    unsigned char count = 0;
    unsigned char position[8] = {};
    unsigned char endState = 0;  // 1 when the byte's last pixel is black
};

// Changes inside a byte whose set bits are black, given the colour of the
// pixel before it.
const std::array<std::array<ByteChanges, 256>, 2>& changeTable() {
    static const std::array<std::array<ByteChanges, 256>, 2> table = [] {
        std::array<std::array<ByteChanges, 256>, 2> t{};
        for (int state = 0; state < 2; ++state) {
            for (int byte = 0; byte < 256; ++byte) {
                ByteChanges& entry = t[state][byte];
                int previous = state;
                for (int bit = 0; bit < 8; ++bit) {
                    const int pixel = (byte >> (7 - bit)) & 1;
                    if (pixel != previous)
                        entry.position[entry.count++] = static_cast<unsigned char>(bit);
                    previous = pixel;
                }
                entry.endState = static_cast<unsigned char>(previous);
            }
        }
        return t;
    }();
    return table;
}

[[noreturn]] void outOfMemory(const char* store, int line) {
    NQLogger::nqGetInstance()->nqLog(NQ_ERROR, "Error. Out of memory - %s\n", store);
    throw NQException(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", kModule, line);
}

bool runBefore(const NQDatarun& a, const NQDatarun& b) {
    return a.row != b.row ? a.row < b.row : a.start < b.start;
}

}  // namespace

int NQConnectedComponentsUtils::NQiPixelToRunStart(const unsigned char* row, int width,
                                                   std::vector<int>& bounds) {
    if (bounds.size() < static_cast<std::size_t>(width) + 2)
        bounds.resize(std::size_t(width) + 2);
    const auto& table = changeTable();
    int* out = bounds.data();
    int count = 0;
    int state = 0;
    const int fullBytes = width / 8;
    auto addChanges = [&](int byteIndex, unsigned black) {
        const ByteChanges& changes = table[state][black];
        for (int i = 0; i < changes.count; ++i)
            out[count++] = 8 * byteIndex + changes.position[i];
        state = changes.endState;
    };
    int k = 0;
    while (k < fullBytes) {
        if (state == 0 && k + 8 <= fullBytes) {
            std::uint64_t word;
            std::memcpy(&word, row + k, sizeof word);
            if (word == ~std::uint64_t(0)) {
                k += 8;
                continue;
            }
        }
        const unsigned black = ~row[k] & 0xFFu;
        if (black != (state ? 0xFFu : 0u))
            addChanges(k, black);
        ++k;
    }
    const int tail = width - 8 * fullBytes;
    if (tail > 0) {
        unsigned black = ~row[fullBytes] & 0xFFu;
        const unsigned padding = 0xFFu >> tail;
        black = ((black >> (8 - tail)) & 1u) ? (black | padding) : (black & ~padding & 0xFFu);
        addChanges(fullBytes, black);
    }
    if (state == 1)
        out[count++] = width;
    out[count] = -1;
    return count;
}

void NQConnectedComponentsUtils::GET_MEMORY_RC(std::vector<int>& store, std::size_t size,
                                               const char* name) {
    if (store.size() >= size)
        return;
    try {
        store.resize(size);
    } catch (const std::bad_alloc&) {
        outOfMemory(name, __LINE__);
    }
}

int NQConnectedComponentsUtils::GET_MEMORY_S() {
    if (!S.freeSlots.empty()) {
        const int slot = S.freeSlots.back();
        S.freeSlots.pop_back();
        return slot;
    }
    try {
        S.C.emplace_back();
    } catch (const std::bad_alloc&) {
        outOfMemory("T->C", __LINE__);
    }
    return static_cast<int>(S.C.size()) - 1;
}

void NQConnectedComponentsUtils::GET_RUNS(const unsigned char* row, int width) {
    GET_MEMORY_RC(T.currentBounds, std::size_t(width) + 2, "T->R");
    const int count = NQiPixelToRunStart(row, width, T.currentBounds);
    GET_MEMORY_RC(T.currentLabels, std::size_t(count / 2) + 1, "T->R");
}

int NQConnectedComponentsUtils::root(int segment) {
    std::vector<NQtmpdocdata::Segment>& c = S.C;
    while (c[segment].parent != segment) {
        c[segment].parent = c[c[segment].parent].parent;
        segment = c[segment].parent;
    }
    return segment;
}

int NQConnectedComponentsUtils::NEW_SEGMENT(int row, int start, int end) {
    const int slot = GET_MEMORY_S();
    NQtmpdocdata::Segment& s = S.C[slot];
    s.mass = 0;
    s.columnSum = s.rowSum = 0;
    s.top = s.bottom = row;
    s.left = start;
    s.right = end - 1;
    s.parent = slot;
    s.open = true;
    s.runs.clear();
    s.closedGaps.clear();
    s.openedGaps.clear();
    ADD_RUN(slot, row, start, end);
    return slot;
}

void NQConnectedComponentsUtils::ADD_RUN(int segment, int row, int start, int end) {
    if (segment < 0 || segment >= static_cast<int>(S.C.size()) || !S.C[segment].open)
        throw NQException(NQ_MEMORY_ERROR,
                          "<NQConnectedComponentsUtils::ADD_RUN()> ComponentList is corrupted",
                          kModule, __LINE__);
    NQtmpdocdata::Segment& s = S.C[segment];
    const int length = end - start;
    s.mass += length;
    s.columnSum += static_cast<std::int64_t>(start + end - 1) * length;
    s.rowSum += static_cast<std::int64_t>(row) * length;
    s.top = std::min(s.top, row);
    s.bottom = std::max(s.bottom, row);
    s.left = std::min(s.left, start);
    s.right = std::max(s.right, end - 1);
    s.lastRow = row;
    s.runs.push_back({row, start, end});
}

void NQConnectedComponentsUtils::ADD_CONCAVITY(int segment, int row, int start, int end) {
    NQtmpdocdata::Segment& s = S.C[segment];
    if (end < 0)
        s.openedGaps.push_back({row, start, -end});
    else
        s.closedGaps.push_back({row, start, end});
}

int NQConnectedComponentsUtils::MERGE(int a, int b) {
    if (a == b)
        return a;
    const int size = static_cast<int>(S.C.size());
    if (a < 0 || b < 0 || a >= size || b >= size || !S.C[a].open || !S.C[b].open ||
        S.C[a].parent != a || S.C[b].parent != b)
        throw NQException(NQ_MEMORY_ERROR,
                          "<NQConnectedComponentsUtils::MERGE()> ComponentList is corrupted",
                          kModule, __LINE__);
    if (S.C[a].runs.size() < S.C[b].runs.size())
        std::swap(a, b);
    NQtmpdocdata::Segment& big = S.C[a];
    NQtmpdocdata::Segment& small = S.C[b];
    big.mass += small.mass;
    big.columnSum += small.columnSum;
    big.rowSum += small.rowSum;
    big.top = std::min(big.top, small.top);
    big.bottom = std::max(big.bottom, small.bottom);
    big.left = std::min(big.left, small.left);
    big.right = std::max(big.right, small.right);
    big.lastRow = std::max(big.lastRow, small.lastRow);
    big.runs.insert(big.runs.end(), small.runs.begin(), small.runs.end());
    big.closedGaps.insert(big.closedGaps.end(), small.closedGaps.begin(), small.closedGaps.end());
    big.openedGaps.insert(big.openedGaps.end(), small.openedGaps.begin(), small.openedGaps.end());
    std::vector<NQDatarun>().swap(small.runs);
    std::vector<NQDatarun>().swap(small.closedGaps);
    std::vector<NQDatarun>().swap(small.openedGaps);
    small.open = false;
    small.parent = a;
    S.absorbed.push_back(b);
    return a;
}

void NQConnectedComponentsUtils::OUTPUT(int segment) {
    NQtmpdocdata::Segment& s = S.C[segment];
    NQComponent component;
    component.mass_ = s.mass;
    component.centroidRow_ = static_cast<float>(static_cast<double>(s.rowSum) / s.mass);
    component.centroidColumn_ =
        static_cast<float>(static_cast<double>(s.columnSum) / (2.0 * s.mass));
    component.top_ = s.top;
    component.bottom_ = s.bottom;
    component.left_ = s.left;
    component.right_ = s.right;
    for (std::vector<NQDatarun>* list : {&s.runs, &s.closedGaps, &s.openedGaps})
        if (!std::is_sorted(list->begin(), list->end(), runBefore))
            std::sort(list->begin(), list->end(), runBefore);
    component.runs_ = std::move(s.runs);
    component.closedGaps_ = std::move(s.closedGaps);
    component.openedGaps_ = std::move(s.openedGaps);
    s.runs.clear();
    s.closedGaps.clear();
    s.openedGaps.clear();
    s.open = false;
    try {
        D.ComponentList.push_back(std::move(component));
        S.freeSlots.push_back(segment);
    } catch (const std::bad_alloc&) {
        outOfMemory("D->ComponentList", __LINE__);
    }
}

void NQConnectedComponentsUtils::labelRow(int row) {
    const int* current = T.currentBounds.data();
    const int* previous = T.previousBounds.data();
    const int previousRuns = static_cast<int>(T.previousLabels.size());
    int firstCandidate = 0;
    int lastTouched = -1;  // last run above that touched the previous run of this row
    int run = 0;
    for (; current[2 * run] >= 0; ++run) {
        const int start = current[2 * run];
        const int end = current[2 * run + 1];
        while (firstCandidate < previousRuns && previous[2 * firstCandidate + 1] < start)
            ++firstCandidate;
        int label = -1;
        int touched = -1;
        for (int j = firstCandidate; j < previousRuns && previous[2 * j] <= end; ++j) {
            if (!OVERLAP(start, end, previous[2 * j], previous[2 * j + 1]))
                continue;
            const int above = root(T.previousLabels[j]);
            if (label < 0) {
                label = above;
                ADD_RUN(label, row, start, end);
                // The run above also continues the previous run of this row:
                // the gap between the two opens below it.
                if (j == lastTouched)
                    ADD_CONCAVITY(label, row, current[2 * run - 1], -start);
            } else {
                label = MERGE(label, above);
                // This run closes the gap between two runs above.
                ADD_CONCAVITY(label, row - 1, previous[2 * j - 1], previous[2 * j]);
            }
            touched = j;
        }
        if (label < 0)
            label = NEW_SEGMENT(row, start, end);
        T.currentLabels[run] = label;
        lastTouched = touched;
    }
    T.currentLabels.resize(static_cast<std::size_t>(run));
}

void NQConnectedComponentsUtils::outputFinished(int row) {
    for (int label : T.previousLabels) {
        const int r = root(label);
        if (S.C[r].open && S.C[r].lastRow < row)
            OUTPUT(r);
    }
    for (int& label : T.currentLabels)
        label = root(label);
    S.freeSlots.insert(S.freeSlots.end(), S.absorbed.begin(), S.absorbed.end());
    S.absorbed.clear();
}

void NQConnectedComponentsUtils::NQCalcConnectedComponents(const NQImage& image) {
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA,
                          "<NQConnectedComponentsUtils::NQCalcConnectedComponents()> Image Data is "
                          "NULL!",
                          kModule, __LINE__);
    if (image.nqGetBitsPerPixel() != 1)
        throw NQException(NQ_INVALID_CONTENT,
                          "<NQConnectedComponentsUtils::NQCalcConnectedComponents()> Only supports "
                          "Two Bit images (Black and White)",
                          kModule, __LINE__);
    NQFreeConnectedComponents();
    S.C.clear();
    S.freeSlots.clear();
    S.absorbed.clear();
    T.previousLabels.clear();
    T.previousBounds.assign(1, -1);
    const int width = image.nqGetWidth();
    const std::size_t rowBytes = image.nqGetRowSize();
    for (int y = 0; y < image.nqGetHeight(); ++y) {
        GET_RUNS(image.nqGetImageData() + y * rowBytes, width);
        labelRow(y);
        outputFinished(y);
        std::swap(T.previousBounds, T.currentBounds);
        std::swap(T.previousLabels, T.currentLabels);
    }
    for (int label : T.previousLabels) {
        const int r = root(label);
        if (S.C[r].open)
            OUTPUT(r);
    }
}

void NQConnectedComponentsUtils::NQFreeConnectedComponents() {
    D.ComponentList.clear();
}

void NQConnectedComponentsUtils::NQClose() {
    NQFreeConnectedComponents();
    D = NQCCdocument();
    T = NQtmpdata();
    S = NQtmpdocdata();
}

void NQConnectedComponentsUtils::CONVEXIFY(std::vector<NQPoint>& chain,
                                           bool (*inside)(std::int64_t, std::int64_t)) {
    // One sweep with a stack removes the same points as repeated passes that
    // each drop every point inside its neighbours' line: what remains in both
    // cases is the convex side of the point set.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const NQPoint c = chain[i];
        while (kept >= 2) {
            const NQPoint a = chain[kept - 2];
            const NQPoint b = chain[kept - 1];
            // The line's column at row b.y, a.x + (c.x - a.x)(b.y - a.y) / (c.y - a.y),
            // compared with b.x, both sides multiplied by c.y - a.y > 0.
            const std::int64_t span = c.y - a.y;
            const std::int64_t lineColumn =
                std::int64_t(a.x) * span + std::int64_t(c.x - a.x) * (b.y - a.y);
            if (!inside(lineColumn, std::int64_t(b.x) * span))
                break;
            --kept;
        }
        chain[kept++] = c;
    }
    chain.resize(kept);
}
