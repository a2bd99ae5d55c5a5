// What the word-list fuzz targets ask of a loaded list: every word's forms
// into buffers sized by the list's own maxima (nothing may be written past
// them), lookups by those forms, prons of both sets, genders and the
// checksum. Aborts when a buffer's guard is overwritten.
#pragma once

#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/lexicon/mwl_util.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fuzz_word_lists {

inline constexpr uint16_t kGuard = 0xEEEE;

inline void check(const std::vector<uint16_t>& buffer, size_t room)
{
    if (buffer[room] != kGuard)
        std::abort();
}

inline void ask(MWL* l)
{
    const auto surfaceRoom = static_cast<size_t>(MWL_GetMaxSurfaceFormLength(l)) + 1;
    const auto spokenRoom = static_cast<size_t>(MWL_GetMaxSpokenFormLength(l)) + 1;
    const auto masterRoom = static_cast<size_t>(MWL_GetMaxMasterPronunciationLength(l)) + 1;
    const auto recogRoom = static_cast<size_t>(MWL_GetMaxRecogPronunciationLength(l)) + 1;
    const int32_t most = MWL_GetMaxNumPronunciations(l);
    const size_t capacity = static_cast<size_t>(most > 0 ? (most < 8 ? most : 8) : 1);
    int32_t walked = 0;
    for (uint32_t id = MWL_GetNextMasterId(l, kMWLNoWord); id != kMWLNoWord && walked < 2000;
         id = MWL_GetNextMasterId(l, id), ++walked) {
        std::vector<uint16_t> surface(surfaceRoom + 1, kGuard);
        std::vector<uint16_t> spoken(spokenRoom + 1, kGuard);
        if (MWL_GetSurfaceAndSpokenForms(l, id, surface.data(), spoken.data()) == 1) {
            check(surface, surfaceRoom);
            check(spoken, spokenRoom);
            uint32_t found[4];
            MWL_GetId(l, surface.data(), spoken.data(), 0);
            MWL_GetMatches(l, 1, 0, surface.data(), found, 4, 0);
            MWL_GetMatches(l, 0, 1, surface.data(), found, 0, 0);
            MWL_GetNumMatches(l, 0, 0, surface.data());
            MWL_GetMatchesAtStart(l, 1, 1, surface.data(), found, 4, 0);
            MWL_GetMatchesAtStart(l, 0, 2, surface.data(), found, 4, 1);
            MWL_GetIdsFromSpoken(l, spoken.data(), found, 4, 1);
        }
        std::vector<std::vector<uint16_t>> masters(capacity, std::vector<uint16_t>(masterRoom + 1, kGuard));
        std::vector<std::vector<uint16_t>> recogs(capacity, std::vector<uint16_t>(recogRoom + 1, kGuard));
        std::vector<uint16_t*> m, r;
        for (auto& p : masters)
            m.push_back(p.data());
        for (auto& p : recogs)
            r.push_back(p.data());
        std::vector<int32_t> pos(capacity);
        MWL_GetMasterPronunciations(l, id, static_cast<int32_t>(capacity), m.data(), pos.data());
        MWL_GetRecogPronunciations(l, id, static_cast<int32_t>(capacity), r.data());
        for (const auto& p : masters)
            check(p, masterRoom);
        for (const auto& p : recogs)
            check(p, recogRoom);
        MWL_GetGender(l, id, 0);
        MWL_GetGender(l, id, 1);
        MWL_IsWordIdInUse(l, id);
    }
    for (int32_t phoneme = 0; phoneme <= MWL_GetMaxMasterPhonemeId(l) + 1 && phoneme < 70000; ++phoneme)
        MWL_GetMasterPhonemeName(l, phoneme);
    const uint16_t pron[] = {0, 1, 0xFFFF};
    MWL_IsMasterPronunciationLegal(l, pron);
    MWL_ComputeCRC(l);
}

} // namespace fuzz_word_lists
