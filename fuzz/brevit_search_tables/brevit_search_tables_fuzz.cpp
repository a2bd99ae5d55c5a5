// The small model tables arrive inside downloaded model archives: load each
// kind from its sub-file of any archive image, then look everything up that
// a caller could ask and checksum it, and give it back.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/lm_dtree.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/search/lm_symbol_table.h"
#include "core/brevit/search/ndim_table.h"
#include "core/brevit/search/phone_rewrite.h"
#include "core/brevit/search/table_read.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <vector>

namespace {

constexpr int32_t kProbes = 64;

template <typename Load>
auto loadFrom(DVKTar* tar, const char* tag, Load load)
{
    return TableRead_LoadSubFile(tar, tag, nullptr, load);
}

void phoneRules(DVKTar* tar, const uint8_t* data, size_t size)
{
    PhoneRewrite* rules = loadFrom(tar, "phr", PhoneRewrite_Read);
    if (rules == nullptr)
        return;
    std::vector<uint16_t> input;
    for (size_t i = 0; i < size && input.size() < 48; ++i)
        input.push_back(data[i] % 40);
    std::vector<uint16_t> out(kPhoneRewriteMaxOutput);
    const auto n = static_cast<int32_t>(input.size());
    PhoneRewrite_Apply(rules, n, input.data(), PhoneRewrite_GetMaxOutputLength(rules, n), out.data());
    PhoneRewrite_Apply(rules, n, input.data(), kPhoneRewriteMaxOutput, out.data());
    PhoneRewrite_Apply(rules, n, input.data(), 0, nullptr);
    PhoneRewrite_Apply(rules, n, input.data(), 3, input.data());
    PhoneRewrite_ComputeCRC(rules);
    PhoneRewrite_Delete(rules);
}

void ndimTable(DVKTar* tar)
{
    NDimTable* table = loadFrom(tar, "ndim", NDimTable_Read);
    if (table == nullptr)
        return;
    uint16_t key[kNDimTableMaxDimensions] = {};
    int32_t value = 0;
    for (int32_t probe = 0; probe < kProbes; ++probe) {
        for (int32_t d = 0; d < table->dimensions; ++d)
            key[d] = static_cast<uint16_t>((probe >> d) % 3 == 2 ? table->sizes[d] : (probe >> d) % 3);
        NDimTable_Lookup(table, key, &value);
        NDimTable_Lookup1(table, key[0], &value);
        NDimTable_Lookup2(table, key, &value);
    }
    NDimTable_ComputeCRC(table);
    NDimTable_Delete(table);
}

void indexTable(DVKTar* tar)
{
    LMIndexTable* table = loadFrom(tar, "idx", LMIndexTable_Read);
    if (table == nullptr)
        return;
    for (int32_t i = -1; i < kProbes; ++i)
        LMIndexTable_Get(table, i);
    LMIndexTable_Get(table, table->count);
    LMIndexTable_ComputeCRC(table);
    LMIndexTable_Delete(table);
}

void rewriteTable(DVKTar* tar)
{
    LMRewrite* table = loadFrom(tar, "rw", LMRewrite_Read);
    if (table == nullptr)
        return;
    const uint16_t* list = nullptr;
    int32_t length = 0;
    for (int32_t id = -1; id <= kProbes; ++id) {
        const int32_t n = LMRewrite_GetNRewritesForId(table, id);
        LMRewrite_GetRewritesForId(table, id, &list, &length);
        for (int32_t k = 0; k <= n && k < kProbes; ++k)
            LMRewrite_GetRewrite(table, id, &list, &length, k);
    }
    LMRewrite_ComputeCRC(table);
    LMRewrite_Delete(table);
}

void symbolTables(DVKTar* tar)
{
    if (LMSymbolTable* table = loadFrom(tar, "sym", LMSymbolTable_Read)) {
        for (int32_t id = 0; id <= kProbes; ++id)
            if (const char* name = LMSymbolTable_GetName(table, id))
                LMSymbolTable_FindId(table, name);
        LMSymbolTable_FindId(table, "");
        LMSymbolTable_ComputeCRC(table);
        LMSymbolTable_Delete(table);
    }
    if (LMSymbolTableU* table = loadFrom(tar, "symu", LMSymbolTableU_Read)) {
        const uint16_t empty[] = {0};
        for (int32_t id = 0; id <= kProbes; ++id)
            if (const uint16_t* name = LMSymbolTableU_GetName(table, id))
                LMSymbolTableU_FindId(table, name);
        LMSymbolTableU_FindId(table, empty);
        LMSymbolTableU_ComputeCRC(table);
        LMSymbolTableU_Delete(table);
    }
}

void decisionTree(DVKTar* tar, const uint8_t* data, size_t size)
{
    LMDTree* tree = loadFrom(tar, "dt", LMDTree_LoadFromBinFile);
    if (tree == nullptr)
        return;
    // An owner gives a context as wide as the tree asks.
    std::vector<uint16_t> context(static_cast<size_t>(LMDTree_GetMaxContextPosition(tree) + 1));
    uint16_t values[8];
    uint8_t bytes[8];
    for (int32_t probe = 0; probe < kProbes; ++probe) {
        for (size_t p = 0; p < context.size(); ++p)
            context[p] = size > 0 ? static_cast<uint16_t>(data[(p + probe) % size] % 12) : 0;
        LMDTree_GetLeaf(tree, context.data(), values, bytes, probe % 9);
    }
    LMDTree_ComputeCRC(tree, 0xFFFFFFFFu);
    LMDTree_ComputeCRC(tree, 0);
    LMDTree_Delete(tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        phoneRules(tar, data, size);
        ndimTable(tar);
        indexTable(tar);
        rewriteTable(tar);
        symbolTables(tar);
        decisionTree(tar, data, size);
    });
}
