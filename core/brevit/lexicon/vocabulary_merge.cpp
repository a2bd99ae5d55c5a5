// Words of the supplementary word list ("x" + "mwl") merged into the main
// one when the vocabulary is loaded: new words are added with all their
// master prons, known ones receive the supplementary prons.
#include "core/brevit/lexicon/vocabulary.h"

#include "core/brevit/runtime/dvk_mem_stack.h"

void Voc_MergeSupplementaryWords(Voc* voc, const MWL* supplementary)
{
    if (supplementary == nullptr ||
        MWL_GetMasterPhonemeSetCRC(supplementary) != MWL_GetMasterPhonemeSetCRC(voc->wordList))
        return;
    // Each buffer holds the longest form or pron and its terminator.
    const int32_t surfaceRoom = MWL_GetMaxSurfaceFormLength(supplementary) + 1;
    const int32_t spokenRoom = MWL_GetMaxSpokenFormLength(supplementary) + 1;
    const int32_t pronRoom = MWL_GetMaxMasterPronunciationLength(supplementary) + 1;
    const int32_t rows = MWL_GetMaxNumPronunciations(supplementary);
    const uint32_t mark = DVKTempMem_GetMark();
    auto* surface = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(surfaceRoom) * 2));
    auto* spoken = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(spokenRoom) * 2));
    const int32_t rowCount = rows > 0 ? rows : 1;
    auto** prons = static_cast<uint16_t**>(DVKTempMem_Malloc(static_cast<uint32_t>(rowCount) * sizeof(uint16_t*)));
    for (int32_t r = 0; r < rowCount; ++r)
        prons[r] = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(pronRoom) * 2));
    auto* values = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(rowCount) * 4));
    for (uint32_t id = MWL_GetNextMasterId(supplementary, kMWLNoWord); id != kMWLNoWord;
         id = MWL_GetNextMasterId(supplementary, id)) {
        surface[0] = 0;
        spoken[0] = 0;
        if (MWL_GetSurfaceAndSpokenForms(supplementary, id, surface, spoken) == 0)
            continue;
        const int32_t type = MWL_GetWordTypeFlags(supplementary, id);
        int32_t count = MWL_GetMasterPronunciations(supplementary, id, rows, prons, values);
        if (count > rows)
            count = rows;
        const uint32_t known = MWL_GetId(voc->wordList, surface, spoken, 0);
        if (known == kMWLNoWord) {
            uint32_t added = kMWLNoWord;
            MWL_AddWordWithPronunciations(voc->wordList, surface, spoken, count, prons, type & 2, 0, &added);
        } else {
            for (int32_t k = 0; k < count; ++k)
                MWL_AddMasterPronunciation(voc->wordList, known, prons[k]);
        }
    }
    DVKTempMem_ReleaseToMark(mark);
}
