// Fixed-size records the porting layer keeps in the writable data directory.
#pragma once

#include <cstddef>

// True when the file holds exactly size bytes, then copied to record.
bool dvkOemReadRecord(const char* name, void* record, size_t size);

// Replaces the file as a whole: the bytes go to name + ".tmp" (a leftover is
// overwritten), reach the disk, and the temporary file is renamed over the
// record, so a crash or a full disk leaves the old record or the new one,
// never a part. The directory is created (0700) first. False when anything
// failed: the temporary file is removed and the old record stays.
bool dvkOemStoreRecord(const char* name, const void* record, size_t size);
