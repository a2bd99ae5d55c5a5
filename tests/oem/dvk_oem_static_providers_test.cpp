// The fixed providers (phone modes, fonts) and the empty ones (music, go-to,
// help, recent calls), also as the suite's access layers see them.
#include "oem/dvk_oem_change_mode.h"
#include "oem/dvk_oem_native_font.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_change_mode.h"
#include "sdk/common/dvk_goto.h"
#include "sdk/common/dvk_help.h"
#include "sdk/common/dvk_play.h"
#include "sdk/common/dvk_recentcalls.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string text(const dvk_ucs2_Char* s)
{
    return s == nullptr ? u"(none)" : std::u16string(reinterpret_cast<const char16_t*>(s));
}

int32_t s_language = 5;
int32_t language()
{
    return s_language;
}

class StaticProvidersTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        dvkOemSettingsSetLanguageSource(language);
        s_language = 5;
    }
    void TearDown() override
    {
        dvkOemSettingsSetLanguageSource(nullptr);
        SuiteMemoryTest::TearDown();
    }
};

std::vector<std::u16string> modeNames(int32_t language)
{
    std::vector<std::u16string> names;
    for (dvk_oem_change_mode_Iterator it = dvk_oem_change_mode_getFirstMode(language);
         it != nullptr; it = dvk_oem_change_mode_getNextMode(it)) {
        dvk_oem_change_mode_ModeEntry entry;
        dvk_oem_change_mode_getModeEntry(it, &entry);
        names.push_back(text(entry.name));
    }
    return names;
}

TEST_F(StaticProvidersTest, ModesExistForSomeLanguages)
{
    const std::vector<std::u16string> all = {u"Silent", u"Vibrate", u"Meeting",
                                             u"Super Extra Loud"};
    for (int32_t language : {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 18, 20})
        EXPECT_EQ(modeNames(language), all) << language;
    for (int32_t language : {0, 2, 12, 13, 19, 21, 29})
        EXPECT_TRUE(modeNames(language).empty()) << language;
    EXPECT_DEATH(dvk_oem_change_mode_getFirstMode(30), "language < 30");
}

TEST_F(StaticProvidersTest, ModeEntriesCarryTheirTexts)
{
    dvk_change_mode_Iterator vibrate = dvk_change_mode_findModeByName(
        reinterpret_cast<const dvk_ucs2_Char*>(u"Buzzer"));
    ASSERT_NE(vibrate, nullptr);
    dvk_change_mode_ModeEntry* entry = dvk_change_mode_getModeEntry(vibrate);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(text(dvk_change_mode_getModeName(entry)), u"Vibrate");
    EXPECT_EQ(text(dvk_change_mode_getPronunciation(entry)), u"vibe rate");
    EXPECT_EQ(text(dvk_change_mode_getModeSynonym(entry, 0)), u"Buzzer");
    EXPECT_EQ(dvk_change_mode_getModeSynonym(entry, 1), nullptr);
    EXPECT_EQ(entry->synonyms[1][0], 0);
    EXPECT_EQ(dvk_change_mode_getModeContext(entry), 2);
    dvk_change_mode_destroyModeEntry(&entry);
    EXPECT_EQ(entry, nullptr);
    dvk_change_mode_setMode(vibrate);

    dvk_change_mode_Iterator silent = dvk_change_mode_getFirstMode();
    entry = dvk_change_mode_getModeEntry(silent);
    EXPECT_EQ(dvk_change_mode_getPronunciation(entry), nullptr);
    dvk_change_mode_destroyModeEntry(&entry);
    EXPECT_EQ(dvk_change_mode_findModeByName(reinterpret_cast<const dvk_ucs2_Char*>(u"")), nullptr);

    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_change_mode_getModeEntry(silent), nullptr);
    s_language = 0;
    dvk_mem_failAfter(-1);
    EXPECT_EQ(dvk_change_mode_findModeByName(reinterpret_cast<const dvk_ucs2_Char*>(u"Buzzer")),
              nullptr);
}

TEST_F(StaticProvidersTest, FontsEndWithTheZeroRow)
{
    std::vector<dvk_oem_native_font_FontEntry> rows;
    dvk_oem_native_font_Iterator it = dvk_oem_native_font_getFirstFont(5);
    for (; it != nullptr; it = dvk_oem_native_font_getNextFont(it)) {
        rows.emplace_back();
        dvk_oem_native_font_getFontEntry(it, &rows.back());
    }
    ASSERT_EQ(rows.size(), 9u);
    const int32_t heights[] = {10, 10, 12, 12, 14, 14, 16, 16, 0};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].words[0], heights[i]);
        EXPECT_EQ(rows[i].words[1], 4 * heights[i]);
        EXPECT_EQ(rows[i].words[3], i < 8 ? static_cast<int32_t>(i % 2) : 0);
    }

    std::vector<uint8_t> glyph(200, 0xAA);
    dvk_oem_native_font_Iterator ten = dvk_oem_native_font_getFirstFont(5);
    EXPECT_EQ(dvk_oem_native_font_getCharacter(ten, 65, glyph.data(), 200), 15);
    EXPECT_EQ(std::count(glyph.begin(), glyph.end(), 1), 150);
    EXPECT_EQ(glyph[150], 0xAA);
    // A code above 0x7FFF is a unit like any other.
    EXPECT_EQ(dvk_oem_native_font_getCharacter(ten, 0xFFFF, glyph.data(), 200), 15);

    dvk_oem_native_font_Iterator zero = ten + 8;
    std::fill(glyph.begin(), glyph.end(), 0xAA);
    EXPECT_EQ(dvk_oem_native_font_getCharacter(zero, 65, glyph.data(), 200), 0);
    EXPECT_EQ(std::count(glyph.begin(), glyph.end(), 0xAA), 200);
    EXPECT_DEATH(dvk_oem_native_font_getCharacter(ten, 69, glyph.data(), 100),
                 "height \\* width <= length");
}

TEST_F(StaticProvidersTest, EmptyProvidersOfferNothing)
{
    const dvk_ucs2_Char* name = reinterpret_cast<const dvk_ucs2_Char*>(u"Anything");
    EXPECT_EQ(dvk_goto_getFirstApp(), nullptr);
    EXPECT_EQ(dvk_goto_getFirstEnabledApp(), nullptr);
    EXPECT_EQ(dvk_goto_findAppByName(name), nullptr);
    EXPECT_EQ(dvk_help_getFirstTopic(), nullptr);
    EXPECT_EQ(dvk_help_findTopicByName(name), nullptr);
    EXPECT_EQ(dvk_play_getFirstSong(), nullptr);
    EXPECT_EQ(dvk_play_getFirstSongWithArtist(), nullptr);
    EXPECT_EQ(dvk_play_getFirstSongWithAlbum(), nullptr);
    EXPECT_EQ(dvk_play_getFirstModifiedSong(), nullptr);
    EXPECT_EQ(dvk_play_getFirstPlaylist(), nullptr);
    EXPECT_EQ(dvk_play_findPlaylistByName(name), nullptr);
    EXPECT_EQ(dvk_play_fullUpdateRequired(), 0);
    dvk_play_resetFullUpdateRequired();
    dvk_play_resetModifiedSongList();
    EXPECT_EQ(dvk_recentcalls_getFirstCall(), nullptr);
    EXPECT_DEATH(dvk_oem_help_getFirstTopic(30), "language < 30");
}

} // namespace
