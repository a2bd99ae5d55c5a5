// Shared set-up of the phrase index tests: an engine context over a counting
// allocator, a parameter block, and helpers for classes and phrases.
#pragma once

#include "core/brevit/lexicon/ir.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

class IRTestBase : public ::testing::Test {
protected:
    IRTestBase()
    {
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_params;
        setParams(0, 30, 2);
    }
    ~IRTestBase() override { gpBrevitGlobalParameters = m_previous; }

    void TearDown() override
    {
        IR_Delete(m_index);
        m_index = nullptr;
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Start prior (625), w in percent (627), initial list capacity (622).
    void setParams(uint32_t prior, uint32_t w, uint32_t l0)
    {
        m_params.words[625] = prior;
        m_params.words[627] = w;
        m_params.words[622] = l0;
    }

    IR* index()
    {
        if (m_index == nullptr)
            m_index = IR_Create(nullptr);
        return m_index;
    }

    static std::u16string text(const std::vector<uint16_t>& ids)
    {
        std::u16string s;
        for (uint16_t id : ids) {
            if (!s.empty())
                s += u' ';
            s += static_cast<char16_t>(u'a' + id % 26);
        }
        return s;
    }

    int32_t add(const char* name, const std::vector<uint16_t>& ids, uint32_t phraseId, IR* into = nullptr)
    {
        const std::u16string t = text(ids);
        return IR_AddPhrase(into != nullptr ? into : index(), name,
                            reinterpret_cast<const uint16_t*>(t.c_str()),
                            static_cast<int32_t>(ids.size()), ids.data(), phraseId);
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    BrevitGlobalParameters m_params{};
    BrevitGlobalParameters* m_previous = nullptr;
    IR* m_index = nullptr;
};
