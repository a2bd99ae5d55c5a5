// What the engine object calls of the lexicon: the vocabulary and the phrase
// retrieval index, held by pointer and never looked inside.
#pragma once

#include <cstdint>

// A 32-bit vocabulary id; its top two bits give its kind.
typedef uint32_t VocId;

struct Voc;
struct IR;

// Frees the vocabulary; null does nothing.
void Voc_Delete(Voc* vocabulary);
// Copies the word list's language name into buffer (size bytes with the
// terminator): non-zero, or 0 when there is none or it does not fit.
int32_t Voc_GetLanguageName(const Voc* vocabulary, int32_t size, char* buffer);

// An empty phrase retrieval index over the vocabulary, or null.
IR* IR_Create(Voc* vocabulary);
// Frees an index.
void IR_Delete(IR* index);
