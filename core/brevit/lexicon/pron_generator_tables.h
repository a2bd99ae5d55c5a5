// Helpers of the letter-to-sound kinds: the loading skeleton every kind
// shares, and for the table-driven ones (Korean, Chinese, Japanese) sorted
// reading tables, the non-space characters of a word, and codes expanded
// through the main rewrite table into one pron.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdint>

// Loads a generator of a kind whose object (Kind, its PG head named base
// first) starts zeroed with the kind's operations: the common header, then
// read(reader, object) for the kind's own fields. On any failure the kind's
// delete frees what was read and the result is null.
template <typename Kind, typename Read>
PG* PG_LoadKind(BinFileReader* reader, PGDeleteFunc free, PGTextToMasterPronFunc textToMasterPron,
                PGComputeCRCFunc computeCRC, Read read)
{
    auto* kind = static_cast<Kind*>(DVKMem_Calloc(sizeof(Kind)));
    if (kind == nullptr)
        return nullptr;
    kind->base.free = free;
    kind->base.textToMasterPron = textToMasterPron;
    kind->base.computeCRC = computeCRC;
    if (!PG_ReadCommon(reader, &kind->base.common) || !read(reader, kind)) {
        free(&kind->base);
        DVKMem_Free(kind);
        return nullptr;
    }
    return &kind->base;
}

// A u16 array of exactly count elements into *array (absent when count is
// 0; refused absent otherwise); 1 on success.
int32_t PG_ReadCodeArray(BinFileReader* reader, int64_t count, uint16_t** array);
// Whether count keys of width units each (compared unit by unit) rise
// strictly: the binary searches rely on it.
bool PG_KeysAscending(const uint16_t* keys, int32_t count, int32_t width);
// Index of the key of width units equal to key in count sorted keys, or -1.
int32_t PG_FindKey(const uint16_t* keys, int32_t count, int32_t width, const uint16_t* key);
// The array's count as a value, then its elements; an absent array adds nothing.
uint32_t PG_AddCountedArray(uint32_t crc, const uint16_t* array, int32_t count);

// The characters of text other than white space, in order, into
// characters (room for the text's length); their number.
int32_t PG_NonSpaceCharacters(const uint16_t* text, uint16_t* characters);

// A pron being assembled from codes: measured when out is null, else
// written there (the caller measured first, so it fits).
struct PGPronBuilder {
    const PGCommon* common;
    uint16_t* out;
    int64_t length;   // phonemes so far
    int64_t vowels;   // of them, members of the vowel class
};
// Appends the code's phonemes from the main rewrite table.
void PG_AppendCode(PGPronBuilder* pron, uint16_t code);
void PG_AppendPhoneme(PGPronBuilder* pron, uint16_t phoneme);
// Writes the single pron that build(out builder) assembles when it is not
// empty and its length + extra + 1 fits the room: 1, one score of 0 and no
// needed room. A pron that does not fit: 0, the empty pron, and needed (may
// be null) receives what it would need. An empty one: 0, needed 0.
template <typename Build>
int32_t PG_WriteSinglePron(const PGCommon* common, bool countVowels, uint16_t* output,
                           int32_t room, int32_t* scores, int32_t* needed, Build build)
{
    PGPronBuilder measure{common, nullptr, 0, 0};
    build(&measure);
    const int64_t need = measure.length + 1 + (countVowels ? measure.vowels : 0);
    output[0] = kPGPronEnd;
    if (needed != nullptr)
        *needed = 0;
    if (measure.length == 0)
        return 0;
    if (need > room) {
        if (needed != nullptr)
            *needed = need > INT32_MAX ? INT32_MAX : static_cast<int32_t>(need);
        return 0;
    }
    PGPronBuilder write{common, output, 0, 0};
    build(&write);
    output[write.length] = kPGPronEnd;
    if (scores != nullptr)
        scores[0] = 0;
    return 1;
}
