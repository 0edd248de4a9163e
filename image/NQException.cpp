#include "image/NQException.h"

#include <cstdio>
#include <cstring>

NQException::NQException() : code_(NQ_NO_ERROR) {}

NQException::NQException(NQExceptionCodes code, const char* message, const char* sourceFile,
                         int sourceLine)
    : code_(code) {
    if (sourceFile != nullptr) {
        // Keep only the part after the last '/', unless that '/' is the first
        // character (then the name is kept whole).
        const char* slash = std::strrchr(sourceFile, '/');
        if (slash != nullptr && slash > sourceFile)
            message_ += slash + 1;
        else
            message_ += sourceFile;
    }
    if (sourceLine != 0) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, ":%d: ", sourceLine);
        message_ += buffer;
    }
    if (message != nullptr) message_ += message;
}

NQException::NQException(NQExceptionCodes code, const std::string& message,
                         const char* sourceFile, int sourceLine)
    : NQException(code, message.c_str(), sourceFile, sourceLine) {}
