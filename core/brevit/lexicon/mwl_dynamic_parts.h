// What the run-time word store's source files share: element access to its
// chunked arrays, byte-store edits, growth that can be undone, and the pron
// and text helpers behind the operations of mwl_dynamic.h.
#pragma once

#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/lexicon/mwl_util.h"

#include <cstdint>

template <typename T>
T& mwlAt(const MWLDynamicChunks& array, uint32_t i)
{
    return static_cast<T*>(array.table[i >> 8])[i & (kMWLDynamicChunkLength - 1)];
}

inline MWLDynamicRecord& mwlRecord(const MWLDynamic* s, uint32_t i)
{
    return mwlAt<MWLDynamicRecord>(s->records, i);
}

// ---- byte stores (texts, prons) ---------------------------------------------
void mwlReadBytes(const MWLDynamicChunks& bytes, uint32_t at, uint32_t n, void* out);
void mwlWriteBytes(const MWLDynamicChunks& bytes, uint32_t at, uint32_t n, const void* in);
// Moves n bytes from source to destination (overlap allowed).
void mwlMoveBytes(const MWLDynamicChunks& bytes, uint32_t source, uint32_t n,
                  uint32_t destination);
// Bytes before the terminator.
uint32_t mwlStringLength(const MWLDynamicChunks& bytes, uint32_t at);
// The string with its terminator, copied into scratch memory.
uint8_t* mwlCopyString(const MWLDynamicChunks& bytes, uint32_t at);
// DVKStr_NCompare of the stored string with key over at most n bytes.
int32_t mwlCompareString(const MWLDynamicChunks& bytes, uint32_t at, const uint8_t* key,
                         int32_t n);
// Replaces [at, at + oldLength) of a store of used bytes by newLength bytes
// (the store already grown), moving what follows; records' offsets behind
// at follow. texts selects the text store, else the pron store.
void mwlReplaceBytes(MWLDynamic* s, bool texts, uint32_t at, uint32_t oldLength,
                     const uint8_t* bytes, uint32_t newLength);

// ---- growth that a refusal undoes ----------------------------------------------
struct MWLDynamicGrowth {
    MWLDynamicChunks* array;
    MWLDynamicChunks saved;
};
struct MWLDynamicGrowthLog {
    MWLDynamicGrowth entries[10];   // an add grows at most 8 arrays
    int32_t count;
};
// Room for count elements; false when memory runs out (logged growth stays
// until mwlUndoGrowth).
bool mwlGrow(MWLDynamicGrowthLog* log, MWLDynamicChunks* array, uint32_t elementSize,
             uint32_t count);
// Frees the chunks the logged calls added and puts the tables' words back.
void mwlUndoGrowth(MWLDynamicGrowthLog* log);
// Every per-record array (not the text order) for count records.
bool mwlGrowRecordArrays(MWLDynamic* s, MWLDynamicGrowthLog* log, uint32_t count);

// ---- records ----------------------------------------------------------------------
// Moves the per-record arrays' elements from index up by one (count unchanged).
void mwlOpenRecordGap(MWLDynamic* s, uint32_t index);
// Moves the elements behind index down by one (count unchanged).
void mwlCloseRecordGap(MWLDynamic* s, uint32_t index);
// Text-order entries at or above from move by delta.
void mwlShiftTextOrder(MWLDynamic* s, uint32_t from, int32_t delta);
// Removes the record with its texts and prons (prons released first).
void mwlRemoveRecord(MWLDynamic* s, uint32_t index, int32_t* freed);
// The highest run-time id from the last record.
int32_t mwlHighestId(const MWLDynamic* s);
void mwlFreeArrays(MWLDynamic* s);
uint8_t mwlClassByte(const MWLDynamic* s, uint32_t index);
uint8_t mwlMarkerPosition(const MWLDynamic* s, uint32_t index);

// ---- prons ------------------------------------------------------------------------
int32_t mwlPronLength(const uint16_t* pron);
// Bytes of the encoded pron at at, of the whole entry (count byte, prons);
// bytes past the used end read as zeros.
uint32_t mwlEncodedPronLength(const MWLDynamic* s, uint32_t at);
uint32_t mwlPronEntryLength(const MWLDynamic* s, uint32_t at);
// Decodes the pron at at into out (256 units, ended by 0xFFFF); bytes used.
uint32_t mwlDecodePron(const MWLDynamic* s, uint32_t at, uint16_t* out);
// Ids named, added slots allocated, and the encoded form's limits.
bool mwlIsStorablePron(const MWLDynamic* s, const uint16_t* pron);
void mwlCountUses(MWLDynamic* s, const uint16_t* pron);
// True when a recognition phoneme became free.
bool mwlReleasePron(MWLDynamic* s, const uint16_t* pron);
int32_t mwlRecogLength(const MWLDynamic* s, const uint16_t* pron);

// ---- texts ---------------------------------------------------------------------------
struct MWLDynamicTexts {
    uint8_t* surface;       // key: case-folded with class bytes
    uint8_t* spoken;
    uint8_t* exact;         // class 16 only, else null
    uint8_t classByte;      // kMWLDynamicNoClass without class bytes
    int32_t surfaceChars;
    int32_t spokenChars;
};
// Encoded into scratch memory; false when a text has no form in its encoding.
bool mwlEncodeTexts(const MWLDynamic* s, const uint16_t* surface, const uint16_t* spoken,
                    MWLDynamicTexts* out);
// The surface key alone (case-folded with class bytes), in scratch; null
// when it has no form. prefix as MWLCode_ConvertFromUnicode's.
uint8_t* mwlEncodeKey(const MWLDynamic* s, const uint16_t* text, int32_t* prefix);
// Encoding of the exact form: UTF-8 for compact surfaces.
int32_t mwlPlainEncoding(const MWLDynamic* s);
// Bytes of a record's text entry.
uint32_t mwlTextEntryLength(const MWLDynamic* s, uint32_t index);
// The stored texts of a record, copied into scratch (exact null unless 16).
void mwlRecordTexts(const MWLDynamic* s, uint32_t index, MWLDynamicTexts* out);
// Characters of the surface as written and of the spoken form.
void mwlDecodedLengths(const MWLDynamic* s, const MWLDynamicTexts& texts, int32_t* surface,
                       int32_t* spoken);
// The text to generate from, UTF-16 in scratch.
uint16_t* mwlPronText(const MWLDynamic* s, const MWLDynamicTexts& texts);
// One generated pron into out (kMWLDecodedPronUnits): its length, -1 none.
int32_t mwlGeneratePron(const MWLDynamic* s, const uint16_t* text, uint8_t type, uint16_t* out);
