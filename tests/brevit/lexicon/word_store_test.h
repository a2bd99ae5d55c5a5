// Base of the run-time word store tests: a parameter block sizing the store,
// an engine context over a counting allocator that must hold nothing at the
// end, a scratch stack big enough for every operation, a recording fake
// generator, and short forms of the store's operations.
#pragma once

#include "core/brevit/lexicon/mwl_dynamic_parts.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/param_block_builder.h"

#include <memory>
#include <string>
#include <vector>

// A pron without its closing 0xFFFF.
using Pron = std::vector<uint16_t>;

struct StoreParams {
    uint32_t pool = 10;      // word 714
    uint32_t slots = 3;      // word 724
    uint32_t recogs = 4;     // word 725
    uint32_t records = 0;    // word 718
    uint32_t texts = 0;      // word 716
    uint32_t prons = 0;      // word 715
    uint32_t keep = 1;       // word 721
};

struct StoreConfig {
    int32_t firstId = 100;
    int32_t mostProns = 1;
    int32_t staticRecog = 40;
    int32_t staticMaster = 50;
    int32_t exactText = 1;
    int32_t encoding = 3;
    const char* language = "enus";
    const PG* generator = nullptr;
    uint16_t marker = kMWLDynamicNoPhoneme;
    uint32_t signature = 0x5EED;
    const PhoneRewrite* rules = nullptr;
};

// What a fake generator was asked, and the one pron it answers (none when
// answers is false).
struct GeneratorLog {
    std::vector<std::u16string> texts;
    std::vector<int32_t> classes;
    Pron answer;
    bool answers = true;
};

struct FakeGenerator {
    PG base;   // first: the store holds &base
    GeneratorLog* log;
};

inline int32_t fakeTextToMasterPron(const PG* generator, const uint16_t* text, int32_t wordClass,
                                    uint16_t* output, int32_t room, int32_t* scores, int32_t,
                                    int32_t*)
{
    GeneratorLog* log = reinterpret_cast<const FakeGenerator*>(generator)->log;
    log->texts.emplace_back(reinterpret_cast<const char16_t*>(text));
    log->classes.push_back(wordClass);
    if (!log->answers || static_cast<int32_t>(log->answer.size()) + 1 > room)
        return 0;
    for (size_t i = 0; i < log->answer.size(); ++i)
        output[i] = log->answer[i];
    output[log->answer.size()] = kMWLPronEnd;
    scores[0] = 0;
    return 1;
}

inline FakeGenerator fakeGenerator(GeneratorLog* log)
{
    FakeGenerator g{};
    g.base.owner = 1;   // never freed by PG_Delete
    g.base.textToMasterPron = fakeTextToMasterPron;
    g.log = log;
    return g;
}

inline const uint16_t* units(const std::u16string& text)
{
    return reinterpret_cast<const uint16_t*>(text.c_str());
}

inline Pron closed(Pron p)
{
    p.push_back(kMWLPronEnd);
    return p;
}

class WordStoreTest : public TableTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DVKTempMem_CreateMemStack(1 << 20, 1 << 20), 1);
        useParams(StoreParams{});
    }

    void TearDown() override
    {
        for (MWLDynamic* s : m_stores)
            MWLDynamic_Delete(s);
        m_stores.clear();
        TableTest::TearDown();
    }

    void useParams(const StoreParams& p)
    {
        ParamBlockBuilder b;
        b.word(kBrevitParamExpansionPool, p.pool)
            .word(kBrevitParamMasterPhonemeSlots, p.slots)
            .word(kBrevitParamRecogPhonemeSlots, p.recogs)
            .word(kBrevitParamWordStorePages, p.records)
            .word(kBrevitParamTextStorePages, p.texts)
            .word(kBrevitParamPronStorePages, p.prons)
            .word(kBrevitParamKeepPronunciations, p.keep);
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(b);
    }

    MWLDynamic* create(const StoreConfig& c = {})
    {
        MWLDynamic* s = MWLDynamic_Create(c.firstId, c.mostProns, c.staticRecog, c.staticMaster, c.rules,
                                          c.exactText, c.encoding, c.language, c.generator, c.marker,
                                          c.signature);
        EXPECT_NE(s, nullptr);
        if (s != nullptr)
            m_stores.push_back(s);
        return s;
    }

    void destroy(MWLDynamic* s)
    {
        std::erase(m_stores, s);
        MWLDynamic_Delete(s);
    }

    uint32_t add(MWLDynamic* s, const std::u16string& surface, const std::vector<Pron>& prons,
                 const char16_t* spoken = nullptr, int32_t type = 0, int32_t defer = 0)
    {
        std::vector<Pron> closedProns;
        std::vector<const uint16_t*> pointers;
        for (const Pron& p : prons)
            closedProns.push_back(closed(p));
        for (const Pron& p : closedProns)
            pointers.push_back(p.data());
        return MWLDynamic_AddWordWithPronunciations(
            s, units(surface), reinterpret_cast<const uint16_t*>(spoken), pointers.data(),
            static_cast<int32_t>(pointers.size()), &m_maxSurface, &m_maxSpoken, &m_maxMaster,
            &m_maxRecog, type, defer);
    }

    int32_t addPron(MWLDynamic* s, uint32_t id, Pron pron, int32_t staticProns = 0)
    {
        const Pron p = closed(std::move(pron));
        return MWLDynamic_AddMasterPronunciation(s, id, p.data(), staticProns, &m_maxMaster, &m_maxRecog);
    }

    uint16_t addPhoneme(MWLDynamic* s, Pron expansion)
    {
        const Pron e = closed(std::move(expansion));
        return MWLDynamic_AddMasterPhoneme(s, static_cast<int32_t>(e.size()), e.data());
    }

    // The prons of a word through buffers of length units each.
    static std::vector<Pron> prons(const MWLDynamic* s, uint32_t id, int32_t length = 300, int32_t most = 250)
    {
        std::vector<std::vector<uint16_t>> buffers(static_cast<size_t>(most),
                                                   std::vector<uint16_t>(static_cast<size_t>(length) + 1, 0xEEEE));
        std::vector<uint16_t*> pointers;
        for (auto& b : buffers)
            pointers.push_back(b.data());
        const int32_t n = MWLDynamic_GetMasterPronunciations(s, id, pointers.data(), most, length);
        std::vector<Pron> out;
        for (int32_t k = 0; k < n; ++k) {
            Pron p;
            for (const uint16_t* q = pointers[static_cast<size_t>(k)]; *q != kMWLPronEnd; ++q)
                p.push_back(*q);
            out.push_back(p);
        }
        for (const auto& b : buffers)
            EXPECT_EQ(b[static_cast<size_t>(length)], 0xEEEE) << "written past the buffer";
        return out;
    }

    // 40 keeps an added pron; 101 was removed; slot 2 is free under 3.
    MWLDynamic* filledStore()
    {
        MWLDynamic* s = create({.staticMaster = 50, .marker = 45});
        EXPECT_EQ(MWLDynamic_GetFreeRecogPhonemeId(s), 41);
        EXPECT_EQ(addPhoneme(s, {41, 8}), 51);
        EXPECT_EQ(addPhoneme(s, {7}), 52);
        EXPECT_EQ(addPhoneme(s, {9, 9}), 53);
        EXPECT_EQ(addPron(s, 40, {8}, 1), 1);
        add(s, u"River", {{5, 45, 7}});
        add(s, u"gone", {{52}});
        add(s, u"eBook", {{51, 53}, {6}}, u"e book", 1);
        add(s, u"river", {{45, 5, 45}});
        add(s, u"Long", {Pron(255, 6)});
        add(s, u"New York", {{5}}, u"new york");
        int32_t freed = 0;
        EXPECT_EQ(MWLDynamic_RemoveWord(s, 101, &freed), 1);
        const uint32_t used[] = {100, 103};
        MWLDynamic_MarkUsed(s, 2, used);
        return s;
    }

    // The "bmd1" sub-file the store writes (under prefix "p/").
    std::string written(const MWLDynamic* s)
    {
        ArchiveFixture archive("written.dvk");
        EXPECT_EQ(MWLDynamic_WritePSAFile(s, archive.tar(), "p/"), 1);
        archive.finish();
        DVKTar* tar = archive.openMapped();
        BinFileReader* r = BinFileReader_Create(tar, kMWLDynamicSubFileTag, "p/");
        EXPECT_NE(r, nullptr);
        std::string bytes(r->sub->size, '\0');
        EXPECT_EQ(BinFileReader_ReadRaw(r, r->sub->size, bytes.data()), 1);
        BinFileReader_Delete(r);
        return bytes;
    }

    static Pron pool(const MWLDynamic* s) { return Pron(s->pool, s->pool + s->poolUsed); }

    // Slot offset entries 1 .. highest used slot + 1.
    static std::vector<uint32_t> offsets(const MWLDynamic* s)
    {
        return std::vector<uint32_t>(s->slotOffsets + 1, s->slotOffsets + s->highestSlot + 2);
    }

    std::unique_ptr<ScopedParamBlock> m_params;
    std::vector<MWLDynamic*> m_stores;
    int32_t m_maxSurface = 0;
    int32_t m_maxSpoken = 0;
    int32_t m_maxMaster = 0;
    int32_t m_maxRecog = 0;
};
