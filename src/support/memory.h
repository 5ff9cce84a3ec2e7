#pragma once

#include <cstddef>

// malloc that logs "Allocation failed for N bytes." and a backtrace on failure and returns
// null; callers check. Release the block with std::free. A zero size still yields a block.
void *AllocateMemory(size_t size);
// As AllocateMemory, zero-filled.
void *AllocateAndClearMemory(size_t size);
