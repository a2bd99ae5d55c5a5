// Base of the class-manager tests: a class manager over the fake vocabulary
// and a constraint manager, torn down as the engine does (unreferenced
// classes removed, then the constraint manager, then the class manager).
#pragma once

#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"

#include <string>
#include <vector>

using Words = std::vector<uint16_t>;

class ClassManagerTest : public ConstraintTest {
protected:
    void SetUp() override
    {
        m_constraints = ConstraintManager_Create(4);
        m_classes = ClassManager_Create(m_vocabulary.voc(), nullptr, m_constraints, 4);
        ASSERT_NE(m_classes, nullptr);
    }

    void TearDown() override
    {
        if (m_classes != nullptr)
            ClassManager_RemoveUnreferencedClasses(m_classes);
        ConstraintManager_Delete(m_constraints);
        ClassManager_Delete(m_classes);
        ConstraintTest::TearDown();
    }

    int32_t addClass(const char* name, int32_t members = 4, int32_t words = 8, bool weights = false,
                     bool phraseIds = false)
    {
        return ClassManager_AddClass(m_classes, name, members, words, weights ? 1 : 0, phraseIds ? 1 : 0, 0, 0);
    }

    int32_t add(const char* name, const Words& words, uint8_t weight = 0, int32_t phraseId = 0)
    {
        return ClassManager_AddClassMember(m_classes, name, words.data(), static_cast<int32_t>(words.size()),
                                           weight, phraseId);
    }

    uint32_t id(const char* name) { return static_cast<uint32_t>(ClassManager_FindClass(m_classes, name)); }
    ConstraintClass* record(const char* name) { return ClassManager_GetClass(m_classes, id(name)); }
    uint32_t refCount(uint32_t i) { return static_cast<uint32_t*>(m_classes->refCounts[i >> 8])[i & 255]; }

    // The class's members after finishing any edit.
    struct Contents {
        std::vector<uint32_t> offsets;
        Words words;
        std::vector<int32_t> weights;
        std::vector<int32_t> phraseIds;
    };
    Contents contents(const char* name)
    {
        EXPECT_EQ(ClassManager_FinishEdit(m_classes), 1);
        Contents c;
        const ConstraintClass* r = record(name);
        for (int32_t m = 0; m <= r->numMembers; ++m)
            c.offsets.push_back(r->numMembers > 0 ? ConstraintClass_OffsetAt(r, m) : 0);
        for (int32_t i = 0; i < r->numWords; ++i)
            c.words.push_back(ConstraintClass_WordAt(r, i));
        for (int32_t m = 0; m < r->numMembers; ++m) {
            if (r->hasWeights != 0)
                c.weights.push_back(ConstraintClass_WeightAt(r, m));
            if (r->hasPhraseIds != 0)
                c.phraseIds.push_back(ConstraintClass_PhraseIdAt(r, m));
        }
        return c;
    }

    // Prons 1000 and up start a second lexical tree (fake_vocabulary.h).
    FakeVocabulary m_vocabulary{
        {{2, {1}}, {5, {2, 3}}, {6, {4}}, {7, {5, 6, 7}}, {300, {1000}}, {301, {1001, 12}}, {40000, {8, 9, 10, 11}}}};
    ConstraintManager* m_constraints = nullptr;
    ClassManager* m_classes = nullptr;
};
