// What the phrase index's own files share about a class.
#pragma once

#include "core/brevit/lexicon/ir.h"

inline constexpr int32_t kIRMaxPhrases = 65534;
inline constexpr int32_t kIRMaxWords = 65534;
inline constexpr uint32_t kIRMaxTotal = 0x3FFFF;

uint32_t* IRClass_Successors(const IRClass* c, int32_t word);
uint32_t* IRClass_Postings(const IRClass* c, int32_t word);
// The local index of a word id, 65535 when outside the class.
uint16_t IRClass_Map(const IRClass* c, uint32_t id);
// K1 and Kw from parameter word 627.
void IRClass_SetCosts(IRClass* c);
void IRClass_DropScores(IRClass* c);
// An empty class with the parameters of now; null when memory runs out.
IRClass* IRClass_New(Voc* vocabulary, int32_t mode);
// A new phrase hash of the given size holding every phrase; 0 (old kept) on failure.
int32_t IRClass_RebuildHash(IRClass* c, int32_t slots);
uint32_t IRClass_ComputeCRC(const IRClass* c);
