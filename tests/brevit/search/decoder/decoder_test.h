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
