// The client-data store: small named byte strings that the engine's client
// attaches to an engine and that are saved and loaded with its user state.
// Items are records in a chunked byte array, one after another:
//   key length K (2 bytes), key (K bytes, no terminator),
//   data length D (4 bytes), data (D bytes)
// in machine byte order. Keys are 8-bit strings compared byte for byte; one
// record per key.
#pragma once

#include "core/brevit/runtime/dvk_chunked.h"

#include <cstdint>

struct DVKTar;

inline constexpr const char* kClientDataTag = "bcld0";
inline constexpr int32_t kClientDataChunkSize = 512;
// Keys are stored with a 16-bit length.
inline constexpr uint32_t kClientDataMaxKeyLength = 0xFFFF;

struct ClientData {
    DVKChunkedArray items;
};

// Null when chunkSize is not a power of two or memory is short.
ClientData* ClientData_Create(int32_t chunkSize);
void ClientData_Delete(ClientData* store);
void ClientData_ClearAll(ClientData* store);

// The offset of the key's record, or -1; stores the data length when asked.
int32_t ClientData_FindItem(const ClientData* store, const char* key, uint32_t* dataLength);
// Copies the key's data into buffer (sized from ClientData_FindItem); 1, or 0
// when the key is missing.
int32_t ClientData_GetItem(const ClientData* store, const char* key, void* buffer);
// Replaces or adds the item; 1, or 0 (the store then lacks the item and keeps
// its other records).
int32_t ClientData_SetItem(ClientData* store, const char* key, uint32_t dataLength,
                           const void* data);
// 1, also when the key is missing.
int32_t ClientData_ClearItem(ClientData* store, const char* key);

// The sub-file "bcld0" under prefix. Loading needs an empty store: 1, or 0
// when the sub-file is missing or its records do not hold together (the
// store is then left empty).
int32_t ClientData_LoadFromBinFile(ClientData* store, DVKTar* tar, const char* prefix);
// 1, also for a null store (nothing to save); 0 when the sub-file cannot be
// created or written.
int32_t ClientData_WriteBinFile(const ClientData* store, DVKTar* tar, const char* prefix);
