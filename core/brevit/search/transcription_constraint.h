// Transcription constraint (type 1): a fixed sequence of items, each a set of
// pronunciations. Never stored.
#pragma once

#include <cstdint>

struct Constraint;

// Sets bit (a - first) of bitmap for the active word a of every pron of the
// constraint with first <= a < first + count.
void TranscriptionConstraint_MarkReferencedWordIds(Constraint* con, uint8_t* bitmap, int32_t first,
                                                   int32_t count);
