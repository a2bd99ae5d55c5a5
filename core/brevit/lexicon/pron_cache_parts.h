// Shared between the pronunciation cache's sources.
#pragma once

#include "core/brevit/lexicon/pron_cache.h"

#include <cstdint>

namespace pron_cache {

inline constexpr uint32_t kPageLength = 256;

// Start of the hash probe of an id in a table of size pairs (a power of two).
uint32_t hashStart(uint32_t id, uint32_t size);
// Frees the data, pair and by-id tables and zeroes their fields.
void freeTables(PronCache* cache);
// Scratch buffers of three times the vocabulary's longest pron; 0 without
// memory (the old ones stay).
int32_t growScratch(PronCache* cache);
// Single-unit mode: an id the table does not reach is asked of the
// vocabulary; its first unit (0xFFFF for none) in the scratch buffer.
const uint16_t* firstUnitPastTable(PronCache* cache, uint16_t id);

} // namespace pron_cache
