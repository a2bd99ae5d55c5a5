// Fixture of the recogniser wrapper's tests: the scripted engine with the
// recognition model file of US English (language 5) present, the suite
// string table holding "String n" for id n, empty fake providers, and a
// check that no engine and no suite block outlives a test.
#pragma once

#include "core/constraints/dvk_constraints.h"
#include "core/string/dvk_string.h"
#include "core/vre/dvk_vre.h"
#include "core/vre/dvk_vre_record.h"
#include "sdk/common/dvk_pbook.h"
#include "tests/core/vre/fake_audio_types.h"
#include "tests/core/vre/fake_brevit/fake_brevit.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/sdk/common/fake_oem_pbook.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <vector>

inline constexpr dvk_lang_Language kEnglish = 5;
inline constexpr dvk_lang_Language kJapanese = 12;

inline const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

inline std::u16string text16(const dvk_ucs2_Char* text)
{
    return text == nullptr ? u"(null)" : std::u16string(reinterpret_cast<const char16_t*>(text));
}

// Makes a model file the fake describes.
inline void installModelSet(const std::string& name, const FakeModelSet& set = {})
{
    fakeBrevit().modelSets[name] = set;
    writeTableFile(name, "model set");
}

// A word class over a list of texts ("surface" or "surface\tspoken").
struct ListClass {
    dvk_constraints_WordClass wordClass{};
    std::vector<std::u16string> entries;

    ListClass(const char* name, int32_t memberType, int32_t key, std::vector<std::u16string> texts = {})
        : entries(std::move(texts))
    {
        wordClass.name = name;
        wordClass.memberType = memberType;
        wordClass.key = key;
        wordClass.context = this;
        wordClass.getFirst = [](dvk_constraints_WordClass* c) -> dvk_constraints_Iterator {
            return static_cast<ListClass*>(c->context)->entries.empty() ? 0 : 1;
        };
        wordClass.getNext = [](dvk_constraints_WordClass* c, dvk_constraints_Iterator it) -> dvk_constraints_Iterator {
            return static_cast<size_t>(it) < static_cast<ListClass*>(c->context)->entries.size() ? it + 1 : 0;
        };
        wordClass.getEntry = [](dvk_constraints_WordClass* c, dvk_string_Table*, dvk_constraints_Iterator it,
                                dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken) {
            const std::u16string& entry = static_cast<ListClass*>(c->context)->entries[static_cast<size_t>(it - 1)];
            const size_t tab = entry.find(u'\t');
            *surface = copy(entry.substr(0, tab));
            *spoken = tab == std::u16string::npos ? nullptr : copy(entry.substr(tab + 1));
        };
        wordClass.freeEntry = [](dvk_constraints_WordClass*, dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken) {
            dvk_mem_dealloc(surface);
            dvk_mem_dealloc(spoken);
        };
    }
    ListClass(const ListClass&) = delete;

    static dvk_ucs2_Char* copy(const std::u16string& text)
    {
        auto* out = static_cast<dvk_ucs2_Char*>(dvk_mem_alloc(2 * (text.size() + 1)));
        if (out != nullptr) {
            std::copy(text.begin(), text.end(), out);
            out[text.size()] = 0;
        }
        return out;
    }
};

// The static class id of a class name (transitions name classes by id).
inline uint32_t staticClassId(const char* name)
{
    dvk_constraints_WordClass** list = dvk_constraints_getWordClassList();
    for (uint32_t id = 1; id <= 66; ++id) {
        if (std::string(list[id]->name) == name)
            return id;
    }
    ADD_FAILURE() << "no class " << name;
    return 1;
}

// A constraint over the given classes (between the two boundaries), with
// transitions between classes named as the static ones are.
struct ListConstraint {
    dvk_constraints_Constraint constraint{};
    std::vector<dvk_constraints_WordClass*> classes;
    std::vector<std::array<uint32_t, 3>> rows{{0, 0, 0}};

    ListConstraint(int32_t id, const char* name, std::vector<dvk_constraints_WordClass*> wordClasses)
    {
        dvk_constraints_WordClass** list = dvk_constraints_getWordClassList();
        classes.push_back(list[66]);
        classes.push_back(list[1]);
        for (dvk_constraints_WordClass* c : wordClasses)
            classes.push_back(c);
        classes.push_back(nullptr);
        constraint.id = id;
        constraint.name = name;
        constraint.wordClasses = classes.data();
        constraint.transitions = rows.data();
    }
    ListConstraint(const ListConstraint&) = delete;

    // "_CONSTRAINT_CLASS_START" and "_CONSTRAINT_CLASS_END" stand for the ends.
    ListConstraint& transition(const char* from, const char* to, uint32_t penalty = 0)
    {
        rows.insert(rows.end() - 1, {staticClassId(from), staticClassId(to), penalty});
        constraint.transitions = rows.data();
        return *this;
    }
    // start -> class -> end
    ListConstraint& through(const char* name)
    {
        return transition("_CONSTRAINT_CLASS_START", name).transition(name, "_CONSTRAINT_CLASS_END");
    }
};

class VreTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        ensureWorkQueues();
        resetFakeBrevit();
        fakeRecordingPcmType() = DVK_OEM_AUDIO_PCMTYPE_8K;
        fakePlaybackPcmType() = DVK_OEM_AUDIO_PCMTYPE_8K;
        resetFakeOemSettings();
        resetFakeOemPbook();
        dvkPbookUnitTestInit();
        fakeGotoItems().clear();
        fakeHelpItems().clear();
        fakeSongs().clear();
        fakePlaylists().clear();
        fakeRecentCalls().clear();
        StringFileWriter strings;
        strings.strings = numberedStrings(u"String ", 679);
        strings.textLength = 16812;
        writeTableFile("str_enus.bin", strings.bytes());
        strings_ = dvk_string_createStringTable(kEnglish);
        ASSERT_NE(dvk_string_loadStringTableRange(strings_, 0), nullptr);
        installModelSet("lvr_enus.bin");
    }
    void TearDown() override
    {
        dvk_vre_destroy(&vre_);
        dvk_string_destroyStringTable(&strings_);
        EXPECT_EQ(fakeBrevit().live, 0) << "engines left";
        SuiteMemoryTest::TearDown();
    }

    void create(dvk_lang_Language language = kEnglish, int32_t mode = 0)
    {
        ASSERT_EQ(dvk_vre_create(&vre_, language, mode, strings_), 0);
        ASSERT_NE(vre_, nullptr);
    }

    dvk_string_Table* strings_ = nullptr;
    dvk_vre_Recognizer* vre_ = nullptr;
};
