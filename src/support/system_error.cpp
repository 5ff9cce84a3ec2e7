#include "support/system_error.h"

#include <cerrno>

int ErrorCodeForSystemError(int systemError, FileOperation operation)
{
    switch (systemError) {
    case 0:
        return 0;
    case EPERM:
    case EACCES:
    case EROFS:
    // A severed link to a remote file is as final as a refused permission.
    case ENOLINK:
        return 11;
    case ENOENT:
        switch (operation) {
        case FileOperation::Open:
            return 4;
        case FileOperation::Read:
            return 13;
        case FileOperation::Write:
            return 3;
        default:
            return 10;
        }
    case EINTR:
    case EBUSY:
    case EAGAIN:
        return 2;
    case EEXIST:
        return 4;
    case ENOTDIR:
    case EISDIR:
    case ELOOP:
    case ENAMETOOLONG:
    // A path that would need a multi-hop remote mount is a bad path too.
    case EMULTIHOP:
        return 10;
    case EFBIG:
        return 1;
    case ENOSPC:
        return 3;
    case ERANGE:
        return 12;
    default:
        break;
    }
    switch (operation) {
    case FileOperation::Read:
        return 13;
    case FileOperation::Write:
        return 16;
    default:
        return 9;
    }
}
