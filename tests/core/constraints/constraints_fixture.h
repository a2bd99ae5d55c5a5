// Fixture of the grammar class tests: the fake providers emptied, the suite
// string table loaded with "String n" for id n (language 5), and a check
// that walks leak nothing whichever allocation fails.
#pragma once

#include "core/constraints/dvk_constraints.h"
#include "core/string/dvk_string.h"
#include "tests/core/constraints/class_walk.h"
#include "tests/core/constraints/fake_dkapi.h"
#include "sdk/common/dvk_pbook.h"
#include "tests/sdk/common/fake_oem_pbook.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

inline std::u16string stringText(int id)
{
    const std::string digits = "String " + std::to_string(id);
    return std::u16string(digits.begin(), digits.end());
}

inline std::vector<std::u16string> stringTexts(std::initializer_list<int> ids)
{
    std::vector<std::u16string> out;
    for (int id : ids)
        out.push_back(stringText(id));
    return out;
}

// The static class of that name.
inline dvk_constraints_WordClass* staticClass(const char* name)
{
    dvk_constraints_WordClass** list = dvk_constraints_getWordClassList();
    for (int id = 1; id <= 66; ++id) {
        if (std::strcmp(list[id]->name, name) == 0)
            return list[id];
    }
    ADD_FAILURE() << "no class " << name;
    return list[1];
}

class ConstraintClassTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        resetFakeOemSettings();
        resetFakeOemPbook();
        dvkPbookUnitTestInit();
        fakeDkapi() = {};
        fakeGotoItems().clear();
        fakeHelpItems().clear();
        fakeSongs().clear();
        fakePlaylists().clear();
        fakeRecentCalls().clear();
        StringFileWriter strings;
        strings.strings = numberedStrings(u"String ", 679);
        strings.textLength = 16812;
        writeTableFile("str_enus.bin", strings.bytes());
        strings_ = dvk_string_createStringTable(5);
        ASSERT_NE(dvk_string_loadStringTableRange(strings_, 0), nullptr);
    }
    void TearDown() override
    {
        dvk_string_destroyStringTable(&strings_);
        SuiteMemoryTest::TearDown();
    }

    static void enableFeature(int32_t feature, int32_t on = 1)
    {
        fakeOemSettings().words[2 + feature] = on;
    }

    std::vector<std::u16string> surfaces(const char* name)
    {
        return walkSurfaces(staticClass(name), strings_);
    }

    // Walks the class with each allocation failing in turn: nothing is left
    // behind, and once nothing fails the walk is the whole one.
    void expectWalkLeakFree(const char* name)
    {
        SCOPED_TRACE(name);
        dvk_constraints_WordClass* wordClass = staticClass(name);
        const std::vector<WalkedMember> whole = walkClass(wordClass, strings_);
        for (long n = 0; n < 1000; ++n) {
            const long live = dvk_mem_liveBlocks();
            dvk_mem_failAfter(n);
            const std::vector<WalkedMember> walked = walkClass(wordClass, strings_);
            dvk_mem_failAfter(-1);
            EXPECT_EQ(dvk_mem_liveBlocks(), live) << "allocation " << n << " failed";
            EXPECT_LE(walked.size(), whole.size());
            if (walked == whole)
                return;
        }
        ADD_FAILURE() << "the walk never completed";
    }

    dvk_string_Table* strings_ = nullptr;
};
