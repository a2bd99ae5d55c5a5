// The suite's read-only mapped files.
#pragma once

struct dvk_oem_mmap_Handle;
typedef dvk_oem_mmap_Handle dvk_mmap_Handle;  // opaque to the suite

// The mapped file, or NULL when it cannot be found or mapped.
dvk_mmap_Handle* dvk_mmap_openFile(const char* fileName);
// Start address of the contents.
void* dvk_mmap_mapFile(dvk_mmap_Handle* handle);
// Releases the handle and clears the caller's pointer (a null handle is left alone).
void dvk_mmap_unmapFile(dvk_mmap_Handle** handle);
// Bytes mapped (for bounds checks).
long dvk_mmap_getSize(dvk_mmap_Handle* handle);

// Test tool: while on, every open answers NULL, so callers take their
// buffered path.
void dvk_mmap_refuseMapping(bool refuse);
