// The suite's buffered file streams: a 4096-byte window over a porting-layer
// stream. Bytes written reach the file only when the window is flushed (when
// it is full, on a seek outside it, on a seek from the end, on close), so
// small reads and writes of the engine's archives cost no system call.
#pragma once

#include "oem/dvk_oem_file.h"

enum : long { DVK_FILE_BUFFER_SIZE = 4096 };

struct dvk_file_Stream {
    dvk_oem_file_Stream* stream;  // the porting-layer stream
    unsigned char* buffer;        // the window, bufferSize bytes
    long bufferSize;
    long bufferFilled;            // valid bytes in the window
    long bufferOffset;            // file offset of the window's first byte
    long bufferInternalPtr;       // position inside the window
    dvk_oem_file_Mode mode;       // 0 read, 1 write
};
// Invariant: 0 <= bufferInternalPtr <= bufferFilled <= bufferSize; the logical
// position is bufferOffset + bufferInternalPtr.

// A stream, or NULL when the file cannot be opened or memory is short.
dvk_file_Stream* dvk_file_fopen(const char* fileName, dvk_oem_file_Mode mode);

// Writes what the window still holds, closes the file, frees the stream and
// clears the caller's pointer (a null stream is left alone). 0, or 1 when the
// last bytes could not be written or the close failed: then the file is not
// saved.
int dvk_file_fclose(dvk_file_Stream** stream);

// Whole items read or accepted (size and count above 0). A read stops at the
// end of the file; a write stops early when the window cannot be flushed.
long dvk_file_fread(void* buffer, long size, long count, dvk_file_Stream* stream);
long dvk_file_fwrite(const void* buffer, long size, long count, dvk_file_Stream* stream);

// origin 0 start, 1 current position, 2 end. 0, or the error of the flush or
// of the layer below; other origins and targets before the start give -1.
int dvk_file_fseek(dvk_file_Stream* stream, long offset, int origin);

// The logical position; never touches the file.
long dvk_file_ftell(dvk_file_Stream* stream);

// Straight to the porting layer: size (0 when not found), existence (an
// empty file does not exist), remove and rename (0 or -1).
long dvk_file_fsize(const char* fileName);
int dvk_file_fexist(const char* fileName);
int dvk_file_remove(const char* fileName);
int dvk_file_rename(const char* oldName, const char* newName);
