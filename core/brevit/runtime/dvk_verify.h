// Diagnostic probes: can a caller's pointer be read or written over a length
// without crashing the process? The memory is touched under a temporary
// SIGSEGV handler that jumps back on a fault. Results: 0 when the memory
// could be touched, 1 when not (a fault, a null pointer, a length below 1).
//
// Probes are serialised process-wide and put the previous SIGSEGV action back
// before returning; a fault raised by another thread while a probe runs goes
// to that previous action. For diagnostics only: nothing depends on them.
#pragma once

#include <cstdint>

// DVKVerify_String (s, 0x7FFFFFFF).
int32_t DVKVerify_StringPtr(const char* s);
// Reads s up to and including its terminator, or maxLength bytes.
int32_t DVKVerify_String(const char* s, int32_t maxLength);
// Reads one byte of every 4096 from the start, and the last byte.
int32_t DVKVerify_ReadPtr(const void* p, int32_t size);
// Reads the same bytes and writes each value back.
int32_t DVKVerify_WritePtr(void* p, int32_t size);
