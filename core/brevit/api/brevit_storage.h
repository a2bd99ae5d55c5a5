// User-state storage steps below the entry points, for core code, fuzz
// targets and tests.
#pragma once

#include "core/brevit/api/brevit.h"

#include <cstdint>

struct BrevitEngine;
struct DVKTar;

// The 13-byte presence block of the object (byte 6, model 3, always 0).
void BrevitPriv_BuildPresence(const BrevitEngine* engine, uint8_t* presence);
// The object's version record for a storage of the mode: 0, or 9.
EBrevit BrevitPriv_WriteVersionRecord(BrevitEngine* engine, DVKTar* tar, int32_t mode, int32_t presenceSize,
                                      const uint8_t* presence);
// Loads a storage of mode 3, 4 or 5 from an open archive (the caller closes
// it): 0, 4 for another mode, 3 when the record or a component is refused
// (what was read before stays).
EBrevit BrevitPriv_LoadStorageArchive(BrevitEngine* engine, DVKTar* tar, int32_t mode);
// The same from a file: 3 also when it cannot be opened or closed.
EBrevit BrevitPriv_LoadFromStorageMode(BrevitEngine* engine, const char* path, int32_t mode);
