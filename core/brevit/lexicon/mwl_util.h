// Pronunciation routines shared by the word-list stores and the run-time
// words: the compact byte form of pronunciations, master to recognition
// conversion, marker phonemes, equality, and two small string routines.
//
// A pronunciation is 16-bit phoneme ids ended by 0xFFFF. Master phonemes
// above the list's maximum master id are added ones (id = maximum + slot);
// a master pronunciation is all static or all added, as its first id says.
// An added phoneme's expansion is pool[offsets[slot] .. offsets[slot + 1])
// up to its 0xFFFF; only slots 1 .. highest used slot exist.
#pragma once

#include "core/brevit/search/phone_rewrite.h"

#include <cstdint>

inline constexpr uint16_t kMWLPronEnd = 0xFFFF;
inline constexpr int32_t kMWLNoMarker = 254;
// Limits of the encoded form.
inline constexpr int32_t kMWLMaxEncodedPhonemes = 255;
inline constexpr int32_t kMWLMaxEncodedPhonemeId = 32767;
// Room of one decoded pronunciation buffer.
inline constexpr int32_t kMWLDecodedPronUnits = 256;

// Recognition form of a master pronunciation into out, ended by 0xFFFF:
// static ones rewritten by rules (out holds PhoneRewrite_GetMaxOutputLength
// of its length + 1; a rewrite longer than that gives the empty result),
// added ones by their expansions. The recognition length.
int32_t MWLUtil_ConvertMasterToRecogPron(const PhoneRewrite* rules, int32_t maxMaster,
                                         const uint16_t* pool, const uint32_t* slotOffsets,
                                         int32_t highestSlot, const uint16_t* pron, uint16_t* out);
// The length that conversion gives.
int32_t MWLUtil_GetRecogPronLength(const PhoneRewrite* rules, int32_t maxMaster,
                                   const uint16_t* pool, const uint32_t* slotOffsets,
                                   int32_t highestSlot, const uint16_t* pron);
// 0 when a and b are identical, else MWLUtil_ArePronunciationsEquivalent.
int32_t MWLUtil_IsEquivalentVariant(const uint16_t* a, const uint16_t* b, const PhoneRewrite* rules,
                                    int32_t maxMaster, const uint16_t* pool,
                                    const uint32_t* slotOffsets, int32_t highestSlot);
// 1 when both are added and agree position by position (an added phoneme of
// a with an empty expansion matches anything) and end together, or both are
// static with identical recognition forms.
int32_t MWLUtil_ArePronunciationsEquivalent(const uint16_t* a, const uint16_t* b,
                                            const PhoneRewrite* rules, int32_t maxMaster,
                                            const uint16_t* pool, const uint32_t* slotOffsets,
                                            int32_t highestSlot);
// 1 when the recognition pronunciation is a concatenation of expansions of
// used slots; out (its length + 1) then holds the added ids, the first such
// segmentation trying slots in order. The second argument is not used.
int32_t MWLUtil_SegmentPronunciation(int32_t maxMaster, int32_t unused, const uint16_t* pool,
                                     const uint32_t* slotOffsets, int32_t highestSlot,
                                     const uint16_t* recog, uint16_t* out);
// Bytes the encoded prons need: per pron a count byte, then one byte per id
// below 128 and two for others. -1 when a pron has more than 255 phonemes
// or an id above 32,767.
int32_t MWLUtil_GetEncodedSize(const uint16_t* const* prons, int32_t count);
// Writes the encoded prons (no set count); 1, or 0 writing nothing for a
// pron past the limits.
int32_t MWLUtil_EncodePronunciations(const uint16_t* const* prons, uint8_t* out, int32_t count);
// Into count buffers of 256 units each; the bytes read.
int32_t MWLUtil_DecodePronunciations(uint16_t* const* buffers, const uint8_t* encoded,
                                     int32_t count);
int32_t MWLUtil_GetEncodedPronLength(const uint8_t* encoded);
// Of a set: its count byte, then the prons.
int32_t MWLUtil_GetEncodedPronsLength(const uint8_t* encoded);
// Total expansion length of the encoded pron's phonemes: ids above boundary
// from the run-time table (id - boundary), others from the static one.
int32_t MWLUtil_GetRecogPronLengthFromEncoded(const uint16_t* staticPool,
                                              const uint32_t* staticOffsets, int32_t staticCount,
                                              int32_t boundary, const uint16_t* pool,
                                              const uint32_t* slotOffsets, int32_t highestSlot,
                                              const uint8_t* encoded);
// Splits count 0xFFFF-ended prons into buffers (each the longest pron + 1).
void MWLUtil_CopyPronunciations(uint16_t* const* buffers, const uint16_t* prons, int32_t count);
// Inserts the marker before the 1-based position (1 .. length + 1; others,
// 254 among them, leave the pron). The buffer has room for one more.
void MWLUtil_InsertMarkerPhoneme(uint16_t* pron, int32_t position, uint16_t marker);
// Removes the marker and gives its 1-based position; 254, the pron
// unchanged, when it is absent, there twice, or the pron has 254 phonemes
// or more.
int32_t MWLUtil_ExtractMarkerPhoneme(uint16_t* pron, uint16_t marker);
bool MWLUtil_IsSamePronunciation(const uint16_t* a, const uint16_t* b);
// One block holding maxId + 1 pointers and the names they point to (a null
// name stays null); free it with DVKMem_Free. Null when out of memory.
const char** MWLUtil_MakePhonemeNamesCopy(const char* const* names, int32_t maxId);
// -1, 0 or 1 over at most limit bytes, case folded by the encoding: 1, 2
// Latin-1, 5 Latin-9, 3 UTF-8 characters (limit in bytes of b), 4 ASCII and
// escaped characters (window bytes as they are); another code compares the
// bytes. Encoding 0 gives 0. caseDifference (may be null), when 0, takes the
// sign of the first raw difference between equal folded characters.
int32_t MWLUtil_CompareStringsCaseInsensitive(const uint8_t* a, const uint8_t* b, int32_t limit,
                                              int32_t encoding, int32_t* caseDifference);
