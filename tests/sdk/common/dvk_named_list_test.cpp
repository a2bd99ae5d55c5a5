// Go-to applications and help topics over fake providers (phone modes, over
// the real table, are tested with the porting layer).
#include "sdk/common/dvk_goto.h"
#include "sdk/common/dvk_help.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const dvk_ucs2_Char* ucs2(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

std::u16string text(const dvk_ucs2_Char* s)
{
    return s == nullptr ? u"(none)" : std::u16string(reinterpret_cast<const char16_t*>(s));
}

class NamedListTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        resetFakeOemSettings();
        fakeOemSettings().language = 11;
        fakeGotoItems() = {
            {u"Mail", u"", u"E-mail", u"Post", 10, 1},
            {u"Maps", u"mapz", u"", u"", 20, 0},
            {u"Calendar", u"", u"Agenda", u"Diary", 30, 1},
            {std::u16string(64, u'x'), std::u16string(70, u'p'), std::u16string(64, u's'), u"", 40, 0},
        };
        fakeHelpItems() = {{u"Calling", u"", u"Dial", u"", 1, 1}, {u"Music", u"", u"", u"Songs", 2, 1}};
    }
};

TEST_F(NamedListTest, FindsByNameOrEitherSynonym)
{
    struct Case {
        const char16_t* name;
        int index;  // -1: none
    };
    const Case cases[] = {
        {u"Calendar", 2}, {u"Diary", 2}, {u"Agenda", 2}, {u"Post", 0},
        {u"Maps", 1},     {u"maps", -1}, {u"", -1},      {u"Map", -1},
    };
    std::vector<dvk_goto_Iterator> items;
    for (dvk_goto_Iterator it = dvk_goto_getFirstApp(); it != nullptr; it = dvk_goto_getNextApp(it))
        items.push_back(it);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(fakeGotoLastLanguage(), 11);
    for (const Case& c : cases)
        EXPECT_EQ(dvk_goto_findAppByName(ucs2(c.name)), c.index < 0 ? nullptr : items[c.index])
            << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));

    EXPECT_NE(dvk_help_findTopicByName(ucs2(u"Songs")), nullptr);
    EXPECT_EQ(dvk_help_findTopicByName(ucs2(u"Help")), nullptr);
}

TEST_F(NamedListTest, EnabledWalksSkipDisabledItems)
{
    std::vector<int32_t> contexts;
    for (dvk_goto_Iterator it = dvk_goto_getFirstEnabledApp(); it != nullptr;
         it = dvk_goto_getNextEnabledApp(it)) {
        dvk_goto_AppEntry* entry = dvk_goto_getAppEntry(it);
        contexts.push_back(dvk_goto_getAppContext(entry));
        dvk_goto_destroyAppEntry(&entry);
    }
    EXPECT_EQ(contexts, (std::vector<int32_t>{10, 30}));
    dvk_goto_Iterator maps = dvk_goto_getNextApp(dvk_goto_getFirstApp());
    EXPECT_EQ(dvk_goto_isAppEnabled(maps), 0);
    dvk_goto_setAppEnabled(maps, 1);
    EXPECT_EQ(dvk_goto_isAppEnabled(maps), 1);
    EXPECT_EQ(dvk_goto_getNextEnabledApp(dvk_goto_getFirstEnabledApp()), maps);
    fakeGotoItems()[0].enabled = 0;
    fakeGotoItems()[1].enabled = 0;
    fakeGotoItems()[2].enabled = 0;
    EXPECT_EQ(dvk_goto_getFirstEnabledApp(), nullptr);
}

TEST_F(NamedListTest, EntriesCutLongTextsAndAnswerNoneForEmptyOnes)
{
    dvk_goto_Iterator it = dvk_goto_getFirstApp();
    dvk_goto_AppEntry* mail = dvk_goto_getAppEntry(it);
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(text(dvk_goto_getAppName(mail)), u"Mail");
    EXPECT_EQ(dvk_goto_getPronunciation(mail), nullptr);
    EXPECT_EQ(text(dvk_goto_getAppSynonym(mail, 1)), u"Post");
    dvk_goto_destroyAppEntry(&mail);
    EXPECT_EQ(mail, nullptr);

    for (int i = 0; i < 3; ++i)
        it = dvk_goto_getNextApp(it);
    dvk_goto_AppEntry* full = dvk_goto_getAppEntry(it);
    EXPECT_EQ(text(dvk_goto_getAppName(full)), std::u16string(63, u'x'));
    EXPECT_EQ(text(dvk_goto_getPronunciation(full)), std::u16string(63, u'p'));
    EXPECT_EQ(text(dvk_goto_getAppSynonym(full, 0)), std::u16string(63, u's'));
    EXPECT_EQ(dvk_goto_getAppSynonym(full, 1), nullptr);
    EXPECT_DEATH(dvk_goto_getAppSynonym(full, 2), "index == 0 \\|\\| index == 1");
    dvk_goto_destroyAppEntry(&full);

    dvk_help_TopicEntry* topic = dvk_help_getTopicEntry(dvk_help_getFirstTopic());
    EXPECT_EQ(text(dvk_help_getTopicName(topic)), u"Calling");
    EXPECT_EQ(text(dvk_help_getTopicSynonym(topic, 0)), u"Dial");
    EXPECT_EQ(dvk_help_getTopicContext(topic), 1);
    dvk_help_destroyTopicEntry(&topic);

    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_goto_getAppEntry(it), nullptr);
    EXPECT_EQ(dvk_help_getTopicEntry(dvk_help_getFirstTopic()), nullptr);
    EXPECT_NE(dvk_goto_findAppByName(ucs2(u"Diary")), nullptr);  // allocates nothing
    EXPECT_DEATH(dvk_goto_getNextApp(nullptr), "iterator != ");
}

} // namespace
