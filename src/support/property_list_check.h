#pragma once

#include <cstddef>
#include <cstdint>

// Limits on property-list input; the game's own files stay far below them.
inline constexpr int64_t kMaxPropertyListSize = 64 * 1024 * 1024;
inline constexpr int kMaxPropertyListDepth = 128;
// Values in the whole tree, and bytes of strings and data in it, after shared binary objects
// are expanded: a few kilobytes of binary list could otherwise stand for gigabytes.
inline constexpr int64_t kMaxPropertyListNodes = 1'000'000;
inline constexpr int64_t kMaxPropertyListPayload = kMaxPropertyListSize;

// True when data is safe to hand to libplist: a binary list ("bplist00") whose trailer,
// offset table and object references are all in range, that has no cycles, and whose
// expanded tree stays within the limits above; or any other text whose element nesting and
// count stay within them. libplist 2.2 follows neither references nor nesting with any bound.
bool PropertyListInputIsSafe(const char *data, size_t size);
