#include "core/brevit/api/brevit_function_table.h"
#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/lexicon/mwl1.h"
#include "core/brevit/lexicon/mwl_compress.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_str.h"

MWL* MWL_CreateFromBinFile(DVKTar* tar, const char* prefix, const PG* generator,
                           const POS* posModel)
{
    const uint32_t store = BrevitParam_Word(kBrevitParamCompressedStore);
    if (store == kMWLStoreCompressed)
        return MWLCompress_CreateFromBinFile(tar, prefix, generator, posModel);
    if (store != kMWLStorePlain)
        return nullptr;
    return MWL1_CreateFromBinFile(tar, prefix, generator, posModel);
}

MWL* MWL_ReadSupplementaryMWL(DVKTar* tar, const char* prefix, const PG* generator,
                              const POS* posModel)
{
    char extended[kBinFileMaxNameLength + 1] = {0};
    if (prefix != nullptr)
        DVKStr_NCopy(extended, prefix, sizeof extended);
    DVKStr_NConcat(extended, "x", sizeof extended);
    return MWL_CreateFromBinFile(tar, extended, generator, posModel);
}

namespace {

MWL* createThrough(void* entry, DVKTar* tar, const char* prefix, const PG* generator)
{
    if (entry == nullptr)
        return nullptr;
    return reinterpret_cast<MWLCreateFunc>(entry)(tar, prefix, generator);
}

} // namespace

MWL* MWL_Create(DVKTar* tar, const char* prefix, const PG* generator, int32_t type)
{
    const BrevitFunctionTable* t = spBrevitFunctionPointers;
    if (t == nullptr)
        return nullptr;
    if (type == static_cast<int32_t>(kMWLStoreCompressed))
        return createThrough(t->MWLCompress_Create, tar, prefix, generator);
    if (type == static_cast<int32_t>(kMWLStorePlain))
        return createThrough(t->MWL1_Create, tar, prefix, generator);
    return nullptr;
}

MWL* MWL_CreateSupplementaryMWL(DVKTar* tar, const char* prefix, const PG* generator,
                                int32_t type)
{
    // A supplementary list is only ever of the plain store.
    const BrevitFunctionTable* t = spBrevitFunctionPointers;
    if (t == nullptr || type != static_cast<int32_t>(kMWLStorePlain))
        return nullptr;
    return createThrough(t->MWL1_CreateSupplementaryMWL, tar, prefix, generator);
}
