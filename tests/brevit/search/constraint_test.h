// Base of the constraint tests: an engine context over a counting allocator
// that must hold nothing once a test ends, the scripted kind's doubles
// installed, and scripted constraints that the fixture deletes.
#pragma once

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/constraint.h"
#include "tests/brevit/search/scripted_constraint.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class ConstraintTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (Constraint* con : m_owned)
            Constraint_Delete(con, 0);
        m_owned.clear();
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // A scripted constraint the fixture deletes at the end.
    Constraint* owned(const ScriptedSpec& spec)
    {
        Constraint* con = ScriptedConstraint_Create(spec);
        m_owned.push_back(con);
        return con;
    }

    static ScriptedSpec named(const std::string& name, int32_t type = kConstraintTypeWholeVocabulary)
    {
        ScriptedSpec spec;
        spec.name = name;
        spec.type = type;
        return spec;
    }

    // Names of the constraints whose slot was called, in order.
    static std::vector<std::string> calledFor(int32_t slot)
    {
        std::vector<std::string> names;
        for (const auto& [name, s] : scriptedCalls().log)
            if (s == slot)
                names.push_back(name);
        return names;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    ScriptedKinds m_kinds;
    std::vector<Constraint*> m_owned;
};
