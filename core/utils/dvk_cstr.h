// Byte-string helpers of the suite.
#pragma once

#include <cstddef>

// A copy from the suite's allocator; NULL for NULL or when memory is short.
char* dvk_cstr_dup(const char* s);

// A small formatter: "%%", "%s" and "%d" with an optional 0 flag and width
// (the minus counts toward the width); any other conversion character is
// dropped and takes no argument. Writes at most size - 1 characters and the
// terminator (size >= 1); answers the characters written.
long dvk_cstr_formatText(char* buffer, size_t size, const char* format, ...);
