#include "analysis/NQAngle.h"

#include <cmath>

#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQAngle";
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

double reduced(double radians) {
    const double r = radians - std::floor(radians / kTwoPi) * kTwoPi;
    // A tiny negative value rounds to exactly 2 pi, which belongs to 0.
    return r < kTwoPi ? r : 0.0;
}

}  // namespace

NQAngle::NQAngle(double radians) : radians_(radians) {}

NQAngle::NQAngle(double value, NQAngleUnits units) {
    switch (units) {
        case NQ_DEGREES:
            radians_ = value * kPi / 180;
            break;
        case NQ_RADIANS:
            radians_ = value;
            break;
        case NQ_GRADS:
            radians_ = value * kPi / 200;
            break;
        default:
            throw NQException(NQ_INVALID_ARGUMENT,
                              "<NQAngle::NQAngle()> Invalid value for NQAngleUnits.", kModule,
                              __LINE__);
    }
}

NQAngle::NQAngle(double degrees, double minutes, double seconds)
    : radians_((degrees + minutes / 60 + seconds / 3600) * kPi / 180) {}

NQAngle::NQAngle(NQSpecialAngleType type) {
    static const double kValues[] = {0, 0, kPi / 4, kPi / 2, 3 * kPi / 4, kPi};
    if (type < NQ_NOT_SPECIAL || type > NQ_ANGLE_180)
        throw NQException(NQ_INVALID_ARGUMENT, "<NQAngle::NQAngle() Invalid NQSpecialAngleType.",
                          kModule, __LINE__);
    radians_ = kValues[type];
    special_ = type;
}

double NQAngle::nqDegrees() const {
    return radians_ / (kPi / 180);
}

double NQAngle::nqGrads() const {
    return radians_ / (kPi / 200);
}

void NQAngle::nqReduce() {
    radians_ = reduced(radians_);
}

int NQAngle::nqQuadrant() const {
    const double r = radians_ >= 0 && radians_ < kTwoPi ? radians_ : reduced(radians_);
    if (r == 0 || r == kPi / 2 || r == kPi || r == 3 * kPi / 2)
        return 0;
    if (r < kPi / 2)
        return 1;
    if (r < kPi)
        return 2;
    if (r < 3 * kPi / 2)
        return 3;
    return 4;
}

NQAngle& NQAngle::operator+=(const NQAngle& other) {
    radians_ += other.radians_;
    special_ = NQ_NOT_SPECIAL;
    return *this;
}

NQAngle& NQAngle::operator-=(const NQAngle& other) {
    radians_ -= other.radians_;
    special_ = NQ_NOT_SPECIAL;
    return *this;
}

NQAngle operator+(const NQAngle& a, const NQAngle& b) {
    NQAngle sum(a);
    return sum += b;
}

NQAngle operator-(const NQAngle& a, const NQAngle& b) {
    NQAngle difference(a);
    return difference -= b;
}
