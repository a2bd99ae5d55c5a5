// Fixture of the central engine's tests: the engine installed on "VR" over
// the scripted recognition engine (US English model file present), the
// scripted dialog modules, "String n" tables, a three-gate configuration,
// the real suite audio and empty fake providers. Requests go through the
// application interface from the test's thread ("UI"); no engine and no
// suite block outlives a test.
#pragma once

#include "core/ce/dvk_ce.h"
#include "core/lang/dvk_dvkrc.h"
#include "core/vcm/dvk_vcm.h"
#include "sdk/common/dvk_pbook.h"
#include "tests/core/vcm/scripted/scripted_modules.h"
#include "tests/core/vre/fake_brevit/fake_brevit.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/sdk/common/fake_oem_pbook.h"
#include "tests/support/audio_session.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

// Answers of the application's callbacks, as "create 6", "exit 1 ctx" ...
struct CeAnswers {
    std::mutex lock;
    std::vector<std::string> lines;
    void add(const std::string& line)
    {
        std::lock_guard<std::mutex> guard(lock);
        lines.push_back(line);
    }
    std::vector<std::string> get()
    {
        std::lock_guard<std::mutex> guard(lock);
        return lines;
    }
    size_t size()
    {
        std::lock_guard<std::mutex> guard(lock);
        return lines.size();
    }
};

CeAnswers& ceAnswers();

// US English "String n" tables, prompts, images, a three-gate configuration
// and the scripted engine's model set, in the suite's writable directory.
inline void writeEnglishSuiteFiles()
{
    const dvk_dvkrc_StringTable* s = dvk_dvkrc_getStringTable(5);
    StringFileWriter strings;
    strings.locale = s->locale;
    strings.encoding = s->encoding;
    strings.strings = numberedStrings(u"String ", 679);
    strings.textLength = s->textLength;
    writeTableFile("str_enus.bin", strings.bytes());
    PromptFileWriter prompts;
    for (size_t i = 0; i < 447; ++i)
        prompts.prompts.push_back({"P" + std::to_string(i), std::nullopt});
    prompts.audioSize = dvk_dvkrc_getPromptTable(5)->audioSize;
    writeTableFile("prm_enus.bin", prompts.bytes());
    ImageFileWriter images;
    images.images = {
        {16, 8, 100, std::string(128, '\x11'), ""},
        {4, 2, 200, std::string(8, '\x22'), ""},
        {2, 2, 300, std::string(4, '\x44'), ""},
    };
    images.dataSize = 44594;
    writeTableFile("img_enus.bin", images.bytes());
    writeTableFile("dvk_config_gen.bin", threeGates().bytes());
    fakeBrevit().modelSets["lvr_enus.bin"] = FakeModelSet{};
    writeTableFile("lvr_enus.bin", "model set");
}

class CeTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        resetFakeBrevit();
        resetFakeOemSettings();
        resetFakeOemPbook();
        dvkPbookUnitTestInit();
        fakeGotoItems().clear();
        fakeHelpItems().clear();
        fakeSongs().clear();
        fakePlaylists().clear();
        fakeRecentCalls().clear();
        scriptedCalls().clear();
        writeLanguageFiles();
        SuiteMemoryTest::SetUp();
        ceAnswers().lines.clear();
        dvk_ce_install();
    }
    void TearDown() override
    {
        destroyEngine();
        dvk_ce_uninstall();
        EXPECT_EQ(fakeBrevit().live, 0) << "engines left";
        SuiteMemoryTest::TearDown();
    }

    static void writeLanguageFiles() { writeEnglishSuiteFiles(); }

    static void onCreate(dvk_app_CompletionCode code, void*) { ceAnswers().add("create " + std::to_string(code)); }
    static void onDestroy(dvk_app_CompletionCode code, void*) { ceAnswers().add("destroy " + std::to_string(code)); }
    static void onAbort(dvk_app_CompletionCode code, void*) { ceAnswers().add("abort " + std::to_string(code)); }
    static void onExit(dvk_app_CompletionCode code, void* context)
    {
        ceAnswers().add("exit " + std::to_string(code) + (context != nullptr ? " ctx" : ""));
    }

    // Waits until `count` answers have come.
    static bool answered(size_t count)
    {
        return waitFor([count] { return ceAnswers().size() >= count; });
    }
    static std::vector<std::string> answers() { return ceAnswers().get(); }

    // Create, waiting for its final answer (0, 3, 4 or 7).
    void create()
    {
        ASSERT_EQ(dvk_app_create(onCreate, nullptr), 0);
        ASSERT_TRUE(waitFor([] {
            for (const std::string& line : ceAnswers().get())
                if (line != "create 6")
                    return true;
            return false;
        }));
    }
    void destroyEngine()
    {
        bool exists = false;
        runOnVr([&] { exists = dvk_ce_getState() != nullptr; });
        if (!exists)
            return;
        const size_t before = ceAnswers().size();
        ASSERT_EQ(dvk_app_destroy(onDestroy, nullptr), 0);
        ASSERT_TRUE(answered(before + 1));
        settle();
    }
    // Lets every chain of suite messages run out.
    static void settle()
    {
        for (int i = 0; i < 12; ++i)
            drainVr();
        waitFor([] { return false; }, std::chrono::milliseconds(20));
    }
    static void startCmdRecog(void* context = nullptr)
    {
        dvk_app_Notifications table{};
        table.notifyExit = onExit;
        ASSERT_EQ(dvk_app_startCmdRecog(&table, context), 0);
    }
    static bool sessionRuns()
    {
        bool runs = false;
        runOnVr([&] { runs = dvk_ce_getState() != nullptr && dvk_ce_getState()->vcms != nullptr; });
        return runs;
    }
    static size_t count(dvk_constraints_Constraint** set)
    {
        size_t n = 0;
        while (set != nullptr && set[n] != nullptr)
            ++n;
        return n;
    }
};
