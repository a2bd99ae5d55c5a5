// Shared by the active word list tests: loading written static parts under a
// parameter block, a snapshot of everything the lookups answer, and the user
// state as plain fields that tests damage before writing it the way the list
// does.
#pragma once

#include "core/brevit/lexicon/active_word_list.h"
#include "core/brevit/lexicon/active_word_list_pages.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/active_word_list_writer.h"
#include "tests/support/param_block_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class ActiveWordListTest : public TableTest {
protected:
    // Parameter words 987, 988-989 and 148 for the lists loaded afterwards.
    void setParams(uint32_t words, double pronsPerWord, bool cache)
    {
        m_params.reset();
        ParamBlockBuilder b;
        b.word(kBrevitParamRunTimeWordPages, words).real(kBrevitParamRunTimeWordScale, pronsPerWord);
        b.word(kBrevitParamFirstPronCache, cache ? 1 : 0);
        m_params = std::make_unique<ScopedParamBlock>(b);
    }

    AWL* load(const active_words::Fields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return active_words::write(w, f); }, kAWLSubFileTag);
        return AWL_LoadFromBinFile(table.tar(), nullptr);
    }

    void expectRefusedRows(const active_words::Fields& base,
                           const std::vector<Damage<active_words::Fields>>& rows)
    {
        for (const auto& row : rows) {
            active_words::Fields f = base;
            row.damage(f);
            AWL* list = load(f);
            EXPECT_EQ(list, nullptr) << row.what;
            AWL_Delete(list);
        }
    }

    void SetUp() override { setParams(4, 1.5, false); }
    void TearDown() override
    {
        m_params.reset();
        TableTest::TearDown();
    }

    std::unique_ptr<ScopedParamBlock> m_params;
};

// Every answer of the lookups over the ids in use and around them.
using ListSnapshot = std::vector<int64_t>;

inline ListSnapshot snapshotOf(const AWL* list)
{
    ListSnapshot s = {AWL_GetNumActiveIds(list),  AWL_GetNumPronIds(list),
                      AWL_GetNumDynamicProns(list), AWL_GetActiveIdLimit(list),
                      AWL_GetPronIdLimit(list),   AWL_GetFirstDynamicActiveId(list)};
    std::vector<int32_t> ids;
    for (int32_t id = 0; id <= AWL_GetActiveIdLimit(list) + 2; ++id)
        ids.push_back(id);
    ids.push_back(65534);
    ids.push_back(65535);
    for (int32_t id : ids) {
        const uint32_t master = AWL_GetMasterId(list, id);
        s.push_back(master);
        for (uint32_t m : {master - 1, master, master + 1})
            s.push_back(AWL_GetActiveIdFromMasterId(list, m));
        s.push_back(AWL_IsActiveIdMapped(list, id));
        s.push_back(AWL_IsDynamicActiveId(list, id));
        s.push_back(AWL_GetNumProns(list, id));
        uint16_t prons[300];
        const int32_t n = AWL_GetPronIds(list, id, prons, 300);
        s.insert(s.end(), prons, prons + n);
        for (int32_t k = 0; k <= n; ++k)
            s.push_back(AWL_GetNthPronId(list, id, k));
    }
    for (int32_t p = 0; p <= AWL_GetPronIdLimit(list) + 2; ++p) {
        int32_t index = -1;
        s.push_back(AWL_GetActiveIdFromPronId(list, p, &index));
        s.push_back(index);
        s.push_back(AWL_IsPronIdInUse(list, p));
        s.push_back(AWL_IsDynamicPronInUse(list, p));
    }
    std::vector<uint16_t> prons(65536);
    s.push_back(AWL_GetDynamicPronIds(list, prons.data(), 65536));
    std::vector<uint32_t> masters(65536);
    s.push_back(AWL_GetDynamicMWLIds(list, masters.data(), 65536));
    return s;
}

// The user state's records as plain fields; tables hold every element of
// their pages (elements widened to 32 bits).
struct AWLState {
    uint32_t flag = 0;
    int32_t values[19] = {};
    uint32_t crc = 0;
    std::vector<uint32_t> tables[6];   // words, word index, prons, pron index, positions, cache
    size_t valueLimit = 19;            // scalars written before the state is cut off
};

inline constexpr uint32_t kAWLStateElementSizes[6] = {4, 2, 2, 2, 1, 2};

inline AWLState captureState(const AWL* list)
{
    AWLState s;
    s.flag = static_cast<uint32_t>(list->cacheFlag);
    const int32_t values[19] = {
        static_cast<int32_t>(list->wordCapacity), static_cast<int32_t>(list->wordPages),
        static_cast<int32_t>(list->wordIndexCapacity), static_cast<int32_t>(list->wordIndexPages),
        list->wordCount, list->highestWordSlot,
        static_cast<int32_t>(list->pronCapacity), static_cast<int32_t>(list->pronPages),
        static_cast<int32_t>(list->pronIndexCapacity), static_cast<int32_t>(list->pronIndexPages),
        static_cast<int32_t>(list->positionCapacity), static_cast<int32_t>(list->positionPages),
        list->pronCount, 0, 0,
        static_cast<int32_t>(list->cacheCapacity), static_cast<int32_t>(list->cachePages),
        list->highestCachedId, list->highestPronSlot};
    std::copy(values, values + 19, s.values);
    s.crc = list->staticCRC;
    const auto copy = [](auto** table, uint32_t pages, std::vector<uint32_t>& out) {
        for (int32_t i = 0; i < static_cast<int32_t>(pages) * kAWLPageLength; ++i)
            out.push_back(awlAt(table, i));
    };
    copy(list->words, list->wordPages, s.tables[0]);
    copy(list->wordIndex, list->wordIndexPages, s.tables[1]);
    copy(list->prons, list->pronPages, s.tables[2]);
    copy(list->pronIndex, list->pronIndexPages, s.tables[3]);
    copy(list->positions, list->positionPages, s.tables[4]);
    if (list->cacheFlag)
        copy(list->firstPronCache, list->cachePages, s.tables[5]);
    return s;
}

inline bool writeState(BinFileWriter* w, const AWLState& s)
{
    bool ok = BinFileWriter_WriteUnsignedInt(w, s.flag) == 1;
    for (size_t i = 0; i < 19; ++i)
        if (i < s.valueLimit)
            ok = ok && BinFileWriter_WriteInt(w, s.values[i]);
    if (s.valueLimit < 19)
        return ok;
    ok = ok && BinFileWriter_WriteUnsignedInt(w, s.crc);
    for (int32_t t = 0; t < (s.flag ? 6 : 5); ++t) {
        const uint32_t size = kAWLStateElementSizes[t];
        std::vector<uint8_t> bytes(s.tables[t].size() * size);
        for (size_t i = 0; i < s.tables[t].size(); ++i)
            std::memcpy(&bytes[i * size], &s.tables[t][i], size);   // little-endian machine
        ok = ok && BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(s.tables[t].size())) &&
             (bytes.empty() || BinFileWriter_WriteRaw(w, static_cast<uint32_t>(bytes.size()), bytes.data()));
    }
    return ok;
}
