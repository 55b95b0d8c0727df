#include "files/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

TEST(ErrorStr, TableTextsByHostConstants) {
    EXPECT_EQ(error_str(0), "Unknown error occurred (0)");
    EXPECT_EQ(error_str(-43), "File not found");
    EXPECT_EQ(error_str(ENOENT), "No such file or directory");
    // Looked up by constant, so this system's numbers give the right sentences.
    EXPECT_EQ(error_str(ENOTEMPTY), "Directory not empty");
    EXPECT_EQ(error_str(EAGAIN), "Resource temporarily unavailable");
    EXPECT_EQ(error_str(EDEADLK), "Resource deadlock avoided");
    EXPECT_EQ(error_str(ENOSPC), "No space left on device. Perhaps your hard drive is full");
    EXPECT_EQ(error_str(20012),
              "Part of the downloaded zip file is corrupted (the resource fork header is bad)");
    EXPECT_EQ(error_str(20013),
              "Part of the zip file is damaged or unsafe: a file in it would be placed outside the "
              "destination folder");
    EXPECT_EQ(error_str(20099), "Unknown error occurred (20099)");
    EXPECT_EQ(error_str(-2147483647 - 1), "Unknown error occurred (-2147483648)");
    // The texts stand as they were written.
    EXPECT_EQ(error_str(20007), "We were unable to connct to the network due to an internal reconnect error");
    EXPECT_EQ(error_str(20008), "We wre unable to connect to the network due to a bad state error");
}

// The errors a Linux user meets on disk and on the network have rows; an errno without one is
// unknown, with its number.
TEST(ErrorStr, LinuxErrorsWithoutARowAreUnknown) {
    for (int code : {EDQUOT, ELOOP, ETXTBSY, EROFS, ENAMETOOLONG, ECONNREFUSED, ECONNRESET, ETIMEDOUT})
        EXPECT_EQ(error_str(code).find("Unknown"), std::string::npos) << code;
    for (int code : {EOVERFLOW, ENOTRECOVERABLE})
        EXPECT_EQ(error_str(code), "Unknown error occurred (" + std::to_string(code) + ")");
}

TEST(ErrorStr, EveryCodeHasOneRow) {
    std::set<int> codes;
    int rows = 0;
    for (const err_msg_row* r = kErrMsgs; r->text; ++r, ++rows) {
        EXPECT_TRUE(codes.insert(r->code).second) << "code " << r->code << " twice";
        EXPECT_NE(r->code, 0);
    }
    EXPECT_GE(rows, 79);
}
