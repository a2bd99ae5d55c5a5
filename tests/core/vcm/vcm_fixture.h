// A dialog session over the recording modules and a "String n" table of
// language 5; prompt and image tables are stand-ins the manager never reads.
#pragma once

#include "core/utils/dvk_ucs2.h"
#include "core/vcm/dvk_vcm.h"
#include "sdk/common/dvk_mem.h"
#include "tests/core/vcm/scripted/scripted_modules.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

inline void notifyNothing(dvk_app_CompletionCode, void*) {}

class VcmTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        writeTableFile("str_enus.bin", numberedStringFile());
        SuiteMemoryTest::SetUp();
        table = dvk_string_createStringTable(5);
        ASSERT_NE(table, nullptr);
        ASSERT_NE(dvk_string_loadStringTableRange(table, 0), nullptr);
        scriptedCalls().clear();
        notifications.notifyExit = notifyNothing;
    }
    void TearDown() override
    {
        if (vcms != nullptr)
            dvk_vcm_endSession(&vcms);
        dvk_string_destroyStringTable(&table);
        SuiteMemoryTest::TearDown();
    }

    dvk_vcm_Session* newSession(int32_t startPoint)
    {
        return dvk_vcm_newSession(&notifications, nullptr, nullptr, table, promptTable(), imageTable(), nullptr,
                                  nullptr, nullptr, nullptr, startPoint, 0);
    }
    static dvk_prompt_Table* promptTable() { return reinterpret_cast<dvk_prompt_Table*>(&standIn); }
    static dvk_image_Table* imageTable() { return reinterpret_cast<dvk_image_Table*>(&standIn); }

    // A list of constraint id with one entry per name (and location when given).
    static dvk_nbest_List* names(int32_t constraintId, std::initializer_list<std::pair<const char*, const char*>> entries)
    {
        dvk_nbest_List* list = dvk_nbest_create(constraintId, "test", 40);
        for (const auto& [name, location] : entries) {
            int32_t i = dvk_nbest_addEntry(list);
            if (name != nullptr)
                addText(list, i, 20, name);
            if (location != nullptr)
                addText(list, i, 15, location);
        }
        return list;
    }
    static void addText(dvk_nbest_List* list, int32_t i, int32_t slot, const char* text)
    {
        dvk_ucs2_Char* s = dvk_ucs2_cvtFromLatin1(text);
        EXPECT_EQ(dvk_nbest_addValueNoIds(list, i, slot, "tag", s, s), 0);
        dvk_ucs2_destroy(&s);
    }
public:
    static std::string describeList(dvk_nbest_List* list)
    {
        std::string out;
        for (int32_t i = 0; i < dvk_nbest_getCount(list); i++) {
            out += i ? ", " : "";
            out += latin1(dvk_nbest_getStr(list, i, 20));
            if (dvk_nbest_getStr(list, i, 15) != nullptr)
                out += "@" + latin1(dvk_nbest_getStr(list, i, 15));
        }
        return out;
    }
protected:
    static std::string latin1(const dvk_ucs2_Char* s)
    {
        if (s == nullptr)
            return "-";
        char* text = dvk_ucs2_cvtToLatin1(s);
        std::string out = text;
        dvk_mem_dealloc(&text);
        return out;
    }

    // Modules keep their spec's tables until the session ends in TearDown.
    ScriptedModule& newSpec() { return specs.emplace_back(); }

    static inline int standIn = 0;
    std::deque<ScriptedModule> specs;
    dvk_app_Notifications notifications{};
    dvk_string_Table* table = nullptr;
    dvk_vcm_Session* vcms = nullptr;
};
