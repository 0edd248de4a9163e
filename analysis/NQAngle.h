#ifndef NQ_ANALYSIS_NQANGLE_H
#define NQ_ANALYSIS_NQANGLE_H

// Units of an angle value handed to NQAngle.
enum NQAngleUnits : int { NQ_DEGREES = 0, NQ_RADIANS = 1, NQ_GRADS = 2 };

// Named angles: 0 (also "not special"), pi/4, pi/2, 3 pi/4 and pi.
enum NQSpecialAngleType : int {
    NQ_NOT_SPECIAL = 0,
    NQ_ANGLE_0 = 1,
    NQ_ANGLE_45 = 2,
    NQ_ANGLE_90 = 3,
    NQ_ANGLE_135 = 4,
    NQ_ANGLE_180 = 5
};

// An angle kept in radians, with the special type it was made from.
// Arithmetic gives angles that are not special.
class NQAngle {
public:
    explicit NQAngle(double radians = 0);
    // Throws code 14 for units other than the three.
    NQAngle(double value, NQAngleUnits units);
    NQAngle(double degrees, double minutes, double seconds);
    // Throws code 14 for a type outside 0 to 5.
    explicit NQAngle(NQSpecialAngleType type);
    NQAngle(const NQAngle&) = default;
    NQAngle& operator=(const NQAngle&) = default;
    virtual ~NQAngle() = default;

    double nqRadians() const { return radians_; }
    double nqDegrees() const;
    double nqGrads() const;
    bool nqIsSpecial() const { return special_ != NQ_NOT_SPECIAL; }
    // Brings the value into [0, 2 pi).
    void nqReduce();
    // 0 on an axis (0, pi/2, pi, 3 pi/2), else the quadrant 1 to 4 of the
    // reduced value.
    int nqQuadrant() const;

    NQAngle& operator+=(const NQAngle& other);
    NQAngle& operator-=(const NQAngle& other);

private:
    double radians_ = 0;
    int special_ = NQ_NOT_SPECIAL;
};

NQAngle operator+(const NQAngle& a, const NQAngle& b);
NQAngle operator-(const NQAngle& a, const NQAngle& b);

#endif
