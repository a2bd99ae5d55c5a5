// Prompt lists over a main prompt file whose prompt i holds the bytes "P<i>",
// a voice-search file with text-only and empty prompts, a "String n" table
// with location names, the fake suite audio and the fake synthesis.
#pragma once

#include "core/lang/dvk_dvkrc.h"
#include "core/prompt/dvk_prompt.h"
#include "core/string/dvk_string.h"
#include "core/utils/dvk_list.h"
#include "tests/core/prompt/fakes/fake_audio.h"
#include "tests/core/prompt/fakes/fake_vre_tts.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::string promptAudio(size_t id)
{
    return "P" + std::to_string(id);
}

// What an item or a queued piece of audio is: "P107", "text:1 2 3 ",
// "words:2", "earcon:1280", "voc:9:xyz", "pcm:3", "stream".
inline std::string describeItem(const dvk_prompt_Item* item)
{
    switch (item->kind) {
    case DVK_PROMPT_ITEM_PROMPT: {
        const auto* p = static_cast<const dvk_prompt_Prompt*>(item->object);
        return std::string(reinterpret_cast<const char*>(p->data), p->length);
    }
    case DVK_PROMPT_ITEM_TEXT: {
        std::string out = "text:";
        for (const dvk_ucs2_Char* c = static_cast<const dvk_prompt_Tts*>(item->object)->text; *c != 0; ++c)
            out.push_back(static_cast<char>(*c));
        return out;
    }
    case DVK_PROMPT_ITEM_WORDS:
        return "words:" + std::to_string(static_cast<const dvk_prompt_Tts*>(item->object)->wordCount);
    case DVK_PROMPT_ITEM_EARCON:
        return "earcon:" + std::to_string(static_cast<const dvk_prompt_Earcon*>(item->object)->count);
    case DVK_PROMPT_ITEM_VOCDATA:
        return "voc:" + std::to_string(item->vocoderType) + ":" +
               std::string(static_cast<const char*>(item->object), static_cast<size_t>(item->length));
    case DVK_PROMPT_ITEM_PCMDATA:
        return "pcm:" + std::to_string(item->length);
    default:
        return "stream";
    }
}

inline std::vector<std::string> describeList(dvk_prompt_List* list)
{
    std::vector<std::string> out;
    for (dvk_list_Node* n = dvk_list_getFirst(list->items); n != nullptr; n = dvk_list_getNext(list->items, n))
        out.push_back(describeItem(static_cast<const dvk_prompt_Item*>(dvk_list_getItem(list->items, n))));
    return out;
}

// The audio log: each piece's bytes (PCM as a sample count), "+" when it
// carried a message.
inline std::vector<std::string> describeQueued()
{
    std::vector<std::string> out;
    for (const FakeAudioItem& item : fakeAudio().log) {
        std::string d = item.kind == "pcm" ? "pcm:" + std::to_string(item.bytes.size() / 2) : item.bytes;
        out.push_back(d + (item.withMessage ? "+" : ""));
    }
    return out;
}

class PromptListTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        ensureWorkQueues();
        resetFakeAudio();
        resetFakeVreTts();
        resetFakeOemSettings();
        const dvk_dvkrc_PromptTable* d = dvk_dvkrc_getPromptTable(5);
        PromptFileWriter main;
        for (size_t i = 0; i < 447; ++i)
            main.prompts.push_back({promptAudio(i), std::nullopt});
        main.audioSize = d->audioSize;
        writeTableFile("prm_enus.bin", main.bytes());
        PromptFileWriter search;
        search.prompts = {{std::nullopt, u"Say a name"}, {std::nullopt, std::nullopt}, {"V2", u"spoken"}};
        writeTableFile("vprm_enus.bin", search.bytes());
        const dvk_dvkrc_StringTable* s = dvk_dvkrc_getStringTable(5);
        StringFileWriter strings;
        strings.locale = s->locale;
        strings.encoding = s->encoding;
        strings.strings = numberedStrings(u"String ", 679);
        strings.strings[331] = u"Mobile";
        strings.strings[670] = u"Car";
        strings.textLength = s->textLength;
        writeTableFile("str_enus.bin", strings.bytes());
        SuiteMemoryTest::SetUp();
        prompts = dvk_prompt_createPromptTable(5);
        ASSERT_NE(dvk_prompt_loadPromptTableRange(prompts, 0), nullptr);
        ASSERT_NE(dvk_prompt_loadPromptTableRange(prompts, 1), nullptr);
        strings_ = dvk_string_createStringTable(5);
        ASSERT_NE(dvk_string_loadStringTableRange(strings_, 0), nullptr);
        callbacks = 0;
        liveAfterTables = dvk_mem_liveBlocks();
    }
    void TearDown() override
    {
        runOnVr([this] {
            if (list != nullptr)
                dvk_prompt_destroyPromptList(&list);
            resetFakeAudio();
        });
        settle();
        dvk_prompt_destroyPromptTable(&prompts);
        dvk_string_destroyStringTable(&strings_);
        SuiteMemoryTest::TearDown();
    }

    // Lets every chain of suite messages run out.
    static void settle()
    {
        for (int i = 0; i < 12; ++i)
            drainVr();
    }
    void newList() { runOnVr([this] { list = dvk_prompt_createPromptList(nullptr, 100, 0); }); }
    // Plays the list (it then belongs to the playing) and lets it start.
    void play()
    {
        runOnVr([this] {
            ASSERT_EQ(dvk_prompt_playPromptList(list, [](dvk_prompt_List*) { ++callbacks; }), 0);
            playing = list;
            list = nullptr;
        });
        settle();
    }
    // The audio finishes n pieces; what follows runs.
    void finish(size_t n)
    {
        runOnVr([n] { EXPECT_TRUE(fakeAudioPlay(n)); });
        settle();
    }

    static inline int callbacks = 0;
    long liveAfterTables = 0;
    dvk_prompt_Table* prompts = nullptr;
    dvk_string_Table* strings_ = nullptr;
    dvk_prompt_List* list = nullptr;
    dvk_prompt_List* playing = nullptr;  // belongs to the playing: only for stops
};
