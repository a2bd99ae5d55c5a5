// Controls of the fake porting-layer providers the suite's access layers and
// grammar classes are tested against (settings, go-to, help, music, recent
// calls). Each fake defines a whole porting family, so the real one is not
// linked; they link only into tests (library merrowind_fake_oem).
#pragma once

#include "oem/dvk_oem_goto.h"
#include "oem/dvk_oem_help.h"
#include "oem/dvk_oem_play.h"
#include "oem/dvk_oem_recentcalls.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakeOemSettings {
    int32_t words[121];
    int32_t language;
    int32_t earconVolume, ttsVolume, ttsSpeed;
    int32_t rootPerPage, selectPerPage, locationPerPage;
    int32_t extensionMinimum, extensionMaximum;
    int32_t dialingRegion;
};
// Zeroed words, language 5 and the real fixed values; reset per test.
FakeOemSettings& fakeOemSettings();
void resetFakeOemSettings();

// A named item as the fakes hand it out: texts are UTF-16, cut to what the
// entry holds without a terminator when they are 64 units or longer.
struct FakeNamedItem {
    std::u16string name, pronunciation, synonym0, synonym1;
    int32_t context = 0;
    int32_t enabled = 1;  // go-to only
};
std::vector<FakeNamedItem>& fakeGotoItems();
std::vector<FakeNamedItem>& fakeHelpItems();
// The language the last first-item call asked for.
int32_t fakeGotoLastLanguage();

struct FakeSong {
    std::u16string title, artist, album, titlePronunciation, artistPronunciation,
        albumPronunciation;
    int32_t songContext = 0, artistContext = 0, albumContext = 0;
    bool modified = false;
};
std::vector<FakeSong>& fakeSongs();
std::vector<FakeNamedItem>& fakePlaylists();  // name, pronunciation, context
int32_t& fakeFullUpdateRequired();

std::vector<std::u16string>& fakeRecentCalls();  // numbers, any length

// Fills a UCS-2 field of `units` units from text, terminated only when shorter.
void fakeFillText(dvk_ucs2_Char* field, size_t units, const std::u16string& text);
void fakeFillNamed(const FakeNamedItem& item, dvk_oem_NamedEntry* entry);
