#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQUtils.h"
#include "support/TestSupport.h"

using nqtest::captureStdout;
using nqtest::throwsNQ;

TEST(Exception, MessageIsComposedFromModuleLineAndText) {
    EXPECT_STREQ(NQException(NQ_IO_ERROR, "T", "dir/sub/F", 12).what(), "F:12: T");
    EXPECT_STREQ(NQException(NQ_IO_ERROR, "T", "F", 0).what(), "FT");
    EXPECT_STREQ(NQException(NQ_IO_ERROR, "T", nullptr, 0).what(), "T");
    EXPECT_STREQ(NQException(NQ_IO_ERROR, "T", "/F", 3).what(), "/F:3: T");
    EXPECT_STREQ(NQException(NQ_IO_ERROR, nullptr, "a/F", 58).what(), "F:58: ");

    const NQException e(NQ_INVALID_PAGE, std::string("page"), "M", 1);
    const NQException copy = e;
    EXPECT_EQ(copy.nqGetErrorID(), NQ_INVALID_PAGE);
    EXPECT_EQ(copy.nqGetErrorMsg(), "M:1: page");
    EXPECT_STREQ(NQException().what(), "");
}

class LoggerTest : public ::testing::Test {
protected:
    void TearDown() override {
        logger->nqSetLogType(NQ_LOG_STDOUT);
        logger->nqSetLogSeverity(NQ_ERROR);
    }
    NQLogger* logger = NQLogger::nqGetInstance();
};

TEST_F(LoggerTest, DefaultThresholdLetsOnlyErrorsThrough) {
    EXPECT_EQ(logger, NQLogger::nqGetInstance());
    const std::string out = captureStdout([&] {
        logger->nqLog(NQ_DEBUG, "debug\n");
        logger->nqLog(NQ_INFO, "info %d\n", 2);
        logger->nqLog(NQ_ERROR, "error %s", "three");
        logger->nqLog(NQ_SILENT, "silent\n");
    });
    EXPECT_EQ(out, "error three");
}

TEST_F(LoggerTest, SilentMessagesNeverAppearAndTypedValuesEndTheirLine) {
    logger->nqSetLogSeverity(NQ_DEBUG);
    const std::string out = captureStdout([&] {
        logger->nqLog(NQ_SILENT, "never\n");
        logger->nqLog(7, NQ_SILENT);
        logger->nqLog(42, NQ_DEBUG);
        logger->nqLog(std::string("text"), NQ_INFO);
        logger->nqLog('c', NQ_ERROR);
        logger->nqLog(1.5, NQ_ERROR);
    });
    EXPECT_EQ(out, "42\ntext\nc\n1.5\n");
}

TEST_F(LoggerTest, ACaptureTakesThisThreadsStandardOutputLinesOnly) {
    std::ostringstream held, inner;
    std::string fromOtherThread;
    const std::string out = captureStdout([&] {
        const NQLogger::Capture capture(held);
        logger->nqLog(NQ_ERROR, "first %d\n", 1);
        {
            const NQLogger::Capture nested(inner);
            logger->nqLog(2, NQ_ERROR);
        }
        logger->nqLog(std::string("third"), NQ_ERROR);
        logger->nqLog(NQ_INFO, "below the threshold\n");
        std::thread([&] { logger->nqLog(NQ_ERROR, "other thread\n"); }).join();
    });
    EXPECT_EQ(held.str(), "first 1\nthird\n");
    EXPECT_EQ(inner.str(), "2\n");
    EXPECT_EQ(out, "other thread\n");
}

TEST_F(LoggerTest, FileOutputAppendsAndUsesTypedFormats) {
    nqtest::TempDir dir;
    const std::string first = dir.file("first.log");
    const std::string second = dir.file("second.log");
    nqtest::writeFile(first, "old\n");
    logger->nqSetLogType(NQ_LOG_FILE, first.c_str());
    logger->nqLog(NQ_ERROR, "a=%d\n", 1);
    logger->nqLog(static_cast<short>(3), NQ_ERROR);
    logger->nqLog(2.0, NQ_ERROR);
    logger->nqLog(0.5f, NQ_ERROR);
    logger->nqLog("s", NQ_ERROR);
    // Opening a second file closes the first.
    logger->nqSetLogType(NQ_LOG_FILE, second.c_str());
    logger->nqLog(9L, NQ_ERROR);
    // Leaving file output closes the file, so its content is complete.
    const std::string out = captureStdout([&] {
        logger->nqSetLogType(NQ_LOG_STDOUT);
        logger->nqLog(NQ_ERROR, "back\n");
    });
    EXPECT_EQ(out, "back\n");
    EXPECT_EQ(nqtest::readFile(first), "old\na=1\n    3\n2.000000e+00\n0.500000\ns\n");
    EXPECT_EQ(nqtest::readFile(second), "    9\n");
}

TEST_F(LoggerTest, FileOutputNeedsAName) {
    EXPECT_TRUE(throwsNQ([&] { logger->nqSetLogType(NQ_LOG_FILE, nullptr); }, NQ_FILE_OPEN_ERROR,
                         "<NQLogger::nqSetLogType()> Must provide log file name."));
    EXPECT_EQ(logger->nqGetLogType(), NQ_LOG_STDOUT);
}

TEST_F(LoggerTest, StandardErrorAndInvalidTypes) {
    testing::internal::CaptureStderr();
    logger->nqSetLogType(NQ_LOG_STDERR);
    logger->nqLog(NQ_ERROR, "to stderr\n");
    logger->nqLog(5, NQ_ERROR);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n5\n");

    const std::string out = captureStdout([&] {
        logger->nqSetLogType(static_cast<NQLogType>(9));
        logger->nqLog(NQ_ERROR, "lost\n");
    });
    EXPECT_EQ(out, "Logger error! Invalid log output type. 9\n");
}

TEST(Utils, RoundingGoesHalfUp) {
    EXPECT_EQ(NQUtils::roundInt(-0.5), 0);
    EXPECT_EQ(NQUtils::roundInt(0.5), 1);
    EXPECT_EQ(NQUtils::roundInt(2.5), 3);
    EXPECT_EQ(NQUtils::roundInt(-2.5), -2);
    EXPECT_DOUBLE_EQ(NQUtils::roundDouble(2.375, 2), 2.38);
    EXPECT_DOUBLE_EQ(NQUtils::roundDouble(-2.5, 0), -3.0);  // magnitude rounded, sign restored
    EXPECT_DOUBLE_EQ(NQUtils::roundDouble(-1.005, 0), -1.0);
    EXPECT_DOUBLE_EQ(NQUtils::roundDouble(1.5, 0), 2.0);
    EXPECT_DOUBLE_EQ(NQUtils::roundDouble(7.25, -3), 7.0);
}

TEST(Utils, DecimalsReadAsStrtollReadsThem) {
    for (const char* text : {"0", "7", "2480", "012", "123456789012345678", "1234567890123456789",
                             "99999999999999999999", "-42", "+5", " 17", "\t-3x", "12,34", "3)",
                             "9a", "", ",", "-", "x1"})
        EXPECT_EQ(NQUtils::readDecimal(text), std::strtoll(text, nullptr, 10)) << '"' << text << '"';
}

TEST(Utils, ByteReversal) {
    int i = 0x01020304;
    NQUtils::reverseInt(i);
    EXPECT_EQ(i, 0x04030201);
    short s = 0x0102;
    NQUtils::reverseShort(s);
    EXPECT_EQ(s, 0x0201);
}

TEST(Utils, RootNameAndSuffixCutAtTheLastInnerDot) {
    struct Case {
        const char* name;
        const char* root;
        const char* suffix;
    } cases[] = {
        {"a.b.tif", "a.b", "tif"}, {".profile", ".profile", ""}, {"name.", "name", ""},
        {"plain", "plain", ""},    {"x", "x", ""},                {"", "", ""},
        {"dir.d/file", "dir", "d/file"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<char, decltype(&std::free)> root(NQUtils::getRootName(c.name), &std::free);
        std::unique_ptr<char, decltype(&std::free)> suffix(NQUtils::getSuffix(c.name), &std::free);
        ASSERT_TRUE(root && suffix);
        EXPECT_STREQ(root.get(), c.root) << c.name;
        EXPECT_STREQ(suffix.get(), c.suffix) << c.name;
    }
}
