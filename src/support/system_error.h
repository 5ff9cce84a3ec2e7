#pragma once

// What a file operation was doing when the system reported an error.
enum class FileOperation : int { Other = 0, Open = 1, Read = 2, Write = 3 };

// The library's own error code for a system error number (errno) met during a file operation:
// 0 none, 1 file too large, 2 busy (try again), 3 disk full or missing on write, 4 exists or
// missing on open, 9 other, 10 bad path, 11 no permission, 12 out of range, 13 read failed,
// 16 write failed.
int ErrorCodeForSystemError(int systemError, FileOperation operation);
