#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"

namespace {

template <typename T>
T* zeroed(int64_t count)
{
    const int64_t bytes = count * static_cast<int64_t>(sizeof(T));
    if (count < 1 || bytes > kDVKMemMaxRequest)
        return nullptr;
    return static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
}

} // namespace

CepTTSUnitTree* CepTTSUnitTree_Create(int64_t phrases, int64_t words, int64_t syllables,
                                      int64_t phones)
{
    if (phrases < 0 || words < 0 || syllables < 0 || phones < 0 || phrases >= INT32_MAX ||
        words >= INT32_MAX || syllables >= INT32_MAX || phones >= INT32_MAX)
        return nullptr;
    auto* tree = zeroed<CepTTSUnitTree>(1);
    if (tree == nullptr)
        return nullptr;
    tree->phrases = zeroed<CepTTSPhrase>(phrases + 1);
    tree->words = zeroed<CepTTSWord>(words + 1);
    tree->syllables = zeroed<CepTTSSyllable>(syllables + 1);
    tree->phones = zeroed<uint16_t>(phones + 1);
    if (tree->phrases == nullptr || tree->words == nullptr || tree->syllables == nullptr ||
        tree->phones == nullptr) {
        CepTTSUnitTree_Delete(tree);
        return nullptr;
    }
    return tree;
}

void CepTTSUnitTree_Delete(CepTTSUnitTree* tree)
{
    if (tree == nullptr)
        return;
    DVKMem_Free(tree->phrases);
    DVKMem_Free(tree->words);
    DVKMem_Free(tree->syllables);
    DVKMem_Free(tree->phones);
    DVKMem_Free(tree);
}

int32_t CepTTSUnits_IsFinished(const CepTTSUnits* units)
{
    return units->finished;
}

void CepTTSUnits_Delete(CepTTSUnits* units)
{
    if (units == nullptr)
        return;
    CepTTSUnitTree_Delete(units->tree);
    DVKMem_Free(units);
}
