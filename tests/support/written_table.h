// One engine table written as the only sub-file of a fixture archive and
// loaded back through a fresh record reader, for loader tests: what a load
// gives, and that every allocation of a load failing in turn yields nothing
// and leaks nothing.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link. Needs an engine context (ScopedEngineContext) while used.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

class WrittenTable {
public:
    // fill(BinFileWriter*) writes the records and returns whether all were written.
    // tag: the sub-file's name.
    template <typename Fill>
    explicit WrittenTable(Fill&& fill, const char* tag = "table",
                          const std::string& name = "table.dvk")
        : m_tag(tag), m_archive(name)
    {
        m_archive.add(tag, std::forward<Fill>(fill));
        m_archive.finish();
        m_tar = m_archive.openMapped();
    }

    // The archive, for loaders that open their sub-file themselves.
    DVKTar* tar() { return m_tar; }

    // load(BinFileReader*) over a reader of the whole sub-file.
    template <typename Load>
    auto load(Load&& load)
    {
        BinFileReader* reader = BinFileReader_Create(m_tar, m_tag.c_str(), nullptr);
        EXPECT_NE(reader, nullptr);
        auto* result = load(reader);
        BinFileReader_Delete(reader);
        return result;
    }

    // Loads once with each allocation of the load failing in turn (the
    // reader itself is made first): null every time and nothing left live.
    // Ends with a load in which nothing failed, which must succeed.
    template <typename Load, typename Delete>
    void expectAllocationFailuresRefused(CountingAllocator& allocator, Load&& load, Delete&& del)
    {
        for (uint64_t n = 1;; ++n) {
            const size_t live = allocator.liveBlocks();
            BinFileReader* reader = BinFileReader_Create(m_tar, m_tag.c_str(), nullptr);
            ASSERT_NE(reader, nullptr);
            const uint64_t failures = allocator.failures();
            allocator.failAt(allocator.calls() + n);
            auto* result = load(reader);
            allocator.failAt(0);
            const bool failed = allocator.failures() != failures;
            BinFileReader_Delete(reader);
            if (!failed) {
                EXPECT_NE(result, nullptr) << "load without a failed allocation";
                del(result);
                return;
            }
            EXPECT_EQ(result, nullptr) << "allocation " << n << " failed";
            del(result);
            EXPECT_EQ(allocator.liveBlocks(), live) << "allocation " << n << " failed";
        }
    }

private:
    std::string m_tag;
    ArchiveFixture m_archive;
    DVKTar* m_tar = nullptr;
};
