// Base of the model-table tests: an engine context over a counting allocator
// that must hold nothing once a test ends, and loading of written fields.
#pragma once

#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/search_table_writers.h"
#include "tests/support/written_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

class TableTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();   // scratch is the engine's, made on first use
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Writes the fields and loads them with loader.
    template <typename Fields, typename Loader>
    auto load(const Fields& fields, Loader loader)
    {
        WrittenTable table([&](BinFileWriter* w) { return search_tables::write(w, fields); });
        return table.load(loader);
    }

    template <typename Fields, typename Loader, typename Delete>
    void expectAllocationFailuresRefused(const Fields& fields, Loader loader, Delete del)
    {
        WrittenTable table([&](BinFileWriter* w) { return search_tables::write(w, fields); });
        table.expectAllocationFailuresRefused(m_allocator, loader, del);
    }

    // One damaged field set per row: each load must give nothing.
    template <typename Fields>
    struct Damage {
        const char* what;
        std::function<void(Fields&)> damage;
    };
    template <typename Fields, typename Loader, typename Delete>
    void expectRefused(const Fields& base, const std::vector<Damage<Fields>>& rows, Loader loader,
                       Delete del)
    {
        for (const Damage<Fields>& row : rows) {
            Fields f = base;
            row.damage(f);
            auto* loaded = load(f, loader);
            EXPECT_EQ(loaded, nullptr) << row.what;
            del(loaded);
        }
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};
