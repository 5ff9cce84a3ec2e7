#include "support/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

TEST(SystemError, EveryRowOfTheConversionTable)
{
    // The codes for opening, reading, writing and other operations.
    struct Row
    {
        std::vector<int> errors;
        int open, read, write, other;
    };
    const std::vector<Row> rows = {
        {{0}, 0, 0, 0, 0},          {{EPERM, EACCES, EROFS, ENOLINK}, 11, 11, 11, 11},
        {{ENOENT}, 4, 13, 3, 10},   {{EINTR, EBUSY, EAGAIN}, 2, 2, 2, 2},
        {{EEXIST}, 4, 4, 4, 4},     {{ENOTDIR, EISDIR, ELOOP, ENAMETOOLONG, EMULTIHOP}, 10, 10, 10, 10},
        {{EFBIG}, 1, 1, 1, 1},      {{ENOSPC}, 3, 3, 3, 3},
        {{ERANGE}, 12, 12, 12, 12}, {{EIO, EBADF, EDQUOT, -1}, 9, 13, 16, 9},
    };
    for (const Row &row : rows) {
        for (const int error : row.errors) {
            SCOPED_TRACE(error);
            EXPECT_EQ(ErrorCodeForSystemError(error, FileOperation::Open), row.open);
            EXPECT_EQ(ErrorCodeForSystemError(error, FileOperation::Read), row.read);
            EXPECT_EQ(ErrorCodeForSystemError(error, FileOperation::Write), row.write);
            EXPECT_EQ(ErrorCodeForSystemError(error, FileOperation::Other), row.other);
        }
    }
}
