// Read-only mapped files of the porting interface. A name is looked for in
// the installation directory, then (only for names containing ".bin") the
// language-pack directory, the writable data directory and the application
// data directory.
#pragma once

#include <cstddef>

struct dvk_oem_mmap_Handle {
    size_t size;    // bytes mapped
    void* address;  // start of the mapping
};

// The mapped file, or NULL (logged) when the name is refused, no directory
// has it or it cannot be mapped (an empty file, for instance).
dvk_oem_mmap_Handle* dvk_oem_mmap_openFile(const char* fileName);
// Start address of the contents.
void* dvk_oem_mmap_mapFile(dvk_oem_mmap_Handle* fileHandle);
// Unmaps the file and frees the handle.
void dvk_oem_mmap_unmapFile(dvk_oem_mmap_Handle* fileHandle);
