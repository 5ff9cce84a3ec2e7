#include "support/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace {

struct Row
{
    int error;
    int open;
    int read;
    int write;
    int other;
};

}

TEST(SystemError, EveryRowOfTheConversionTable)
{
    const std::vector<Row> rows = {
        {0, 0, 0, 0, 0},
        {EPERM, 11, 11, 11, 11},
        {EACCES, 11, 11, 11, 11},
        {EROFS, 11, 11, 11, 11},
        {ENOLINK, 11, 11, 11, 11},
        {ENOENT, 4, 13, 3, 10},
        {EINTR, 2, 2, 2, 2},
        {EBUSY, 2, 2, 2, 2},
        {EAGAIN, 2, 2, 2, 2},
        {EEXIST, 4, 4, 4, 4},
        {ENOTDIR, 10, 10, 10, 10},
        {EISDIR, 10, 10, 10, 10},
        {ELOOP, 10, 10, 10, 10},
        {ENAMETOOLONG, 10, 10, 10, 10},
        {EMULTIHOP, 10, 10, 10, 10},
        {EFBIG, 1, 1, 1, 1},
        {ENOSPC, 3, 3, 3, 3},
        {ERANGE, 12, 12, 12, 12},
        {EIO, 9, 13, 16, 9},
        {EBADF, 9, 13, 16, 9},
        {EDQUOT, 9, 13, 16, 9},
        {-1, 9, 13, 16, 9},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.error);
        EXPECT_EQ(ErrorCodeForSystemError(row.error, FileOperation::Open), row.open);
        EXPECT_EQ(ErrorCodeForSystemError(row.error, FileOperation::Read), row.read);
        EXPECT_EQ(ErrorCodeForSystemError(row.error, FileOperation::Write), row.write);
        EXPECT_EQ(ErrorCodeForSystemError(row.error, FileOperation::Other), row.other);
    }
}
