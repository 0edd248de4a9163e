#ifndef NQ_IMAGE_NQEXCEPTION_H
#define NQ_IMAGE_NQEXCEPTION_H

#include <exception>
#include <string>

// Error codes carried by NQException. Only the listed values are raised by the
// library; 0, 6 and 16 are reserved.
enum NQExceptionCodes : int {
    NQ_NO_ERROR = 0,
    NQ_IO_ERROR = 1,
    NQ_FILE_OPEN_ERROR = 2,
    NQ_NOT_IMPLEMENTED = 3,
    NQ_UNKNOWN_FORMAT = 4,
    NQ_NULL_DATA = 5,
    NQ_RESERVED_6 = 6,
    NQ_INVALID_INPUT = 7,
    NQ_INVALID_CONTENT = 8,
    NQ_OUT_OF_BOUNDS = 9,
    NQ_CHANNEL_OUT_OF_RANGE = 10,
    NQ_UNSUPPORTED = 11,
    NQ_MISSING_FIELD = 12,
    NQ_MEMORY_ERROR = 13,
    NQ_INVALID_ARGUMENT = 14,
    NQ_INVALID_PAGE = 15,
    NQ_RESERVED_16 = 16,
    NQ_INVALID_POSITION = 17
};

// The one exception type of the library. The message is composed from the
// base name of the throwing source module, the line and the text:
// "NQZone:58: <NQZone::nqSetZoneWidth()> ...". Null texts and line 0 are left out.
class NQException : public std::exception {
public:
    NQException();
    NQException(NQExceptionCodes code, const char* message, const char* sourceFile,
                int sourceLine);
    NQException(NQExceptionCodes code, const std::string& message, const char* sourceFile,
                int sourceLine);
    NQException(const NQException&) = default;
    NQException& operator=(const NQException&) = default;
    ~NQException() override = default;

    const char* what() const noexcept override { return message_.c_str(); }
    NQExceptionCodes nqGetErrorID() const { return code_; }
    std::string nqGetErrorMsg() const { return message_; }

private:
    std::string message_;
    NQExceptionCodes code_;
};

#endif
