#ifndef NQ_DOCMODEL_NQPOINT_H
#define NQ_DOCMODEL_NQPOINT_H

// An integer pixel position: x = column, y = row.
class NQPoint {
public:
    NQPoint() = default;
    NQPoint(int px, int py) : x(px), y(py) {}
    NQPoint(const NQPoint&) = default;
    NQPoint& operator=(const NQPoint&) = default;
    virtual ~NQPoint() = default;

    bool operator==(const NQPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const NQPoint& other) const { return !(*this == other); }

    int x = 0;
    int y = 0;
};

#endif
