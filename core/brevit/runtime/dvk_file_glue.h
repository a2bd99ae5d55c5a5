// The engine's only path to files: thin forwarding to the suite's buffered
// file streams. Paths are 8-bit; modes are "rb" and "wb" only.
#pragma once

#include "sdk/common/dvk_file.h"

#include <cstdint>

typedef dvk_file_Stream DVK_FILE;

// A stream or null. Any mode other than "r..." / "w..." with 'b' second is a
// programming error and stops the process.
DVK_FILE* DVK_fopen(const char* path, const char* mode);
// 0, or non-zero when buffered bytes could not be written or the close
// failed (the file is then not saved). A null stream gives 0.
int32_t DVK_fclose(DVK_FILE* stream);
// Whole items transferred; sizes or counts below 1 transfer nothing.
long DVK_fread(void* buffer, long size, long count, DVK_FILE* stream);
long DVK_fwrite(const void* buffer, long size, long count, DVK_FILE* stream);
int32_t DVK_fseek(DVK_FILE* stream, long offset, int32_t whence);
long DVK_ftell(DVK_FILE* stream);
// Reads up to size - 1 bytes, stopping after a newline, and terminates; null
// when not one byte could be read.
char* DVK_fgets(char* buffer, int32_t size, DVK_FILE* stream);
// Stores the size of an existing, non-empty file and returns 0; otherwise
// returns 1 and leaves *size untouched.
int32_t DVK_fsize(const char* path, uint32_t* size);
int32_t DVK_fexist(const char* path);
int32_t DVK_fremove(const char* path);
int32_t DVK_rename(const char* oldPath, const char* newPath);
// Present for callers; they do nothing.
int32_t DVK_feof(DVK_FILE* stream);
int32_t DVK_fflush(DVK_FILE* stream);
