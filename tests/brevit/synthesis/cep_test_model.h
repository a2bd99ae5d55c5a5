// Loads vocoder models written by the test writer, under a counting
// allocator that checks for leaks at the end of each test.
#pragma once

#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_to_sample_fix.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/cep_model_writer.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <string>

class CepModelTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CepSampleWrapper* w : m_loaded)
            CepSampleWrapper_Delete(w);
        m_loaded.clear();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // The archive image of a model.
    std::string image(const CepModel& model)
    {
        ArchiveFixture archive("vocoder" + std::to_string(m_archives++) + ".dvk");
        EXPECT_TRUE(CepModel_WriteTo(archive.tar(), model, nullptr));
        archive.finish();
        return archive.bytes();
    }

    // Loads the wrapper from an image (null when refused); freed at the end.
    CepSampleWrapper* load(const std::string& bytes)
    {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(bytes.size()),
                                                     bytes.data());
        EXPECT_NE(tar, nullptr);
        CepSampleWrapper* wrapper = CepSampleWrapper_LoadFromBinFile(tar, nullptr);
        DVKTar_Close(tar);
        if (wrapper != nullptr)
            m_loaded.push_back(wrapper);
        return wrapper;
    }
    CepSampleWrapper* load(const CepModel& model) { return load(image(model)); }
    CepSampleWrapper* load(const CepModelSpec& spec) { return load(CepModel_Make(spec)); }

    static CepToSampleFix* fix(CepSampleWrapper* wrapper)
    {
        return reinterpret_cast<CepToSampleFix*>(wrapper->generator);
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::vector<CepSampleWrapper*> m_loaded;
    int m_archives = 0;
};
