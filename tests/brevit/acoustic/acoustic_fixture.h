// Shared fixture of the acoustic-model tests: an engine context over the
// counting allocator, checked for leaks at the end, and model loading from
// writer records.
#pragma once

#include "core/brevit/acoustic/am.h"
#include "tests/support/acoustic_model_writer.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class AcousticTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (AM* am : m_models)
            AM_Destroy(am);
        m_models.clear();
        m_archives.clear();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // A fresh archive holding the records under tag (and prefix).
    ArchiveFixture& archiveWith(const AcousticModelRecords& records, const char* tag = "ba0",
                                const char* prefix = nullptr)
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>(
            "model" + std::to_string(m_archives.size()) + ".dvk"));
        ArchiveFixture& archive = *m_archives.back();
        writeAcousticModel(archive, records, tag, prefix);
        archive.finish();
        return archive;
    }

    // Loads kind 0 from an archive of the records; the model is destroyed
    // with the fixture.
    AM* load(const AcousticModelRecords& records)
    {
        ArchiveFixture& archive = archiveWith(records);
        return keep(AM_LoadFromBinFile(archive.openForRead(), nullptr, 0));
    }
    AM* load(const AcousticModelSpec& spec) { return load(acousticModelRecords(spec)); }

    AM* keep(AM* am)
    {
        if (am != nullptr)
            m_models.push_back(am);
        return am;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::vector<std::unique_ptr<ArchiveFixture>> m_archives;
    std::vector<AM*> m_models;
};
