// Shared pieces of the front-end tests: an engine context with a counting
// allocator and an archive of generated stage files.
#pragma once

#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/frontend_fixture.h"

#include <gtest/gtest.h>

class FrontEndTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Writes one record set as sub-file tag of a fresh archive and loads it
    // with load(tar, prefix); the archive is closed again.
    template <typename Record, typename Load>
    auto loadRecord(const char* tag, const Record& record, Load load)
    {
        ArchiveFixture archive;
        frontend_fixture::add(archive, tag, record);
        archive.finish();
        DVKTar* tar = archive.openForRead();
        auto* object = load(tar, nullptr);
        archive.close(tar);
        return object;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

// Runs load (returning an object or null) with each allocation failing in
// turn until one run needs no failure; every failed run must give null and
// leave nothing allocated. destroy frees a loaded object.
template <typename Load, typename Destroy>
void expectLoadSurvivesEveryAllocationFailure(CountingAllocator& allocator, Load load,
                                              Destroy destroy)
{
    for (uint64_t k = 1;; ++k) {
        const size_t before = allocator.liveBlocks();
        const uint64_t failuresBefore = allocator.failures();
        allocator.failAt(allocator.calls() + k);
        auto* object = load();
        const bool failed = allocator.failures() != failuresBefore;
        allocator.failAt(0);
        if (!failed) {
            ASSERT_NE(object, nullptr);
            destroy(object);
            return;
        }
        EXPECT_EQ(object, nullptr) << "allocation " << k;
        if (object != nullptr)
            destroy(object);
        EXPECT_EQ(allocator.liveBlocks(), before) << "allocation " << k << " failing:\n"
                                                  << allocator.describeLeaks();
        ASSERT_LT(k, 1000u);
    }
}
