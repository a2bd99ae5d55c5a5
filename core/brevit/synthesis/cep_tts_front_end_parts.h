// Pieces of the synthesis text front end shared by its files and tests.
#pragma once

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_tts_front_end.h"

#include <cstdint>

// Work memory of one call: scratch released when the guard goes, also when
// an engine error unwinds past it. Running out raises the engine error.
class CepTTSScratch {
public:
    CepTTSScratch() : m_mark(DVKTempMem_GetMark()) {}
    ~CepTTSScratch() { DVKTempMem_ReleaseToMark(m_mark); }
    CepTTSScratch(const CepTTSScratch&) = delete;
    CepTTSScratch& operator=(const CepTTSScratch&) = delete;

    template <typename T>
    static T* zeroed(int64_t count)
    {
        const int64_t bytes = (count < 1 ? 1 : count) * static_cast<int64_t>(sizeof(T));
        if (bytes > kDVKMemMaxRequest)
            DVKErr_Raise(__FILE__, __LINE__, "No work memory for %lld units", static_cast<long long>(count));
        return static_cast<T*>(DVKTempMem_Calloc(static_cast<uint32_t>(bytes)));
    }

private:
    uint32_t m_mark;
};

// A zeroed tree with room for the counts (sentinels added); null when
// memory runs out.
CepTTSUnitTree* CepTTSUnitTree_Create(int64_t phrases, int64_t words, int64_t syllables,
                                      int64_t phones);
void CepTTSUnitTree_Delete(CepTTSUnitTree* tree);

// One tagging candidate of a word: the k-th tag of a part-of-speech id
// costs 14 k.
struct CepTTSTagCandidate {
    uint16_t tag;
    int32_t pron;     // pronunciation index; -1: none
    int32_t cost;
};

inline constexpr int32_t kCepTTSTagRankCost = 14;
inline constexpr int32_t kCepTTSMaxPosIds = 10;

// A word's candidates (at most capacity written, equal tags once), its id
// set to -1 when the vocabulary has no part-of-speech data for it.
int32_t CepTTSFrontEnd_TagCandidates(const CepTTSFrontEnd* frontEnd, VocId* id,
                                     CepTTSTagCandidate* candidates, int32_t capacity);
// Path costs are sums of per-word costs that ignore the tag history, so the
// cheapest path (the first found among equals) takes each word's first
// cheapest candidate.
int32_t CepTTSTagging_Choose(const CepTTSTagCandidate* candidates, int32_t count);

// Break classes of the n words kept after the punctuation pass, read
// through the break tree from their tags (padded with W / 2 zero tags each
// side and closed by punctuation tag A); 255 for a leaf past the table.
// Null result (false) when memory runs out.
bool CepTTSFrontEnd_BreakClasses(const CepTTSFrontEnd* frontEnd, const uint16_t* tags, int32_t n,
                                 int32_t* classes);

// Where a phrase of count words (their syllable counts and break classes)
// is cut: the word indices before which cuts fall, ascending; their number.
// cuts holds count entries.
int32_t CepTTSFrontEnd_SplitPhrase(const CepTTSFrontEnd* frontEnd, const int32_t* syllables,
                                   const int32_t* breakClasses, int32_t count, int32_t* cuts);

// Builds the tree of n words: the phone count, 0 when there is nothing to
// say, negative when memory runs out (*tree then null).
int32_t CepTTSFrontEnd_BuildTree(CepTTSFrontEnd* frontEnd, int32_t n, const VocId* ids,
                                 CepTTSUnitTree** tree);

// A byte of the feature vector: counts below 0 read 255, from 255 on 254.
inline uint8_t CepTTSFeature_Count(int64_t v)
{
    return v < 0 ? 255 : v >= 255 ? 254 : static_cast<uint8_t>(v);
}
// Ids and classes from 254 on read 254.
inline uint8_t CepTTSFeature_Id(uint32_t v)
{
    return v >= 254 ? 254 : static_cast<uint8_t>(v);
}
