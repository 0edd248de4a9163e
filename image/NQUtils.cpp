#include "image/NQUtils.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/NQException.h"
#include "image/NQLogger.h"

double NQUtils::roundDouble(double value, int digits) {
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    const double whole = std::trunc(magnitude);
    double scale = 1.0;
    for (int i = 0; i < digits; ++i) scale *= 10.0;
    const double fraction = std::floor((magnitude - whole) * scale + 0.5);
    const double result = fraction / scale + whole;
    return negative ? -result : result;
}

int NQUtils::roundInt(double value) { return static_cast<int>(std::floor(value + 0.5)); }

void NQUtils::reverseInt(int& value) {
    unsigned char bytes[4];
    std::memcpy(bytes, &value, 4);
    unsigned char swapped[4] = {bytes[3], bytes[2], bytes[1], bytes[0]};
    std::memcpy(&value, swapped, 4);
}

void NQUtils::reverseShort(short& value) {
    unsigned char bytes[2];
    std::memcpy(bytes, &value, 2);
    unsigned char swapped[2] = {bytes[1], bytes[0]};
    std::memcpy(&value, swapped, 2);
}

namespace {

// Position of the last '.' that stands at position 1 or later, or -1.
long lastDotPosition(const char* name, std::size_t length) {
    for (std::size_t i = length; i > 1; --i)
        if (name[i - 1] == '.') return static_cast<long>(i - 1);
    return -1;
}

char* copyOf(const char* text, std::size_t length) {
    char* copy = static_cast<char*>(std::calloc(length + 1, 1));
    if (copy == nullptr)
        throw NQException(NQ_MEMORY_ERROR, "Unable to allocate memory for outName.\n", nullptr, 0);
    std::memcpy(copy, text, length);
    return copy;
}

void logFailure(const char* where, const NQException& e) {
    NQLogger* logger = NQLogger::nqGetInstance();
    logger->nqLog(where, NQ_ERROR);
    logger->nqLog(e.what(), NQ_ERROR);
}

}  // namespace

char* NQUtils::getRootName(const char* name) {
    try {
        if (name == nullptr) return nullptr;
        const std::size_t length = std::strlen(name);
        const long dot = lastDotPosition(name, length);
        return copyOf(name, dot < 0 ? length : static_cast<std::size_t>(dot));
    } catch (const NQException& e) {
        logFailure("\nERROR in getRootName() ", e);
        return nullptr;
    }
}

char* NQUtils::getSuffix(const char* name) {
    try {
        if (name == nullptr) return nullptr;
        const std::size_t length = std::strlen(name);
        const long dot = lastDotPosition(name, length);
        if (dot < 0) return copyOf("", 0);
        return copyOf(name + dot + 1, length - static_cast<std::size_t>(dot) - 1);
    } catch (const NQException& e) {
        logFailure("\nERROR in getSuffix() ", e);
        return nullptr;
    }
}
