// Files of the porting interface. The suite names its files without
// directories; this layer finds them in the service's data directories:
// for reading in the installation, language-pack, writable data and
// application data directories (first found wins), for writing in the
// writable data directory, then the application data directory. A name
// beginning with "/" is used as it is.
#pragma once

#include <cstdio>

// The system library's stream itself.
typedef FILE dvk_oem_file_Stream;

// 0 read ("rb"), 1 write ("wb"); other values are programming errors.
typedef int dvk_oem_file_Mode;
enum : int {
    DVK_OEM_FILE_MODE_READ = 0,
    DVK_OEM_FILE_MODE_WRITE = 1,
};

// 0 start, 1 current position, 2 end; other values are refused with -1.
typedef int dvk_oem_file_SeekOrigin;
enum : int {
    DVK_OEM_FILE_SEEK_START = 0,
    DVK_OEM_FILE_SEEK_CURRENT = 1,
    DVK_OEM_FILE_SEEK_END = 2,
};

// The stream, or NULL (logged) when the name is refused or no directory has it.
dvk_oem_file_Stream* dvk_oem_file_fopen(const char* fileName, dvk_oem_file_Mode mode);
// Closes the stream; 0, or EOF (logged) when buffered data could not be
// written or the close failed: the caller must not take the file as saved.
int dvk_oem_file_fclose(dvk_oem_file_Stream* fileStream);
// Whole items read or written (size and count above 0).
long dvk_oem_file_fread(void* buffer, long size, long count, dvk_oem_file_Stream* fileStream);
long dvk_oem_file_fwrite(const void* buffer, long size, long count,
                         dvk_oem_file_Stream* fileStream);
// 0, or the system library's error.
int dvk_oem_file_fseek(dvk_oem_file_Stream* fileStream, long offset,
                       dvk_oem_file_SeekOrigin origin);
// The position, negative on failure.
long dvk_oem_file_ftell(dvk_oem_file_Stream* fileStream);
// Size in bytes of the first file found, 0 when none.
long dvk_oem_file_fsize(const char* fileName);
// 1 when a file of non-zero size is found, else 0 (an empty file does not exist).
int dvk_oem_file_fexist(const char* fileName);
// Removes a file, never a directory; 0 or -1.
int dvk_oem_file_remove(const char* fileName);
// Renames inside the writable data directory or, failing that, the
// application data directory (two full paths: as given); 0 or -1.
int dvk_oem_file_rename(const char* oldName, const char* newName);

// Names may hold letters, digits, ".", "-", "_" and "/" only, and no ".."
// component. Refusals are logged.
bool dvkOemFileNameIsValid(const char* fileName);
