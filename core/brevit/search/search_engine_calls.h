// What the engine object calls of search: its decoders, run-time grammar,
// constraint manager and class manager, held by pointer and never looked
// inside.
#pragma once

#include <cstdint>

struct Decoder;
struct Grammar;
struct Constraint;
struct ConstraintManager;
struct ClassManager;

// Frees a decoder (null allowed); the engine passes parameter word 799 as the
// option, 0 without a parameter block.
void Decoder_Delete(Decoder* decoder, int32_t option);
// Frees memory the decoder does not need now, at the caller's level.
void Decoder_FreeMemory(Decoder* decoder, int32_t level);

// Frees the grammar; null is ignored.
void Grammar_Delete(Grammar* grammar);

// Releases every constraint and frees the manager; null is ignored.
void ConstraintManager_Delete(ConstraintManager* manager);

// Deletes the run-time classes nothing refers to; the number deleted.
int32_t ClassManager_RemoveUnreferencedClasses(ClassManager* manager);
// Frees the manager and every class it holds; null is accepted.
void ClassManager_Delete(ClassManager* manager);
