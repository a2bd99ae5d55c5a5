// Shared fixture of the decoder tests: an engine context over the counting
// allocator (checked for leaks at the end), a parameter block and stand-in
// acoustic models that answer their states per model.
#pragma once

#include "core/brevit/acoustic/am.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/decoder.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/scripted_decoder.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <memory>

class DecoderTest : public ::testing::Test {
protected:
    DecoderTest() : m_context(m_allocator) {}

    void TearDown() override
    {
        m_params.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Installs a block with the given words (replacing the previous one).
    BrevitGlobalParameters& params(const ParamBlockBuilder& builder = ParamBlockBuilder())
    {
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(builder);
        return m_params->block();
    }
    void noParams() { m_params.reset(); }

    // Runs run() with its allocation call n failing, n = 1, 2, ..., until a
    // run meets no failure; check(failed, result) after each run. A failed
    // run must leave nothing allocated.
    template <typename Run, typename Check>
    void eachAllocationFailing(Run run, Check check)
    {
        for (uint64_t n = 1; n <= 50; ++n) {
            const uint64_t failures = m_allocator.failures();
            const size_t before = m_allocator.liveBlocks();
            m_allocator.failAt(m_allocator.calls() + n);
            auto result = run();
            const bool failed = m_allocator.failures() != failures;
            m_allocator.failAt(0);
            check(failed, result);
            if (!failed)
                return;
            EXPECT_EQ(m_allocator.liveBlocks(), before) << "failing allocation " << n;
        }
        ADD_FAILURE() << "allocations still failing after 50";
    }

    // A model record answering only what the decoder interface asks of it.
    AM* model(int32_t statesPerModel = 1, int32_t filler = 0)
    {
        m_models.push_back(std::make_unique<AM>());
        AM* am = m_models.back().get();
        am->statesPerModel = statesPerModel;
        am->hasFiller = filler;
        return am;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context;
    std::unique_ptr<ScopedParamBlock> m_params;
    std::vector<std::unique_ptr<AM>> m_models;
};

// The default test vocabulary (active words 0, 1 and 2 with prons 0, 1 and
// 2-4) with a test-kind language model attached, its scores uncapped.
class DecoderLMTest : public DecoderTest {
protected:
    DecoderLMTest() : m_model(TestLanguageModel::Fields{}) {}

    void SetUp() override
    {
        m_vocabulary = std::make_unique<VocabularyFixture>();
        m_voc = m_vocabulary->voc();
        ASSERT_NE(m_voc, nullptr);
        m_vocabulary->attach(m_model);
        m_vocabulary->params().words[kBrevitParamLmCostCap] = 32767;
    }
    void TearDown() override
    {
        m_vocabulary.reset();
        DecoderTest::TearDown();
    }

    // The model's score of the last symbol after the others.
    int32_t lm(std::vector<uint16_t> symbols) const
    {
        return static_cast<int16_t>(m_model.answer(symbols.data(), static_cast<int32_t>(symbols.size())));
    }

    TestLanguageModel m_model;
    std::unique_ptr<VocabularyFixture> m_vocabulary;
    Voc* m_voc = nullptr;
};
