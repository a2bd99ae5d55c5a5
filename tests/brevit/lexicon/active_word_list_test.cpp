#include "tests/brevit/lexicon/active_word_list_fixture.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using active_words::Fields;
using active_words::Form;
using active_words::Options;

constexpr int32_t kNone = 65535;
constexpr uint32_t kNoMaster = 0xFFFFFF;

// The bit-set example: first 10, last 29, six words, one pron each.
const std::vector<uint32_t> kSparseIds = {10, 12, 13, 20, 21, 28};

Fields sparse(Form form, int32_t shift = 3)
{
    Options o;
    o.form = form;
    o.shift = shift;
    o.last = 29;
    return active_words::build(kSparseIds, std::vector<int>(6, 1), o);
}

// Contiguous, first 10: words 0, 1, 2 with prons 0 0 1 2.
Fields small(bool countTables = true, std::vector<uint8_t> categories = {})
{
    Options o;
    o.form = Form::Contiguous;
    o.countTables = countTables;
    o.categories = std::move(categories);
    return active_words::build({10, 11, 12}, {2, 1, 1}, o);
}

using ActiveWordList = ActiveWordListTest;

// Every master id in [0, 40) maps to the expected active id and back.
void expectMaps(const AWL* list, const std::vector<uint32_t>& ids, const std::string& what)
{
    std::map<uint32_t, int32_t> active;
    for (size_t i = 0; i < ids.size(); ++i)
        active[ids[i]] = static_cast<int32_t>(i);
    for (uint32_t m = 0; m < 40; ++m) {
        auto it = active.find(m);
        EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, m), it == active.end() ? kNone : it->second)
            << what << " master " << m;
    }
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(AWL_GetMasterId(list, static_cast<int32_t>(i)), ids[i]) << what << " id " << i;
    EXPECT_EQ(AWL_GetMasterId(list, 65534), kNoMaster) << what;
    EXPECT_EQ(AWL_GetMasterId(list, 65535), kNoMaster) << what;
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, kNoMaster), kNone) << what;
}

TEST_F(ActiveWordList, MapsWordListIdsInEveryStaticForm)
{
    struct Case {
        std::string what;
        Fields fields;
    };
    Fields padded = sparse(Form::BitSet);
    padded.bitSet.push_back(0);
    padded.bitSetBytes += 1;
    padded.blockTable.push_back(6);
    padded.blockCount += 1;
    Fields idTable = sparse(Form::IdTable);
    idTable.bitSet = {0xFF};   // unused, and inconsistent
    idTable.bitSetBytes = 1;
    std::vector<Case> cases = {{"span 8", sparse(Form::BitSet)},
                               {"span 1", sparse(Form::BitSet, 0)},
                               {"span 2", sparse(Form::BitSet, 1)},
                               {"span 4, empty blocks", sparse(Form::BitSet, 2)},
                               {"span 32", sparse(Form::BitSet, 5)},
                               {"padded", padded},
                               {"id table", sparse(Form::IdTable)},
                               {"id table beside a bit set", idTable}};
    EXPECT_EQ(cases[0].fields.bitSet, (std::vector<uint8_t>{0x0D, 0x0C, 0x04}));
    EXPECT_EQ(cases[0].fields.blockTable, (std::vector<uint16_t>{0, 3, 5}));
    EXPECT_EQ(cases[3].fields.blockTable, (std::vector<uint16_t>{0, 3, 3, 5, 5}));
    for (const Case& c : cases) {
        AWL* list = load(c.fields);
        ASSERT_NE(list, nullptr) << c.what;
        expectMaps(list, kSparseIds, c.what);
        EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 29), kNone);
        EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 30), kNone);
        AWL_Delete(list);
    }
    AWL* contiguous = load(active_words::build({10, 11, 12, 13, 14, 15}, {}, active_words::formOptions(Form::Contiguous)));
    ASSERT_NE(contiguous, nullptr);
    expectMaps(contiguous, {10, 11, 12, 13, 14, 15}, "contiguous");
    EXPECT_EQ(AWL_GetMasterId(contiguous, 6), kNoMaster);
    AWL_Delete(contiguous);
}

// A larger bit set against a plain map, at every shift.
TEST_F(ActiveWordList, BitSetLookupsAgreeWithBruteForce)
{
    std::vector<uint32_t> ids;
    uint32_t state = 12345;
    for (uint32_t m = 3; m < 3000; ++m) {
        state = state * 1103515245u + 12345u;
        if ((state >> 16) % 3 == 0)
            ids.push_back(m);
    }
    for (int32_t shift : {0, 3, 6, 9, 12}) {
        Options o;
        o.shift = shift;
        AWL* list = load(active_words::build(ids, {}, o));
        ASSERT_NE(list, nullptr) << shift;
        size_t next = 0;
        for (uint32_t m = 0; m < 3100; ++m) {
            const bool active = next < ids.size() && ids[next] == m;
            ASSERT_EQ(AWL_GetActiveIdFromMasterId(list, m), active ? static_cast<int32_t>(next) : kNone)
                << "shift " << shift << " master " << m;
            next += active ? 1 : 0;
        }
        for (size_t i = 0; i < ids.size(); ++i)
            ASSERT_EQ(AWL_GetMasterId(list, static_cast<int32_t>(i)), ids[i]) << shift;
        AWL_Delete(list);
    }
}

struct Counts {
    int32_t activeIds, pronIds, dynamicProns, activeLimit, pronLimit, room;
};

Counts countsOf(const AWL* list)
{
    return {AWL_GetNumActiveIds(list),  AWL_GetNumPronIds(list),  AWL_GetNumDynamicProns(list),
            AWL_GetActiveIdLimit(list), AWL_GetPronIdLimit(list), AWL_HasDynamicPronRoom(list)};
}

void expectCounts(const AWL* list, const Counts& c, const std::string& what)
{
    const Counts got = countsOf(list);
    EXPECT_EQ(got.activeIds, c.activeIds) << what;
    EXPECT_EQ(got.pronIds, c.pronIds) << what;
    EXPECT_EQ(got.dynamicProns, c.dynamicProns) << what;
    EXPECT_EQ(got.activeLimit, c.activeLimit) << what;
    EXPECT_EQ(got.pronLimit, c.pronLimit) << what;
    EXPECT_EQ(got.room, c.room) << what;
}

std::vector<uint16_t> pronsOf(const AWL* list, int32_t activeId)
{
    uint16_t buffer[16];
    const int32_t n = AWL_GetPronIds(list, activeId, buffer, 16);
    return std::vector<uint16_t>(buffer, buffer + n);
}

TEST_F(ActiveWordList, AddsAndRemovesRunTimeProns)
{
    for (bool countTables : {true, false})
        for (bool cache : {false, true}) {
            setParams(4, 1.5, cache);
            const std::string what = std::string(countTables ? "tables" : "search") +
                                     (cache ? " cache" : "");
            AWL* list = load(small(countTables));
            ASSERT_NE(list, nullptr) << what;
            expectCounts(list, {3, 4, 0, 2, 3, 1}, what + " loaded");
            EXPECT_EQ(AWL_AddPron(list, 0), 4) << what;
            EXPECT_EQ(AWL_AddPron(list, 1), 5) << what;
            EXPECT_EQ(AWL_AddPron(list, 0), 6) << what;
            expectCounts(list, {3, 7, 3, 2, 6, 1}, what + " three added");
            const int32_t nth[] = {0, 1, 4, 6, kNone};
            for (int32_t n = 0; n < 5; ++n)
                EXPECT_EQ(AWL_GetNthPronId(list, 0, n), nth[n]) << what << " n " << n;
            EXPECT_EQ(AWL_GetNumProns(list, 0), 4) << what;
            int32_t index = -1;
            EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 6, &index), 0) << what;
            EXPECT_EQ(index, 3) << what;
            EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 1, &index), 0) << what;
            EXPECT_EQ(index, 1) << what;
            EXPECT_EQ(AWL_RemovePron(list, 4), 1) << what;
            expectCounts(list, {3, 6, 2, 2, 6, 1}, what + " 4 removed");
            EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 6, &index), 0) << what;
            EXPECT_EQ(index, 2) << what;
            EXPECT_EQ(pronsOf(list, 0), (std::vector<uint16_t>{0, 1, 6})) << what;
            EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 4, nullptr), kNone) << what;
            EXPECT_EQ(AWL_AddPron(list, 2), 4) << what;
            EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 4, &index), 2) << what;
            EXPECT_EQ(index, 1) << what;
            EXPECT_EQ(pronsOf(list, 1), (std::vector<uint16_t>{2, 5})) << what;
            EXPECT_EQ(pronsOf(list, 2), (std::vector<uint16_t>{3, 4})) << what;
            // A static word's only run-time pron may go; static prons may not.
            EXPECT_EQ(AWL_RemovePron(list, 5), 1) << what;
            EXPECT_EQ(AWL_RemovePron(list, 2), 0) << what;
            EXPECT_EQ(AWL_RemovePron(list, 5), 0) << what;
            expectCounts(list, {3, 6, 2, 2, 6, 1}, what + " 5 removed");
            AWL_Delete(list);
        }
}

TEST_F(ActiveWordList, AddsAndRemovesRunTimeWords)
{
    for (bool cache : {false, true}) {
        setParams(4, 1.5, cache);
        AWL* list = load(small());
        ASSERT_NE(list, nullptr);
        struct Step {
            const char* what;
            std::function<int32_t(AWL*)> action;
            int32_t result;
            Counts counts;
        };
        const std::vector<Step> steps = {
            {"add 500", [](AWL* l) { return AWL_AddActiveId(l, 500); }, 3, {4, 4, 0, 3, 3, 1}},
            {"pron of 3", [](AWL* l) { return AWL_AddPron(l, 3); }, 4, {4, 5, 1, 3, 4, 1}},
            {"add 50", [](AWL* l) { return AWL_AddActiveId(l, 50); }, 4, {5, 5, 1, 4, 4, 1}},
            {"pron of 4", [](AWL* l) { return AWL_AddPron(l, 4); }, 5, {5, 6, 2, 4, 5, 1}},
            {"add 70", [](AWL* l) { return AWL_AddActiveId(l, 70); }, 5, {6, 6, 2, 5, 5, 1}},
            {"pron of 5", [](AWL* l) { return AWL_AddPron(l, 5); }, 6, {6, 7, 3, 5, 6, 1}},
            {"second pron of 4", [](AWL* l) { return AWL_AddPron(l, 4); }, 7, {6, 8, 4, 5, 7, 1}},
            {"only pron of 3", [](AWL* l) { return AWL_RemovePron(l, 4); }, 0, {6, 8, 4, 5, 7, 1}},
            {"one of two of 4", [](AWL* l) { return AWL_RemovePron(l, 7); }, 1, {6, 7, 3, 5, 6, 1}},
            {"remove 4", [](AWL* l) { return AWL_RemoveActiveId(l, 4, 1); }, 1, {5, 6, 2, 5, 6, 1}},
            {"add 60", [](AWL* l) { return AWL_AddActiveId(l, 60); }, 4, {6, 6, 2, 5, 6, 1}},
            {"remove 5", [](AWL* l) { return AWL_RemoveActiveId(l, 5, 1); }, 1, {5, 5, 1, 4, 4, 1}},
            {"remove 3", [](AWL* l) { return AWL_RemoveActiveId(l, 3, 1); }, 1, {4, 4, 0, 4, 3, 1}},
            {"remove free 3", [](AWL* l) { return AWL_RemoveActiveId(l, 3, 1); }, 1, {4, 4, 0, 4, 3, 1}},
            {"remove static 2", [](AWL* l) { return AWL_RemoveActiveId(l, 2, 1); }, 0, {4, 4, 0, 4, 3, 1}},
            {"remove 65534", [](AWL* l) { return AWL_RemoveActiveId(l, 65534, 1); }, 0, {4, 4, 0, 4, 3, 1}},
            {"remove 65535", [](AWL* l) { return AWL_RemoveActiveId(l, 65535, 1); }, 0, {4, 4, 0, 4, 3, 1}},
            {"add 40 in the hole", [](AWL* l) { return AWL_AddActiveId(l, 40); }, 3, {5, 4, 0, 4, 3, 1}},
            {"word-list id 0xFFFFFF refused", [](AWL* l) { return AWL_AddActiveId(l, kNoMaster); }, kNone, {5, 4, 0, 4, 3, 1}},
            {"pron of a free id", [](AWL* l) { return AWL_AddPron(l, 5); }, kNone, {5, 4, 0, 4, 3, 1}},
            {"remove 4", [](AWL* l) { return AWL_RemoveActiveId(l, 4, 1); }, 1, {4, 4, 0, 3, 3, 1}},
        };
        for (const Step& s : steps) {
            EXPECT_EQ(s.action(list), s.result) << s.what << (cache ? " cache" : "");
            expectCounts(list, s.counts, std::string(s.what) + (cache ? " cache" : ""));
        }
        EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 40), 3);
        EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 60), kNone);
        EXPECT_EQ(AWL_GetMasterId(list, 3), 40u);
        EXPECT_EQ(AWL_GetMasterId(list, 4), kNoMaster);
        AWL_Delete(list);
    }
}

TEST_F(ActiveWordList, FindsRunTimeWordsByWordListId)
{
    AWL* list = load(small());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_AddActiveId(list, 500), 3);
    EXPECT_EQ(AWL_AddActiveId(list, 50), 4);
    EXPECT_EQ(AWL_AddActiveId(list, 70), 5);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 70), 5);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 50), 4);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 500), 3);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 11), 1);
    EXPECT_EQ(AWL_RemoveActiveId(list, 4, 1), 1);
    EXPECT_EQ(AWL_AddActiveId(list, 60), 4);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 60), 4);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 50), kNone);
    EXPECT_TRUE(AWL_IsActiveIdMapped(list, 4));
    EXPECT_TRUE(AWL_IsActiveIdMapped(list, 2));
    EXPECT_TRUE(AWL_IsActiveIdMapped(list, 65534));
    EXPECT_FALSE(AWL_IsActiveIdMapped(list, 6));
    EXPECT_TRUE(AWL_IsDynamicActiveId(list, 3));
    EXPECT_FALSE(AWL_IsDynamicActiveId(list, 2));
    EXPECT_FALSE(AWL_IsDynamicActiveId(list, 65534));
    uint32_t masters[8];
    EXPECT_EQ(AWL_GetDynamicMWLIds(list, masters, 8), 3);
    EXPECT_EQ(masters[0], 500u);
    EXPECT_EQ(masters[1], 60u);
    EXPECT_EQ(masters[2], 70u);
    EXPECT_EQ(AWL_GetDynamicMWLIds(list, masters, 2), 2);
    EXPECT_EQ(AWL_AddPron(list, 5), 4);
    EXPECT_EQ(AWL_AddPron(list, 3), 5);
    EXPECT_EQ(AWL_AddPron(list, 5), 6);
    // Removing the middle word frees its slot; the highest slot stays.
    EXPECT_EQ(AWL_RemoveActiveId(list, 3, 0), 1);
    AWL_RebuildFirstPronCache(list);
    uint16_t prons[8];
    EXPECT_EQ(AWL_GetDynamicPronIds(list, prons, 8), 2);
    EXPECT_EQ(prons[0], 4);
    EXPECT_EQ(prons[1], 6);
    EXPECT_EQ(AWL_GetPronIdLimit(list), 6);
    EXPECT_TRUE(AWL_IsDynamicPronInUse(list, 6));
    EXPECT_FALSE(AWL_IsDynamicPronInUse(list, 5));
    EXPECT_FALSE(AWL_IsDynamicPronInUse(list, 3));
    EXPECT_TRUE(AWL_IsPronIdInUse(list, 3));
    EXPECT_FALSE(AWL_IsPronIdInUse(list, 5));
    EXPECT_EQ(AWL_GetActiveIdLimit(list), 5);
    EXPECT_EQ(pronsOf(list, 65534), (std::vector<uint16_t>{65534}));
    EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 65534, nullptr), 65534);
    EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 65535, nullptr), kNone);
    EXPECT_EQ(AWL_GetNumProns(list, 65535), 0);
    EXPECT_EQ(AWL_GetPronIds(list, 0, nullptr, 4), 0);
    EXPECT_EQ(AWL_GetPronIds(list, 0, prons, 0), 0);
    EXPECT_EQ(AWL_GetPronIds(list, 5, prons, 1), 1);
    AWLPronIdIterator it;
    AWL_PronIdIteratorInit(list, &it, 5);
    EXPECT_EQ(AWL_PronIdIteratorNext(list, &it), 4);
    EXPECT_EQ(AWL_PronIdIteratorNext(list, &it), 6);
    EXPECT_EQ(AWL_PronIdIteratorNext(list, &it), kNone);
    AWL_Delete(list);
}

// Removals without a cache rebuild (a batch ended by one rebuild) never lose
// prons: lookups and later changes find runs through the index.
TEST_F(ActiveWordList, BatchRemovalsKeepLookupsRight)
{
    setParams(16, 2.0, true);
    AWL* list = load(small());
    ASSERT_NE(list, nullptr);
    for (uint32_t m = 100; m < 108; ++m) {
        const int32_t id = AWL_AddActiveId(list, m);
        ASSERT_NE(id, kNone);
        ASSERT_NE(AWL_AddPron(list, id), kNone);
        ASSERT_NE(AWL_AddPron(list, id), kNone);
    }
    for (int32_t id : {4, 6, 9})
        EXPECT_EQ(AWL_RemoveActiveId(list, id, 0), 1);
    for (int32_t id : {3, 5, 7, 8, 10}) {
        EXPECT_EQ(AWL_GetNumProns(list, id), 2) << id;
        for (int32_t n = 0; n < 2; ++n)
            EXPECT_EQ(AWL_GetActiveIdFromPronId(list, AWL_GetNthPronId(list, id, n), nullptr), id) << id;
    }
    EXPECT_EQ(AWL_GetNumDynamicProns(list), 10);
    AWL_RebuildFirstPronCache(list);
    const uint32_t crc = AWL_ComputeCRC(list);
    AWL_RebuildFirstPronCache(list);
    EXPECT_EQ(AWL_ComputeCRC(list), crc);
    AWL_Delete(list);
}

TEST_F(ActiveWordList, CapacitiesComeFromTheParameterBlock)
{
    struct Case {
        uint32_t words;
        double prons;
        uint32_t wordPages, pronPages;
    };
    for (const Case& c : {Case{4, 1.5, 1, 1}, Case{300, 2.5, 2, 3}, Case{0, 3.0, 0, 0}}) {
        setParams(c.words, c.prons, false);
        AWL* list = load(small());
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->wordCapacity, c.wordPages) << c.words;
        EXPECT_EQ(list->wordIndexCapacity, c.wordPages) << c.words;
        EXPECT_EQ(list->pronCapacity, c.pronPages) << c.words;
        EXPECT_EQ(list->positionCapacity, c.pronPages) << c.words;
        AWL_Delete(list);
    }
    // Without room for words none can be added; a pron table grown from
    // nothing gets twice the pages it needs.
    setParams(0, 1.0, false);
    AWL* list = load(small());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_AddActiveId(list, 99), kNone);
    EXPECT_EQ(AWL_HasDynamicPronRoom(list), 0);
    EXPECT_EQ(AWL_AddPron(list, 1), 4);
    EXPECT_EQ(list->pronCapacity, 2u);
    EXPECT_EQ(AWL_HasDynamicPronRoom(list), 1);
    AWL_Delete(list);
    // No parameter block at all: the same as zeros.
    m_params.reset();
    list = load(small());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_AddActiveId(list, 99), kNone);
    AWL_Delete(list);
}

TEST_F(ActiveWordList, RunTimeIdsStopBelowTheSpecialIds)
{
    std::vector<uint32_t> many(65530);
    for (uint32_t i = 0; i < many.size(); ++i)
        many[i] = 1000 + i;
    AWL* list = load(active_words::build(many, {}, active_words::formOptions(Form::Contiguous)));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_AddActiveId(list, 1), 65530);
    EXPECT_EQ(AWL_AddActiveId(list, 2), kNone);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(list, 1), 65530);
    AWL_Delete(list);
    // 65,532 static prons, two per word.
    setParams(4, 64.0, false);
    list = load(active_words::build(std::vector<uint32_t>(many.begin(), many.begin() + 32766),
                                    std::vector<int>(32766, 2), active_words::formOptions(Form::Contiguous)));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_AddPron(list, 7), 65532);
    EXPECT_EQ(AWL_AddPron(list, 7), kNone);
    EXPECT_EQ(AWL_GetNthPronId(list, 7, 2), 65532);
    AWL_Delete(list);
}

// A pron's place in its word is kept in a byte: a 257th pron is refused.
TEST_F(ActiveWordList, RefusesAPronPastPlace255)
{
    setParams(4, 1.0, false);
    AWL* list = load(active_words::build({10, 11}, {254, 1}, active_words::formOptions(Form::Contiguous)));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_AddPron(list, 0), 255);
    int32_t index = 0;
    EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 255, &index), 0);
    EXPECT_EQ(index, 254);
    EXPECT_EQ(AWL_AddPron(list, 0), 256);
    EXPECT_EQ(AWL_GetActiveIdFromPronId(list, 256, &index), 0);
    EXPECT_EQ(index, 255);
    EXPECT_EQ(AWL_AddPron(list, 0), kNone);
    EXPECT_EQ(AWL_GetNumProns(list, 0), 256);
    EXPECT_EQ(AWL_AddPron(list, 1), 257);
    AWL_Delete(list);
}

TEST_F(ActiveWordList, CanFollowByCategory)
{
    AWL* list = load(active_words::build({10, 11}, {2, 2}, active_words::formOptions(Form::Contiguous, {0, 1, 2, 0})));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(AWL_AddPron(list, 0), 4);
    struct Case {
        int32_t a, b, follows;
    };
    for (const Case& c : {Case{0, 1, 0}, Case{1, 0, 0}, Case{2, 1, 1}, Case{0, 2, 1}, Case{0, 3, 1},
                          Case{0, 4, 1}, Case{4, 1, 1}, Case{1, 2, 1}, Case{1, 1, 1}, Case{3, 1, 0}})
        EXPECT_EQ(AWL_CanFollow(list, c.a, c.b), c.follows) << c.a << " " << c.b;
    AWL_Delete(list);
    list = load(active_words::build({10, 11}, {2, 2}, active_words::formOptions(Form::Contiguous)));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_CanFollow(list, 0, 1), 1);
    AWL_Delete(list);
}

TEST_F(ActiveWordList, RefusesInconsistentStaticParts)
{
    const Fields bits = sparse(Form::BitSet);
    const Fields words = small();
    const std::vector<Damage<Fields>> rows = {
        // Stored counts.
        {"bit set count", [](Fields& f) { f.bitSetBytes = 4; }},
        {"block count", [](Fields& f) { f.blockCount = 2; }},
        {"id table count", [](Fields& f) { f.masterIds = {1, 2}; }},
        {"pron-to-word count", [](Fields& f) { f.prons = 5; }},
        {"category count", [](Fields& f) { f.categories = {0, 1}; }},
        {"negative S", [](Fields& f) { f.words = -1; }},
        {"negative P", [](Fields& f) { f.prons = -1; }},
        {"contiguous not a boolean", [](Fields& f) { f.contiguous = 2; }},
        // The bit set.
        {"bit set short", [](Fields& f) { active_words::cutBitSet(f); }},
        {"bit past the last id", [](Fields& f) { active_words::setBitPastLast(f); }},
        {"last id past the bit set", [](Fields& f) { f.last = 40; }},
        {"span not 1 << shift", [](Fields& f) { f.blockSpan = 4; }},
        {"shift 31", [](Fields& f) { f.blockShift = 31; f.blockSpan = INT32_MIN; }},
        {"negative shift", [](Fields& f) { f.blockShift = -1; f.blockSpan = 0; }},
        {"block table short", [](Fields& f) { f.blockTable.pop_back(); f.blockCount = 2; }},
        {"block entry off", [](Fields& f) { f.blockTable[1] = 2; }},
        {"padded block entry off", [](Fields& f) { f.blockTable.push_back(5); f.blockCount = 4; }},
        {"set bits other than S", [](Fields& f) { f.words = 5; f.pronCounts.pop_back();
                                                   f.firstProns.pop_back(); f.prons = 5; f.pronToWord.pop_back(); }},
        {"bit set absent", [](Fields& f) { f.bitSet.clear(); }},
        {"block table absent", [](Fields& f) { f.blockTable.clear(); }},
    };
    expectRefusedRows(bits, rows);
    const std::vector<Damage<Fields>> pronRows = {
        {"pron-to-word descending", [](Fields& f) { active_words::unsortPronToWord(f); }},
        {"pron of word S", [](Fields& f) { f.pronToWord[3] = 3; }},
        {"pron of word 65535", [](Fields& f) { f.pronToWord[3] = 65535; }},
        {"pron-to-word absent", [](Fields& f) { f.pronToWord.clear(); }},
        {"pron count off", [](Fields& f) { f.pronCounts[0] = 1; }},
        {"first pron off", [](Fields& f) { f.firstProns[1] = 1; }},
        {"only pron counts", [](Fields& f) { f.firstProns.clear(); }},
        {"only first prons", [](Fields& f) { f.pronCounts.clear(); }},
        {"category 3", [](Fields& f) { f.categories = {0, 1, 2, 3}; }},
    };
    expectRefusedRows(words, pronRows);
    // S up to 65,531 and P up to 65,534.
    Fields limit = small(false);
    limit.words = 65532;
    EXPECT_EQ(load(limit), nullptr);
    limit.words = 65531;
    AWL* list = load(limit);
    EXPECT_NE(list, nullptr);
    AWL_Delete(list);
    // A word without prons may have any first pron.
    Fields noProns = active_words::build({10, 11, 12}, {2, 0, 2}, active_words::formOptions(Form::Contiguous));
    noProns.firstProns[1] = 999;
    list = load(noProns);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(AWL_GetNumProns(list, 1), 0);
    EXPECT_EQ(AWL_GetNthPronId(list, 2, 1), 3);
    AWL_Delete(list);
    // P above 65534.
    Fields tooMany = active_words::build({10}, {}, active_words::formOptions(Form::Contiguous));
    tooMany.pronToWord.assign(65535, 0);
    tooMany.prons = 65535;
    EXPECT_EQ(load(tooMany), nullptr);
    tooMany.pronToWord.pop_back();
    tooMany.prons = 65534;
    list = load(tooMany);
    EXPECT_NE(list, nullptr);
    AWL_Delete(list);
    // Cut after every record.
    for (size_t n = 1; n < active_words::kRecords; ++n) {
        WrittenTable table([&](BinFileWriter* w) { return active_words::write(w, bits, n); },
                           kAWLSubFileTag);
        EXPECT_EQ(AWL_LoadFromBinFile(table.tar(), nullptr), nullptr) << n << " records";
    }
    WrittenTable table([&](BinFileWriter* w) { return active_words::write(w, bits); }, kAWLSubFileTag);
    EXPECT_EQ(AWL_LoadFromBinFile(table.tar(), "other"), nullptr);
    setParams(300, 2.5, true);
    table.expectAllocationFailuresRefused(m_allocator, AWL_Read, AWL_Delete);
}

TEST_F(ActiveWordList, StaticChecksumCoversTheStoredTables)
{
    const Fields base = sparse(Form::BitSet);
    AWL* list = load(base);
    ASSERT_NE(list, nullptr);
    const uint32_t crc = list->staticCRC;
    const uint32_t full = AWL_ComputeCRC(list);
    AWL_Delete(list);
    const std::vector<std::function<void(Fields&)>> changes = {
        [](Fields& f) { f.first = 9; f.last = 28; },
        [](Fields& f) { f.last = 30; },
        [](Fields& f) { f.bitSet.push_back(0); f.bitSetBytes = 4; },
        [](Fields& f) { f.blockTable.push_back(6); f.blockCount = 4; },
        [](Fields& f) { f.pronToWord = {0, 0, 1, 2, 3, 4}; f.pronCounts = {2, 1, 1, 1, 1, 0}; f.firstProns = {0, 2, 3, 4, 5, 0}; },
        [](Fields& f) { f.contiguous = 1; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        Fields f = base;
        changes[i](f);
        list = load(f);
        ASSERT_NE(list, nullptr) << i;
        EXPECT_NE(list->staticCRC, crc) << i;
        AWL_Delete(list);
    }
    // The second flag, capacities and categories are not part of it.
    Fields f = base;
    f.secondFlag = 1;
    f.capacities[2] = 77;
    f.categories = {0, 1, 2, 0, 1, 2};
    list = load(f);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->staticCRC, crc);
    EXPECT_EQ(AWL_ComputeCRC(list), full);
    AWL_Delete(list);
    AWL* empty = AWL_CreateEmpty();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(AWL_GetNumActiveIds(empty), 0);
    EXPECT_EQ(empty->lastMasterId, -1);
    EXPECT_EQ(AWL_GetActiveIdLimit(empty), 1);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(empty, 0), kNone);
    EXPECT_EQ(AWL_AddActiveId(empty, 5), 0);
    EXPECT_EQ(AWL_AddPron(empty, 0), 0);
    EXPECT_EQ(AWL_GetActiveIdFromMasterId(empty, 5), 0);
    AWL_Delete(empty);
}

// Every allocation of an add failing in turn: 65535 and the lookups as
// before; the add then succeeds.
TEST_F(ActiveWordList, FailedAddsLeaveTheListAsItWas)
{
    setParams(600, 1.0, true);
    AWL* list = load(small());
    ASSERT_NE(list, nullptr);
    const std::vector<std::function<int32_t(AWL*)>> adds = {
        [](AWL* l) { return AWL_AddActiveId(l, 77); },
        [](AWL* l) { return AWL_AddPron(l, 3); },
        [](AWL* l) { return AWL_AddPron(l, 1); },
    };
    // Fill a page so the next adds need new ones.
    for (uint32_t m = 1000; m < 1256; ++m)
        ASSERT_NE(AWL_AddPron(list, AWL_AddActiveId(list, m)), kNone);
    for (const auto& add : adds) {
        for (uint64_t n = 1;; ++n) {
            const ListSnapshot before = snapshotOf(list);
            m_allocator.failAt(m_allocator.calls() + n);
            const uint64_t failures = m_allocator.failures();
            const int32_t id = add(list);
            m_allocator.failAt(0);
            if (m_allocator.failures() == failures) {
                EXPECT_NE(id, kNone);
                break;
            }
            EXPECT_EQ(id, kNone) << n;
            EXPECT_TRUE(snapshotOf(list) == before) << n;
        }
    }
    AWL_Delete(list);
}

} // namespace
