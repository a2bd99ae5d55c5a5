// Class manager storage: the model set's "bcm1" and the user-storage
// "bcm1" written, read back and refused, with the checksums that tell a
// restored manager from the one saved.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/class_store_writer.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/param_block_builder.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

// Model-set classes m1 (id 1), m2 (id 2), m3 (id 4); id 3 free.
class_store::ModelSetSpec modelSet()
{
    class_store::ModelSetSpec s;
    s.classes = {{1, "m1", {{2}, {5, 6}, {7}}},
                 {2, "m2", {{5}, {5, 7, 7, 2, 6, 6}, {6}, {40000}}},
                 {4, "m3", {{7, 2}}}};
    s.idsInUse = 4;
    s.refCounts = {{1, 2}, {4, 1}};
    return s;
}

std::string image(const constraint_store::Records& records, bool opposite = false)
{
    ArchiveFixture archive("bcm1.dvk");
    if (opposite)
        archive.useOppositeByteOrder();
    archive.add("bcm1", [&](BinFileWriter* w) { return records.write(w); });
    archive.finish();
    return archive.bytes();
}

class ClassStore : public ClassManagerTest {
protected:
    void SetUp() override
    {
        m_params.emplace(ParamBlockBuilder().word(kBrevitParamMaxTrees, 8).word(kBrevitParamTreePronThreshold, 1));
        m_constraints = ConstraintManager_Create(4);
        m_classes = loadModelSet(class_store::modelSetRecords(modelSet()));
        ASSERT_NE(m_classes, nullptr);
    }

    void TearDown() override
    {
        for (ClassManager* m : m_extra)
            ClassManager_Delete(m);
        m_extra.clear();
        ClassManagerTest::TearDown();
    }

    ClassManager* loadModelSet(const constraint_store::Records& records)
    {
        ArchiveFixture archive("model.dvk");
        DVKTar* tar = archive.openMapped(image(records));
        return tar != nullptr ? ClassManager_LoadFromBinFile(tar, nullptr, m_vocabulary.voc(), nullptr, m_constraints)
                              : nullptr;
    }

    ClassManager* extra(ClassManager* m)
    {
        if (m != nullptr)
            m_extra.push_back(m);
        return m;
    }

    // The run-time classes of the round trip.
    void addRunTimeClasses()
    {
        ASSERT_EQ(addClass("w", 4, 8, true), 1);
        ASSERT_EQ(add("w", {5, 6}, 9), 1);
        ASSERT_EQ(add("w", {7}, 3), 1);
        ASSERT_EQ(addClass("p", 4, 8, false, true), 1);
        ASSERT_EQ(add("p", {2}, 0, 17), 1);
        ASSERT_EQ(add("p", {2}, 0, -4), 1);
        ASSERT_EQ(add("p", {40000, 2}, 0, 8), 1);
        ASSERT_EQ(ClassManager_AddIRClass(m_classes, "ir", 4, &m_irObject, 3), 1);
        ASSERT_EQ(addClass("_SHADOWIR_ir"), 1);
        ASSERT_EQ(ClassManager_PairIRClass(m_classes, id("ir"), id("_SHADOWIR_ir")), 1);
        ASSERT_EQ(add("ir", {7}), 1);
        ASSERT_EQ(add("ir", {301}), 1);
        ASSERT_EQ(addClass("two"), 1);
        ASSERT_EQ(add("two", {5}), 1);
        ASSERT_EQ(add("two", {300}), 1);   // two lexical trees: none kept
        ASSERT_GT(ClassManager_AddAlias(m_classes, "w alias", id("w")), 0);
        ASSERT_GT(ClassManager_AddAlias(m_classes, "m1 alias", id("m1")), 0);
        const int32_t index = ConstraintManager_AddConstraint(m_constraints, ScriptedConstraint_Create(named("con")), -1);
        ASSERT_EQ(ClassManager_AddConstraintAlias(m_classes, "k", ConstraintManager_GetConstraint(m_constraints, index)), 1);
        ClassManager_AddRef(m_classes, id("p"));
        ClassManager_PrecomputeClasses(m_classes);
        ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    }

    std::string userImage(ClassManager* m, bool opposite = false)
    {
        ArchiveFixture archive("user.dvk");
        if (opposite)
            archive.useOppositeByteOrder();
        EXPECT_EQ(ClassManager_WritePSAFile(m, archive.tar(), nullptr), 1);
        archive.finish();
        return archive.bytes();
    }

    int32_t readInto(ClassManager* m, const std::string& bytes, int32_t keepTrees = 1)
    {
        ArchiveFixture archive("in.dvk");
        DVKTar* tar = archive.openMapped(bytes);
        int32_t result = -1;
        DVKErr_Protect([&] { result = ClassManager_ReadPSAFile(m, tar, nullptr, &m_irObject, keepTrees); });
        return result;
    }

    // Everything a lookup answers, per id.
    struct Entry {
        std::string name;
        uint32_t alias = 0, refs = 0;
        bool record = false;
        std::vector<uint32_t> offsets;
        Words words;
        std::vector<int32_t> weights, phraseIds;
        int32_t irIndex = 0, partner = 0, flagA = 0, flagB = 0;
        bool irObject = false, tree = false;
        bool operator==(const Entry&) const = default;
    };
    static std::vector<Entry> entries(const ClassManager* m)
    {
        std::vector<Entry> out;
        for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id) {
            Entry e;
            const char* name = ClassManager_Entry<char*>(m->names, id);
            e.name = name != nullptr ? name : "(none)";
            e.alias = ClassManager_Entry<uint32_t>(m->aliases, id);
            e.refs = ClassManager_Entry<uint32_t>(m->refCounts, id);
            const ConstraintClass* c = ClassManager_GetClass(m, id);
            e.record = c != nullptr;
            if (c != nullptr) {
                for (int32_t k = 0; k <= c->numMembers && c->numMembers > 0; ++k)
                    e.offsets.push_back(ConstraintClass_OffsetAt(c, k));
                for (int32_t i = 0; i < c->numWords; ++i)
                    e.words.push_back(ConstraintClass_WordAt(c, i));
                for (int32_t k = 0; k < c->numMembers; ++k) {
                    e.weights.push_back(ClassManager_GetMemberWeight(const_cast<ClassManager*>(m), id, k));
                    e.phraseIds.push_back(ClassManager_GetMemberPhraseId(const_cast<ClassManager*>(m), id, k));
                }
                e.irIndex = c->irClassIndex;
                e.irObject = c->irObject != nullptr;
                e.partner = static_cast<int32_t>(c->partnerClass);
                e.flagA = c->flagA;
                e.flagB = c->flagB;
            }
            e.tree = ClassManager_GetClassTree(m, id) != nullptr;
            out.push_back(e);
        }
        return out;
    }

    std::optional<ScopedParamBlock> m_params;
    std::vector<ClassManager*> m_extra;
    int m_irObject = 0;
};

TEST_F(ClassStore, ModelSetLoadsItsClassesAsWritten)
{
    EXPECT_EQ(m_classes->idsInUse, 4);
    EXPECT_EQ(m_classes->maxId, 4);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "m3"), 4);
    EXPECT_EQ(contents("m2").words, (Words{5, 5, 7, 7, 2, 6, 6, 6, 40000}));
    EXPECT_EQ(contents("m2").offsets, (std::vector<uint32_t>{0, 1, 7, 8, 9}));
    EXPECT_EQ(refCount(1), 2u);
    const ConstraintClass* c = record("m1");
    EXPECT_EQ(c->persistent, 0);
    EXPECT_EQ(c->ownsArrays, 1);
    EXPECT_EQ(c->pronCacheDirty, 1);
    EXPECT_EQ(c->irClassIndex, 0);
    EXPECT_EQ(c->rebuildTree, 1);
    ASSERT_NE(m_classes->trees, nullptr);
    EXPECT_EQ(m_classes->treePages, m_classes->classPages);
    // Model-set classes are never deleted.
    ClassManager_DeleteClass(m_classes, 1);
    EXPECT_EQ(ClassManager_FindClass(m_classes, "m1"), 1);
    // New classes take the free id, then grow the tables.
    ASSERT_EQ(addClass("n3"), 1);
    EXPECT_EQ(id("n3"), 3u);
    ASSERT_EQ(addClass("n5"), 1);
    EXPECT_EQ(id("n5"), 5u);
}

TEST_F(ClassStore, RunTimeClassesComeBackIntoAFreshModelSetManager)
{
    addRunTimeClasses();
    const uint32_t m1Alias = id("m1 alias");
    EXPECT_EQ(ClassManager_GetClassTree(m_classes, id("two")), nullptr);
    EXPECT_NE(ClassManager_GetClassTree(m_classes, id("w")), nullptr);
    const std::string bytes = userImage(m_classes);
    // The writer's records are the fixture writer's, record for record.
    EXPECT_EQ(bytes, image(class_store::userRecords(m_classes)));
    const uint32_t crc = ClassManager_ComputeCRC(m_classes, 0);
    std::vector<Entry> expected = entries(m_classes);
    // The alias of a model-set class is not stored.
    expected[m1Alias - 1] = Entry{};
    expected[m1Alias - 1].name = "(none)";
    expected[m1Alias - 1].alias = 1;

    ClassManager* restored = extra(loadModelSet(class_store::modelSetRecords(modelSet())));
    ASSERT_NE(restored, nullptr);
    ASSERT_EQ(readInto(restored, bytes), 1);
    EXPECT_EQ(ClassManager_GetClass(restored, id("w"))->rebuildTree, 0);
    // The model set's own trees are not stored: built again as before.
    ClassManager_PrecomputeClasses(restored);
    EXPECT_EQ(entries(restored), expected);
    EXPECT_EQ(restored->numTrees, m_classes->numTrees);
    EXPECT_EQ(ClassManager_FindClass(restored, "m1 alias"), -1);
    EXPECT_EQ(ClassManager_FindClass(restored, "w alias"), static_cast<int32_t>(id("w alias")));
    int32_t flag = 0;
    EXPECT_EQ(ClassManager_LookupName(restored, "k", &flag), ClassManager_LookupName(m_classes, "k", nullptr));
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(ClassManager_GetClass(restored, id("ir"))->irObject, &m_irObject);
    // The checksum differs only by the alias that did not come back.
    ClassManager* again = extra(loadModelSet(class_store::modelSetRecords(modelSet())));
    ClassManager_DeleteClass(m_classes, m1Alias);
    ++m_classes->idsInUse;   // counted still, as after the restore
    ClassManager_Entry<uint32_t>(m_classes->aliases, m1Alias) = 1;
    EXPECT_EQ(ClassManager_ComputeCRC(restored, 0), ClassManager_ComputeCRC(m_classes, 0));
    EXPECT_NE(ClassManager_ComputeCRC(restored, 0), crc);
    // Written again, the restored manager gives the same file.
    EXPECT_EQ(userImage(restored), userImage(m_classes));

    // Without keeping trees the classes are marked to build theirs again.
    ASSERT_EQ(readInto(again, bytes, 0), 1);
    EXPECT_EQ(again->numTrees, 0);
    EXPECT_EQ(ClassManager_GetClass(again, id("w"))->rebuildTree, 1);
    ClassManager_PrecomputeClasses(again);
    EXPECT_EQ(ClassManager_ComputeCRC(again, 0), ClassManager_ComputeCRC(restored, 0));
}

TEST_F(ClassStore, AModelSetOnlyManagerWritesZeroWordsAndReadsBackNothing)
{
    const constraint_store::Records records = class_store::userRecords(m_classes);
    for (const char* k : {"length 1", "length 2", "length 3", "length 4"})
        EXPECT_TRUE(records.has(k)) << k;
    EXPECT_FALSE(records.has("name 1"));
    const std::string bytes = userImage(m_classes);   // builds the model set's trees
    const uint32_t crc = ClassManager_ComputeCRC(m_classes, 0);
    ASSERT_EQ(readInto(m_classes, bytes), 1);
    EXPECT_EQ(ClassManager_ComputeCRC(m_classes, 0), crc);
}

TEST_F(ClassStore, AFileWithoutTreesIsTakenOnlyWhenItHoldsNoClasses)
{
    m_params.emplace(ParamBlockBuilder());
    ClassManager* plain = extra(ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 4));
    ASSERT_EQ(ClassManager_AddClass(plain, "c", 1, 1, 0, 0, 0, 0), 1);
    const std::string withClass = userImage(plain);
    ClassManager* empty = extra(ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 600));
    const std::string withoutClass = userImage(empty);
    m_params.emplace(ParamBlockBuilder().word(kBrevitParamMaxTrees, 8));
    ClassManager* target = extra(ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 4));
    EXPECT_EQ(readInto(target, withClass), 0);
    EXPECT_EQ(readInto(target, withoutClass), 1);
    EXPECT_EQ(target->classSlots, 3u);
}

using Edit = std::function<void(ClassManager*, constraint_store::Records&)>;
struct Refusal {
    const char* name;
    Edit edit;
};

Edit word(const std::string& record, uint32_t value)
{
    return [record, value](ClassManager*, constraint_store::Records& r) { r.changeWord(record, value); };
}

TEST_F(ClassStore, UserReadRefusesDamageAndLeavesTheManagerAsItWas)
{
    addRunTimeClasses();
    const uint32_t w = id("w");
    const uint32_t p = id("p");
    const std::string ws = std::to_string(w);
    const std::string ps = std::to_string(p);
    const ConstraintClass* wc = record("w");
    const auto layout = [wc](size_t index, uint32_t value) {
        std::vector<uint32_t> words{wc->memberShift,   wc->memberChunk,    wc->memberChunkSlots, wc->memberChunksUsed,
                                    uint32_t(wc->numMembers), wc->wordShift, wc->wordChunk,     wc->wordChunkSlots,
                                    wc->wordChunksUsed, uint32_t(wc->numWords), wc->weightChunkSlots,
                                    wc->weightChunksUsed, 1, wc->phraseChunkSlots, wc->phraseChunksUsed, 0,
                                    uint32_t(wc->irClassIndex), wc->partnerClass, 0, 0};
        words[index] = value;
        return class_store::words(words);
    };
    std::vector<uint32_t> offsets;
    for (uint32_t k = 0; k < wc->memberChunksUsed * wc->memberChunk; ++k)
        offsets.push_back(k <= 2 ? ConstraintClass_OffsetAt(wc, static_cast<int32_t>(k)) : 0);
    const auto offsetsWith = [offsets](size_t index, uint32_t value) {
        std::vector<uint32_t> o = offsets;
        o[index] = value;
        return class_store::chunked(o);
    };
    const Refusal refusals[] = {
        {"negative ids in use", word("idsInUse", 0xFFFFFFFFu)},
        {"more ids in use than ids", word("idsInUse", 100)},
        {"negative constraint aliases", word("constraint aliases", 0xFFFFFFFFu)},
        {"constraint aliases miscounted", word("constraint aliases", 2)},
        {"class pages above capacity", word("class pages", 5)},
        {"maxId above 262,143", word("maxId", 262144)},
        {"maxId beyond the pages", word("maxId", 256)},
        {"alias pages beyond capacity", word("alias pages", 9)},
        {"trees flag 2", word("trees stored", 2)},
        {"fewer alias pages than stored", word("alias pages", 2)},
        {"a name of the wrong length", word("length " + ws, 3)},
        {"a name not ending at its terminator",
         [ws](ClassManager*, constraint_store::Records& r) {
             r.change("name " + ws, class_store::array(std::vector<char>{'w', 'x'}));
         }},
        {"a name ending early",
         [ws](ClassManager*, constraint_store::Records& r) {
             r.changeWord("length " + ws, 3);
             r.change("name " + ws, class_store::array(std::vector<char>{'w', 0, 0}));
         }},
        {"an entry for a model-set class", word("length 1", 3)},
        {"shift and chunk disagreeing",
         [&](ClassManager*, constraint_store::Records& r) { r.change("layout " + ws, layout(1, wc->memberChunk * 2)); }},
        {"members beyond the chunks",
         [&](ClassManager*, constraint_store::Records& r) {
             r.change("layout " + ws, layout(4, wc->memberChunksUsed * wc->memberChunk));
         }},
        {"words beyond the chunks",
         [&](ClassManager*, constraint_store::Records& r) { r.change("layout " + ws, layout(9, 1000)); }},
        {"more chunks used than slots",
         [&](ClassManager*, constraint_store::Records& r) { r.change("layout " + ws, layout(3, wc->memberChunkSlots + 1)); }},
        {"offsets not starting at 0",
         [&](ClassManager*, constraint_store::Records& r) { r.change("offsets " + ws, offsetsWith(0, 1)); }},
        {"offsets not rising",
         [&](ClassManager*, constraint_store::Records& r) { r.change("offsets " + ws, offsetsWith(1, 0)); }},
        {"offsets not ending at numWords",
         [&](ClassManager*, constraint_store::Records& r) { r.change("offsets " + ws, offsetsWith(2, 2)); }},
        {"members out of order",
         [&](ClassManager*, constraint_store::Records& r) {
             r.change("words " + ws, class_store::chunked(std::vector<uint16_t>(wc->wordChunksUsed * wc->wordChunk, 7)));
         }},
        {"hasWeights 2", [&](ClassManager*, constraint_store::Records& r) { r.change("layout " + ws, layout(12, 2)); }},
        {"a missing weights chunk",
         [&](ClassManager*, constraint_store::Records& r) { r.change("weights " + ws, class_store::chunked(std::vector<uint8_t>{})); }},
        {"an alias target beyond maxId",
         [](ClassManager* m, constraint_store::Records& r) {
             std::vector<uint32_t> a = class_store::tablePages(m->aliases, m->aliasPages);
             a[static_cast<size_t>(ClassManager_FindClass(m, "w alias"))] = static_cast<uint32_t>(m->maxId) + 1;
             r.change("aliases", class_store::chunked(a));
         }},
        {"an alias target without record",
         [](ClassManager* m, constraint_store::Records& r) {
             std::vector<uint32_t> a = class_store::tablePages(m->aliases, m->aliasPages);
             uint32_t k = 0;
             for (uint32_t i = 1; i <= static_cast<uint32_t>(m->maxId); ++i)
                 if (ClassManager_IsNamed(m, i) && ClassManager_IsConstraintRef(ClassManager_AliasOf(m, i)) != 0)
                     k = i;
             a[static_cast<size_t>(ClassManager_FindClass(m, "w alias"))] = k;
             r.change("aliases", class_store::chunked(a));
         }},
        {"an alias target that is an alias",
         [](ClassManager* m, constraint_store::Records& r) {
             std::vector<uint32_t> a = class_store::tablePages(m->aliases, m->aliasPages);
             a[static_cast<size_t>(ClassManager_FindClass(m, "p"))] =
                 static_cast<uint32_t>(ClassManager_FindClass(m, "w alias"));
             r.change("aliases", class_store::chunked(a));
         }},
        {"a model-set class made an alias",
         [](ClassManager* m, constraint_store::Records& r) {
             std::vector<uint32_t> a = class_store::tablePages(m->aliases, m->aliasPages);
             a[2] = 1;
             r.change("aliases", class_store::chunked(a));
         }},
        {"a tree for an alias", word("has tree " + std::to_string(ClassManager_FindClass(m_classes, "w alias")), 1)},
        {"has tree 2", word("has tree " + ps, 2)},
        {"cut after the aliases", [](ClassManager*, constraint_store::Records& r) { r.cutAfter("aliases"); }},
        {"cut inside a record", [ps](ClassManager*, constraint_store::Records& r) { r.cutAfter("offsets " + ps); }},
        {"no reference counts", [](ClassManager*, constraint_store::Records& r) { r.drop("ref counts"); }},
    };
    const std::string sound = image(class_store::userRecords(m_classes));
    for (const Refusal& k : refusals) {
        ClassManager* target = extra(loadModelSet(class_store::modelSetRecords(modelSet())));
        ASSERT_NE(target, nullptr);
        constraint_store::Records r = class_store::userRecords(m_classes);
        k.edit(m_classes, r);
        const uint32_t crc = ClassManager_ComputeCRC(target, 0);
        const size_t live = m_allocator.liveBlocks();
        EXPECT_EQ(readInto(target, image(r)), 0) << k.name;
        EXPECT_EQ(ClassManager_ComputeCRC(target, 0), crc) << k.name;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << k.name;
        ASSERT_EQ(readInto(target, sound), 1) << k.name;   // and still takes a sound file
    }
    ClassManager* target = extra(loadModelSet(class_store::modelSetRecords(modelSet())));
    const uint32_t crc = ClassManager_ComputeCRC(target, 0);
    EXPECT_EQ(readInto(target, userImage(m_classes, true)), 0) << "opposite byte order";
    EXPECT_EQ(ClassManager_ComputeCRC(target, 0), crc);
    ArchiveFixture none("none.dvk");
    none.add("bcm0", [](BinFileWriter* w) { return BinFileWriter_WriteUnsignedInt(w, 0) == 1; });
    none.finish();
    EXPECT_EQ(readInto(target, none.bytes()), 0) << "no sub-file";
}

TEST_F(ClassStore, ModelSetLoadRefusesInconsistentFiles)
{
    using MEdit = std::function<void(class_store::ModelSetSpec&, constraint_store::Records&)>;
    struct Case {
        const char* name;
        MEdit edit;
    };
    const auto w = [](const char* record, uint32_t value) {
        return [record, value](class_store::ModelSetSpec&, constraint_store::Records& r) { r.changeWord(record, value); };
    };
    const Case cases[] = {
        {"maxId above 262,143", w("maxId", 262144)},
        {"class pages above capacity", w("class pages", 3)},
        {"maxId beyond the pages", w("maxId", 300)},
        {"ids in use above maxId + 1", w("idsInUse", 6)},
        {"a class id outside 1..maxId", w("id 4", 5)},
        {"a class id 0", w("id 4", 0)},
        {"a repeated class id", w("id 4", 2)},
        {"a name of another length", w("name length 4", 3)},
        {"a name holding a terminator",
         [](class_store::ModelSetSpec&, constraint_store::Records& r) {
             r.change("name 4", class_store::array(std::vector<char>{'m', 0}));
         }},
        {"a member chunk of another length",
         [](class_store::ModelSetSpec&, constraint_store::Records& r) {
             r.change("offset chunk 4.0", class_store::array(std::vector<uint32_t>{0, 2, 0}));
         }},
        {"a word chunk of another length",
         [](class_store::ModelSetSpec&, constraint_store::Records& r) {
             r.change("word chunk 1.0", class_store::array(std::vector<uint16_t>{2, 5, 6, 7}));
         }},
        {"members out of order",
         [](class_store::ModelSetSpec& s, constraint_store::Records& r) {
             s.classes[0].members = {{7}, {2}, {5, 6}};
             r = class_store::modelSetRecords(s);
         }},
        {"a member of 1,025 words",
         [](class_store::ModelSetSpec& s, constraint_store::Records& r) {
             s.classes[2].members = {Words(1025, 7)};
             r = class_store::modelSetRecords(s);
         }},
        {"shift and chunk disagreeing",
         [](class_store::ModelSetSpec& s, constraint_store::Records& r) {
             class_store::ModelLayout l = class_store::modelLayout(s.classes[2]);
             l.words[0] = 3;
             r.change("layout 4", class_store::words(l.words));
         }},
        {"a stored alias on a class",
         [](class_store::ModelSetSpec& s, constraint_store::Records& r) {
             s.aliases = {{2, 1}};
             r = class_store::modelSetRecords(s);
         }},
        {"an alias page short",
         [](class_store::ModelSetSpec&, constraint_store::Records& r) {
             r.change("alias page 0", class_store::array(std::vector<uint32_t>(255, 0)));
         }},
        {"cut inside a record", [](class_store::ModelSetSpec&, constraint_store::Records& r) { r.cutAfter("layout 2"); }},
        {"the end marker missing", [](class_store::ModelSetSpec&, constraint_store::Records& r) { r.drop("end"); }},
    };
    for (const Case& k : cases) {
        class_store::ModelSetSpec s = modelSet();
        constraint_store::Records r = class_store::modelSetRecords(s);
        k.edit(s, r);
        const size_t live = m_allocator.liveBlocks();
        EXPECT_EQ(extra(loadModelSet(r)), nullptr) << k.name;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << k.name;
    }
    // The list may end with the sub-file when no pages follow.
    class_store::ModelSetSpec bare = modelSet();
    bare.endMarker = false;
    constraint_store::Records r = class_store::modelSetRecords(bare);
    r.drop("ref page 0").drop("alias page 0").changeWord("ref pages", 0).changeWord("alias pages", 0);
    EXPECT_EQ(extra(loadModelSet(r)), nullptr);   // pages must cover maxId
}

TEST_F(ClassStore, EachAllocationFailingInTurnLeavesNothingBehind)
{
    addRunTimeClasses();
    const std::string user = userImage(m_classes);
    const std::string model = image(class_store::modelSetRecords(modelSet()));
    ArchiveFixture archive("in.dvk");
    DVKTar* modelTar = archive.openMapped(model);
    DVKTar* userTar = archive.openMapped(user);
    bool loaded = false;
    for (uint64_t n = 1; !loaded; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        ClassManager* m = nullptr;
        DVKErr_Protect([&] { m = ClassManager_LoadFromBinFile(modelTar, nullptr, m_vocabulary.voc(), nullptr, m_constraints); });
        m_allocator.failAt(0);
        loaded = m_allocator.failures() == failures;
        if (loaded) {
            extra(m);
            break;
        }
        EXPECT_EQ(m, nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << n;
    }
    const uint32_t expected = [&] {
        ClassManager* restored = extra(loadModelSet(class_store::modelSetRecords(modelSet())));
        EXPECT_EQ(readInto(restored, user), 1);
        return ClassManager_ComputeCRC(restored, 0);
    }();
    ClassManager* target = extra(loadModelSet(class_store::modelSetRecords(modelSet())));
    const uint32_t before = ClassManager_ComputeCRC(target, 0);
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        int32_t result = -1;
        DVKErr_Protect([&] { result = ClassManager_ReadPSAFile(target, userTar, nullptr, &m_irObject, 1); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(ClassManager_ComputeCRC(target, 0), expected);
            break;
        }
        EXPECT_NE(result, 1) << n;
        EXPECT_EQ(ClassManager_ComputeCRC(target, 0), before) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << n;
    }
    for (uint64_t n = 1;; ++n) {
        ArchiveFixture out("fail-" + std::to_string(n) + ".dvk");
        DVKTar* writing = out.tar();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        int32_t result = -1;
        DVKErr_Protect([&] { result = ClassManager_WritePSAFile(m_classes, writing, nullptr); });
        m_allocator.failAt(0);
        out.finish();
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(out.bytes(), user);
            break;
        }
        EXPECT_NE(result, 1) << n;
    }
}

TEST_F(ClassStore, ChecksumFollowsMembersNamesAndReferenceCounts)
{
    addRunTimeClasses();
    const uint32_t crc = ClassManager_ComputeCRC(m_classes, 0);
    ASSERT_EQ(add("w", {2}), 1);
    const uint32_t member = ClassManager_ComputeCRC(m_classes, 0);
    EXPECT_NE(member, crc);
    char* name = ClassManager_Entry<char*>(m_classes->names, id("w"));
    name[0] = 'v';
    const uint32_t renamed = ClassManager_ComputeCRC(m_classes, 0);
    EXPECT_NE(renamed, member);
    ClassManager_AddRef(m_classes, 1);
    const uint32_t referenced = ClassManager_ComputeCRC(m_classes, 0);
    EXPECT_NE(referenced, renamed);
    // The last id's count is left out.
    ClassManager_AddRef(m_classes, static_cast<uint32_t>(m_classes->maxId));
    EXPECT_EQ(ClassManager_ComputeCRC(m_classes, 0), referenced);
    ClassManager_Entry<uint32_t>(m_classes->refCounts, static_cast<uint32_t>(m_classes->maxId)) = 0;
    EXPECT_EQ(ClassManager_ComputeCRC(nullptr, 0), 0xFFFFFFFFu);
}

TEST_F(ClassStore, FuzzSeedsAreWhatTheWritersMake)
{
    addRunTimeClasses();
    const std::string user = userImage(m_classes);
    ArchiveFixture seed("seed.dvk");
    seed.add("bcm1", [](BinFileWriter* w) { return class_store::modelSetRecords(modelSet()).write(w); }, "model/");
    ArchiveFixture in("in.dvk");
    DVKTar* tar = in.openMapped(user);
    BinFileReader* reader = BinFileReader_Create(tar, "bcm1", nullptr);
    ASSERT_NE(reader, nullptr);
    std::string body(reader->sub->size, '\0');
    ASSERT_EQ(BinFileReader_ReadRaw(reader, reader->sub->size, body.data()), 1);
    BinFileReader_Delete(reader);
    seed.addBytes("user/bcm1", body);
    seed.finish();
    checkFuzzSeed("brevit_class_store", "model-and-user", seed.bytes());
    ArchiveFixture bare("bare.dvk");
    bare.add("bcm1", [](BinFileWriter* w) { return class_store::modelSetRecords(modelSet()).write(w); }, "model/");
    bare.finish();
    checkFuzzSeed("brevit_class_store", "model-only", bare.bytes());
}

} // namespace
