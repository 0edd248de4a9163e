#ifndef NQ_IMAGE_NQUTILS_H
#define NQ_IMAGE_NQUTILS_H

#include <cstdlib>

// Small stateless numeric and file-name helpers.
class NQUtils {
public:
    // Rounds the magnitude half up to `digits` decimals and restores the sign.
    static double roundDouble(double value, int digits);
    // floor(x + 0.5): halves go up (-2.5 gives -2).
    static int roundInt(double value);
    static void reverseInt(int& value);
    static void reverseShort(short& value);
    // Both return a calloc'ed copy that the caller releases with free, or null
    // when memory runs out. The cut is made at the last '.' at position 1 or more.
    static char* getRootName(const char* name);
    static char* getSuffix(const char* name);
    // std::strtoll(text, nullptr, 10). A run of up to 18 plain digits, which
    // is how coordinates are written, is read without the library call; any
    // other text goes to strtoll.
    static long long readDecimal(const char* text);
};

inline long long NQUtils::readDecimal(const char* text) {
    long long value = 0;
    int digits = 0;
    for (; digits < 18 && text[digits] >= '0' && text[digits] <= '9'; ++digits)
        value = value * 10 + (text[digits] - '0');
    if (digits > 0 && !(text[digits] >= '0' && text[digits] <= '9'))
        return value;
    return std::strtoll(text, nullptr, 10);
}

#endif
