// Engines created from written model sets: a logging stand-in for the
// linear-chain decoder, the model set written to a file, and an allocator
// per engine so leaks show per engine.
#pragma once

#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/search/decoder.h"
#include "tests/brevit/api/create/linch_stand_in.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/model_set_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class ModelSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        linChLog() = LinChLog{};
    }
    void TearDown() override
    {
        for (BrevitEngine* e : m_engines)
            Brevit_Destroy(e, nullptr);
    }

    // The records written to a file of this name; its path.
    std::string write(const model_set::Records& records, const std::string& name = "model_set.dvk")
    {
        std::string path = pathOf(name);
        EXPECT_TRUE(model_set::writeFile(path, model_set::image(records)));
        return path;
    }
    std::string write(const model_set::ModelSetSpec& spec, const std::string& name = "model_set.dvk")
    {
        return write(records(spec), name);
    }
    model_set::Records records(const model_set::ModelSetSpec& spec)
    {
        ScopedEngineContext context(m_writerAllocator);
        return model_set::records(spec);
    }
    std::string pathOf(const std::string& name)
    {
        std::filesystem::create_directories(dvkOemWritableDir());
        return (std::filesystem::path(dvkOemWritableDir()) / name).string();
    }

    // Creation on an allocator of its own, the engine destroyed with the
    // test; on the caller's allocator the caller destroys it.
    EBrevit create(const std::string& path, BrevitEngine** engine, CountingAllocator* allocator = nullptr)
    {
        const bool owned = allocator == nullptr;
        if (owned) {
            m_allocators.push_back(std::make_unique<CountingAllocator>());
            allocator = m_allocators.back().get();
        }
        *engine = nullptr;
        const EBrevit result = Brevit_CreateFromBinFile(path.c_str(), allocator->record(), engine);
        if (*engine != nullptr && owned)
            m_engines.push_back(*engine);
        return result;
    }
    BrevitEngine* created(const model_set::ModelSetSpec& spec, const std::string& name = "model_set.dvk")
    {
        BrevitEngine* engine = nullptr;
        EXPECT_EQ(create(write(spec, name), &engine), EBrevit_OK);
        return engine;
    }
    // Destroys an engine made by created() before the test ends.
    void destroy(BrevitEngine* engine)
    {
        m_engines.erase(std::find(m_engines.begin(), m_engines.end(), engine));
        EXPECT_EQ(Brevit_Destroy(engine, nullptr), EBrevit_OK);
    }

    CountingAllocator m_writerAllocator;
    std::vector<std::unique_ptr<CountingAllocator>> m_allocators;
    std::vector<BrevitEngine*> m_engines;
};
